// The main window as the program starts it: layout, controls, menus, the
// start-up state, and the spin edits' rules.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTest>
#include <QToolButton>

#include "harness.h"
#include "slideshelf/ui/Controls.h"
#include "slideshelf/ui/Rename.h"
#include "toolkit/sysutils.h"

using namespace slideshelf;
using namespace qvx;
using sstest::TEditor;

namespace {

struct MenuItem {
    QString text;  // "-" for a separator
    bool enabled = true;
    bool checked = false;
};

std::vector<MenuItem> Items(QMenu* menu) {
    std::vector<MenuItem> out;
    for (QAction* a : menu->actions())
        out.push_back(a->isSeparator() ? MenuItem{"-"} : MenuItem{a->text(), a->isEnabled(), a->isChecked()});
    return out;
}

void ExpectMenu(QMenu* menu, const QString& title, const std::vector<MenuItem>& want) {
    EXPECT_EQ(menu->title(), title);
    auto got = Items(menu);
    ASSERT_EQ(got.size(), want.size()) << title.toStdString();
    for (size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(got[i].text, want[i].text) << title.toStdString() << " item " << i;
        EXPECT_EQ(got[i].enabled, want[i].enabled) << want[i].text.toStdString();
        EXPECT_EQ(got[i].checked, want[i].checked) << want[i].text.toStdString();
    }
}

}  // namespace

TEST(Window, ProgramStartMakesTheMainWindowAndTheLastingRenameDialog) {
    TEditor ed;
    EXPECT_EQ(QApplication::applicationName(), "QVX Intro Screens Library Editor");
    TfrmMain& f = ed.Main();
    EXPECT_EQ(f.windowTitle(), "QVX Intro Screens Library Editor");
    // Offscreen windows have no frame, so the outer size is the window's.
    EXPECT_EQ(f.frameGeometry().size(), QSize(506, 374));
    const QRect screen = f.screen()->availableGeometry();
    EXPECT_NEAR(f.frameGeometry().center().x(), screen.center().x(), 1);
    EXPECT_NEAR(f.frameGeometry().center().y(), screen.center().y(), 1);
    EXPECT_EQ(f.font().pointSize(), 8);
    EXPECT_EQ(f.font().styleHint(), QFont::SansSerif);

    TfrmRename& r = ed.Rename();
    EXPECT_EQ(r.windowTitle(), "Rename Image");
    EXPECT_EQ(r.size(), QSize(204, 99));
    EXPECT_EQ(r.Label1->text(), "Image Name");
    EXPECT_EQ(r.Edit1->maxLength(), 8);
    EXPECT_TRUE(r.btnOK->isDefault());
}

TEST(Window, ToolBarButtonsAndControlsSitWhereTheLayoutPutsThem) {
    TEditor ed;
    TfrmMain& f = ed.Main();
    EXPECT_EQ(f.Panel1->height(), 28);
    EXPECT_EQ(f.Bevel1->height(), 2);
    EXPECT_EQ(f.Bevel2->height(), 2);
    // Line, tool bar, line, in that order from the top.
    EXPECT_LT(f.Bevel1->y(), f.Panel1->y());
    EXPECT_LT(f.Panel1->y(), f.Bevel2->y());

    struct Btn {
        QToolButton* b;
        int left;
        const char* hint;
    };
    for (const Btn& t : {Btn{f.SpeedButton1, 3, "New Image Library"}, Btn{f.sbOpenLib, 28, "Open Image Library"},
                         Btn{f.sbSaveLib, 53, "Save Image Library"},
                         Btn{f.sbEditPal, 78, "Edit Image Library Palette"},
                         Btn{f.sbOpenBitmap, 115, "Open Bitmap Image"},
                         Btn{f.sbBmpPal, 140, "Edit Bitmap Palette"}}) {
        EXPECT_EQ(t.b->x(), t.left) << t.hint;
        EXPECT_EQ(t.b->size(), QSize(25, 25)) << t.hint;
        EXPECT_EQ(t.b->toolTip(), t.hint);
        EXPECT_FALSE(t.b->icon().pixmap(16, 16).isNull()) << t.hint;
    }
    EXPECT_EQ(f.Bevel3->x(), 109);
    EXPECT_EQ(f.ComboBox1->x(), 170);
    EXPECT_EQ(f.ComboBox1->width(), 145);
    EXPECT_EQ(f.ComboBox1->toolTip(), "Transition Effect");
    EXPECT_EQ(f.SpeedSpin->x(), 321);
    EXPECT_EQ(f.SpeedSpin->width(), 45);
    EXPECT_EQ(f.SpeedSpin->toolTip(), "Set Transition Speed");
    EXPECT_EQ(f.HoldSpin->x(), 371);
    EXPECT_EQ(f.HoldSpin->width(), 43);
    EXPECT_EQ(f.HoldSpin->toolTip(), "Set Time To Hold Slide");

    ASSERT_EQ(f.ComboBox1->count(), 29);
    for (int i = 0; i < 29; ++i) EXPECT_EQ(f.ComboBox1->itemText(i), TransitionNames[static_cast<size_t>(i)]);
    EXPECT_EQ(f.ComboBox1->itemText(13), "Scrollright");
    EXPECT_EQ(f.ComboBox1->itemText(28), "FollowMe");
    EXPECT_FALSE(f.ComboBox1->isEditable());
}

TEST(Window, BodyListButtonPanelPictureAreaAndStatusBar) {
    TEditor ed;
    TfrmMain& f = ed.Main();
    EXPECT_EQ(f.Panel2->width(), 123);
    EXPECT_EQ(f.Panel3->text(), "Images");
    EXPECT_EQ(f.Panel3->height(), 19);
    EXPECT_EQ(f.Panel4->height(), 76);
    EXPECT_EQ(f.Images->contextMenuPolicy(), Qt::CustomContextMenu);
    f.Images->addItem("probe");
    EXPECT_EQ(f.Images->visualItemRect(f.Images->item(0)).height(), 13);
    f.Images->clear();

    struct Btn {
        QToolButton* b;
        QPoint at;
        const char* hint;
    };
    for (const Btn& t : {Btn{f.BtnAddImage, {14, 12}, "Add Current Image To Library"},
                         Btn{f.BtnRemoveImage, {45, 12}, "Remove Current Image From Library"},
                         Btn{f.SpeedButton2, {76, 11}, "Update Transition Properties"},
                         Btn{f.BtnMoveImageDown, {29, 39}, "Move Current Slide Down One"},
                         Btn{f.BtnMoveImageUp, {60, 39}, "Move Current Slide Up One"}}) {
        EXPECT_EQ(t.b->pos(), t.at) << t.hint;
        EXPECT_EQ(t.b->toolTip(), t.hint);
        EXPECT_FALSE(t.b->icon().pixmap(16, 16).isNull()) << t.hint;
    }
    EXPECT_EQ(f.ProgressBar1->height(), 9);
    EXPECT_EQ(f.ProgressBar1->y() + 9, f.Panel4->height());
    EXPECT_EQ(f.ProgressBar1->minimum(), 0);
    EXPECT_EQ(f.ProgressBar1->maximum(), 100);

    EXPECT_EQ(f.Panel5->frameShadow(), QFrame::Sunken);
    EXPECT_GT(f.PaintBox1->width(), 300);  // fills the rest of the body

    ASSERT_EQ(f.StatusPanels.size(), 6u);
    const int widths[5] = {50, 50, 120, 110, 75};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(f.StatusPanels[static_cast<size_t>(i)]->width(), widths[i]);
    EXPECT_GE(f.StatusPanels[5]->width(), 50);
    // The longest texts of the speed and hold panels fit them.
    auto fits = [&](int panel, const QString& text) {
        QLabel* l = f.StatusPanels[static_cast<size_t>(panel)];
        const int need = l->fontMetrics().horizontalAdvance(text) + 2 * l->frameWidth();
        EXPECT_LE(need, l->width()) << text.toStdString();
    };
    fits(4, "Speed =99(s)");
    fits(5, "Hold = 100(s)");
}

TEST(Window, MenusHoldEveryItemWithItsStartingState) {
    TEditor ed;
    TfrmMain& f = ed.Main();
    const QList<QAction*> bar = f.menuBar()->actions();
    ASSERT_EQ(bar.size(), 6);
    EXPECT_EQ(bar[1], f.Edit1->menuAction());
    ExpectMenu(f.File1, "&File",
               {{"&New Library..."}, {"-"}, {"&Open Library..."}, {"&Save Library"}, {"Save Library &As..."}, {"-"},
                {"E&xit"}});
    ExpectMenu(f.Edit1, "&Edit", {{"&Undo", false}, {"&Redo", false}});
    ExpectMenu(f.Library1, "&Library",
               {{"&Edit Palette..."}, {"Black Palette"}, {"-"}, {"&Add Image", false}, {"&Remove Image", false},
                {"-"}, {"&Import Palette..."}, {"E&xport Palette..."}, {"-"}, {"&Play Intro"},
                {"Pre&view Transition"}});
    EXPECT_EQ(f.mnuPlayIntro->shortcut(), QKeySequence(Qt::Key_F5));
    ExpectMenu(f.Bitmap1, "&Bitmap", {{"&Open..."}, {"&Batch Add..."}, {"-"}, {"&Edit Palette...", false}});
    ExpectMenu(f.Options1, "&Options", {{"&Stretch Image", true, true}});
    ExpectMenu(f.Help1, "&Help", {{"&About..."}});
    ExpectMenu(f.PopupMenu1, "", {{"R&ename..."}, {"-"}, {"&Remove"}});
    EXPECT_EQ(f.Remove1->objectName(), "Remove1");
    EXPECT_EQ(f.Remove2->objectName(), "Remove2");
}

TEST(Window, StartUpShowsAnEmptyLibraryAndAHatchedPictureArea) {
    TEditor ed;
    TfrmMain& f = ed.Main();
    EXPECT_EQ(f.Images->count(), 0);
    EXPECT_EQ(f.ComboBox1->currentText(), "No Transition Effect");
    EXPECT_EQ(f.SpeedSpin->text(), "5");
    EXPECT_EQ(f.HoldSpin->text(), "0");
    for (int i = 0; i < 6; ++i) EXPECT_EQ(ed.Panel(i), "") << i;
    EXPECT_EQ(f.CurrentSpeed(), 5);
    EXPECT_EQ(f.CurrentHold(), 0);
    EXPECT_EQ(f.CurrentTransition(), 0);
    EXPECT_FALSE(f.HasBitmap());
    EXPECT_TRUE(f.DisplayPicture().Empty());
    EXPECT_EQ(f.Library().Header().Count, 0);
    EXPECT_TRUE(f.Library().FileName().empty());
    EXPECT_FALSE(f.BtnAddImage->isEnabled());
    EXPECT_FALSE(f.BtnRemoveImage->isEnabled());
    EXPECT_FALSE(f.sbBmpPal->isEnabled());
    EXPECT_TRUE(f.sbEditPal->isEnabled());

    // Black hatch lines on the window colour: both kinds of pixel, only them.
    const QImage img = f.PaintBox1->Snapshot();
    const QRgb back = f.PaintBox1->palette().color(f.PaintBox1->backgroundRole()).rgb();
    int black = 0, other = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x) {
            const QRgb p = img.pixel(x, y) & 0xFFFFFF;
            if (p == 0) ++black;
            else if (p == (back & 0xFFFFFF)) ++other;
            else ADD_FAILURE() << "unexpected colour at " << x << "," << y;
        }
    EXPECT_GT(black, 100);
    EXPECT_GT(other, black);
}

TEST(Window, SpinEditsReadTextClampOnLeavingAndStepWithinTheRange) {
    TEditor ed;
    TfrmMain& f = ed.Main();
    // Typed outside the range: taken as typed while the box has the focus.
    ed.TypeInto(f.SpeedSpin, "300");
    EXPECT_EQ(f.SpeedSpin->Value(), 300);
    EXPECT_EQ(f.CurrentSpeed(), 300);
    EXPECT_EQ(ed.Panel(4), "Speed =300(s)");
    // Leaving the box clamps it, and the change handler follows.
    f.HoldSpin->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(f.SpeedSpin->text(), "100");
    EXPECT_EQ(f.CurrentSpeed(), 100);
    EXPECT_EQ(ed.Panel(4), "Speed =100(s)");

    // Text that is not a number reads as the minimum and stays as it is.
    ed.TypeInto(f.SpeedSpin, "-");
    EXPECT_EQ(f.SpeedSpin->Value(), 1);
    EXPECT_EQ(f.CurrentSpeed(), 1);
    f.HoldSpin->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(f.SpeedSpin->text(), "-");
    // Letters cannot be typed at all.
    ed.TypeInto(f.SpeedSpin, "7x");
    EXPECT_EQ(f.SpeedSpin->text(), "7");

    // Arrows step by one and stop at the ends.
    ed.TypeInto(f.HoldSpin, "99");
    ed.Click(f.HoldSpin->UpButton());
    EXPECT_EQ(f.HoldSpin->text(), "100");
    ed.Click(f.HoldSpin->UpButton());
    EXPECT_EQ(f.HoldSpin->text(), "100");
    EXPECT_EQ(ed.Panel(5), "Hold = 100(s)");
    ed.TypeInto(f.HoldSpin, "1");
    QTest::keyClick(f.HoldSpin, Qt::Key_Down);
    QTest::keyClick(f.HoldSpin, Qt::Key_Down);
    EXPECT_EQ(f.HoldSpin->text(), "0");
    EXPECT_EQ(f.CurrentHold(), 0);
    // An arrow from a value typed beyond the range lands inside it.
    ed.TypeInto(f.SpeedSpin, "500");
    ed.Click(f.SpeedSpin->DownButton());
    EXPECT_EQ(f.SpeedSpin->text(), "100");
}

TEST(Window, AFailureInAnyEventReachesTheOneHandler) {
    TEditor ed;
    // An event handler outside the commands (here a filter) that fails.
    struct Failing : QObject {
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::User) throw tk::Exception("Something failed");
            return false;
        }
    } failing;
    ed.Main().installEventFilter(&failing);
    QEvent e(QEvent::User);
    QApplication::sendEvent(&ed.Main(), &e);
    ed.Main().removeEventFilter(&failing);
    ASSERT_EQ(ed.Dialogs.Errors.size(), 1u);
    EXPECT_EQ(ed.Dialogs.Errors[0].first, "QVX Intro Screens Library Editor");
    EXPECT_EQ(ed.Dialogs.Errors[0].second, "Something failed");
    // The program goes on.
    EXPECT_TRUE(ed.OpenBitmap(ed.WriteBitmap("a.bmp", sstest::Bitmap(2, 2, {{1, 2, 3}}, {0, 0, 0, 0}))));
}
