// The editor's commands, driven through menu items, buttons, list clicks and
// typing, checked against the list, the library, the edit, the picture,
// Modified and CurrentFile after each step.
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QUrl>
#include <QWindow>

#include "HueshelfFixture.h"

class CommandsTest : public HueshelfTest {
protected:
    // Image1 (red, 4 wide), Image2 (JPEG, green, 5 wide), Image3 (blue, 6 wide).
    void AddThree() {
        AddPicture(MakePicture("red.bmp", 4, 3, Qt::red));
        AddPicture(MakePicture("green.jpg", 5, 3, Qt::green));
        AddPicture(MakePicture("blue.bmp", 6, 3, Qt::blue));
    }
    void SaveAs(const std::string& path) {
        dialogs.fileAnswers.push_back(path);
        form->SaveAs1->trigger();
    }
};

TEST_F(CommandsTest, LoadSaveNewCycle) {
    AddThree();
    EXPECT_EQ(ListNames(), (Names{"Image1", "Image2", "Image3"}));
    EXPECT_EQ(LibraryNames(), ListNames());
    EXPECT_EQ(Selected(), -1);  // nothing was selected, so nothing is
    EXPECT_TRUE(form->Image1->Picture().Empty());
    EXPECT_EQ(EditText(), "");
    EXPECT_TRUE(form->Modified());

    // Save with no current file asks where; then it is the current file.
    const std::string lib = Path("three.HCL");
    dialogs.fileAnswers.push_back(lib);
    Click(form->SpeedButton6);
    EXPECT_EQ(form->CurrentFile, lib);
    EXPECT_FALSE(form->Modified());
    const QByteArray saved = ReadAll(lib);
    // The JPEG went in as its own bytes, not as a bitmap.
    EXPECT_TRUE(saved.contains("\x0aTJPEGImage"));
    EXPECT_TRUE(saved.contains(ReadAll(Path("green.jpg"))));
    EXPECT_EQ(saved.count("\x07TBitmap"), 2);

    // New empties everything; with nothing unsaved it asks nothing.
    form->New1->trigger();
    EXPECT_TRUE(ListNames().empty());
    EXPECT_EQ(form->QVXHiColorImagelib1->Count(), 0);
    EXPECT_EQ(EditText(), "");
    EXPECT_TRUE(form->Image1->Picture().Empty());
    EXPECT_EQ(form->CurrentFile, "");
    EXPECT_FALSE(form->Modified());

    // Load: first entry selected and shown; showing its name is no change.
    dialogs.fileAnswers.push_back(lib);
    Click(form->SpeedButton5);
    EXPECT_EQ(ListNames(), (Names{"Image1", "Image2", "Image3"}));
    EXPECT_EQ(LibraryWidths(), (Widths{4, 5, 6}));
    EXPECT_EQ(Selected(), 0);
    EXPECT_EQ(ShownWidth(), 4);
    EXPECT_EQ(EditText(), "Image1");
    EXPECT_EQ(form->CurrentFile, lib);
    EXPECT_FALSE(form->Modified());

    // Save after Load writes the loaded file without a dialog: the same bytes.
    form->Save1->trigger();
    EXPECT_FALSE(form->Modified());
    EXPECT_EQ(ReadAll(lib), saved);

    // New asks about a rename; "&No" goes on to a new, unmodified library.
    TypeName("Renamed");
    EXPECT_TRUE(form->Modified());
    dialogs.questionAnswers.push_back(hueshelf::TMsgButton::No);
    form->New1->trigger();
    EXPECT_EQ(dialogs.questions.size(), 1u);
    EXPECT_TRUE(ListNames().empty());
    EXPECT_FALSE(form->Modified());
    EXPECT_EQ(form->CurrentFile, "");
}

TEST_F(CommandsTest, SaveDialogCancelAndSaveAs) {
    AddPicture(MakePicture("a.bmp", 4, 3, Qt::red));
    dialogs.fileAnswers.push_back(std::nullopt);
    form->Save1->trigger();
    EXPECT_EQ(form->CurrentFile, "");
    EXPECT_TRUE(form->Modified());

    SaveAs(Path("one.HCL"));
    SaveAs(Path("two.QVX"));
    EXPECT_EQ(form->CurrentFile, Path("two.QVX"));
    EXPECT_FALSE(form->Modified());
    EXPECT_EQ(ReadAll(Path("one.HCL")), ReadAll(Path("two.QVX")));
}

TEST_F(CommandsTest, LoadingAnEmptyLibraryClearsThePicture) {
    SaveAs(Path("empty.HCL"));
    AddThree();
    ClickEntry(1);
    ASSERT_EQ(ShownWidth(), 5);
    dialogs.questionAnswers.push_back(hueshelf::TMsgButton::No);
    LoadLibrary(Path("empty.HCL"));
    EXPECT_TRUE(ListNames().empty());
    EXPECT_EQ(form->QVXHiColorImagelib1->Count(), 0);
    EXPECT_TRUE(form->Image1->Picture().Empty());
    EXPECT_EQ(form->CurrentFile, Path("empty.HCL"));
}

// A library that fails to load leaves the window as it was, so a later Save
// cannot overwrite the current file with a half-read library.
TEST_F(CommandsTest, FailedLoadChangesNothing) {
    AddThree();
    SaveAs(Path("good.HCL"));
    ClickEntry(2);
    QFile bad(QString::fromStdString(Path("bad.HCL")));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("not a library");
    bad.close();

    LoadLibrary(Path("bad.HCL"));
    ASSERT_EQ(dialogs.errors, (Names{"Invalid stream format"}));
    LoadLibrary(Path("missing.HCL"));
    ASSERT_EQ(dialogs.errors.size(), 2u);
    EXPECT_EQ(dialogs.errors[1], "Cannot open file " + Path("missing.HCL"));

    EXPECT_EQ(ListNames(), (Names{"Image1", "Image2", "Image3"}));
    EXPECT_EQ(LibraryNames(), ListNames());
    EXPECT_EQ(Selected(), 2);
    EXPECT_EQ(ShownWidth(), 6);
    EXPECT_EQ(EditText(), "Image3");
    EXPECT_EQ(form->CurrentFile, Path("good.HCL"));

    // A truncated library: the items read before the failure do not leak in.
    QByteArray good = ReadAll(Path("good.HCL"));
    QFile cut(QString::fromStdString(Path("cut.HCL")));
    ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
    cut.write(good.left(good.size() - 60));
    cut.close();
    LoadLibrary(Path("cut.HCL"));
    EXPECT_EQ(dialogs.errors.size(), 3u);

    // A failure in a library-level entry names the library.
    QByteArray body("TPF0\x13TQVXHiColorImagelib\x01L\x06" "Colour\x02\x01\x00\x00", 37);
    QByteArray header("\xff\x0a\x00QVX\x00\x30\x10", 9);
    const quint32 length = static_cast<quint32>(body.size());
    header.append(reinterpret_cast<const char*>(&length), 4);
    QFile colour(QString::fromStdString(Path("colour.HCL")));
    ASSERT_TRUE(colour.open(QIODevice::WriteOnly));
    colour.write(header + body);
    colour.close();
    LoadLibrary(Path("colour.HCL"));
    ASSERT_EQ(dialogs.errors.size(), 4u);
    EXPECT_EQ(dialogs.errors[3], "Error reading QVXHiColorImagelib1.Colour: Property does not exist");
    // A name from the file is shown on one line, its control characters escaped.
    QByteArray hostile("TPF0\x13TQVXHiColorImagelib\x01L\x0eUse\nInjected\x1b[\x02\x01\x00\x00",
                       45);
    QFile escaped(QString::fromStdString(Path("escaped.HCL")));
    ASSERT_TRUE(escaped.open(QIODevice::WriteOnly));
    const quint32 hostileLength = static_cast<quint32>(hostile.size());
    escaped.write(header.left(9) + QByteArray(reinterpret_cast<const char*>(&hostileLength), 4) +
                  hostile);
    escaped.close();
    LoadLibrary(Path("escaped.HCL"));
    ASSERT_EQ(dialogs.errors.size(), 5u);
    EXPECT_EQ(dialogs.errors[4],
              "Error reading QVXHiColorImagelib1.Use\\nInjected\\x1b[: Property does not exist");
    EXPECT_EQ(LibraryNames(), (Names{"Image1", "Image2", "Image3"}));
    form->Save1->trigger();
    EXPECT_EQ(ReadAll(Path("good.HCL")), good);
}

TEST_F(CommandsTest, CloseQuestions) {
    const std::string question = "Information|You Have not saved the changes to the Image Library Save Changes ?";

    // Nothing changed: no question.
    form->Exit1->trigger();
    EXPECT_TRUE(dialogs.questions.empty());
    EXPECT_FALSE(form->isVisible());

    // "&No" closes without saving.
    form->show();
    AddPicture(MakePicture("a.bmp", 4, 3, Qt::red));
    dialogs.questionAnswers.push_back(hueshelf::TMsgButton::No);
    form->close();
    EXPECT_EQ(dialogs.questions, (Names{question}));
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(dialogs.fileDialogs.size() == 1);  // only the picture's

    // "&Yes" on a new library asks where; cancelling keeps the window open.
    form->show();
    dialogs.questionAnswers.push_back(hueshelf::TMsgButton::Yes);
    dialogs.fileAnswers.push_back(std::nullopt);
    form->Exit1->trigger();
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(form->Modified());

    // "&Yes" whose save fails: the message is shown and the window stays.
    dialogs.questionAnswers.push_back(hueshelf::TMsgButton::Yes);
    dialogs.fileAnswers.push_back(Path("no/such/folder/x.HCL"));
    form->close();
    EXPECT_TRUE(form->isVisible());
    ASSERT_EQ(dialogs.errors.size(), 1u);
    EXPECT_EQ(dialogs.errors[0], "Cannot create file " + Path("no/such/folder/x.HCL"));

    // "&Yes" with a place to save: saved, then closed.
    dialogs.questionAnswers.push_back(hueshelf::TMsgButton::Yes);
    dialogs.fileAnswers.push_back(Path("kept.HCL"));
    form->close();
    EXPECT_FALSE(form->isVisible());
    EXPECT_FALSE(form->Modified());
    EXPECT_EQ(form->CurrentFile, Path("kept.HCL"));

    // A library just loaded has nothing unsaved: no question.
    form->show();
    TypeName("x");
    ASSERT_EQ(Selected(), -1);  // nothing selected: typing renames nothing
    EXPECT_FALSE(form->Modified());
    LoadLibrary(Path("kept.HCL"));  // shows "Image1" in the edit: no change
    EXPECT_FALSE(form->Modified());
    form->close();
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(dialogs.questions.size(), 4u);

    // With a current file, "&Yes" saves there without a dialog.
    form->show();
    TypeName("Renamed");
    dialogs.questionAnswers.push_back(hueshelf::TMsgButton::Yes);
    form->close();
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(dialogs.questions.size(), 5u);
    EXPECT_FALSE(form->Modified());
    LoadLibrary(Path("kept.HCL"));
    EXPECT_EQ(ListNames(), (Names{"Renamed"}));
}

TEST_F(CommandsTest, SelectingAndRenaming) {
    AddThree();
    ClickEntry(1);
    EXPECT_EQ(Selected(), 1);
    EXPECT_EQ(ShownWidth(), 5);
    EXPECT_EQ(EditText(), "Image2");

    // The keyboard selects too.
    QTest::keyClick(form->ListBox1, Qt::Key_Down);
    EXPECT_EQ(Selected(), 2);
    EXPECT_EQ(ShownWidth(), 6);
    EXPECT_EQ(EditText(), "Image3");

    form->UndoStack->setClean();
    TypeName("Sky");
    EXPECT_EQ(ListNames(), (Names{"Image1", "Image2", "Sky"}));
    EXPECT_EQ(LibraryNames(), ListNames());
    EXPECT_EQ(Selected(), 2);
    EXPECT_TRUE(form->Modified());

    // An empty name is kept empty, and saved without a "Name" entry.
    TypeName("");
    EXPECT_EQ(LibraryNames(), (Names{"Image1", "Image2", ""}));
    SaveAs(Path("names.HCL"));
    EXPECT_EQ(ReadAll(Path("names.HCL")).count("\x04Name"), 2);
    LoadLibrary(Path("names.HCL"));
    EXPECT_EQ(LibraryNames(), (Names{"Image1", "Image2", ""}));
}

TEST_F(CommandsTest, DuplicateNamesAreFoundByNameAndDeletedTogether) {
    AddThree();
    ClickEntry(0);
    Click(form->SpeedButton3);  // delete "Image1"
    EXPECT_EQ(ListNames(), (Names{"Image2", "Image3"}));
    EXPECT_EQ(Selected(), 1);
    EXPECT_EQ(ShownWidth(), 6);
    EXPECT_EQ(EditText(), "Image1");  // keeps the deleted name

    // Added with a selection: the new entry is selected and shown, the edit kept.
    AddPicture(MakePicture("white.bmp", 7, 3, Qt::white));
    EXPECT_EQ(ListNames(), (Names{"Image2", "Image3", "Image3"}));
    EXPECT_EQ(Selected(), 2);
    EXPECT_EQ(ShownWidth(), 7);
    EXPECT_EQ(EditText(), "Image1");

    // Either "Image3" shows the later one's picture.
    ClickEntry(1);
    EXPECT_EQ(ShownWidth(), 7);
    EXPECT_EQ(EditText(), "Image3");
    ClickEntry(0);
    ClickEntry(2);
    EXPECT_EQ(ShownWidth(), 7);

    form->UndoStack->setClean();
    Click(form->SpeedButton3);  // both "Image3" go
    EXPECT_EQ(ListNames(), (Names{"Image2"}));
    EXPECT_EQ(LibraryWidths(), (Widths{5}));
    EXPECT_EQ(Selected(), 0);
    EXPECT_EQ(ShownWidth(), 5);
    EXPECT_TRUE(form->Modified());

    // Deleting the only image empties list and picture.
    Click(form->SpeedButton3);
    EXPECT_TRUE(ListNames().empty());
    EXPECT_TRUE(form->Image1->Picture().Empty());
    // Delete with nothing left does nothing.
    form->UndoStack->setClean();
    Click(form->SpeedButton3);
    EXPECT_FALSE(form->Modified());
}

// Names written by older tools in a single-byte code page are shown through
// Latin-1 and kept byte for byte by every command.
TEST_F(CommandsTest, NamesThatAreNotUtf8KeepTheirBytes) {
    AddThree();
    qvx::TQVXCollection* images = form->QVXHiColorImagelib1->Images();
    images->Items(0)->SetName("B\xE4ume");
    images->Items(1)->SetName("Sky");
    images->Items(2)->SetName("B\xE4ume");
    SaveAs(Path("old.HCL"));
    const QByteArray original = ReadAll(Path("old.HCL"));
    const Names stored{"B\xE4ume", "Sky", "B\xE4ume"};

    form->New1->trigger();
    LoadLibrary(Path("old.HCL"));
    EXPECT_EQ(ListNames(), (Names{"B\u00e4ume", "Sky", "B\u00e4ume"}));
    EXPECT_EQ(EditText(), "B\u00e4ume");
    EXPECT_EQ(LibraryNames(), stored);
    form->Save1->trigger();
    EXPECT_EQ(ReadAll(Path("old.HCL")), original);

    // Clicks and moves show the names and leave their bytes alone.
    ClickEntry(1);
    ClickEntry(0);
    Click(form->SpeedButton2);
    Click(form->SpeedButton1);
    EXPECT_EQ(LibraryNames(), stored);
    form->Save1->trigger();
    EXPECT_EQ(ReadAll(Path("old.HCL")), original);

    // Typing a new name stores it; delete takes every entry of the name.
    ClickEntry(1);
    TypeName("Wolke");
    EXPECT_EQ(LibraryNames(), (Names{"B\xE4ume", "Wolke", "B\xE4ume"}));
    ClickEntry(0);
    Click(form->SpeedButton3);
    EXPECT_EQ(LibraryNames(), (Names{"Wolke"}));
    EXPECT_EQ(ListNames(), (Names{"Wolke"}));
}

TEST_F(CommandsTest, MovesAtBothEnds) {
    AddThree();
    form->UndoStack->setClean();
    Click(form->SpeedButton1);  // up with nothing selected: nothing at all
    EXPECT_EQ(ListNames(), (Names{"Image1", "Image2", "Image3"}));
    EXPECT_FALSE(form->Modified());

    ClickEntry(0);
    form->UndoStack->setClean();
    Click(form->SpeedButton1);  // up at the top: nothing at all
    EXPECT_EQ(LibraryWidths(), (Widths{4, 5, 6}));
    EXPECT_EQ(Selected(), 0);
    EXPECT_FALSE(form->Modified());

    ClickEntry(2);
    form->UndoStack->setClean();
    Click(form->SpeedButton2);  // down at the bottom: nothing at all
    EXPECT_EQ(LibraryWidths(), (Widths{4, 5, 6}));
    EXPECT_FALSE(form->Modified());

    // Down then up restores order, names and pictures; the pictures trade
    // places without being copied.
    ClickEntry(0);
    const tk::TGraphic* first = form->QVXHiColorImagelib1->Images()->Items(0)->Image().Graphic();
    Click(form->SpeedButton2);
    EXPECT_EQ(form->QVXHiColorImagelib1->Images()->Items(1)->Image().Graphic(), first);
    EXPECT_EQ(ListNames(), (Names{"Image2", "Image1", "Image3"}));
    EXPECT_EQ(LibraryNames(), ListNames());
    EXPECT_EQ(LibraryWidths(), (Widths{5, 4, 6}));
    EXPECT_EQ(Selected(), 1);
    EXPECT_EQ(ShownWidth(), 4);
    EXPECT_EQ(EditText(), "Image1");
    EXPECT_TRUE(form->Modified());
    Click(form->SpeedButton1);
    EXPECT_EQ(ListNames(), (Names{"Image1", "Image2", "Image3"}));
    EXPECT_EQ(LibraryWidths(), (Widths{4, 5, 6}));
    EXPECT_EQ(Selected(), 0);
    EXPECT_EQ(ShownWidth(), 4);

    // Moves on an empty list change nothing.
    dialogs.questionAnswers.push_back(hueshelf::TMsgButton::No);
    form->New1->trigger();
    form->UndoStack->setClean();
    Click(form->SpeedButton1);
    Click(form->SpeedButton2);
    EXPECT_FALSE(form->Modified());
}

TEST_F(CommandsTest, PicturesThatCannotBeAdded) {
    AddPicture(MakePicture("a.bmp", 4, 3, Qt::red));
    form->UndoStack->setClean();
    AddPicture(MakePicture("b.png", 4, 3, Qt::red));
    EXPECT_EQ(dialogs.errors, (Names{"Unknown picture file extension (.png)"}));

    QFile broken(QString::fromStdString(Path("broken.bmp")));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("BMxxxx");
    broken.close();
    dialogs.fileAnswers.push_back(Path("broken.bmp"));
    form->Load2->trigger();
    ASSERT_EQ(dialogs.errors.size(), 2u);
    EXPECT_EQ(dialogs.errors[1], "Bitmap image is not valid");

    EXPECT_EQ(ListNames(), (Names{"Image1"}));
    EXPECT_EQ(form->QVXHiColorImagelib1->Count(), 1);
    EXPECT_FALSE(form->Modified());
}

TEST_F(CommandsTest, DroppedFilesAreAddedInOrderUntilOneFails) {
    const QList<QUrl> urls = {QUrl::fromLocalFile(QString::fromStdString(MakePicture("a.bmp", 4, 3, Qt::red))),
                              QUrl::fromLocalFile(QString::fromStdString(MakePicture("b.jpg", 5, 3, Qt::green))),
                              QUrl::fromLocalFile(QString::fromStdString(MakePicture("c.png", 6, 3, Qt::blue))),
                              QUrl::fromLocalFile(QString::fromStdString(MakePicture("d.bmp", 7, 3, Qt::blue)))};
    QMimeData mime;
    mime.setUrls(urls);
    // As the window system delivers a drag: enter, then drop, on the window.
    QWindow* window = form->windowHandle();
    ASSERT_NE(window, nullptr);
    QDragEnterEvent enter(QPoint(300, 200), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(300, 200), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window, &drop);
    EXPECT_EQ(ListNames(), (Names{"Image1", "Image2"}));
    EXPECT_EQ(LibraryWidths(), (Widths{4, 5}));
    EXPECT_EQ(dialogs.errors, (Names{"Unknown picture file extension (.png)"}));
    EXPECT_TRUE(form->Modified());
}

// The picture fills the whole control, whatever its shape.
TEST_F(CommandsTest, PictureIsStretchedToTheControl) {
    QImage halves(2, 1, QImage::Format_RGB32);
    halves.setPixel(0, 0, qRgb(255, 0, 0));
    halves.setPixel(1, 0, qRgb(0, 0, 255));
    ASSERT_TRUE(halves.save(QString::fromStdString(Path("halves.bmp")), "BMP"));
    AddPicture(Path("halves.bmp"));
    ClickEntry(0);
    const QImage shown = form->Image1->grab().toImage();
    const int w = shown.width(), h = shown.height();
    ASSERT_GT(w, 100);
    EXPECT_EQ(shown.pixelColor(2, 2), QColor(Qt::red));
    EXPECT_EQ(shown.pixelColor(2, h - 3), QColor(Qt::red));
    EXPECT_EQ(shown.pixelColor(w - 3, 2), QColor(Qt::blue));
    EXPECT_EQ(shown.pixelColor(w - 3, h - 3), QColor(Qt::blue));
}
