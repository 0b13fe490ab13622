// The same library built through the windows and by `qvxlib create crl`
// from the same bitmaps and settings is the same file, byte for byte.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QProcess>
#include <QTest>
#include <QToolButton>
#include <cstdlib>

#include "harness.h"
#include "slideshelf/ui/Controls.h"
#include "slideshelf/ui/Main.h"

using sstest::TEditor;
using slideshelf::TfrmMain;

namespace {

QString Qvxlib() {
    const char* build = std::getenv("QVX_BUILD_DIR");
    return build ? QString::fromLocal8Bit(build) + "/tools/qvxlib/qvxlib" : QString();
}

int RunQvxlib(const QStringList& args, QString* err) {
    QProcess p;
    p.start(Qvxlib(), args);
    if (!p.waitForFinished(60000)) return -1;
    *err = QString::fromLocal8Bit(p.readAllStandardError());
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

QStringList Bitmaps(TEditor& ed) {
    QStringList files;
    // Enough colours together to fill the palette, so matching reaches the
    // nearest-colour path; one bitmap stored top row first.
    testbmp::BmpSpec a = sstest::RandomBitmap(37, 23, 200, 21);
    testbmp::BmpSpec b = sstest::RandomBitmap(16, 30, 150, 22);
    b.topDown = true;
    testbmp::BmpSpec c = sstest::RandomBitmap(3, 5, 256, 23);
    files << ed.WriteBitmap("SUNSET01.BMP", a) << ed.WriteBitmap("title.screen.bmp", b)
          << ed.WriteBitmap("c.bmp", c);
    return files;
}

}  // namespace

TEST(QvxlibMatch, SingleAddsGiveTheFileQvxlibCreates) {
    ASSERT_FALSE(Qvxlib().isEmpty()) << "QVX_BUILD_DIR is set by ctest";
    TEditor ed;
    TfrmMain& f = ed.Main();
    const QStringList files = Bitmaps(ed);
    ed.ChooseTransition(12);
    ed.TypeInto(f.SpeedSpin, "17");
    ed.TypeInto(f.HoldSpin, "4");
    for (const QString& file : files) ed.AddBitmap(file);
    ASSERT_EQ(f.Images->count(), 3);
    ed.Dialogs.SaveAnswers.push_back(ed.Path("window.crl"));
    ed.Trigger(f.mnuSaveLib);

    QString err;
    QStringList args = {"create", "crl", ed.Path("tool.crl")};
    args << files << "--transition" << "LeftRightLines" << "--speed" << "17" << "--hold" << "4";
    ASSERT_EQ(RunQvxlib(args, &err), 0) << err.toStdString();
    const auto window = ed.ReadBytes(ed.Path("window.crl"));
    ASSERT_GT(window.size(), 1036u);
    EXPECT_EQ(window, ed.ReadBytes(ed.Path("tool.crl")));
}

TEST(QvxlibMatch, BatchAddGivesTheFileQvxlibCreatesWithBatch) {
    TEditor ed;
    TfrmMain& f = ed.Main();
    const QStringList files = Bitmaps(ed);
    ed.ChooseTransition(28);
    ed.Dialogs.OpenManyAnswers.push_back(files);
    ed.Trigger(f.BatchAdd1);
    ASSERT_EQ(f.Images->count(), 3);
    ed.Dialogs.SaveAnswers.push_back(ed.Path("window.crl"));
    ed.Trigger(f.mnuSaveLibAs);

    QString err;
    QStringList args = {"create", "crl", ed.Path("tool.crl")};
    args << files << "--transition" << "28" << "--batch";
    ASSERT_EQ(RunQvxlib(args, &err), 0) << err.toStdString();
    const auto window = ed.ReadBytes(ed.Path("window.crl"));
    EXPECT_EQ(window, ed.ReadBytes(ed.Path("tool.crl")));
    // Not the same as without --batch: index 0 really became transparent.
    args[2] = ed.Path("plain.crl");
    args.removeLast();
    ASSERT_EQ(RunQvxlib(args, &err), 0);
    EXPECT_NE(window, ed.ReadBytes(ed.Path("plain.crl")));
}

namespace {

// Every row's padding after the pixels is zero, in every slide.
void ExpectZeroPadding(const qvx::TIntroLibrary& lib, const char* how) {
    for (int i = 0; i < lib.SlideCount(); ++i) {
        const qvx::TIntroSlide& s = *lib.Slide(i);
        const int64_t stride = bmputil::BytesPerLine(s.Width);
        for (int64_t y = 0; y < s.Height; ++y)
            for (int64_t x = s.Width; x < stride; ++x)
                ASSERT_EQ(s.Pixels[static_cast<size_t>(y * stride + x)], 0) << how << ": slide " << i << " row " << y;
    }
}

}  // namespace

// A bitmap whose rows carry junk padding, stored bottom-up and top-down,
// makes slides with zero padding: through qvxlib (single and batch adds),
// Add Image, Batch Add and the undo of a removal.
TEST(QvxlibMatch, SlidePaddingIsZeroWhateverTheBitmapHeld) {
    TEditor ed;
    TfrmMain& f = ed.Main();
    testbmp::BmpSpec up = sstest::RandomBitmap(5, 3, 6, 31);
    up.padByte = 0x99;
    testbmp::BmpSpec down = up;
    down.topDown = true;
    const QStringList files = {ed.WriteBitmap("up.bmp", up), ed.WriteBitmap("down.bmp", down)};

    for (const bool batch : {false, true}) {
        QString err;
        QStringList args = {"create", "crl", ed.Path("tool.crl")};
        args << files;
        if (batch) args << "--batch";
        ASSERT_EQ(RunQvxlib(args, &err), 0) << err.toStdString();
        qvx::TIntroLibrary lib;
        ASSERT_EQ(lib.LoadFromFile(sstest::LocalName(ed.Path("tool.crl"))), qvx::TLoadResult::Loaded);
        ASSERT_EQ(lib.SlideCount(), 2);
        ExpectZeroPadding(lib, batch ? "qvxlib --batch" : "qvxlib");
        EXPECT_EQ(lib.Slide(0)->Pixels, lib.Slide(1)->Pixels);
    }

    for (const QString& file : files) ed.AddBitmap(file);
    ed.Dialogs.OpenManyAnswers.push_back(files);
    ed.Trigger(f.BatchAdd1);
    ed.ClickSlide(0);
    ed.Click(f.BtnRemoveImage);
    QTest::keyClick(&f, Qt::Key_Z, Qt::ControlModifier);
    ASSERT_EQ(f.Library().SlideCount(), 4);
    ExpectZeroPadding(f.Library(), "window");
    EXPECT_EQ(f.Library().Slide(0)->Pixels, f.Library().Slide(1)->Pixels);
    ed.Dialogs.SaveAnswers.push_back(ed.Path("window.crl"));
    ed.Trigger(f.mnuSaveLib);
    qvx::TIntroLibrary saved;
    ASSERT_EQ(saved.LoadFromFile(sstest::LocalName(ed.Path("window.crl"))), qvx::TLoadResult::Loaded);
    ExpectZeroPadding(saved, "saved");
}
