// Opening libraries as desktop users do: the command line, a drop on the
// window, the recent files of the File menu.
#include <QFile>

#include "HueshelfFixture.h"
#include "toolkit/streams.h"

namespace {

class Desktop : public HueshelfTest {
protected:
    // Two pictures saved through File > Save As.
    std::string SavedLibrary(const std::string& name) {
        AddPicture(MakePicture("a.bmp", 3, 2, Qt::red));
        AddPicture(MakePicture("b.bmp", 5, 2, Qt::blue));
        dialogs.fileAnswers.push_back(Path(name));
        form->SaveAs1->trigger();
        return Path(name);
    }
};

}  // namespace

TEST_F(Desktop, CommandLineOpensALibraryAsFileLoadDoes) {
    const std::string lib = SavedLibrary("two.hcl");
    form->New1->trigger();
    form->OpenCommandLine({QString::fromStdString(lib)});
    EXPECT_EQ(ListNames(), (Names{"Image1", "Image2"}));
    EXPECT_EQ(Selected(), 0);
    EXPECT_EQ(form->CurrentFile, lib);

    // Not a library: File > Load's message, and the open library stays.
    const std::string bad = Path("bad.hcl");
    tk::WriteFileBytes(bad, "nonsense", 8);
    form->OpenCommandLine({QString::fromStdString(bad)});
    ASSERT_FALSE(dialogs.errors.empty());
    EXPECT_EQ(dialogs.errors.back(), "Invalid stream format");
    EXPECT_EQ(form->CurrentFile, lib);
    EXPECT_EQ(LibraryWidths(), (Widths{3, 5}));
}

TEST_F(Desktop, ADroppedLibraryOpensAfterTheUnsavedChangesQuestion) {
    const std::string lib = SavedLibrary("two.hcl");
    const std::string picture = MakePicture("c.bmp", 7, 2, Qt::green);
    form->New1->trigger();
    AddPicture(picture);

    // "&No": the library opens in place of the unsaved one (the picture
    // dropped with it is not added).
    dialogs.questionAnswers.push_back(hueshelf::TMsgButton::No);
    Drop({picture, lib});
    EXPECT_EQ(dialogs.questions.size(), 1u);
    EXPECT_EQ(LibraryWidths(), (Widths{3, 5}));

    // "&Yes" and the save dialog cancelled: nothing opens.
    form->New1->trigger();
    AddPicture(picture);
    dialogs.questionAnswers.push_back(hueshelf::TMsgButton::Yes);
    dialogs.fileAnswers.push_back(std::nullopt);
    Drop({lib});
    EXPECT_EQ(LibraryWidths(), (Widths{7}));

    // Pictures alone are added, as before.
    Drop({picture});
    EXPECT_EQ(LibraryWidths(), (Widths{7, 7}));
}

TEST_F(Desktop, RecentFilesListLibrariesAndForgetMissingOnes) {
    const QString a = QString::fromStdString(SavedLibrary("a.hcl"));
    dialogs.fileAnswers.push_back(Path("b.hcl"));
    form->SaveAs1->trigger();
    const QString b = QString::fromStdString(Path("b.hcl"));
    EXPECT_EQ(form->RecentFiles(), (QStringList{b, a}));
    ASSERT_EQ(form->RecentActions().size(), 2);
    EXPECT_EQ(form->RecentActions()[1]->text(), "&2 " + a);

    // Chosen from the File menu, an entry opens its library and moves up.
    form->New1->trigger();
    form->RecentActions()[1]->trigger();
    EXPECT_EQ(form->CurrentFile, a.toStdString());
    EXPECT_EQ(LibraryWidths(), (Widths{3, 5}));
    EXPECT_EQ(form->RecentFiles(), (QStringList{a, b}));

    // A file gone since is taken off the list with a note (information, not an error).
    QFile::remove(b);
    form->RecentActions()[1]->trigger();
    EXPECT_TRUE(dialogs.errors.empty());
    ASSERT_EQ(dialogs.notes.size(), 1u);
    EXPECT_NE(dialogs.notes.back().find(b.toStdString()), std::string::npos) << dialogs.notes.back();
    EXPECT_EQ(form->RecentFiles(), (QStringList{a}));
    EXPECT_EQ(form->CurrentFile, a.toStdString());

    // The list is kept for the next run.
    TForm1 next;
    EXPECT_EQ(next.RecentFiles(), (QStringList{a}));
}
