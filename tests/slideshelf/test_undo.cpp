// Undo and redo through the Edit menu's keys, and the unsaved-changes
// question before anything replaces the library.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QTest>
#include <QToolButton>
#include <QUndoStack>
#include <functional>
#include <map>
#include <random>

#include "../crl/crlfile.h"
#include "harness.h"
#include "slideshelf/ui/Controls.h"
#include "slideshelf/ui/EditLibPal.h"
#include "slideshelf/ui/Rename.h"
#include "toolkit/names.h"

using namespace slideshelf;
using namespace qvx;
using sstest::TEditor;
using Bytes = std::vector<uint8_t>;

namespace {

// Keys as a person presses them, to whatever has the focus in the main
// window (active again once a dialog has closed, as on a desktop).
void Press(TEditor& ed, Qt::Key key, Qt::KeyboardModifiers modifiers) {
    if (!ed.Main().isActiveWindow()) ed.Activate();
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : &ed.Main();
    QTest::keyClick(target, key, modifiers);
    QApplication::processEvents();
}
void Undo(TEditor& ed) { Press(ed, Qt::Key_Z, Qt::ControlModifier); }
void Redo(TEditor& ed, bool withY) {
    if (withY)
        Press(ed, Qt::Key_Y, Qt::ControlModifier);
    else
        Press(ed, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
}

// A library file of three slides, one named in Latin-1, with bytes in the
// record's padding and after the names, which undo must bring back too.
QString ThreeSlideFile(TEditor& ed) {
    std::mt19937 rng(9);
    std::vector<testcrl::RawSlide> slides;
    for (const char* name : {"B\xE4ume", "Sky", "Sea"}) {
        testcrl::RawSlide s = testcrl::Raw(5 + static_cast<int>(slides.size()), 3, name, rng);
        s.transition = 4;
        s.speed = 30;
        s.hold = 2;
        s.pad1[0] = 0xAB;
        s.name[8] = 0xCD;
        s.pad2[2] = 0xEF;
        slides.push_back(s);
    }
    return ed.WriteBytes("three.crl", testcrl::CrlBytes("CR10", 3, 77, testcrl::NewPalette(), slides));
}

// The window shows the library: one entry per slide; after an undo or a
// redo the selected entry's slide is on show as a click shows it (after a
// palette step a bitmap waiting to be added stays instead).
void ExpectShown(TEditor& ed, bool afterStep) {
    TfrmMain& f = ed.Main();
    QStringList names;
    for (int i = 0; i < f.Library().SlideCount(); ++i) names << tk::NameToText(f.Library().Slide(i)->NameText());
    EXPECT_EQ(ed.ListTexts(), names);
    EXPECT_EQ(f.Library().Header().Count, f.Library().SlideCount());
    if (!afterStep) return;
    const int selected = f.Images->ItemIndex();
    EXPECT_EQ(f.BtnRemoveImage->isEnabled(), selected >= 0);
    if (selected >= 0 && !f.HasBitmap()) {
        EXPECT_EQ(ed.Panel(2), names[selected]);
        EXPECT_EQ(f.SpeedSpin->Value(), f.Library().Slide(selected)->Speed);
    }
}

}  // namespace

// Random commands, undos, redos and saves; then everything undone (Save
// writes the original file again) and redone (Save writes the final state).
// Every undo and redo gives back the exact bytes of the state it returns
// to, and Modified is true exactly when the library differs from the file
// (steps that cancel out, such as a move down and back up, leave it false).
TEST(Undo, RandomStepsUndoAndRedoToTheExactBytes) {
    TEditor ed;
    TfrmMain& f = ed.Main();
    const QString file = ThreeSlideFile(ed);
    ed.Dialogs.OpenAnswers.push_back(file);
    ed.Trigger(f.mnuOpenLib);
    const Bytes original = ed.ReadBytes(file);
    ASSERT_EQ(f.Library().SaveToBytes(), original);

    testbmp::BmpSpec padded = sstest::RandomBitmap(5, 4, 40, 3);
    padded.padByte = 0x99;
    const QStringList bitmaps = {ed.WriteBitmap("a.bmp", sstest::RandomBitmap(6, 3, 30, 1)),
                                 ed.WriteBitmap("b.bmp", sstest::RandomBitmap(7, 2, 90, 2)),
                                 ed.WriteBitmap("c.bmp", padded)};
    const std::string text = "GIMP Palette\nName: t\n#\n0 0 0\n10 20 30\n40 50 60\n";
    const QString gpl = ed.WriteBytes("p.gpl", Bytes(text.begin(), text.end()));

    std::mt19937 rng(77);
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    std::map<int, Bytes> at{{0, original}};  // the bytes at each stack index
    Bytes saved = original;
    auto check = [&](const char* what, int step, bool afterStep) {
        SCOPED_TRACE(testing::Message() << "step " << step << ": " << what);
        EXPECT_EQ(f.Modified(), f.Library().SaveToBytes() != saved);
        ExpectShown(ed, afterStep);
    };
    for (int step = 0; step < 100; ++step) {
        const int count = f.Images->count();
        const char* what = "";
        switch (pick(11)) {
            case 0:
                what = "add";
                ed.AddBitmap(bitmaps[pick(3)]);
                break;
            case 1:
                what = "batch add";
                ed.Dialogs.OpenManyAnswers.push_back({bitmaps[pick(3)], bitmaps[pick(3)]});
                ed.Trigger(f.BatchAdd1);
                break;
            case 2:
                if (count == 0 || pick(2)) continue;
                what = "remove";
                ed.ClickSlide(pick(count));
                ed.Click(f.BtnRemoveImage);
                break;
            case 3:
                if (count == 0) continue;
                what = "move";
                ed.ClickSlide(pick(count));
                ed.Click(pick(2) ? f.BtnMoveImageUp : f.BtnMoveImageDown);
                break;
            case 4: {
                if (count == 0) continue;
                what = "rename";
                ed.ClickSlide(pick(count));
                const QString name = QStringList{"Sky", "Dune", "Sea"}[pick(3)];
                ed.Dialogs.ExecuteAnswers.push_back([&, name](QDialog&) {
                    ed.TypeInto(ed.Rename().Edit1, name);
                    return int(QDialog::Accepted);
                });
                ed.Trigger(f.Remove1);
                break;
            }
            case 5:
                if (count == 0) continue;
                what = "update properties";
                ed.ClickSlide(pick(count));
                ed.ChooseTransition(pick(29));
                ed.TypeInto(f.SpeedSpin, QString::number(1 + pick(100)));
                ed.Click(f.SpeedButton2);
                break;
            case 6: {
                what = "edit palette";
                const int entry = 1 + pick(255);
                const uint8_t shade = static_cast<uint8_t>(pick(256));
                ed.Dialogs.ExecuteAnswers.push_back([entry, shade](QDialog& d) {
                    static_cast<TfrmEditLibPal&>(d).Palette[static_cast<size_t>(entry)] = {shade, 1, 2, 1};
                    return int(QDialog::Accepted);
                });
                ed.Trigger(f.ViewPalette1);
                break;
            }
            case 7: {
                if (pick(4)) continue;
                const bool black = pick(2) == 0;
                what = black ? "black palette" : "import palette";
                if (black) {
                    ed.Dialogs.ConfirmAnswers.push_back(true);
                    ed.Trigger(f.BlackPalette1);
                } else {
                    ed.Dialogs.OpenAnswers.push_back(gpl);
                    if (count > 0) ed.Dialogs.ConfirmAnswers.push_back(true);
                    ed.Trigger(f.mnuImportPal);
                }
                break;
            }
            case 8:
            case 9: {
                const int before = f.UndoStack->index();
                const bool undo = pick(2) == 0;
                what = undo ? "undo" : "redo";
                if (undo)
                    Undo(ed);
                else
                    Redo(ed, pick(2));
                EXPECT_EQ(f.Library().SaveToBytes(), at[f.UndoStack->index()]) << "step " << step << ": " << what;
                check(what, step, f.UndoStack->index() != before);
                continue;
            }
            case 10:
                if (pick(3)) continue;
                what = "save";
                ed.Trigger(f.mnuSaveLib);
                saved = f.Library().SaveToBytes();
                EXPECT_FALSE(f.Modified());
                break;
        }
        at[f.UndoStack->index()] = f.Library().SaveToBytes();
        check(what, step, false);
    }
    ASSERT_GT(f.UndoStack->count(), 10);
    EXPECT_TRUE(ed.Dialogs.Errors.empty()) << ed.Dialogs.LastError().toStdString();
    const Bytes final = at[f.UndoStack->count()];

    while (f.UndoStack->canUndo()) {
        SCOPED_TRACE(f.mnuUndo->text().toStdString());
        Undo(ed);
        EXPECT_EQ(f.Library().SaveToBytes(), at[f.UndoStack->index()]);
        EXPECT_EQ(f.Modified(), f.Library().SaveToBytes() != saved);
        ExpectShown(ed, true);
    }
    ed.Trigger(f.mnuSaveLib);
    EXPECT_EQ(ed.ReadBytes(file), original);
    EXPECT_FALSE(f.Modified());
    bool withY = false;
    while (f.UndoStack->canRedo()) {
        SCOPED_TRACE(f.mnuRedo->text().toStdString());
        Redo(ed, withY = !withY);
        EXPECT_EQ(f.Library().SaveToBytes(), at[f.UndoStack->index()]);
        EXPECT_EQ(f.Modified(), f.Library().SaveToBytes() != original);
        ExpectShown(ed, true);
    }
    ed.Trigger(f.mnuSaveLib);
    EXPECT_EQ(ed.ReadBytes(file), final);
}

// A removed slide comes back itself (its pixel block is not copied), shown
// as if clicked; the Edit menu names each step.
TEST(Undo, RemovedSlideComesBackAsItWasAndIsShown) {
    TEditor ed;
    TfrmMain& f = ed.Main();
    ed.Dialogs.OpenAnswers.push_back(ThreeSlideFile(ed));
    ed.Trigger(f.mnuOpenLib);
    ed.ClickSlide(1);
    const uint8_t* pixels = f.Library().Slide(1)->Pixels.data();
    ed.Click(f.BtnRemoveImage);
    EXPECT_EQ(f.mnuUndo->text(), "&Undo Remove Image");

    f.Images->setFocus();
    Undo(ed);
    EXPECT_EQ(f.Library().Slide(1)->Pixels.data(), pixels);
    EXPECT_EQ(f.Images->ItemIndex(), 1);
    EXPECT_EQ(ed.Panel(0), "W=6");
    EXPECT_EQ(ed.Panel(2), "Sky");
    EXPECT_EQ(ed.Panel(4), "Speed =30(s)");
    EXPECT_TRUE(f.BtnRemoveImage->isEnabled());
    EXPECT_TRUE(f.mnuRemoveImage->isEnabled());
    EXPECT_EQ(f.ComboBox1->currentIndex(), 4);
    EXPECT_FALSE(f.DisplayPicture().Empty());
    EXPECT_EQ(f.mnuRedo->text(), "&Redo Remove Image");
    EXPECT_FALSE(f.Modified());

    Redo(ed, false);
    EXPECT_EQ(ed.ListTexts(), (QStringList{"B\u00e4ume", "Sea"}));
    EXPECT_EQ(f.Images->ItemIndex(), -1);
    EXPECT_FALSE(f.BtnRemoveImage->isEnabled());
    EXPECT_TRUE(f.DisplayPicture().Empty());
    EXPECT_EQ(ed.Panel(2), "");

    // The speed typed in the tool bar is a setting, not a step.
    ed.TypeInto(f.SpeedSpin, "42");
    EXPECT_EQ(f.mnuUndo->text(), "&Undo Remove Image");
}

TEST(Undo, OpenNewAndAFailedOpenClearTheSteps) {
    TEditor ed;
    TfrmMain& f = ed.Main();
    const QString file = ThreeSlideFile(ed);
    ed.AddBitmap(ed.WriteBitmap("a.bmp", sstest::RandomBitmap(6, 3, 30, 1)));
    EXPECT_EQ(f.mnuUndo->text(), "&Undo Add Image");
    EXPECT_TRUE(f.Modified());

    ed.Dialogs.ConfirmAnswers.push_back(false);
    ed.Dialogs.OpenAnswers.push_back(file);
    ed.Trigger(f.mnuOpenLib);
    EXPECT_EQ(f.UndoStack->count(), 0);
    EXPECT_FALSE(f.mnuUndo->isEnabled());
    EXPECT_EQ(f.mnuUndo->text(), "&Undo");
    EXPECT_FALSE(f.Modified());
    Undo(ed);
    EXPECT_EQ(ed.ListTexts().size(), 3);

    // A file that is not a library leaves an empty library with no name.
    ed.ClickSlide(0);
    ed.Click(f.BtnRemoveImage);
    ed.Dialogs.ConfirmAnswers.push_back(false);
    OpenCommandLine(ed.Program(), {ed.WriteBytes("bad.crl", Bytes(1036, 'x'))});
    EXPECT_EQ(ed.Dialogs.LastError(), "Invalid Image Library");
    EXPECT_EQ(f.UndoStack->count(), 0);
    EXPECT_FALSE(f.Modified());

    ed.AddBitmap(ed.Path("a.bmp"));
    ed.Dialogs.ConfirmAnswers.push_back(false);
    ed.Click(f.SpeedButton1);
    EXPECT_EQ(f.UndoStack->count(), 0);
    EXPECT_FALSE(f.Modified());
}

// Every command that replaces or closes the library asks first: "&Yes"
// with the save dialog cancelled keeps it, "&No" goes on.
TEST(Undo, EveryCommandThatReplacesOrClosesTheLibraryAsksFirst) {
    TEditor ed;
    TfrmMain& f = ed.Main();
    const QString file = ThreeSlideFile(ed);
    const QString bitmap = ed.WriteBitmap("a.bmp", sstest::RandomBitmap(6, 3, 30, 1));
    ed.Dialogs.OpenAnswers.push_back(file);
    ed.Trigger(f.mnuOpenLib);  // into the recent files
    const QString question = "Information|You Have not saved the changes to the Intro Library Save Changes ?";
    const std::vector<std::pair<const char*, std::function<void()>>> commands = {
        {"New", [&] { ed.Click(f.SpeedButton1); }},
        {"Open", [&] {
             ed.Dialogs.OpenAnswers.push_back(file);
             ed.Click(f.sbOpenLib);
         }},
        {"recent", [&] { ed.Trigger(f.RecentActions()[0]); }},
        {"command line", [&] { OpenCommandLine(ed.Program(), {file}); }},
        {"drop", [&] { ed.Drop({file}); }},
        {"Exit", [&] { ed.Trigger(f.Exit1); }},
    };
    for (const auto& [name, run] : commands) {
        SCOPED_TRACE(name);
        f.show();
        ed.Trigger(f.mnuNewLib);  // nothing unsaved: no question, and no file to save to
        ed.AddBitmap(bitmap);
        ed.Dialogs.Questions.clear();
        ed.Dialogs.ConfirmAnswers.push_back(true);
        ed.Dialogs.SaveAnswers.push_back("");
        run();
        ed.Dialogs.OpenAnswers.clear();  // Open's own dialog never opened
        EXPECT_EQ(ed.Dialogs.Questions, std::vector<QString>{question});
        EXPECT_EQ(ed.ListTexts(), QStringList{"a"});
        EXPECT_TRUE(f.Modified());
        EXPECT_TRUE(f.isVisible());
        ed.Dialogs.ConfirmAnswers.push_back(false);
        run();
        if (std::string(name) == "Exit") {
            EXPECT_FALSE(f.isVisible());
        } else {
            EXPECT_FALSE(f.Modified());
            EXPECT_NE(ed.ListTexts(), QStringList{"a"});
        }
    }
    EXPECT_TRUE(ed.Dialogs.SaveAnswers.empty());
}

// Steps that cancel each other out leave nothing unsaved: Exit asks no
// question. Here a move down and back up, and a slide's transition changed
// and changed back.
TEST(Undo, StepsThatCancelOutLeaveNothingUnsaved) {
    TEditor ed;
    TfrmMain& f = ed.Main();
    const QString file = ThreeSlideFile(ed);
    ed.Dialogs.OpenAnswers.push_back(file);
    ed.Trigger(f.mnuOpenLib);
    ed.ClickSlide(0);
    ed.Click(f.BtnMoveImageDown);
    ed.Click(f.BtnMoveImageUp);
    ed.ClickSlide(1);
    ed.ChooseTransition(7);
    ed.Click(f.SpeedButton2);
    ed.ChooseTransition(4);
    ed.Click(f.SpeedButton2);
    EXPECT_EQ(f.UndoStack->count(), 4);
    ASSERT_EQ(f.Library().SaveToBytes(), ed.ReadBytes(file));
    EXPECT_FALSE(f.Modified());
    ed.Trigger(f.Exit1);
    EXPECT_TRUE(ed.Dialogs.Questions.empty());
    EXPECT_FALSE(f.isVisible());
}
