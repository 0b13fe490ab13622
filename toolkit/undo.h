// What both editors' undo is made of: the Edit menu's "&Undo" and "&Redo"
// items over an undo stack, the key handling that lets their shortcuts work
// while a text field has the focus, and the base of their steps.
#pragma once

#include <QUndoCommand>

class QAction;
class QObject;
class QUndoStack;

namespace tk {

// A step that the command making the change has already done when it
// pushes the step, so the stack's first redo() does nothing. Later undo()
// and redo() call Back() and Forward() and pass what they return (what the
// window is to show afterwards) to Show().
class TDoneStep : public QUndoCommand {
public:
    void undo() final {
        BeforeChange();
        Show(Back());
    }
    void redo() final {
        if (!pushed_) {
            pushed_ = true;
            return;
        }
        BeforeChange();
        Show(Forward());
    }
    // Makes the change (also called by the command before pushing).
    virtual int Forward() = 0;
    // Takes the change back.
    virtual int Back() = 0;

protected:
    using QUndoCommand::QUndoCommand;
    // Called before an undo or a redo changes anything.
    virtual void BeforeChange() {}
    virtual void Show(int shown) = 0;

private:
    bool pushed_ = false;
};

struct TUndoActions {
    QAction* Undo = nullptr;
    QAction* Redo = nullptr;
};

// Actions that follow `stack`: "&Undo" or "&Undo <step>" ("&Undo Add
// Image"), "&Redo" likewise, enabled while there is a step to undo or redo.
// Shortcuts: the platform's standard ones, and always Ctrl+Z for undo and
// Ctrl+Shift+Z and Ctrl+Y for redo. Owned by `parent`.
TUndoActions MakeUndoActions(QUndoStack& stack, QObject* parent);

// A text field (line edit, spin box) keeps an undo of its own and takes the
// undo and redo keys for it. Installed on such a field, this leaves those
// keys to the window's actions, so that Ctrl+Z means the same everywhere
// in the window. The filter is owned by `field`.
void LeaveUndoKeysToWindow(QObject* field);

}  // namespace tk
