// A full-screen mode on the Qt backend (ctest runs it once more under
// xvfb): the window shows the mode scaled and centred, and the pointer and
// mouse events come back in mode units.
#include <gtest/gtest.h>

#include <QCursor>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QPixmap>
#include <QScreen>

#include "ddtest.h"
#include "platform/winsys/qt/qt_window.h"
#include "platform/winsys/winsys.h"

namespace {

void Settle(const std::function<bool()>& done) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < 3000) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QCoreApplication::processEvents();
}

TEST(QtFullScreen, ModeShownScaledAndPointerInModeUnits) {
    EnsureGuiApp();
    platform::SelectBackend(platform::Backend::Real);
    struct Back {
        ~Back() { platform::SelectBackend(platform::Backend::Headless); }
    } back;
    auto window = winsys::CreateTopLevelWindow("TForm1", "Full screen", 320, 240);
    auto* qw = dynamic_cast<winsys::qt::QtWindow*>(window.get());
    ASSERT_NE(qw, nullptr);
    QScreen* screen = qw->Handle()->screen();
    ASSERT_NE(screen, nullptr);
    const QSize desk = screen->size();

    ComPtr<IDirectDraw4> dd = MakeDirectDraw();
    ASSERT_EQ(dd->SetCooperativeLevel(window.get(), DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
    ASSERT_EQ(dd->SetDisplayMode(320, 240, 8, 0, 0), DD_OK);
    Settle([&] { return window->ClientWidth() == desk.width() && qw->Handle()->isExposed(); });
    ASSERT_EQ(window->ClientWidth(), desk.width());

    DDSURFACEDESC2 d = Desc();
    d.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    d.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
    d.dwBackBufferCount = 1;
    ComPtr<IDirectDrawSurface4> front, backBuffer;
    ASSERT_EQ(dd->CreateSurface(&d, front.Put(), nullptr), DD_OK);
    DDSCAPS2 caps{DDSCAPS_BACKBUFFER, 0, 0, 0};
    ASSERT_EQ(front->GetAttachedSurface(&caps, backBuffer.Put()), DD_OK);
    PALETTEENTRY pal[256] = {};
    pal[1] = PALETTEENTRY{255, 0, 0, 0};
    pal[2] = PALETTEENTRY{0, 255, 0, 0};
    ComPtr<IDirectDrawPalette> palette;
    ASSERT_EQ(dd->CreatePalette(DDPCAPS_8BIT | DDPCAPS_ALLOW256, pal, palette.Put(), nullptr), DD_OK);
    ASSERT_EQ(front->SetPalette(palette.Get()), DD_OK);
    ASSERT_EQ(Fill(backBuffer.Get(), nullptr, 1), DD_OK);
    RECT spot{100, 50, 110, 60};
    ASSERT_EQ(Fill(backBuffer.Get(), &spot, 2), DD_OK);
    ASSERT_EQ(front->Flip(nullptr, DDFLIP_WAIT | DDFLIP_NOVSYNC), DD_OK);

    // The frame, as the screen shows it.
    tk::TRect dest = winsys::Letterbox(320, 240, window->ClientWidth(), window->ClientHeight());
    int k = dest.Width() / 320;
    ASSERT_GE(k, 1);
    QImage shown;
    auto at = [&](int mx, int my) {
        return shown.pixel(dest.Left + mx * k + k / 2, dest.Top + my * k + k / 2) & 0xFFFFFF;
    };
    Settle([&] {
        shown = screen->grabWindow(qw->Handle()->winId()).toImage();
        return !shown.isNull() && shown.width() >= dest.Right && at(105, 55) == 0x00FF00;
    });
    ASSERT_GE(shown.width(), dest.Right);
    EXPECT_EQ(at(105, 55), 0x00FF00u);
    EXPECT_EQ(at(5, 5), 0xFF0000u);
    EXPECT_EQ(at(319, 239), 0xFF0000u);
    if (dest.Left > 0) {
        EXPECT_EQ(shown.pixel(dest.Left - 1, dest.Top) & 0xFFFFFF, 0u);
    }

    // The pointer in mode units, both ways.
    QPoint origin = qw->Handle()->mapToGlobal(QPoint(0, 0));
    QCursor::setPos(origin + QPoint(dest.Left + 200 * k + k - 1, dest.Top + 100 * k));
    tk::TPoint p = winsys::GetCursorPos();
    EXPECT_EQ(p.X, 200);
    EXPECT_EQ(p.Y, 100);
    ASSERT_TRUE(winsys::SetCursorPos(10, 20));
    QPoint native = QCursor::pos() - origin;
    EXPECT_EQ((native.x() - dest.Left) / k, 10);
    EXPECT_EQ((native.y() - dest.Top) / k, 20);

    // Mouse events in mode units.
    std::vector<std::pair<int, int>> got;
    window->OnMouse([&](const winsys::MouseEvent& e) { got.emplace_back(e.x, e.y); });
    QPointF local(dest.Left + 50 * k, dest.Top + 60 * k);
    QMouseEvent press(QEvent::MouseButtonPress, local, qw->Handle()->mapToGlobal(local), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(qw->Handle(), &press);
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got.back(), std::make_pair(50, 60));

    dd->RestoreDisplayMode();
    EXPECT_EQ(winsys::GetDesktopMode().width, desk.width());
}

}  // namespace
