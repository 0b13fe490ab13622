#include "undo.h"

#include <QAction>
#include <QKeyEvent>
#include <QKeySequence>
#include <QUndoStack>

namespace tk {

namespace {

QList<QKeySequence> WithKeys(QKeySequence::StandardKey standard, std::initializer_list<QKeySequence> always) {
    QList<QKeySequence> keys = QKeySequence::keyBindings(standard);
    for (const QKeySequence& key : always)
        if (!keys.contains(key)) keys << key;
    return keys;
}

QList<QKeySequence> UndoKeys() { return WithKeys(QKeySequence::Undo, {QKeySequence(Qt::CTRL | Qt::Key_Z)}); }

QList<QKeySequence> RedoKeys() {
    return WithKeys(QKeySequence::Redo,
                    {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
}

bool IsUndoKey(const QKeyEvent& key) {
    const QKeySequence pressed(key.keyCombination());
    return UndoKeys().contains(pressed) || RedoKeys().contains(pressed);
}

class TUndoKeyFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const QEvent::Type type = event->type();
        if ((type == QEvent::ShortcutOverride || type == QEvent::KeyPress) &&
            IsUndoKey(*static_cast<QKeyEvent*>(event))) {
            // Not taken by the field: the shortcut goes to the window's
            // action, and a key press that reaches the field anyway (the
            // action being disabled) does nothing.
            event->ignore();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }
};

}  // namespace

TUndoActions MakeUndoActions(QUndoStack& stack, QObject* parent) {
    TUndoActions actions;
    // With a prefix, the stack shows "<prefix> <step>", or the prefix alone.
    actions.Undo = stack.createUndoAction(parent, QStringLiteral("&Undo"));
    actions.Redo = stack.createRedoAction(parent, QStringLiteral("&Redo"));
    actions.Undo->setShortcuts(UndoKeys());
    actions.Redo->setShortcuts(RedoKeys());
    return actions;
}

void LeaveUndoKeysToWindow(QObject* field) { field->installEventFilter(new TUndoKeyFilter(field)); }

}  // namespace tk
