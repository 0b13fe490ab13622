// TfrmMain's Edit menu, its undo steps and the question before unsaved
// changes are thrown away.
#include <QCloseEvent>
#include <QHashFunctions>
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

bool TfrmMain::Modified() const { return !UndoStack->isClean() && Print() != savedPrint_; }

std::vector<uint8_t> TfrmMain::Print() const {
    std::vector<uint8_t> print;
    auto append = [&print](const void* p, size_t n) {
        const auto* b = static_cast<const uint8_t*>(p);
        print.insert(print.end(), b, b + n);
    };
    append(&library_.Header(), sizeof(qvx::TIntroLibHeader));
    for (int i = 0; i < library_.SlideCount(); ++i) {
        const qvx::TIntroSlide* slide = library_.Slide(i);
        if (!slide) {
            print.push_back(0);
            continue;
        }
        print.push_back(1);
        append(static_cast<const qvx::TIntroSlideRecord*>(slide), sizeof(qvx::TIntroSlideRecord));
        const uint64_t size = slide->Pixels.size();
        const uint64_t hash = qHashBits(slide->Pixels.data(), slide->Pixels.size(), 0x51de5);
        append(&size, sizeof size);
        append(&hash, sizeof hash);
    }
    return print;
}

void TfrmMain::MarkSaved() {
    UndoStack->setClean();
    savedPrint_ = Print();
}

void TfrmMain::StartHistory() {
    UndoStack->clear();
    MarkSaved();
}

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
