// TfrmMain's Edit menu, its undo steps and the question before unsaved
// changes are thrown away.
#include <QCloseEvent>
#include <QMenu>
#include <QMenuBar>
#include <QToolButton>
#include <QUndoStack>

#include "Application.h"
#include "Controls.h"
#include "Main.h"
#include "toolkit/undo.h"
#include "undo_commands.h"

namespace slideshelf {

namespace {

const char* const kSaveChanges = "You Have not saved the changes to the Intro Library Save Changes ?";

}  // namespace

void TfrmMain::BuildEditMenu() {
    UndoStack = new QUndoStack(this);
    Edit1 = new QMenu(QStringLiteral("&Edit"), this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    menuBar()->insertMenu(Library1->menuAction(), Edit1);
    const tk::TUndoActions actions = tk::MakeUndoActions(*UndoStack, this);
    mnuUndo = actions.Undo;
    mnuUndo->setObjectName(QStringLiteral("mnuUndo"));
    mnuRedo = actions.Redo;
    mnuRedo->setObjectName(QStringLiteral("mnuRedo"));
    Edit1->addAction(mnuUndo);
    Edit1->addAction(mnuRedo);
}

bool TfrmMain::Modified() const { return !UndoStack->isClean(); }

void TfrmMain::StartHistory() { UndoStack->clear(); }

void TfrmMain::Push(std::unique_ptr<QUndoCommand> step) { UndoStack->push(step.release()); }

bool TfrmMain::QuerySaveChanges() {
    if (!Modified()) return true;
    if (!dialogs_.AskYesNo(this, QStringLiteral("Information"), QString::fromLatin1(kSaveChanges))) return true;
    return SaveLibrary();
}

void TfrmMain::closeEvent(QCloseEvent* event) {
    // Refused unless the question lets it close; a save that fails shows
    // its message and keeps the window open.
    bool canClose = false;
    RunGuarded([&] { canClose = QuerySaveChanges(); });
    if (canClose)
        event->accept();
    else
        event->ignore();
}

void TfrmMain::ShowAfterStep(int show) {
    if (show == kShowPalette) {
        // The slides stay as they are; the selected one is shown in its new
        // colours as a click shows it, unless a bitmap waits to be added.
        if (!HasBitmap() && Images->ItemIndex() >= 0) ImagesClick();
        return;
    }
    FillListFromLibrary();
    if (show >= 0 && show < Images->count()) {
        Images->SetItemIndex(show);
        ImagesClick();
        return;
    }
    // As after a removal: nothing selected, nothing to remove; a slide that
    // was on show goes (a loaded bitmap stays on show).
    Images->SetItemIndex(-1);
    BtnRemoveImage->setEnabled(false);
    mnuRemoveImage->setEnabled(false);
    if (!HasBitmap()) {
        display_ = tk::TBitmap();
        RepaintPicture();
        ClearPanels();
    }
}

}  // namespace slideshelf
