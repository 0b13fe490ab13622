// The Edit menu's "&Undo" and "&Redo" items over an undo stack, as both
// editors show them, and the key handling that lets their shortcuts work
// while a text field has the focus.
#pragma once

class QAction;
class QObject;
class QUndoStack;

namespace tk {

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
