// A windowed screen on the Qt backend: the frame drawn on the back buffer
// is read back from the X server's pixels of the form's window.
#include <gtest/gtest.h>

#include <functional>

#include <QDBusConnection>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QThread>
#include <QWindow>

#include "platform/com/backend.h"
#include "platform/winsys/messages.h"
#include "qvx/runtime/application.h"
#include "qvx/runtime/forms.h"
#include "qvx/runtime/screen.h"

using namespace qvx;

namespace {

// Handles messages until `done` holds, for at most `limitMs`; whether it holds.
bool WaitUntil(TApplication& app, const std::function<bool()>& done, int limitMs = 5000) {
    QElapsedTimer t;
    t.start();
    for (;;) {
        app.ProcessMessages();
        if (done()) return true;
        if (t.elapsed() > limitMs) return false;
        QThread::msleep(5);
    }
}

// The colour of the screen's pixel at (x, y) of the form's client area.
QRgb ShownAt(TForm* form, int x, int y) {
    tk::TPoint p = form->ClientToScreen({x, y});
    return QGuiApplication::primaryScreen()->grabWindow(0, p.X, p.Y, 1, 1).toImage().pixel(0, 0) & 0xFFFFFF;
}

// A windowed 160x120 screen on a shown form, started.
TQVXScreen* StartWindowed(TApplication& app, TForm* form) {
    auto* screen = new TQVXScreen(form);
    screen->DisplayMode = TDisplayMode::dm640x480x32;
    screen->ColorDepth = 32;
    screen->SetWindowMode(true);
    screen->WinBufWidth = 160;
    screen->WinBufHeight = 120;
    screen->WindowVBL = false;
    form->Show();
    // Started by the form's activation; without a window manager to give
    // the focus, start it as the activation would.
    if (!WaitUntil(app, [&] { return screen->Started(); }, 3000)) screen->AppActivateHook(form);
    return screen;
}

// The desktop's screen-saver service, as far as inhibiting goes.
class FakeScreenSaver : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")
public:
    int held = 0;
public slots:
    uint Inhibit(const QString&, const QString&) {
        ++held;
        return 41;
    }
    void UnInhibit(uint cookie) {
        if (cookie == 41) --held;
    }
};

}  // namespace

TEST(ScreenOnQt, WindowShowsTheFrameDrawn) {
    platform::SelectBackend(platform::Backend::Real);
    TApplication app;
    auto* form = app.CreateForm<TForm>();
    form->SetCaption("QVX Readback");
    auto* screen = StartWindowed(app, form);
    ASSERT_TRUE(screen->Started());

    TQVXCanvas& c = *screen->BackSurface()->Canvas;
    c.Brush.Color = tk::RGB(255, 0, 0);
    c.FillRect(tk::Rect(0, 0, 80, 120));
    c.Brush.Color = tk::RGB(0, 255, 0);
    c.FillRect(tk::Rect(80, 0, 160, 120));
    c.Brush.Color = tk::RGB(0, 0, 255);
    c.FillRect(tk::Rect(60, 40, 100, 80));
    c.ReleaseHandle();
    screen->Flip();

    WaitUntil(app, [&] { return ShownAt(form, 80, 60) == 0x0000FFu; });
    EXPECT_EQ(ShownAt(form, 10, 10), 0xFF0000u);
    EXPECT_EQ(ShownAt(form, 150, 110), 0x00FF00u);
    EXPECT_EQ(ShownAt(form, 80, 60), 0x0000FFu);
    delete screen;
}

// Until something is drawn, a shown form shows its colour.
TEST(ScreenOnQt, FormShowsItsColourBeforeAnyFrame) {
    platform::SelectBackend(platform::Backend::Real);
    TApplication app;
    auto* form = app.CreateForm<TForm>();
    form->SetClientWidth(100);
    form->SetClientHeight(80);
    form->Color = tk::RGB(0, 0, 128);
    form->Show();
    WaitUntil(app, [&] { return ShownAt(form, 50, 40) == 0x000080u; });
    EXPECT_EQ(ShownAt(form, 50, 40), 0x000080u);
}

// While a screen runs it swallows the screen-saver question, so the
// desktop's saver is inhibited; without the screen the form's default
// handling lets it start again.
TEST(ScreenOnQt, DesktopSaverIsHeldOffWhileTheScreenRuns) {
    platform::SelectBackend(platform::Backend::Real);
    TApplication app;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) GTEST_SKIP() << "no session bus";
    FakeScreenSaver saver;
    ASSERT_TRUE(bus.registerObject("/org/freedesktop/ScreenSaver", &saver, QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(bus.registerService("org.freedesktop.ScreenSaver"));
    winsys::SetScreenSaverQueryInterval(40);

    auto* form = app.CreateForm<TForm>();
    auto* screen = StartWindowed(app, form);
    ASSERT_TRUE(screen->Started());
    for (QWindow* w : QGuiApplication::topLevelWindows()) w->requestActivate();
    if (!WaitUntil(app, [] { return QGuiApplication::focusWindow() != nullptr; }, 3000))
        GTEST_SKIP() << "no window could be made active";
    EXPECT_TRUE(WaitUntil(app, [&] { return saver.held == 1; }));
    EXPECT_EQ(saver.held, 1);

    delete screen;
    EXPECT_TRUE(WaitUntil(app, [&] { return saver.held == 0; }));
    bus.unregisterService("org.freedesktop.ScreenSaver");
}

#include "test_screen_qt.moc"
