// Opening libraries as desktop users do (command line, drop, recent files)
// and palettes to and from other tools.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>

#include "harness.h"
#include "qvx/intro/palette_file.h"

using namespace slideshelf;
using namespace qvx;
using sstest::TEditor;

namespace {

// Two slides added and saved as `name` in the editor's folder.
QString SaveTwoSlides(TEditor& ed, const QString& name) {
    ed.AddBitmap(ed.WriteBitmap("one.bmp", sstest::RandomBitmap(6, 4, 20, 1)));
    ed.AddBitmap(ed.WriteBitmap("two.bmp", sstest::RandomBitmap(5, 3, 12, 2)));
    ed.Dialogs.SaveAnswers.push_back(ed.Path(name));
    ed.Trigger(ed.Main().mnuSaveLibAs);
    return ed.Path(name);
}

QString WriteText(TEditor& ed, const QString& name, const std::string& text) {
    return ed.WriteBytes(name, std::vector<uint8_t>(text.begin(), text.end()));
}

}  // namespace

TEST(Desktop, CommandLineAndDropOpenALibraryAsOpenLibraryDoes) {
    TEditor ed;
    const QString file = SaveTwoSlides(ed, "two.crl");
    ed.Trigger(ed.Main().mnuNewLib);

    OpenCommandLine(ed.Program(), {file});
    EXPECT_EQ(ed.ListTexts(), (QStringList{"one", "two"}));
    EXPECT_EQ(ed.Main().Library().FileName(), sstest::LocalName(file));

    // Not a library: Open's own message, and nothing held.
    const QString bad = ed.WriteBytes("bad.crl", std::vector<uint8_t>(1036, 'x'));
    OpenCommandLine(ed.Program(), {bad});
    EXPECT_EQ(ed.Dialogs.LastError(), "Invalid Image Library");
    EXPECT_TRUE(ed.ListTexts().isEmpty());
    EXPECT_EQ(ed.Main().Library().FileName(), "");

    // Dropped with other files: the library opens; a drop without one is refused.
    ed.Drop({ed.Path("one.bmp"), file});
    EXPECT_EQ(ed.ListTexts(), (QStringList{"one", "two"}));
    ed.Trigger(ed.Main().mnuNewLib);
    ed.Drop({ed.Path("one.bmp")});
    EXPECT_TRUE(ed.ListTexts().isEmpty());
}

TEST(Desktop, RecentFilesListLibrariesOpenedOrSavedAndForgetMissingOnes) {
    TEditor ed;
    const QString a = SaveTwoSlides(ed, "a.crl");
    ed.Dialogs.SaveAnswers.push_back(ed.Path("b.crl"));
    ed.Trigger(ed.Main().mnuSaveLibAs);
    const QString b = ed.Path("b.crl");
    EXPECT_EQ(ed.Main().RecentFiles(), (QStringList{b, a}));
    ASSERT_EQ(ed.Main().RecentActions().size(), 2);
    EXPECT_EQ(ed.Main().RecentActions()[0]->text(), "&1 " + b);

    // Chosen from the File menu, an entry opens its library and moves up.
    ed.Trigger(ed.Main().mnuNewLib);
    ed.Trigger(ed.Main().RecentActions()[1]);
    EXPECT_EQ(ed.ListTexts(), (QStringList{"one", "two"}));
    EXPECT_EQ(ed.Main().RecentFiles(), (QStringList{a, b}));

    // A file gone since is taken off the list with a note (information, not an error).
    QFile::remove(b);
    ed.Trigger(ed.Main().RecentActions()[1]);
    EXPECT_TRUE(ed.Dialogs.Errors.empty());
    ASSERT_EQ(ed.Dialogs.Notes.size(), 1u);
    EXPECT_TRUE(ed.Dialogs.Notes[0].second.contains(b)) << ed.Dialogs.Notes[0].second.toStdString();
    EXPECT_EQ(ed.Main().RecentFiles(), (QStringList{a}));
    EXPECT_EQ(ed.Main().RecentActions().size(), 1);

    // The list is kept for the next run.
    TfrmMain next(ed.Dialogs);
    EXPECT_EQ(next.RecentFiles(), (QStringList{a}));
}

TEST(Desktop, PaletteImportAsksFirstWhenSlidesUseThePaletteAndBadFilesChangeNothing) {
    TEditor ed;
    TLibPalette& palette = ed.Main().Library().Palette();
    const QString gpl = WriteText(ed, "three.gpl", "GIMP Palette\nName: t\n#\n0 0 0\n10 20 30\n40 50 60\n");

    // No slides yet: no question; three entries used, the rest black and free.
    ed.Dialogs.OpenAnswers.push_back(gpl);
    ed.Trigger(ed.Main().mnuImportPal);
    EXPECT_TRUE(ed.Dialogs.Questions.empty());
    EXPECT_EQ(palette[2], (TLibPalEntry{40, 50, 60, 1}));
    EXPECT_EQ(palette[3], (TLibPalEntry{0, 0, 0, 0}));

    ed.AddBitmap(ed.WriteBitmap("one.bmp", sstest::RandomBitmap(6, 4, 20, 1)));
    const TLibPalette withSlide = palette;
    const QString act = ed.WriteBytes("grey.act", std::vector<uint8_t>(768, 0x77));
    ed.Dialogs.OpenAnswers.push_back(act);
    ed.Dialogs.ConfirmAnswers.push_back(false);
    ed.Trigger(ed.Main().mnuImportPal);
    ASSERT_EQ(ed.Dialogs.Questions.size(), 1u);
    EXPECT_EQ(palette, withSlide);
    ed.Dialogs.OpenAnswers.push_back(act);
    ed.Dialogs.ConfirmAnswers.push_back(true);
    ed.Trigger(ed.Main().mnuImportPal);
    EXPECT_EQ(palette[255], (TLibPalEntry{0x77, 0x77, 0x77, 1}));

    const QString bad = WriteText(ed, "bad.pal", "JASC-PAL\r\n0100\r\n2\r\n1 2 3\r\n");
    const TLibPalette before = palette;
    ed.Dialogs.OpenAnswers.push_back(bad);
    ed.Trigger(ed.Main().mnuImportPal);
    EXPECT_EQ(ed.Dialogs.LastError(), bad + ": line 5: the file ends after 1 of 2 colours");
    EXPECT_EQ(palette, before);
}

TEST(Desktop, PaletteExportTakesTheFormatFromTheNameAndTheChosenFilter) {
    TEditor ed;
    auto head = [&](const QString& name, int n) {
        const std::vector<uint8_t> b = ed.ReadBytes(ed.Path(name));
        return std::string(b.begin(), b.begin() + std::min<size_t>(b.size(), static_cast<size_t>(n)));
    };
    ed.Dialogs.SaveAnswers.push_back(ed.Path("jasc.pal"));
    ed.Trigger(ed.Main().mnuExportPal);
    EXPECT_EQ(head("jasc.pal", 8), "JASC-PAL");
    ed.Dialogs.SaveAnswers.push_back(ed.Path("riff.pal"));
    ed.Dialogs.SaveFilterAnswers.push_back(kRiffPaletteFilter);
    ed.Trigger(ed.Main().mnuExportPal);
    EXPECT_EQ(head("riff.pal", 4), "RIFF");

    // Every colour comes back (the file has no free entries: all 256 are
    // defined, so all come back used).
    TLibPalette back{};
    ImportPaletteFile(back, sstest::LocalName(ed.Path("riff.pal")));
    EXPECT_EQ(PaletteColors(back), PaletteColors(ed.Main().Library().Palette()));
    EXPECT_EQ(PaletteColors(back).size(), 256u);
}
