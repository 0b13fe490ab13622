// The same library built through the windows and by `qvxlib create crl`
// from the same bitmaps and settings is the same file, byte for byte.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QProcess>
#include <QTest>
#include <cstdlib>

#include "harness.h"
#include "slideshelf/ui/Controls.h"

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
