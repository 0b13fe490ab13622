// The main window's commands driven as a user drives them: menus, buttons,
// list clicks, spin and list changes, dialog answers through the seam.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include "../crl/crlfile.h"
#include "harness.h"
#include "slideshelf/ui/Controls.h"
#include "slideshelf/ui/Rename.h"

using namespace slideshelf;
using namespace qvx;
using sstest::TEditor;
using testbmp::Rgb;

namespace {

// A small picture whose colour table holds three colours.
testbmp::BmpSpec Small(uint8_t shade = 0) {
    return sstest::Bitmap(5, 3, {{200, 10, shade}, {10, 200, 30}, {40, 40, 220}},
                          {0, 1, 2, 1, 0, 2, 2, 1, 1, 0, 0, 0, 1, 2, 2});
}

// The 20 static colours and black, each used by some pixel.
testbmp::BmpSpec StaticColours() {
    TLibPalette sys{};
    bmputil::ResetPalette(sys, true);
    std::vector<Rgb> table = {{0, 0, 0}};
    for (int i : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 246, 247, 248, 249, 250, 251, 252, 253, 254, 255})
        table.push_back({sys[static_cast<size_t>(i)].Red, sys[static_cast<size_t>(i)].Green,
                         sys[static_cast<size_t>(i)].Blue});
    std::vector<uint8_t> px;
    for (int i = 0; i < 21; ++i) px.push_back(static_cast<uint8_t>(i));
    return sstest::Bitmap(21, 1, table, px);
}

int Accept(QDialog& d) {
    QPushButton* ok = d.findChild<QPushButton*>("btnOK");
    if (!ok) ok = d.findChild<QPushButton*>("OKButton");
    EXPECT_NE(ok, nullptr);
    QTest::mouseClick(ok, Qt::LeftButton);
    return d.result();
}

int Cancel(QDialog& d) {
    QTest::mouseClick(d.findChild<QPushButton*>("btnCancel"), Qt::LeftButton);
    return d.result();
}

// A library file with three slides named A, B and C (transitions 1, 2, 3,
// speeds 10, 20, 30, holds 1, 2, 3).
std::vector<uint8_t> ThreeSlides(uint8_t lastTransition = 3) {
    std::mt19937 rng(5);
    TLibPalette pal{};
    bmputil::ResetPalette(pal, true);
    std::vector<testcrl::RawSlide> slides;
    const char* names[] = {"A", "B", "C"};
    for (int i = 0; i < 3; ++i) {
        testcrl::RawSlide s = testcrl::Raw(4 + i, 2 + i, names[i], rng);
        s.transition = i == 2 ? lastTransition : static_cast<uint8_t>(i + 1);
        s.speed = 10 * (i + 1);
        s.hold = i + 1;
        slides.push_back(s);
    }
    return testcrl::CrlBytes("CR10", 3, 77, pal, slides);
}

void OpenLibraryFile(TEditor& ed, const QString& file) {
    ed.Dialogs.OpenAnswers.push_back(file);
    ed.Trigger(ed.Main().mnuOpenLib);
}

}  // namespace

// ---- Bitmaps and adding ---------------------------------------------------------------

TEST(Commands, OpeningABitmapShowsItsSizePathAndTheControlValues) {
    TEditor ed;
    TfrmMain& f = ed.Main();
    const QString file = ed.WriteBitmap("SUNSET01.BMP", Small());
    ed.TypeInto(f.HoldSpin, "7");
    ASSERT_TRUE(ed.OpenBitmap(file));
    const TFileDialogOptions& asked = ed.Dialogs.FileDialogs.back();
    EXPECT_EQ(asked.Title, "Open Bitmap");
    EXPECT_EQ(asked.Filter, "Bitmap Files (*.BMP)|*.BMP|All Files (*.*)|*.*");
    EXPECT_EQ(asked.InitialName, "*.BMP");
    EXPECT_EQ(asked.DefaultExt, "BMP");
    EXPECT_TRUE(asked.MustExist);

    EXPECT_EQ(ed.Panel(0), "W=5");
    EXPECT_EQ(ed.Panel(1), "H=3");
    EXPECT_EQ(ed.Panel(2), file);
    EXPECT_EQ(ed.Panel(3), "No Transition Effect");
    EXPECT_EQ(ed.Panel(4), "Speed =5(s)");
    EXPECT_EQ(ed.Panel(5), "Hold = 7(s)");
    EXPECT_TRUE(f.HasBitmap());
    EXPECT_FALSE(f.TransparentEnabled());
    EXPECT_TRUE(f.BtnAddImage->isEnabled());
    EXPECT_TRUE(f.mnuAddImage->isEnabled());
    EXPECT_TRUE(f.mnuEditBmpPal->isEnabled());
    EXPECT_TRUE(f.sbBmpPal->isEnabled());
    // The bitmap's own colours are shown, unmatched.
    EXPECT_EQ(f.DisplayPicture().Image().pixel(0, 0) & 0xFFFFFF, 0xC80A00u);
    EXPECT_EQ(f.Library().Palette()[10].Used, 0);

    // Cancelling the dialog changes nothing.
    ed.Dialogs.OpenAnswers.push_back("");
    ed.Trigger(f.mnuOpenBitmap);
    EXPECT_TRUE(f.HasBitmap());
    EXPECT_EQ(ed.Panel(2), file);
}

TEST(Commands, BadBitmapsShowTheReadersMessageAndLeaveNoBitmap) {
    TEditor ed;
    TfrmMain& f = ed.Main();
    ASSERT_TRUE(ed.OpenBitmap(ed.WriteBitmap("ok.bmp", Small())));
    testbmp::BmpSpec deep = Small();
    deep.bitCount = 24;
    EXPECT_FALSE(ed.OpenBitmap(ed.WriteBitmap("deep.bmp", deep)));
    EXPECT_EQ(ed.Dialogs.LastError(), "The image must be an 8bpp (256 color) image");
    // The message box of the application's handler carries its title.
    EXPECT_EQ(ed.Dialogs.Errors.back().first, "QVX Intro Screens Library Editor");
    EXPECT_FALSE(f.HasBitmap());
    EXPECT_TRUE(f.DisplayPicture().Empty());
    // The add commands stay as they were, and adding now does nothing.
    EXPECT_TRUE(f.BtnAddImage->isEnabled());
    ed.Click(f.BtnAddImage);
    EXPECT_EQ(f.Library().SlideCount(), 0);
    EXPECT_EQ(f.Images->count(), 0);

    testbmp::BmpSpec rle = Small();
    rle.compression = 1;
    EXPECT_FALSE(ed.OpenBitmap(ed.WriteBitmap("rle.bmp", rle)));
    EXPECT_EQ(ed.Dialogs.LastError(), "The image must be uncompressed (RGB encoded)");
    EXPECT_FALSE(ed.OpenBitmap(ed.WriteBytes("text.bmp", {'h', 'e', 'l', 'l', 'o', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0})));
    EXPECT_EQ(ed.Dialogs.LastError(), "Not a valid bitmap file");
    EXPECT_FALSE(f.HasBitmap());
}

TEST(Commands, AddingMatchesColoursAdvancesTheBarOnceARowAndShowsTheSlide) {
    TEditor ed;
    TfrmMain& f = ed.Main();
    const QString file = ed.WriteBitmap("STATIC.BMP", StaticColours());
    ASSERT_TRUE(ed.OpenBitmap(file));

    testbmp::BmpSpec tall = sstest::RandomBitmap(7, 40, 30, 3);
    const QString tallFile = ed.WriteBitmap("tall.bmp", tall);
    ed.Click(f.BtnAddImage);
    ASSERT_EQ(f.Library().SlideCount(), 1);
    // Black is found only in the transparent entry, so it takes entry 10.
    const TIntroSlide* s = f.Library().Slide(0);
    const uint8_t expected[21] = {10, 10, 1, 2, 3, 4, 5, 6, 7, 8, 9, 246, 247, 248, 249, 250, 251, 252, 253, 254, 255};
    EXPECT_TRUE(std::equal(expected, expected + 21, s->Pixels.begin()));
    EXPECT_EQ(f.Library().Palette()[10], (bmputil::TLibPalEntry{0, 0, 0, 1}));
    EXPECT_EQ(f.Library().Palette()[11].Used, 0);

    // The progress bar moves once a row under the hourglass, then goes back.
    std::vector<int> positions;
    std::vector<bool> waiting;
    QObject::connect(f.ProgressBar1, &QProgressBar::valueChanged, [&](int v) {
        positions.push_back(v);
        waiting.push_back(QApplication::overrideCursor() &&
                          QApplication::overrideCursor()->shape() == Qt::WaitCursor);
    });
    ASSERT_TRUE(ed.OpenBitmap(tallFile));
    ed.Trigger(f.mnuAddImage);
    ASSERT_EQ(f.Library().SlideCount(), 2);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    std::vector<int> want;
    for (int i = 1; i <= 40; ++i) want.push_back(i);
    want.push_back(0);
    EXPECT_EQ(positions, want);
    EXPECT_TRUE(std::all_of(waiting.begin(), waiting.end(), [](bool w) { return w; }));
    EXPECT_EQ(f.ProgressBar1->maximum(), 40);

    // The new slide is selected and shown; the bitmap is gone with its commands.
    EXPECT_EQ(ed.ListTexts(), (QStringList{"STATIC", "tall"}));
    EXPECT_EQ(f.Images->ItemIndex(), 1);
    EXPECT_EQ(f.Library().Header().Count, 2);
    EXPECT_FALSE(f.HasBitmap());
    EXPECT_FALSE(f.BtnAddImage->isEnabled());
    EXPECT_FALSE(f.mnuAddImage->isEnabled());
    EXPECT_FALSE(f.mnuEditBmpPal->isEnabled());
    EXPECT_FALSE(f.sbBmpPal->isEnabled());
    EXPECT_TRUE(f.BtnRemoveImage->isEnabled());
    EXPECT_EQ(ed.Panel(0), "W=7");
    EXPECT_EQ(ed.Panel(1), "H=40");
    EXPECT_EQ(ed.Panel(2), "tall");
    EXPECT_EQ(ed.Panel(3), "No Transition Effect");
    EXPECT_EQ(ed.Panel(4), "Speed =5(s)");
    EXPECT_EQ(ed.Panel(5), "Hold =0(s)");
    // Shown through the library palette: entry 0 black, the rest as matched.
    const TIntroSlide* t = f.Library().Slide(1);
    const QRgb shown = f.DisplayPicture().Image().pixel(3, 2);
    const auto& e = f.Library().Palette()[t->Pixels[2 * 8 + 3]];
    EXPECT_EQ(shown & 0xFFFFFF, qRgb(e.Red, e.Green, e.Blue) & 0xFFFFFF);
}

TEST(Commands, SlideNamesComeFromTheFileNameAndBothRowOrdersGiveOneSlide) {
    TEditor ed;
    TfrmMain& f = ed.Main();
    testbmp::BmpSpec up = sstest::RandomBitmap(6, 5, 12, 9);
    testbmp::BmpSpec down = up;
    down.topDown = true;
    ed.AddBitmap(ed.WriteBitmap("title.screen.bmp", up));
    ed.AddBitmap(ed.WriteBitmap("SUNSET01.BMP", down));
    ed.AddBitmap(ed.WriteBitmap("x.y", Small()));
    EXPECT_EQ(ed.ListTexts(), (QStringList{"title.sc", "SUNSET01", "x"}));
    EXPECT_EQ(f.Library().Slide(0)->Pixels, f.Library().Slide(1)->Pixels);
    EXPECT_EQ(f.Library().Slide(0)->Height, 5);
    EXPECT_EQ(f.Library().Slide(0)->NameText(), "title.sc");
}

TEST(Commands, AnAddThatFailsPartWayLeavesNoEntryAndACountEqualToTheSlides) {
    TEditor ed;
    TfrmMain& f = ed.Main();
    ed.AddBitmap(ed.WriteBitmap("one.bmp", Small()));
    ASSERT_TRUE(ed.OpenBitmap(ed.WriteBitmap("two.bmp", sstest::RandomBitmap(4, 10, 5, 1))));
    // Stand-in for running out of memory half-way through the rows.
    auto c = QObject::connect(f.ProgressBar1, &QProgressBar::valueChanged, [](int v) {
        if (v == 4) throw tk::EOutOfMemory(tk::msg::SOutOfMemory);
    });
    ed.Click(f.BtnAddImage);
    QObject::disconnect(c);
    EXPECT_EQ(ed.Dialogs.LastError(), "Out of memory");
    EXPECT_EQ(f.Library().SlideCount(), 1);
    EXPECT_EQ(f.Library().Header().Count, 1);
    EXPECT_EQ(f.Images->count(), 1);
    EXPECT_EQ(f.ProgressBar1->value(), 0);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    // As after any single add, the add commands are off.
    EXPECT_FALSE(f.BtnAddImage->isEnabled());
    ed.Dialogs.SaveAnswers.push_back(ed.Path("after.crl"));
    ed.Trigger(f.mnuSaveLib);
    TIntroLibrary back;
    ASSERT_EQ(back.LoadFromFile(sstest::LocalName(ed.Path("after.crl"))), TLoadResult::Loaded);
    EXPECT_EQ(back.SlideCount(), 1);
}

// ---- Transition, speed and hold ---------------------------------------------------------

TEST(Commands, ActivationResetsTheTransitionListButTheNextAddKeepsTheChosenOne) {
    TEditor ed;
    TfrmMain& f = ed.Main();
    ed.ChooseTransition(6);
    EXPECT_EQ(f.CurrentTransition(), 6);
    EXPECT_EQ(ed.Panel(3), "Curtains");
    ed.TypeInto(f.SpeedSpin, "9");
    ed.TypeInto(f.HoldSpin, "4");

    // The about box closes; the main window is active again.
    ed.Dialogs.ExecuteAnswers.push_back(Accept);
    ed.Trigger(f.mnuAbout);
    ASSERT_EQ(ed.Dialogs.ExecutedTitles.back(), "About");
    ed.Activate();
    EXPECT_EQ(f.ComboBox1->currentText(), "No Transition Effect");
    EXPECT_EQ(f.CurrentTransition(), 6);
    EXPECT_EQ(ed.Panel(3), "Curtains");

    ed.AddBitmap(ed.WriteBitmap("a.bmp", Small()));
    const TIntroSlide* s = f.Library().Slide(0);
    EXPECT_EQ(s->Transition, 6);
    EXPECT_EQ(s->Speed, 9);
    EXPECT_EQ(s->Hold, 4);
    // Opening a bitmap reports the list's text, whatever the current value.
    ed.Activate();
    ASSERT_TRUE(ed.OpenBitmap(ed.WriteBitmap("b.bmp", Small())));
    EXPECT_EQ(ed.Panel(3), "No Transition Effect");
}

TEST(Commands, ClickingASlideLoadsItsValuesAndFollowsTheHoldSpacingRule) {
    TEditor ed;
    TfrmMain& f = ed.Main();
    OpenLibraryFile(ed, ed.WriteBytes("three.crl", ThreeSlides()));
    ASSERT_EQ(ed.ListTexts(), (QStringList{"A", "B", "C"}));

    // Hold 1 differs from the spin's 0: the spin's handler runs last.
    ed.ClickSlide(0);
    EXPECT_EQ(ed.Panel(0), "W=4");
    EXPECT_EQ(ed.Panel(1), "H=2");
    EXPECT_EQ(ed.Panel(2), "A");
    EXPECT_EQ(ed.Panel(3), "SlideRight");
    EXPECT_EQ(ed.Panel(4), "Speed =10(s)");
    EXPECT_EQ(ed.Panel(5), "Hold = 1(s)");
    EXPECT_EQ(f.ComboBox1->currentIndex(), 1);
    EXPECT_EQ(f.SpeedSpin->text(), "10");
    EXPECT_EQ(f.HoldSpin->text(), "1");
    EXPECT_EQ(f.CurrentSpeed(), 10);
    EXPECT_EQ(f.CurrentHold(), 1);
    // Setting the list from the slide is not a choice: the current one stays.
    EXPECT_EQ(f.CurrentTransition(), 0);
    EXPECT_TRUE(f.BtnRemoveImage->isEnabled());
    EXPECT_TRUE(f.mnuRemoveImage->isEnabled());

    // Same hold as the spin: no handler, the slide's own format stays.
    ed.TypeInto(f.HoldSpin, "2");
    ed.TypeInto(f.SpeedSpin, "20");
    ed.ClickSlide(1);
    EXPECT_EQ(ed.Panel(4), "Speed =20(s)");
    EXPECT_EQ(ed.Panel(5), "Hold =2(s)");

    // The keyboard moves the selection and shows the next slide.
    f.Images->setFocus();
    QTest::keyClick(f.Images, Qt::Key_Down);
    EXPECT_EQ(f.Images->ItemIndex(), 2);
    EXPECT_EQ(ed.Panel(2), "C");
    EXPECT_EQ(ed.Panel(4), "Speed =30(s)");
}

TEST(Commands, ATransitionBeyondTheListShowsNoTextAndNoItem) {
    TEditor ed;
    TfrmMain& f = ed.Main();
    OpenLibraryFile(ed, ed.WriteBytes("odd.crl", ThreeSlides(40)));
    ed.ClickSlide(2);
    EXPECT_EQ(ed.Panel(3), "");
    EXPECT_EQ(f.ComboBox1->currentIndex(), -1);
    EXPECT_EQ(ed.Panel(2), "C");
    // Updating the properties now keeps the slide's transition.
    ed.TypeInto(f.HoldSpin, "9");
    ed.Click(f.SpeedButton2);
    EXPECT_EQ(f.Library().Slide(2)->Transition, 40);
    EXPECT_EQ(f.Library().Slide(2)->Hold, 9);
}

TEST(Commands, UpdatePropertiesTakesTheControlsValuesOnly) {
    TEditor ed;
    TfrmMain& f = ed.Main();
    OpenLibraryFile(ed, ed.WriteBytes("three.crl", ThreeSlides()));
    // Nothing selected: nothing happens.
    ed.Click(f.SpeedButton2);
    EXPECT_EQ(f.Library().Slide(0)->Speed, 10);

    ed.ClickSlide(0);
    ed.ChooseTransition(17);
    ed.TypeInto(f.SpeedSpin, "55");
    ed.TypeInto(f.HoldSpin, "66");
    const QString p4 = ed.Panel(4), p5 = ed.Panel(5);
    ed.Click(f.SpeedButton2);
    const TIntroSlide* s = f.Library().Slide(0);
    EXPECT_EQ(s->Transition, 17);
    EXPECT_EQ(s->Speed, 55);
    EXPECT_EQ(s->Hold, 66);
    EXPECT_EQ(f.Library().Slide(1)->Speed, 20);
    EXPECT_EQ(ed.Panel(4), p4);
    EXPECT_EQ(ed.Panel(5), p5);
}

TEST(Commands, ShowingASlideTurnsOffTheCommandsThatNeedTheBitmap) {
    TEditor ed;
    TfrmMain& f = ed.Main();
    ed.AddBitmap(ed.WriteBitmap("a.bmp", Small()));
    ASSERT_TRUE(ed.OpenBitmap(ed.WriteBitmap("b.bmp", Small(50))));
    ASSERT_TRUE(f.BtnAddImage->isEnabled());
    ed.ClickSlide(0);
    EXPECT_FALSE(f.HasBitmap());
    EXPECT_FALSE(f.BtnAddImage->isEnabled());
    EXPECT_FALSE(f.mnuAddImage->isEnabled());
    EXPECT_FALSE(f.mnuEditBmpPal->isEnabled());
    EXPECT_FALSE(f.sbBmpPal->isEnabled());
    // Even run directly, they touch nothing.
    f.mnuAddImageClick();
    f.mnuEditBmpPalClick();
    EXPECT_EQ(f.Library().SlideCount(), 1);
    EXPECT_TRUE(ed.Dialogs.ExecutedTitles.empty());
}

// ---- List editing -----------------------------------------------------------------------

TEST(Commands, MovesSwapNeighboursAndDoNothingAtTheEnds) {
    TEditor ed;
    TfrmMain& f = ed.Main();
    OpenLibraryFile(ed, ed.WriteBytes("three.crl", ThreeSlides()));
    // Nothing selected.
    ed.Click(f.BtnMoveImageUp);
    ed.Click(f.BtnMoveImageDown);
    EXPECT_EQ(ed.ListTexts(), (QStringList{"A", "B", "C"}));

    ed.ClickSlide(0);
    ed.Click(f.BtnMoveImageUp);
    EXPECT_EQ(ed.ListTexts(), (QStringList{"A", "B", "C"}));
    EXPECT_EQ(f.Images->ItemIndex(), 0);
    ed.Click(f.BtnMoveImageDown);
    EXPECT_EQ(ed.ListTexts(), (QStringList{"B", "A", "C"}));
    EXPECT_EQ(f.Images->ItemIndex(), 1);
    ed.Click(f.BtnMoveImageDown);
    EXPECT_EQ(ed.ListTexts(), (QStringList{"B", "C", "A"}));
    ed.Click(f.BtnMoveImageDown);
    EXPECT_EQ(ed.ListTexts(), (QStringList{"B", "C", "A"}));
    EXPECT_EQ(f.Images->ItemIndex(), 2);
    ed.Click(f.BtnMoveImageUp);
    EXPECT_EQ(ed.ListTexts(), (QStringList{"B", "A", "C"}));
    // The slides moved with their entries; moving shows nothing new.
    EXPECT_EQ(f.Library().Slide(0)->NameText(), "B");
    EXPECT_EQ(f.Library().Slide(1)->Speed, 10);
    EXPECT_EQ(ed.Panel(2), "A");
    EXPECT_EQ(f.Library().Header().Count, 3);

    // The new order is the file order.
    ed.Dialogs.SaveAnswers.push_back(ed.Path("moved.crl"));
    ed.Trigger(f.mnuSaveLibAs);
    TIntroLibrary back;
    ASSERT_EQ(back.LoadFromFile(sstest::LocalName(ed.Path("moved.crl"))), TLoadResult::Loaded);
    EXPECT_EQ(back.Slide(0)->NameText(), "B");
    EXPECT_EQ(back.Slide(1)->NameText(), "A");
    EXPECT_EQ(back.Slide(2)->NameText(), "C");
}

TEST(Commands, RenameStoresAtMostEightCharactersAndCancelKeepsTheName) {
    TEditor ed;
    TfrmMain& f = ed.Main();
    OpenLibraryFile(ed, ed.WriteBytes("three.crl", ThreeSlides()));
    // Nothing selected: no dialog.
    ed.Trigger(f.Remove1);
    EXPECT_TRUE(ed.Dialogs.ExecutedTitles.empty());

    ed.ClickSlide(1);
    ed.Dialogs.ExecuteAnswers.push_back([&](QDialog& d) {
        EXPECT_EQ(&d, &ed.Rename());
        EXPECT_EQ(ed.Rename().Edit1->text(), "B");
        ed.TypeInto(ed.Rename().Edit1, "Dog");
        return Accept(d);
    });
    ed.Trigger(f.Remove1);
    EXPECT_EQ(f.Library().Slide(1)->Name[0], 3);
    EXPECT_EQ(f.Library().Slide(1)->NameText(), "Dog");
    EXPECT_EQ(ed.ListTexts(), (QStringList{"A", "Dog", "C"}));
    EXPECT_EQ(f.Images->ItemIndex(), 1);

    // The edit box takes no more than 8 characters.
    ed.Dialogs.ExecuteAnswers.push_back([&](QDialog& d) {
        ed.TypeInto(ed.Rename().Edit1, "LongerThanEight");
        EXPECT_EQ(ed.Rename().Edit1->text(), "LongerTh");
        return Accept(d);
    });
    ed.Trigger(f.Remove1);
    EXPECT_EQ(f.Library().Slide(1)->NameText(), "LongerTh");
    EXPECT_EQ(ed.ListTexts()[1], "LongerTh");

    ed.Dialogs.ExecuteAnswers.push_back([&](QDialog& d) {
        ed.TypeInto(ed.Rename().Edit1, "Nope");
        return Cancel(d);
    });
    ed.Trigger(f.Remove1);
    EXPECT_EQ(f.Library().Slide(1)->NameText(), "LongerTh");
    // The rename dialog closing makes the main window active again.
    ed.ChooseTransition(3);
    ed.Activate();
    EXPECT_EQ(f.ComboBox1->currentIndex(), 0);
    EXPECT_EQ(f.CurrentTransition(), 3);
}

TEST(Commands, RemoveDeletesTheSelectedSlideAndClearsFivePanels) {
    TEditor ed;
    TfrmMain& f = ed.Main();
    OpenLibraryFile(ed, ed.WriteBytes("three.crl", ThreeSlides()));
    ed.Click(f.BtnRemoveImage);  // disabled, and nothing selected
    ed.Trigger(f.Remove2);
    EXPECT_EQ(f.Library().SlideCount(), 3);

    ed.ClickSlide(1);
    ASSERT_FALSE(f.DisplayPicture().Empty());
    const QString hold = ed.Panel(5);
    ed.Click(f.BtnRemoveImage);
    EXPECT_EQ(ed.ListTexts(), (QStringList{"A", "C"}));
    EXPECT_EQ(f.Library().SlideCount(), 2);
    EXPECT_EQ(f.Library().Header().Count, 2);
    EXPECT_EQ(f.Library().Slide(1)->NameText(), "C");
    EXPECT_EQ(f.Images->ItemIndex(), -1);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(ed.Panel(i), "") << i;
    EXPECT_EQ(ed.Panel(5), hold);
    EXPECT_TRUE(f.DisplayPicture().Empty());
    EXPECT_FALSE(f.BtnRemoveImage->isEnabled());
    EXPECT_FALSE(f.mnuRemoveImage->isEnabled());

    // From the context menu and from the library menu.
    ed.ClickSlide(0);
    ed.Trigger(f.Remove2);
    EXPECT_EQ(ed.ListTexts(), (QStringList{"C"}));
    ed.ClickSlide(0);
    ed.Trigger(f.mnuRemoveImage);
    EXPECT_EQ(f.Library().SlideCount(), 0);
    EXPECT_EQ(f.Library().Header().Count, 0);
}

// Only a (left) click chooses the slide the commands act on: a right click on
// another entry, as for the context menu, leaves the choice alone.
TEST(Commands, ARightClickDoesNotChooseASlide) {
    TEditor ed;
    TfrmMain& f = ed.Main();
    OpenLibraryFile(ed, ed.WriteBytes("three.crl", ThreeSlides()));
    ed.ClickSlide(0);
    QListWidgetItem* other = f.Images->item(2);
    QTest::mouseClick(f.Images->viewport(), Qt::RightButton, {}, f.Images->visualItemRect(other).center());
    QApplication::processEvents();
    EXPECT_EQ(f.Images->ItemIndex(), 0);
    ed.Trigger(f.Remove2);
    EXPECT_EQ(ed.ListTexts(), (QStringList{"B", "C"}));
}

// ---- Files ------------------------------------------------------------------------------

TEST(Commands, SaveAsksOnlyWithoutANameAndSaveAsAlwaysAsks) {
    TEditor ed;
    TfrmMain& f = ed.Main();
    ed.AddBitmap(ed.WriteBitmap("a.bmp", Small()));

    ed.Dialogs.SaveAnswers.push_back("");  // cancelled: nothing written
    ed.Click(f.sbSaveLib);
    EXPECT_TRUE(f.Library().FileName().empty());
    const TFileDialogOptions shown = ed.Dialogs.FileDialogs.back();
    EXPECT_EQ(shown.Title, "Save Image Library");
    EXPECT_EQ(shown.Filter, "Intro Library (*.CRL)|*.CRL|All Files (*.*)|*.*");
    EXPECT_EQ(shown.InitialName, "*.CRL");
    EXPECT_EQ(shown.DefaultExt, "CRL");

    ed.Dialogs.SaveAnswers.push_back(ed.Path("one.crl"));
    ed.Trigger(f.mnuSaveLib);
    const auto first = ed.ReadBytes(ed.Path("one.crl"));
    ASSERT_EQ(first.size(), 1036u + 32 + 8 * 3);
    const size_t asked = ed.Dialogs.FileDialogs.size();
    ed.Trigger(f.mnuSaveLib);  // has a name now: no dialog
    EXPECT_EQ(ed.Dialogs.FileDialogs.size(), asked);

    ed.Dialogs.SaveAnswers.push_back(ed.Path("two.crl"));
    ed.Trigger(f.mnuSaveLibAs);
    EXPECT_EQ(ed.Dialogs.FileDialogs.size(), asked + 1);
    EXPECT_EQ(ed.ReadBytes(ed.Path("two.crl")), first);
    EXPECT_EQ(f.Library().FileName(), sstest::LocalName(ed.Path("two.crl")));
    // Cancelling Save As keeps the name the library had.
    ed.Dialogs.SaveAnswers.push_back("");
    ed.Trigger(f.mnuSaveLibAs);
    EXPECT_EQ(f.Library().FileName(), sstest::LocalName(ed.Path("two.crl")));
}

TEST(Commands, OpenReplacesTheLibraryAndResavesItByteForByte) {
    TEditor ed;
    TfrmMain& f = ed.Main();
    auto bytes = ThreeSlides();
    bytes[1036 + 1] = 0xAB;  // padding, carried as read
    bytes[1036 + 29] = 0xCD;
    const QString file = ed.WriteBytes("three.crl", bytes);
    ed.AddBitmap(ed.WriteBitmap("a.bmp", Small()));
    ed.TypeInto(f.HoldSpin, "3");
    const QString hold = ed.Panel(5);

    ed.Dialogs.ConfirmAnswers.push_back(false);  // the added slide is not kept
    ed.Dialogs.OpenAnswers.push_back("");        // cancelled: nothing changes
    ed.Click(f.sbOpenLib);
    EXPECT_EQ(ed.ListTexts(), (QStringList{"a"}));

    ed.Dialogs.ConfirmAnswers.push_back(false);
    OpenLibraryFile(ed, file);
    const TFileDialogOptions shown = ed.Dialogs.FileDialogs.back();
    EXPECT_EQ(shown.Title, "Open Image Library");
    EXPECT_TRUE(shown.MustExist);
    EXPECT_EQ(ed.ListTexts(), (QStringList{"A", "B", "C"}));
    EXPECT_EQ(f.Library().Header().Reserved, 77);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(ed.Panel(i), "") << i;
    EXPECT_EQ(ed.Panel(5), hold);
    EXPECT_FALSE(f.sbBmpPal->isEnabled());

    ed.Trigger(f.mnuSaveLib);  // to the file it came from
    EXPECT_EQ(ed.ReadBytes(file), bytes);
}

TEST(Commands, NewLibraryEmptiesEverythingButTheBitmapAndPanelFive) {
    TEditor ed;
    TfrmMain& f = ed.Main();
    OpenLibraryFile(ed, ed.WriteBytes("three.crl", ThreeSlides()));
    ed.ClickSlide(0);
    ASSERT_TRUE(ed.OpenBitmap(ed.WriteBitmap("b.bmp", Small())));
    const QString hold = ed.Panel(5);
    ed.Click(f.SpeedButton1);
    EXPECT_EQ(f.Images->count(), 0);
    EXPECT_EQ(f.Library().SlideCount(), 0);
    EXPECT_TRUE(f.Library().FileName().empty());
    for (int i = 0; i < 5; ++i) EXPECT_EQ(ed.Panel(i), "") << i;
    EXPECT_EQ(ed.Panel(5), hold);
    EXPECT_TRUE(f.DisplayPicture().Empty());
    // The bitmap stays and can still be added; its palette command is off.
    EXPECT_TRUE(f.HasBitmap());
    EXPECT_TRUE(f.BtnAddImage->isEnabled());
    EXPECT_FALSE(f.sbBmpPal->isEnabled());
    ed.Dialogs.SaveAnswers.push_back(ed.Path("empty.crl"));
    ed.Trigger(f.mnuSaveLib);
    EXPECT_EQ(ed.ReadBytes(ed.Path("empty.crl")).size(), 1036u);
    // Added now, it is still named after its file.
    ed.Click(f.BtnAddImage);
    EXPECT_EQ(ed.ListTexts(), (QStringList{"b"}));
    EXPECT_EQ(f.Library().Slide(0)->NameText(), "b");
}

TEST(Commands, ARejectedOrShortFileLeavesAConsistentLibrary) {
    TEditor ed;
    TfrmMain& f = ed.Main();
    auto bytes = ThreeSlides();
    bytes[0] = 'X';
    OpenLibraryFile(ed, ed.WriteBytes("bad.crl", bytes));
    EXPECT_EQ(ed.Dialogs.Errors.back(), (std::pair<QString, QString>{"Error", "Invalid Image Library"}));
    EXPECT_EQ(f.Images->count(), 0);
    EXPECT_TRUE(f.Library().FileName().empty());

    // Lower-case magic is accepted.
    bytes = ThreeSlides();
    bytes[0] = 'c';
    bytes[1] = 'r';
    OpenLibraryFile(ed, ed.WriteBytes("lower.crl", bytes));
    EXPECT_EQ(f.Images->count(), 3);

    // Cut inside the third slide's pixels: the first two stay.
    bytes = ThreeSlides();
    bytes.resize(bytes.size() - 3);
    ed.ClickSlide(2);
    ASSERT_TRUE(f.BtnRemoveImage->isEnabled());
    OpenLibraryFile(ed, ed.WriteBytes("short.crl", bytes));
    EXPECT_EQ(ed.Dialogs.LastError(), "Read beyond end of file");
    EXPECT_EQ(ed.ListTexts(), (QStringList{"A", "B"}));
    EXPECT_EQ(f.Library().Header().Count, 2);
    // The slide that was shown is gone with its library: nothing is drawn,
    // selected or removable.
    EXPECT_TRUE(f.DisplayPicture().Empty());
    EXPECT_EQ(f.Images->ItemIndex(), -1);
    EXPECT_FALSE(f.BtnRemoveImage->isEnabled());
    EXPECT_FALSE(f.mnuRemoveImage->isEnabled());
    ed.Trigger(f.Remove2);
    EXPECT_EQ(f.Library().SlideCount(), 2);
}

// ---- Batch add --------------------------------------------------------------------------

TEST(Commands, BatchAddTakesTheFilesInTheDialogsOrderWithIndexZeroTransparent) {
    TEditor ed;
    TfrmMain& f = ed.Main();
    // Index 0 is white in this one: its pixels still become transparent.
    testbmp::BmpSpec white =
        sstest::Bitmap(4, 2, {{255, 255, 255}, {9, 9, 9}, {200, 100, 0}}, {0, 1, 2, 0, 2, 2, 1, 0});
    const QString a = ed.WriteBitmap("white.bmp", white);
    const QString b = ed.WriteBitmap("small.bmp", Small());
    const QString c = ed.WriteBitmap("rand.bmp", sstest::RandomBitmap(9, 7, 40, 4));
    ed.ChooseTransition(2);
    ed.Dialogs.OpenManyAnswers.push_back({c, a, b});
    ed.Trigger(f.BatchAdd1);
    EXPECT_EQ(ed.ListTexts(), (QStringList{"rand", "white", "small"}));
    EXPECT_EQ(f.Library().Header().Count, 3);
    const TIntroSlide* w = f.Library().Slide(1);
    EXPECT_EQ(w->Transition, 2);
    const uint8_t px[8] = {w->Pixels[0], w->Pixels[1], w->Pixels[2], w->Pixels[3],
                           w->Pixels[4], w->Pixels[5], w->Pixels[6], w->Pixels[7]};
    EXPECT_EQ(px[0], 0);
    EXPECT_EQ(px[3], 0);
    EXPECT_EQ(px[7], 0);
    EXPECT_NE(px[1], 0);
    EXPECT_NE(px[2], 0);
    // White never reached the palette.
    for (int i = 1; i < 246; ++i) EXPECT_FALSE(f.Library().Palette()[static_cast<size_t>(i)] == (bmputil::TLibPalEntry{255, 255, 255, 1})) << i;

    // The last file stays the current bitmap, shown in its own colours
    // without the hatch; no slide was shown and the commands kept their state.
    EXPECT_TRUE(f.HasBitmap());
    EXPECT_TRUE(f.TransparentEnabled());
    EXPECT_EQ(f.TransparentIndex(), 0);
    EXPECT_FALSE(f.BatchMode());
    EXPECT_FALSE(f.BtnAddImage->isEnabled());
    EXPECT_EQ(ed.Panel(2), b);
    EXPECT_EQ(ed.Panel(0), "W=5");
    EXPECT_EQ(f.Images->ItemIndex(), 2);
    EXPECT_EQ(f.DisplayPicture().Image().pixel(0, 0) & 0xFFFFFF, 0xC80A00u);
}

TEST(Commands, ABatchStopsAtTheFirstBadFile) {
    TEditor ed;
    TfrmMain& f = ed.Main();
    testbmp::BmpSpec deep = Small();
    deep.bitCount = 4;
    ed.Dialogs.OpenManyAnswers.push_back(
        {ed.WriteBitmap("one.bmp", Small()), ed.WriteBitmap("deep.bmp", deep), ed.WriteBitmap("three.bmp", Small())});
    ed.Trigger(f.BatchAdd1);
    EXPECT_EQ(ed.Dialogs.LastError(), "The image must be an 8bpp (256 color) image");
    EXPECT_EQ(ed.ListTexts(), (QStringList{"one"}));
    EXPECT_EQ(f.Library().Header().Count, 1);
    EXPECT_FALSE(f.BatchMode());
    EXPECT_FALSE(f.HasBitmap());

    // A cancelled batch adds nothing and leaves batch mode.
    ed.Dialogs.OpenManyAnswers.push_back({});
    ed.Trigger(f.BatchAdd1);
    EXPECT_FALSE(f.BatchMode());
    EXPECT_EQ(f.Library().SlideCount(), 1);
}

// ---- Picture area -----------------------------------------------------------------------

TEST(Commands, ThePictureIsStretchedOrDrawnAtTheCornerOverTheHatch) {
    TEditor ed;
    TfrmMain& f = ed.Main();
    // One colour everywhere.
    ASSERT_TRUE(ed.OpenBitmap(ed.WriteBitmap("flat.bmp", sstest::Bitmap(4, 4, {{10, 20, 200}}, std::vector<uint8_t>(16, 0)))));
    const QRgb blue = qRgb(10, 20, 200) & 0xFFFFFF;
    QImage img = f.PaintBox1->Snapshot();
    const int w = img.width(), h = img.height();
    EXPECT_EQ(img.pixel(w - 1, h - 1) & 0xFFFFFF, blue);
    EXPECT_EQ(img.pixel(w / 2, h / 2) & 0xFFFFFF, blue);

    ed.Trigger(f.mnuStretch);
    EXPECT_FALSE(f.mnuStretch->isChecked());
    img = f.PaintBox1->Snapshot();
    EXPECT_EQ(img.pixel(0, 0) & 0xFFFFFF, blue);
    EXPECT_EQ(img.pixel(3, 3) & 0xFFFFFF, blue);
    EXPECT_NE(img.pixel(w - 1, h - 1) & 0xFFFFFF, blue);
    // Around the picture the hatch shows: black lines on the window colour.
    int black = 0;
    for (int x = 10; x < 40; ++x)
        for (int y = 10; y < 40; ++y) black += (img.pixel(x, y) & 0xFFFFFF) == 0;
    EXPECT_GT(black, 50);
    ed.Trigger(f.mnuStretch);
    EXPECT_TRUE(f.mnuStretch->isChecked());
}

TEST(Commands, ExitClosesTheMainWindow) {
    TEditor ed;
    ASSERT_TRUE(ed.Main().isVisible());
    ed.Trigger(ed.Main().Exit1);
    EXPECT_FALSE(ed.Main().isVisible());
}
