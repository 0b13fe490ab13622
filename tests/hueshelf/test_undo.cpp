// Undo and redo through the Edit menu's keys, and the unsaved-changes
// question before anything replaces the library.
#include <functional>
#include <map>
#include <random>

#include "HueshelfFixture.h"
#include "toolkit/names.h"
#include "toolkit/streams.h"

namespace {

class UndoTest : public HueshelfTest {
protected:
    void SetUp() override {
        HueshelfTest::SetUp();
        QApplication::setActiveWindow(form.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }

    // The library as Save would write it now.
    QByteArray Bytes() const {
        tk::TMemoryStream stream;
        form->QVXHiColorImagelib1->SaveToStream(stream);
        const std::vector<uint8_t>& b = stream.Bytes();
        return QByteArray(reinterpret_cast<const char*>(b.data()), static_cast<qsizetype>(b.size()));
    }
    // Keys as a person presses them, to whatever has the focus.
    void Press(int key, Qt::KeyboardModifiers modifiers) {
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : form.get();
        QTest::keyClick(target, static_cast<Qt::Key>(key), modifiers);
    }
    void Undo() { Press(Qt::Key_Z, Qt::ControlModifier); }
    void Redo(bool withY) {
        if (withY)
            Press(Qt::Key_Y, Qt::ControlModifier);
        else
            Press(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    }
    // A saved library of three pictures, the first named in Latin-1, loaded.
    std::string ThreePictureLibrary() {
        AddPicture(MakePicture("red.bmp", 4, 3, Qt::red));
        AddPicture(MakePicture("green.jpg", 5, 3, Qt::green));
        AddPicture(MakePicture("blue.bmp", 6, 3, Qt::blue));
        form->QVXHiColorImagelib1->Images()->Items(0)->SetName("B\xE4ume");
        dialogs.fileAnswers.push_back(Path("three.HCL"));
        form->SaveAs1->trigger();
        LoadLibrary(Path("three.HCL"));
        return Path("three.HCL");
    }
    // The window shows the library: one entry per image; after an undo or
    // a redo the edit shows the selected entry's name (commands such as
    // add and delete leave the edit as it was).
    void ExpectShown(bool afterStep = true) {
        std::vector<std::string> shown;
        for (int i = 0; i < form->QVXHiColorImagelib1->Count(); ++i)
            shown.push_back(tk::NameToText(form->QVXHiColorImagelib1->Images()->Items(i)->Name()).toStdString());
        EXPECT_EQ(ListNames(), shown);
        if (afterStep && Selected() >= 0) {
            EXPECT_EQ(EditText(), ListNames()[static_cast<size_t>(Selected())]);
        }
    }
    std::vector<std::string> Pictures() {
        return {MakePicture("p1.bmp", 7, 2, Qt::yellow), MakePicture("p2.jpg", 8, 2, Qt::cyan),
                MakePicture("p3.bmp", 9, 2, Qt::magenta)};
    }
};

}  // namespace

// Random commands, undos, redos and saves; then everything undone (Save
// writes the original file again) and redone (Save writes the final state).
// Every undo and redo gives back the exact bytes of the state it returns
// to, and Modified is true exactly when the library differs from the file
// (steps that cancel out, such as a move down and back up, leave it false).
TEST_F(UndoTest, RandomStepsUndoAndRedoToTheExactBytes) {
    const std::string lib = ThreePictureLibrary();
    const QByteArray original = ReadAll(lib);
    ASSERT_EQ(Bytes(), original);
    const std::vector<std::string> pictures = Pictures();
    std::mt19937 rng(1234);
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    std::map<int, QByteArray> at{{0, original}};  // the bytes at each stack index
    QByteArray saved = original;

    auto check = [&](const char* what, int step, bool afterStep) {
        SCOPED_TRACE(testing::Message() << "step " << step << ": " << what);
        EXPECT_EQ(form->Modified(), Bytes() != saved);
        ExpectShown(afterStep);
    };
    for (int step = 0; step < 120; ++step) {
        const int count = form->ListBox1->Count();
        const char* what = "";
        switch (pick(9)) {
            case 0:
                what = "add";
                AddPicture(pictures[pick(3)]);
                break;
            case 1:
                what = "drop two";
                Drop({pictures[pick(3)], pictures[pick(3)]});
                break;
            case 2:
            case 3:
                if (count == 0) continue;
                what = "move";
                ClickEntry(pick(count));
                Click(pick(2) ? form->SpeedButton1 : form->SpeedButton2);
                break;
            case 4:
                if (count == 0 || pick(3) != 0) continue;
                what = "delete";
                ClickEntry(pick(count));
                Click(form->SpeedButton3);
                break;
            case 5: {
                if (count == 0) continue;
                what = "rename";
                ClickEntry(pick(count));
                form->Edit1->setFocus();
                QTest::keyClicks(form->Edit1, QString("xyz").left(1 + pick(3)));
                if (pick(2)) QTest::keyClick(form->Edit1, Qt::Key_Backspace);
                break;
            }
            case 6:
            case 7: {
                const bool undo = pick(2) == 0;
                const int before = form->UndoStack->index();
                what = undo ? "undo" : "redo";
                if (undo)
                    Undo();
                else
                    Redo(pick(2));
                SCOPED_TRACE(testing::Message() << "step " << step << ": " << what);
                EXPECT_EQ(Bytes(), at[form->UndoStack->index()]);
                check(what, step, form->UndoStack->index() != before);
                continue;
            }
            case 8:
                if (pick(4) != 0) continue;
                what = "save";
                form->Save1->trigger();
                saved = Bytes();
                EXPECT_FALSE(form->Modified());
                break;
        }
        at[form->UndoStack->index()] = Bytes();
        check(what, step, false);
    }
    ASSERT_GT(form->UndoStack->count(), 10);
    const QByteArray final = at[form->UndoStack->count()];

    while (form->UndoStack->canUndo()) {
        Undo();
        EXPECT_EQ(Bytes(), at[form->UndoStack->index()]);
        EXPECT_EQ(form->Modified(), Bytes() != saved);
        ExpectShown();
    }
    form->Save1->trigger();
    EXPECT_EQ(ReadAll(lib), original);
    EXPECT_FALSE(form->Modified());
    bool withY = false;
    while (form->UndoStack->canRedo()) {
        Redo(withY = !withY);
        EXPECT_EQ(Bytes(), at[form->UndoStack->index()]);
        EXPECT_EQ(form->Modified(), Bytes() != original);
        ExpectShown();
    }
    form->Save1->trigger();
    EXPECT_EQ(ReadAll(lib), final);
}

TEST_F(UndoTest, KeystrokesOnOneImageMergeIntoOneStep) {
    ThreePictureLibrary();
    ClickEntry(1);
    form->Edit1->setFocus();
    QTest::keyClicks(form->Edit1, "Sky");
    EXPECT_EQ(form->UndoStack->count(), 1);
    EXPECT_EQ(form->Undo1->text(), "&Undo Rename Image");
    EXPECT_TRUE(form->Modified());

    // Ctrl+Z in the edit undoes the step, not the edit's own typing.
    Undo();
    EXPECT_EQ(LibraryNames()[1], "Image2");
    EXPECT_EQ(EditText(), "Image2");
    EXPECT_EQ(Selected(), 1);
    EXPECT_FALSE(form->Modified());
    EXPECT_EQ(form->Redo1->text(), "&Redo Rename Image");
    Redo(true);
    EXPECT_EQ(LibraryNames()[1], "Image2Sky");
    EXPECT_EQ(EditText(), "Image2Sky");

    // Typing that ends where it began leaves no step; typing after another
    // entry was selected is a step of its own.
    QTest::keyClicks(form->Edit1, "x");
    QTest::keyClick(form->Edit1, Qt::Key_Backspace);
    EXPECT_EQ(form->UndoStack->count(), 1);
    ClickEntry(2);
    ClickEntry(1);
    form->Edit1->setFocus();
    QTest::keyClicks(form->Edit1, "ab");
    EXPECT_EQ(form->UndoStack->count(), 2);
    ClickEntry(2);
    form->Edit1->setFocus();
    QTest::keyClicks(form->Edit1, "c");
    EXPECT_EQ(form->UndoStack->count(), 3);
    EXPECT_EQ(LibraryNames(), (Names{"B\xE4ume", "Image2Skyab", "Image3c"}));
    Undo();
    Undo();
    EXPECT_EQ(LibraryNames(), (Names{"B\xE4ume", "Image2Sky", "Image3"}));
}

TEST_F(UndoTest, LoadAndNewClearTheStepsAFailedLoadKeepsThem) {
    const std::string lib = ThreePictureLibrary();
    EXPECT_FALSE(form->Undo1->isEnabled());
    AddPicture(Pictures()[0]);
    EXPECT_EQ(form->Undo1->text(), "&Undo Add Image");
    ClickEntry(0);
    Click(form->SpeedButton2);
    EXPECT_EQ(form->Undo1->text(), "&Undo Move Image");

    // A file that fails to load changes nothing: steps and Modified stay.
    tk::WriteFileBytes(Path("bad.HCL"), "nonsense", 8);
    dialogs.questionAnswers.push_back(hueshelf::TMsgButton::No);
    LoadLibrary(Path("bad.HCL"));
    EXPECT_EQ(form->UndoStack->count(), 2);
    EXPECT_TRUE(form->Modified());

    dialogs.questionAnswers.push_back(hueshelf::TMsgButton::No);
    LoadLibrary(lib);
    EXPECT_EQ(form->UndoStack->count(), 0);
    EXPECT_FALSE(form->Undo1->isEnabled());
    EXPECT_EQ(form->Undo1->text(), "&Undo");
    EXPECT_FALSE(form->Modified());
    Undo();  // nothing to undo: the loaded library stays
    EXPECT_EQ(Bytes(), ReadAll(lib));

    Click(form->SpeedButton3);  // the loaded library's first entry is selected
    dialogs.questionAnswers.push_back(hueshelf::TMsgButton::No);
    form->New1->trigger();
    EXPECT_EQ(form->UndoStack->count(), 0);
    EXPECT_FALSE(form->Modified());
}

// Undo brings back the deleted pictures themselves, sharing their data with
// the step rather than copying it.
TEST_F(UndoTest, DeleteAndUndoShareThePictures) {
    ThreePictureLibrary();
    auto data = [&](int i) -> const void* {
        const tk::TGraphic* g = form->QVXHiColorImagelib1->Images()->Items(i)->Image().Graphic();
        if (auto* b = dynamic_cast<const tk::TBitmap*>(g)) return b->Image().constBits();
        return static_cast<const tk::TJPEGImage*>(g)->Bytes().data();
    };
    const void* bitmap = data(0);
    const void* jpeg = data(1);
    ClickEntry(1);
    Click(form->SpeedButton3);
    ClickEntry(0);
    Click(form->SpeedButton3);
    ASSERT_EQ(LibraryNames(), (Names{"Image3"}));
    Undo();
    Undo();
    EXPECT_EQ(LibraryNames(), (Names{"B\xE4ume", "Image2", "Image3"}));
    EXPECT_EQ(data(0), bitmap);
    EXPECT_EQ(data(1), jpeg);
    EXPECT_EQ(Selected(), 1);
    EXPECT_EQ(ShownWidth(), 5);
    EXPECT_EQ(EditText(), "Image2");
}

// Every command that replaces the library asks first: "&Yes" with the save
// dialog cancelled keeps the library, "&No" goes on.
TEST_F(UndoTest, EveryCommandThatReplacesTheLibraryAsksFirst) {
    const std::string lib = ThreePictureLibrary();
    const std::string question = "Information|You Have not saved the changes to the Image Library Save Changes ?";
    const std::vector<std::pair<const char*, std::function<void()>>> commands = {
        {"New", [&] { Click(form->SpeedButton4); }},
        {"Load", [&] { LoadLibrary(lib); }},
        {"recent", [&] { form->RecentActions()[0]->trigger(); }},
        {"command line", [&] { form->OpenCommandLine({QString::fromStdString(lib)}); }},
        {"drop", [&] { Drop({lib}); }},
    };
    for (const auto& [name, run] : commands) {
        SCOPED_TRACE(name);
        form->New1->trigger();  // a new library (nothing unsaved), so Yes has no file to save to
        AddPicture(Pictures()[0]);
        dialogs.questions.clear();
        dialogs.questionAnswers.push_back(hueshelf::TMsgButton::Yes);
        dialogs.fileAnswers.push_back(std::nullopt);
        const size_t shown = dialogs.fileDialogs.size();
        run();
        // Only the save dialog was shown (Load's own never opened).
        EXPECT_EQ(dialogs.fileDialogs.size(), shown + 1);
        dialogs.fileAnswers.clear();
        EXPECT_EQ(dialogs.questions, (Names{question}));
        EXPECT_EQ(LibraryNames(), (Names{"Image1"}));
        EXPECT_TRUE(form->Modified());
        dialogs.questionAnswers.push_back(hueshelf::TMsgButton::No);
        run();
        EXPECT_FALSE(form->Modified());
        EXPECT_NE(LibraryNames(), (Names{"Image1"}));
    }
}

// Steps that cancel each other out leave nothing unsaved: closing asks no
// question. Here a move down and back up, and the last picture deleted and
// added again from its file (a new picture with the same bytes).
TEST_F(UndoTest, StepsThatCancelOutLeaveNothingUnsaved) {
    const std::string lib = ThreePictureLibrary();
    ClickEntry(0);
    Click(form->SpeedButton2);
    Click(form->SpeedButton1);
    ClickEntry(2);
    Click(form->SpeedButton3);
    AddPicture(MakePicture("blue.bmp", 6, 3, Qt::blue));
    EXPECT_EQ(form->UndoStack->count(), 4);
    ASSERT_EQ(Bytes(), ReadAll(lib));
    EXPECT_FALSE(form->Modified());
    form->close();
    EXPECT_TRUE(dialogs.questions.empty());
    EXPECT_FALSE(form->isVisible());

    // A picture of other bytes under the same name is a change.
    form->show();
    ClickEntry(2);
    Click(form->SpeedButton3);
    AddPicture(MakePicture("blue.bmp", 6, 3, Qt::darkBlue));
    EXPECT_TRUE(form->Modified());
}
