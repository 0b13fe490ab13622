// Window-system services: headless and Qt windows, cursors, confinement,
// beeps and the data channel to another program's window.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLocalSocket>
#include <QThread>
#include <QtEndian>
#include <atomic>

#include "platform/com/backend.h"
#include "platform/winsys/headless/headless.h"
#include "platform/winsys/qt/qt_window.h"
#include "platform/winsys/window.h"
#include "platform/winsys/winsys.h"

using namespace winsys;

namespace {

void EnsureGuiApp() {
    if (QCoreApplication::instance()) return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "tests";
    static char* argv[] = {name, nullptr};
    // Never destroyed: Qt's own globals are gone by the time statics die.
    static QGuiApplication* app = new QGuiApplication(argc, argv);
    (void)app;
}

TEST(HeadlessWindow, EventsPresentationAndFullScreen) {
    headless::SetDesktopMode({1024, 768, 32, 60});
    headless::HeadlessWindow w("TForm1", "Game", 200, 100);
    std::vector<bool> activations;
    int id = w.OnActivate([&](bool a) { activations.push_back(a); });
    w.SetMinimized(true);
    EXPECT_TRUE(w.IsMinimized());
    EXPECT_FALSE(w.IsActive());
    w.SetMinimized(false);
    EXPECT_EQ(activations, (std::vector<bool>{false, true}));
    w.RemoveListener(id);
    w.SetActive(false);
    EXPECT_EQ(activations.size(), 2u);

    QImage frame(2, 2, QImage::Format_RGB32);
    frame.fill(qRgb(255, 0, 0));
    w.Present(frame, tk::Bounds(10, 10, 4, 4));
    EXPECT_EQ(w.ClientImage().pixel(13, 13) & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(w.ClientImage().pixel(14, 14) & 0xFFFFFF, 0u);
    w.MoveTo(30, 40);
    EXPECT_EQ(w.ScreenClientRect(), tk::Bounds(30, 40, 200, 100));
    w.SetFullScreen(true);
    EXPECT_EQ(w.ScreenClientRect(), tk::Bounds(0, 0, 1024, 768));
    w.SetFullScreen(false);
    EXPECT_EQ(w.ScreenClientRect(), tk::Bounds(30, 40, 200, 100));
    headless::SetDesktopMode({1920, 1080, 32, 60});
}

TEST(WindowRef, TurnsNullWhenTheWindowGoes) {
    WindowRef ref;
    {
        headless::HeadlessWindow w("A", "B", 1, 1);
        ref = WindowRef(&w);
        EXPECT_EQ(ref.Get(), &w);
    }
    EXPECT_EQ(ref.Get(), nullptr);
}

TEST(Cursors, StandardCursorsDrawAndHide) {
    EXPECT_EQ(LoadStandardCursor(crNone), nullptr);
    HCURSOR arrow = LoadStandardCursor(crArrow);
    ASSERT_NE(arrow, nullptr);
    EXPECT_EQ(LoadStandardCursor(crDefault), arrow);
    HCURSOR old = SetCursor(nullptr);
    EXPECT_EQ(GetCursor(), nullptr);
    SetCursor(old);
    QImage img(40, 40, QImage::Format_RGB32);
    img.fill(qRgb(0, 0, 255));
    tk::TImageDC dc(&img);
    EXPECT_FALSE(DrawCursor(&dc, 5, 5, nullptr));
    ASSERT_TRUE(DrawCursor(&dc, 5, 5, arrow));
    EXPECT_EQ(img.pixel(5, 5) & 0xFFFFFF, 0u);           // the tip's outline
    EXPECT_EQ(img.pixel(7, 12) & 0xFFFFFF, 0xFFFFFFu);   // inside the arrow
    EXPECT_EQ(img.pixel(4, 4) & 0xFFFFFF, 0x0000FFu);    // left alone
    EXPECT_EQ(img.pixel(30, 30) & 0xFFFFFF, 0x0000FFu);
}

TEST(Cursors, ConfinementKeepsThePointerInside) {
    headless::SetDesktopMode({1920, 1080, 32, 60});
    tk::TRect r = tk::Rect(100, 100, 200, 150);
    ASSERT_TRUE(ClipCursor(&r));
    tk::TPoint p = GetCursorPos();
    EXPECT_TRUE(p.X >= 100 && p.X < 200 && p.Y >= 100 && p.Y < 150);
    SetCursorPos(500, 20);
    p = GetCursorPos();
    EXPECT_EQ(p.X, 199);
    EXPECT_EQ(p.Y, 100);
    EXPECT_EQ(GetClipCursor(), r);
    tk::TRect empty = tk::Rect(5, 5, 5, 9);
    EXPECT_FALSE(ClipCursor(&empty));
    ASSERT_TRUE(ClipCursor(nullptr));
    SetCursorPos(500, 20);
    EXPECT_EQ(GetCursorPos().X, 500);
    EXPECT_EQ(GetClipCursor(), tk::Rect(0, 0, 1920, 1080));
}

TEST(Beep, IsRecorded) {
    headless::ResetBeeps();
    MessageBeep(MB_OK);
    MessageBeep(MB_ICONHAND);
    EXPECT_EQ(headless::BeepCount(), 2);
    EXPECT_EQ(headless::LastBeepType(), MB_ICONHAND);
}

// ---- Data channel ---------------------------------------------------------------------

const char* kClass = "TfrmTestReceiver";

TEST(CopyData, NothingListeningReturnsNull) {
    EXPECT_EQ(FindWindow(kClass, "nobody here"), nullptr);
}

TEST(CopyData, PacketsArriveAndAreAnswered) {
    std::string caption = "Receiver " + std::to_string(QCoreApplication::applicationPid());
    std::vector<CopyData> got;
    std::atomic<bool> listening{false};
    std::atomic<bool> second{true};
    QThread* t = QThread::create([&] {
        CopyDataListener l(kClass, caption, [&](const CopyData& cd) {
            got.push_back(cd);
            return static_cast<int64_t>(cd.bytes.size()) * 10;
        });
        if (!l.Listen()) {
            ADD_FAILURE() << l.ErrorText();
            return;
        }
        CopyDataListener twin(kClass, caption, nullptr);
        listening = true;
        l.Serve(4000);
        (void)twin;
    });
    t->start();
    for (int i = 0; i < 400 && !listening; ++i) QThread::msleep(5);
    ASSERT_TRUE(listening);
    auto w = FindWindow(kClass, caption);
    ASSERT_NE(w, nullptr);
    int64_t result = 0;
    ASSERT_TRUE(w->SendCopyData(7, "abc", 4, &result));
    EXPECT_EQ(result, 40);
    ASSERT_TRUE(w->SendCopyData(0, nullptr, 0, &result));
    EXPECT_EQ(result, 0);
    w.reset();
    // A second receiver of the same name is refused while the first runs.
    {
        CopyDataListener dup(kClass, caption, nullptr);
        EXPECT_FALSE(dup.Listen());
        EXPECT_NE(dup.ErrorText().find("already running"), std::string::npos);
    }
    // A packet claiming more than the receiver accepts drops the connection.
    QLocalSocket raw;
    raw.connectToServer(QString::fromStdString(WindowEndpoint(kClass, caption)));
    ASSERT_TRUE(raw.waitForConnected(1000));
    uchar head[8];
    qToLittleEndian<quint32>(0, head);
    qToLittleEndian<quint32>(CopyDataListener::kMaxPacket + 1, head + 4);
    raw.write(reinterpret_cast<const char*>(head), 8);
    raw.waitForBytesWritten(1000);
    EXPECT_TRUE(raw.waitForDisconnected(2000));
    t->wait();
    delete t;
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].dwData, 7u);
    EXPECT_EQ(std::string(got[0].bytes.begin(), got[0].bytes.end()), std::string("abc\0", 4));
    EXPECT_TRUE(got[1].bytes.empty());
    // With the receiver gone, finding it fails at once.
    EXPECT_EQ(FindWindow(kClass, caption), nullptr);
}

// ---- Both window backends -----------------------------------------------------------------

class WindowConformance : public ::testing::TestWithParam<platform::Backend> {
protected:
    void SetUp() override {
        if (GetParam() == platform::Backend::Real) EnsureGuiApp();
        platform::SelectBackend(GetParam());
    }
    void TearDown() override { platform::SelectBackend(platform::Backend::Headless); }
};

TEST_P(WindowConformance, SizeCoordinatesAndPresent) {
    auto w = CreateTopLevelWindow("TForm1", "Conformance", 160, 120);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->ClassName(), "TForm1");
    EXPECT_EQ(w->Caption(), "Conformance");
    EXPECT_EQ(w->ClientWidth(), 160);
    w->SetClientSize(200, 150);
    EXPECT_EQ(w->ClientWidth(), 200);
    EXPECT_EQ(w->ClientHeight(), 150);
    tk::TPoint o = w->ClientToScreen({0, 0});
    tk::TPoint p = w->ClientToScreen({10, 20});
    EXPECT_EQ(p.X - o.X, 10);
    EXPECT_EQ(p.Y - o.Y, 20);
    EXPECT_EQ(w->ScreenClientRect(), tk::Bounds(o.X, o.Y, 200, 150));
    QImage frame(20, 15, QImage::Format_RGB32);
    frame.fill(Qt::red);
    w->Present(frame, tk::Bounds(0, 0, 200, 150));
    DesktopMode d = GetDesktopMode();
    EXPECT_GT(d.width, 0);
    EXPECT_GT(d.refreshHz, 0);
}

INSTANTIATE_TEST_SUITE_P(Backends, WindowConformance,
                         ::testing::Values(platform::Backend::Headless, platform::Backend::Real),
                         [](const auto& info) {
                             return std::string(info.param == platform::Backend::Real ? "Qt" : "Headless");
                         });

TEST(QtWindow, KeysArriveAsScanCodes) {
    EnsureGuiApp();
    qt::QtWindow w("TForm1", "Keys", 100, 100);
    std::vector<KeyEvent> keys;
    w.OnKey([&](const KeyEvent& k) { keys.push_back(k); });
    QKeyEvent down(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a");
    QKeyEvent up(QEvent::KeyRelease, Qt::Key_Up, Qt::NoModifier);
    QGuiApplication::sendEvent(w.Handle(), &down);
    QGuiApplication::sendEvent(w.Handle(), &up);
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_TRUE(keys[0].pressed);
    EXPECT_EQ(keys[0].scanCode, 0x1E);
    EXPECT_FALSE(keys[1].pressed);
    EXPECT_EQ(keys[1].scanCode, 0xC8);
    EXPECT_EQ(qt::ScanCodeFor(Qt::Key_Escape, 0), 0x01);
    EXPECT_EQ(qt::ScanCodeFor(Qt::Key_Space, 0), 0x39);
    EXPECT_EQ(qt::ScanCodeFor(Qt::Key_M, 0), 0x32);
}

}  // namespace
