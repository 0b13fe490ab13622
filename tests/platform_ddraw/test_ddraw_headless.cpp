// DirectDraw behaviour on the headless backend: cooperative levels, modes,
// flip chains, windowed presentation through a clipper, device contexts,
// locks, lost surfaces, fault injection and vertical-blank pacing.
#include <gtest/gtest.h>

#include <chrono>

#include "ddtest.h"
#include "platform/ddraw/display.h"
#include "platform/ddraw/headless/headless.h"
#include "platform/winsys/headless/headless.h"
#include "toolkit/graphics.h"

using winsys::headless::HeadlessWindow;
namespace hl = ddraw::headless;

namespace {

class Headless : public ::testing::Test {
protected:
    void SetUp() override {
        hl::ClearFaults();
        hl::ResetFrames();
        hl::SetVBlank(hl::VBlank::Immediate);
        winsys::headless::SetDesktopMode({1920, 1080, 32, 60});
        dd = MakeDirectDraw();
        ASSERT_TRUE(dd);
    }
    // Full screen at w x h x bits with a primary and `backs` back buffers.
    void FullScreen(int w, int h, int bits, int backs = 1) {
        ASSERT_EQ(dd->SetCooperativeLevel(&win, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN | DDSCL_ALLOWMODEX), DD_OK);
        ASSERT_EQ(dd->SetDisplayMode(w, h, bits, 0, 0), DD_OK);
        DDSURFACEDESC2 d = Desc();
        d.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
        d.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
        d.dwBackBufferCount = static_cast<DWORD>(backs);
        ASSERT_EQ(dd->CreateSurface(&d, front.Put(), nullptr), DD_OK);
        DDSCAPS2 caps{DDSCAPS_BACKBUFFER, 0, 0, 0};
        IDirectDrawSurface4* b = nullptr;
        ASSERT_EQ(front->GetAttachedSurface(&caps, &b), DD_OK);
        back.Attach(b);
    }
    HeadlessWindow win{"TForm1", "Game", 640, 480};
    ComPtr<IDirectDraw4> dd;
    ComPtr<IDirectDrawSurface4> front, back;
};

TEST_F(Headless, CreationAndInterfaces) {
    IDirectDraw* one = nullptr;
    GUID g{};
    EXPECT_EQ(DirectDrawCreate(&g, &one, nullptr), DDERR_INVALIDDIRECTDRAWGUID);
    void* p = nullptr;
    EXPECT_EQ(dd->QueryInterface(IID_IDirectDrawPalette, &p), E_NOINTERFACE);
    EXPECT_EQ(p, nullptr);
    DDSURFACEDESC2 d = OffscreenDesc(4, 4);
    ComPtr<IDirectDrawSurface4> s;
    EXPECT_EQ(dd->CreateSurface(&d, s.Put(), nullptr), DDERR_NOCOOPERATIVELEVELSET);
}

TEST_F(Headless, CooperativeLevelRules) {
    EXPECT_EQ(dd->SetCooperativeLevel(&win, DDSCL_NORMAL | DDSCL_EXCLUSIVE), DDERR_INVALIDPARAMS);
    EXPECT_EQ(dd->SetCooperativeLevel(&win, DDSCL_EXCLUSIVE), DDERR_INVALIDPARAMS);
    EXPECT_EQ(dd->SetCooperativeLevel(nullptr, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DDERR_INVALIDPARAMS);
    EXPECT_EQ(dd->SetCooperativeLevel(&win, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN | DDSCL_ALLOWREBOOT), DD_OK);
    EXPECT_TRUE(win.IsFullScreen());
    HeadlessWindow other("X", "Y", 10, 10);
    EXPECT_EQ(dd->SetCooperativeLevel(&other, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DDERR_HWNDALREADYSET);
    auto second = MakeDirectDraw();
    EXPECT_EQ(second->SetCooperativeLevel(&other, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DDERR_EXCLUSIVEMODEALREADYSET);
    EXPECT_EQ(dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL), DD_OK);
    EXPECT_FALSE(win.IsFullScreen());
    EXPECT_EQ(second->SetCooperativeLevel(&other, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
}

TEST_F(Headless, DisplayModes) {
    EXPECT_EQ(dd->SetCooperativeLevel(&win, DDSCL_NORMAL), DD_OK);
    EXPECT_EQ(dd->SetDisplayMode(640, 480, 8, 0, 0), DDERR_NOEXCLUSIVEMODE);
    DDSURFACEDESC2 d = Desc();
    ASSERT_EQ(dd->GetDisplayMode(&d), DD_OK);
    EXPECT_EQ(d.dwWidth, 1920u);
    EXPECT_EQ(d.ddpfPixelFormat.dwRGBBitCount, 32u);
    ASSERT_EQ(dd->SetCooperativeLevel(&win, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
    EXPECT_EQ(dd->SetDisplayMode(123, 45, 8, 0, 0), DDERR_INVALIDMODE);
    EXPECT_EQ(dd->SetDisplayMode(640, 480, 12, 0, 0), DDERR_INVALIDMODE);
    auto s = MakeSurface(dd.Get(), OffscreenDesc(8, 8));
    ASSERT_TRUE(s);
    ASSERT_EQ(dd->SetDisplayMode(640, 400, 8, 0, 0), DD_OK);
    d = Desc();
    ASSERT_EQ(dd->GetDisplayMode(&d), DD_OK);
    EXPECT_EQ(d.dwWidth, 640u);
    EXPECT_EQ(d.dwHeight, 400u);
    EXPECT_EQ(d.ddpfPixelFormat.dwFlags & DDPF_PALETTEINDEXED8, DDPF_PALETTEINDEXED8);
    // Surfaces made before a mode change are lost; new ones take the mode's depth.
    EXPECT_EQ(s->IsLost(), DDERR_SURFACELOST);
    auto t = MakeSurface(dd.Get(), OffscreenDesc(8, 8));
    d = Desc();
    t->GetSurfaceDesc(&d);
    EXPECT_EQ(d.ddpfPixelFormat.dwRGBBitCount, 8u);
    EXPECT_EQ(d.lPitch, 8);
    EXPECT_EQ(dd->RestoreDisplayMode(), DD_OK);
    EXPECT_EQ(t->IsLost(), DDERR_SURFACELOST);
}

TEST_F(Headless, FlipChainShowsBackBufferThroughPalette) {
    FullScreen(320, 240, 8, 2);
    PALETTEENTRY pal[256] = {};
    pal[5] = {255, 0, 0, 0};
    pal[6] = {0, 0, 255, 0};
    ComPtr<IDirectDrawPalette> palette;
    ASSERT_EQ(dd->CreatePalette(DDPCAPS_8BIT | DDPCAPS_ALLOW256, pal, palette.Put(), nullptr), DD_OK);
    ASSERT_EQ(front->SetPalette(palette.Get()), DD_OK);
    ASSERT_EQ(Fill(back.Get(), nullptr, 5), DD_OK);
    ASSERT_EQ(front->Flip(nullptr, DDFLIP_WAIT), DD_OK);
    QImage frame = hl::LastFrame();
    ASSERT_EQ(frame.size(), QSize(320, 240));
    EXPECT_EQ(frame.pixel(10, 10) & 0xFFFFFF, 0xFF0000u);
    // The window shows it at scale 4, centred on the 1920 x 1080 screen.
    EXPECT_EQ(win.LastDest(), tk::Bounds(320, 60, 1280, 960));
    // Three buffers: the back buffer now holds what was in front (zeros),
    // and after two more flips the filled buffer is the back buffer again.
    EXPECT_EQ(PixelAt(back.Get(), 0, 0), 0u);
    EXPECT_EQ(PixelAt(front.Get(), 0, 0), 5u);
    front->Flip(nullptr, DDFLIP_WAIT);
    front->Flip(nullptr, DDFLIP_WAIT);
    EXPECT_EQ(PixelAt(back.Get(), 0, 0), 5u);
    // Palette changes show at once.
    int frames = hl::FrameCount();
    PALETTEENTRY blue = {0, 0, 255, 0};
    ASSERT_EQ(palette->SetEntries(0, 0, 1, &blue), DD_OK);
    EXPECT_GT(hl::FrameCount(), frames);
    EXPECT_EQ(hl::LastFrame().pixel(0, 0) & 0xFFFFFF, 0x0000FFu);
    EXPECT_EQ(dd->FlipToGDISurface(), DD_OK);
    EXPECT_EQ(back->Flip(nullptr, 0), DDERR_NOTFLIPPABLE);
    PALETTEENTRY out[2];
    ASSERT_EQ(palette->GetEntries(0, 5, 2, out), DD_OK);
    EXPECT_EQ(out[1], pal[6]);
    EXPECT_EQ(palette->GetEntries(0, 255, 2, out), DDERR_INVALIDPARAMS);
}

TEST_F(Headless, WindowedPrimaryShowsClippedBlitInClientArea) {
    win.MoveTo(100, 80);
    win.SetBackground(tk::RGB(0, 0, 128));
    ASSERT_EQ(dd->SetCooperativeLevel(&win, DDSCL_NORMAL), DD_OK);
    DDSURFACEDESC2 d = Desc();
    d.dwFlags = DDSD_CAPS;
    d.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    auto primary = MakeSurface(dd.Get(), d);
    ASSERT_TRUE(primary);
    // The desktop under the client area shows the window's background
    // until something is drawn there; the rest of the desktop does not.
    EXPECT_EQ(PixelAt(primary.Get(), 100, 80), 0x000080u);
    EXPECT_EQ(PixelAt(primary.Get(), 739, 559), 0x000080u);
    EXPECT_EQ(PixelAt(primary.Get(), 99, 80), 0u);
    EXPECT_EQ(PixelAt(primary.Get(), 740, 559), 0u);
    d = Desc();
    primary->GetSurfaceDesc(&d);
    EXPECT_EQ(d.dwWidth, 1920u);
    auto buffer = MakeSurface(dd.Get(), OffscreenDesc(640, 480));
    RECT left{0, 0, 320, 480};
    Fill(buffer.Get(), nullptr, 0x0000FF);
    Fill(buffer.Get(), &left, 0x00FF00);
    ComPtr<IDirectDrawClipper> clipper;
    ASSERT_EQ(dd->CreateClipper(0, clipper.Put(), nullptr), DD_OK);
    ASSERT_EQ(clipper->SetHWnd(0, &win), DD_OK);
    ASSERT_EQ(primary->SetClipper(clipper.Get()), DD_OK);
    // Copy to the client area's screen rectangle, deliberately too large:
    // the clipper keeps it inside the window.
    RECT dest{100, 80, 100 + 640 + 50, 80 + 480};
    RECT src{0, 0, 640 + 50, 480};
    EXPECT_EQ(primary->Blt(&dest, buffer.Get(), &src, DDBLT_WAIT, nullptr), DDERR_INVALIDRECT);
    dest = RECT{100, 80, 740, 560};
    ASSERT_EQ(primary->Blt(&dest, buffer.Get(), nullptr, DDBLT_WAIT, nullptr), DD_OK);
    QImage frame = hl::LastFrame();
    ASSERT_EQ(frame.size(), QSize(640, 480));
    EXPECT_EQ(frame.pixel(10, 10) & 0xFFFFFF, 0x00FF00u);
    EXPECT_EQ(frame.pixel(600, 10) & 0xFFFFFF, 0x0000FFu);
    EXPECT_EQ(hl::LastFrameWindow(), &win);
    // Stretched into a bigger rectangle, nothing lands outside the client area.
    RECT big{0, 0, 1920, 1080};
    ASSERT_EQ(primary->Blt(&big, buffer.Get(), nullptr, DDBLT_WAIT, nullptr), DD_OK);
    EXPECT_EQ(PixelAt(primary.Get(), 50, 50), 0u);
    EXPECT_EQ(PixelAt(primary.Get(), 100, 80), PixelAt(buffer.Get(), 100 * 640 / 1920, 80 * 480 / 1080));
    EXPECT_EQ(primary->BltFast(0, 0, buffer.Get(), nullptr, 0), DDERR_BLTFASTCANTCLIP);
    // A bigger window shows the background where it newly covers the
    // desktop; what was drawn in the old client area stays.
    win.SetClientSize(700, 500);
    EXPECT_EQ(PixelAt(primary.Get(), 750, 100), 0x000080u);
    EXPECT_EQ(PixelAt(primary.Get(), 100, 80), PixelAt(buffer.Get(), 100 * 640 / 1920, 80 * 480 / 1080));
    // Restored after a loss, the client area shows the background again.
    hl::LoseSurfaces();
    ASSERT_EQ(primary->Restore(), DD_OK);
    EXPECT_EQ(PixelAt(primary.Get(), 100, 80), 0x000080u);
}

TEST_F(Headless, DeviceContextDrawsInPixelFormats) {
    ASSERT_EQ(dd->SetCooperativeLevel(&win, DDSCL_NORMAL), DD_OK);
    for (int bits : {16, 24, 32}) {
        auto s = MakeSurface(dd.Get(), OffscreenDesc(20, 10, bits));
        ASSERT_TRUE(s);
        HDC dc = nullptr;
        ASSERT_EQ(s->GetDC(&dc), DD_OK);
        HDC again = nullptr;
        EXPECT_EQ(s->GetDC(&again), DDERR_DCALREADYCREATED);
        DDSURFACEDESC2 d = Desc();
        EXPECT_EQ(s->Lock(nullptr, &d, 0, nullptr), DDERR_SURFACEBUSY);
        EXPECT_EQ(Fill(s.Get(), nullptr, 0), DDERR_SURFACEBUSY);
        {
            tk::TCanvas canvas;
            canvas.SetHandle(dc);
            canvas.Brush.Color = tk::RGB(255, 0, 0);
            canvas.FillRect(tk::Rect(0, 0, 5, 5));
            canvas.SetHandle(nullptr);
        }
        EXPECT_EQ(s->ReleaseDC(reinterpret_cast<HDC>(&again)), DDERR_INVALIDPARAMS);
        ASSERT_EQ(s->ReleaseDC(dc), DD_OK);
        EXPECT_EQ(s->ReleaseDC(dc), DDERR_NODC);
        uint32_t red = bits == 16 ? 0xF800u : 0xFF0000u;
        EXPECT_EQ(PixelAt(s.Get(), 2, 2), red) << bits;
        EXPECT_EQ(PixelAt(s.Get(), 10, 2), 0u) << bits;
    }
}

// Golden: drawing on an 8-bit surface maps colours to the nearest palette
// entry, and pixels not drawn keep their index even where entries repeat.
TEST_F(Headless, DrawingOnEightBitMapsToNearestPaletteEntry) {
    ASSERT_EQ(dd->SetCooperativeLevel(&win, DDSCL_NORMAL), DD_OK);
    auto s = MakeSurface(dd.Get(), OffscreenDesc(8, 4, 8));
    ASSERT_TRUE(s);
    PALETTEENTRY pal[256] = {};
    pal[1] = {200, 0, 0, 0};
    pal[2] = {0, 0, 200, 0};
    pal[3] = {0, 0, 0, 0};  // same colour as entry 0
    ComPtr<IDirectDrawPalette> palette;
    ASSERT_EQ(dd->CreatePalette(DDPCAPS_8BIT, pal, palette.Put(), nullptr), DD_OK);
    ASSERT_EQ(s->SetPalette(palette.Get()), DD_OK);
    ASSERT_EQ(Fill(s.Get(), nullptr, 3), DD_OK);
    HDC dc = nullptr;
    ASSERT_EQ(s->GetDC(&dc), DD_OK);
    {
        tk::TCanvas canvas;
        canvas.SetHandle(dc);
        canvas.Brush.Color = tk::RGB(250, 30, 20);
        canvas.FillRect(tk::Rect(0, 0, 4, 4));
        canvas.Brush.Color = tk::RGB(10, 10, 160);
        canvas.FillRect(tk::Rect(4, 0, 6, 4));
        canvas.SetHandle(nullptr);
    }
    ASSERT_EQ(s->ReleaseDC(dc), DD_OK);
    const uint32_t want[8] = {1, 1, 1, 1, 2, 2, 3, 3};
    for (int x = 0; x < 8; ++x) EXPECT_EQ(PixelAt(s.Get(), x, 1), want[x]) << x;
    // 16-bit surfaces cannot take a palette.
    auto hi = MakeSurface(dd.Get(), OffscreenDesc(4, 4, 16));
    EXPECT_EQ(hi->SetPalette(palette.Get()), DDERR_INVALIDPIXELFORMAT);
}

TEST_F(Headless, LocksAndColourKeys) {
    ASSERT_EQ(dd->SetCooperativeLevel(&win, DDSCL_NORMAL), DD_OK);
    auto src = MakeSurface(dd.Get(), OffscreenDesc(4, 4, 32));
    auto dst = MakeSurface(dd.Get(), OffscreenDesc(8, 8, 32));
    DDSURFACEDESC2 d = Desc();
    ASSERT_EQ(src->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
    EXPECT_EQ(d.lPitch, 16);
    auto* px = static_cast<uint32_t*>(d.lpSurface);
    px[0] = 0x123456;  // keyed
    px[1] = 0x00FF00;
    DDSURFACEDESC2 d2 = Desc();
    EXPECT_EQ(src->Lock(nullptr, &d2, 0, nullptr), DDERR_SURFACEBUSY);
    EXPECT_EQ(dst->BltFast(0, 0, src.Get(), nullptr, 0), DDERR_SURFACEBUSY);
    ASSERT_EQ(src->Unlock(nullptr), DD_OK);
    EXPECT_EQ(src->Unlock(nullptr), DDERR_NOTLOCKED);
    EXPECT_EQ(dst->BltFast(0, 0, src.Get(), nullptr, DDBLTFAST_SRCCOLORKEY), DDERR_COLORKEYNOTSET);
    // Without DDCKEY_COLORSPACE only the low value counts.
    DDCOLORKEY key{0x123456, 0xFFFFFF};
    ASSERT_EQ(src->SetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
    DDCOLORKEY got{};
    ASSERT_EQ(src->GetColorKey(DDCKEY_SRCBLT, &got), DD_OK);
    EXPECT_EQ(got.dwColorSpaceHighValue, 0x123456u);
    Fill(dst.Get(), nullptr, 0x777777);
    ASSERT_EQ(dst->BltFast(2, 2, src.Get(), nullptr, DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT), DD_OK);
    EXPECT_EQ(PixelAt(dst.Get(), 2, 2), 0x777777u);
    EXPECT_EQ(PixelAt(dst.Get(), 3, 2), 0x00FF00u);
    EXPECT_EQ(dst->BltFast(5, 5, src.Get(), nullptr, 0), DDERR_INVALIDRECT);
    // Blt with an override key from the effects record.
    DDBLTFX fx;
    std::memset(&fx, 0, sizeof fx);
    fx.dwSize = sizeof fx;
    fx.ddckSrcColorkey = {0x00FF00, 0x00FF00};
    RECT dr{0, 0, 4, 4};
    ASSERT_EQ(dst->Blt(&dr, src.Get(), nullptr, DDBLT_KEYSRCOVERRIDE, &fx), DD_OK);
    EXPECT_EQ(PixelAt(dst.Get(), 0, 0), 0x123456u);
    EXPECT_EQ(PixelAt(dst.Get(), 1, 0), 0x777777u);
    fx.dwSize = 99;
    EXPECT_EQ(dst->Blt(&dr, nullptr, nullptr, DDBLT_COLORFILL, &fx), DDERR_INVALIDPARAMS);
    RECT outside{6, 6, 9, 9};
    EXPECT_EQ(Fill(dst.Get(), &outside, 1), DDERR_INVALIDRECT);
    auto other = MakeSurface(dd.Get(), OffscreenDesc(4, 4, 16));
    EXPECT_EQ(dst->BltFast(0, 0, other.Get(), nullptr, 0), DDERR_INVALIDPIXELFORMAT);
}

TEST_F(Headless, LostSurfacesAnswerUntilRestored) {
    ASSERT_EQ(dd->SetCooperativeLevel(&win, DDSCL_NORMAL), DD_OK);
    auto s = MakeSurface(dd.Get(), OffscreenDesc(4, 4, 32));
    DDSURFACEDESC2 sys = OffscreenDesc(4, 4, 32);
    sys.ddsCaps.dwCaps |= DDSCAPS_SYSTEMMEMORY;
    auto inSystem = MakeSurface(dd.Get(), sys);
    Fill(s.Get(), nullptr, 0xABCDEF);
    hl::LoseSurfaces();
    EXPECT_EQ(s->IsLost(), DDERR_SURFACELOST);
    EXPECT_EQ(inSystem->IsLost(), DD_OK);
    EXPECT_EQ(Fill(s.Get(), nullptr, 1), DDERR_SURFACELOST);
    EXPECT_EQ(inSystem->BltFast(0, 0, s.Get(), nullptr, 0), DDERR_SURFACELOST);
    HDC dc;
    EXPECT_EQ(s->GetDC(&dc), DDERR_SURFACELOST);
    DDSURFACEDESC2 d = Desc();
    EXPECT_EQ(s->Lock(nullptr, &d, 0, nullptr), DDERR_SURFACELOST);
    ASSERT_EQ(s->Restore(), DD_OK);
    EXPECT_EQ(s->IsLost(), DD_OK);
    EXPECT_EQ(PixelAt(s.Get(), 0, 0), 0u);  // the contents are gone
}

TEST_F(Headless, LeavingFullScreenLosesSurfacesUntilBack) {
    FullScreen(640, 480, 16, 1);
    win.SetMinimized(true);
    EXPECT_EQ(front->IsLost(), DDERR_SURFACELOST);
    EXPECT_EQ(back->IsLost(), DDERR_SURFACELOST);
    EXPECT_EQ(front->Flip(nullptr, 0), DDERR_SURFACELOST);
    EXPECT_EQ(front->Restore(), DDERR_NOEXCLUSIVEMODE);
    win.SetMinimized(false);
    EXPECT_EQ(front->Restore(), DD_OK);
    EXPECT_EQ(back->IsLost(), DD_OK);  // the chain comes back with its front
    EXPECT_EQ(back->Restore(), DDERR_IMPLICITLYCREATED);
    EXPECT_EQ(front->Flip(nullptr, 0), DD_OK);
}

TEST_F(Headless, FaultInjectionFailsTheNthCall) {
    ASSERT_EQ(dd->SetCooperativeLevel(&win, DDSCL_NORMAL), DD_OK);
    hl::InjectFault("CreateSurface", 2, DDERR_OUTOFVIDEOMEMORY);
    EXPECT_TRUE(MakeSurface(dd.Get(), OffscreenDesc(4, 4)));
    DDSURFACEDESC2 d = OffscreenDesc(4, 4);
    ComPtr<IDirectDrawSurface4> s;
    EXPECT_EQ(dd->CreateSurface(&d, s.Put(), nullptr), DDERR_OUTOFVIDEOMEMORY);
    EXPECT_FALSE(s);
    EXPECT_TRUE(MakeSurface(dd.Get(), OffscreenDesc(4, 4)));
    hl::InjectFault("Restore", 1, DDERR_WRONGMODE);
    auto t = MakeSurface(dd.Get(), OffscreenDesc(4, 4));
    EXPECT_EQ(t->Restore(), DDERR_WRONGMODE);
    EXPECT_EQ(t->Restore(), DD_OK);
    hl::InjectFault("DirectDrawCreate", 1, DDERR_NODIRECTDRAWHW);
    IDirectDraw* none = nullptr;
    EXPECT_EQ(DirectDrawCreate(nullptr, &none, nullptr), DDERR_NODIRECTDRAWHW);
    EXPECT_EQ(none, nullptr);
}

TEST_F(Headless, ChildrenOutliveTheirDirectDrawSafely) {
    ASSERT_EQ(dd->SetCooperativeLevel(&win, DDSCL_NORMAL), DD_OK);
    auto s = MakeSurface(dd.Get(), OffscreenDesc(4, 4));
    dd.Reset();
    EXPECT_EQ(Fill(s.Get(), nullptr, 1), DDERR_INVALIDOBJECT);
}

TEST_F(Headless, VerticalBlankIsPacedWhenAsked) {
    EXPECT_EQ(dd->WaitForVerticalBlank(DDWAITVB_BLOCKBEGINEVENT, nullptr), DDERR_UNSUPPORTED);
    long before = hl::VBlankWaits();
    ASSERT_EQ(dd->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr), DD_OK);
    EXPECT_EQ(hl::VBlankWaits(), before + 1);
    hl::SetVBlank(hl::VBlank::Paced60Hz);
    auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < 4; ++i) dd->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr);
    double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_GE(ms, 3 * 1000.0 / 60 - 1);  // four ticks span at least three periods
    hl::SetVBlank(hl::VBlank::Immediate);
}

std::pair<int, int> XY(tk::TPoint p) { return {p.X, p.Y}; }

// A 320 x 240 mode on a 1920 x 1080 desktop is shown at scale 4 from
// (320, 60). While it is set the desktop is the mode: its size and depth,
// the pointer, its confinement and the window's mouse events are all in
// mode units; giving the mode back gives the desktop back.
TEST_F(Headless, FullScreenModeIsTheDesktopInModeUnits) {
    ASSERT_EQ(dd->SetCooperativeLevel(&win, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
    ASSERT_EQ(dd->SetDisplayMode(320, 240, 8, 0, 0), DD_OK);
    winsys::DesktopMode m = winsys::GetDesktopMode();
    EXPECT_EQ(m.width, 320);
    EXPECT_EQ(m.height, 240);
    EXPECT_EQ(m.bitsPerPixel, 8);

    std::vector<std::pair<int, int>> moves;
    win.OnMouse([&](const winsys::MouseEvent& e) { moves.emplace_back(e.x, e.y); });
    win.DeliverMouse(winsys::MouseEvent{winsys::MouseEvent::Move, 320 + 4 * 100 + 3, 60 + 4 * 50, 0, 0, 0, {}});
    win.DeliverMouse(winsys::MouseEvent{winsys::MouseEvent::Move, 5, 1079, 0, 0, 0, {}});  // the black border
    ASSERT_EQ(moves.size(), 2u);
    EXPECT_EQ(moves[0], std::make_pair(100, 50));
    EXPECT_EQ(moves[1], std::make_pair(0, 239));
    // On a second monitor too, the client area is the desktop.
    win.MoveTo(1920, 0);
    EXPECT_EQ(XY(winsys::ClientToDesktop(&win, {100, 50})), std::make_pair(100, 50));
    win.MoveTo(0, 0);

    ASSERT_TRUE(winsys::SetCursorPos(319, 0));
    EXPECT_EQ(XY(winsys::GetCursorPos()), std::make_pair(319, 0));
    tk::TRect clip = tk::Rect(10, 20, 1000, 1000);
    ASSERT_TRUE(winsys::ClipCursor(&clip));
    EXPECT_EQ(winsys::GetClipCursor(), tk::Rect(10, 20, 320, 240));
    EXPECT_EQ(XY(winsys::GetCursorPos()), std::make_pair(319, 20));
    winsys::SetCursorPos(0, 0);
    EXPECT_EQ(XY(winsys::GetCursorPos()), std::make_pair(10, 20));

    ASSERT_EQ(dd->RestoreDisplayMode(), DD_OK);
    EXPECT_EQ(winsys::GetDesktopMode().width, 1920);
    EXPECT_EQ(winsys::GetClipCursor(), tk::Rect(0, 0, 1920, 1080));
    // The pointer stayed where mode pixel (10, 20) is shown.
    EXPECT_EQ(XY(winsys::GetCursorPos()), std::make_pair(320 + 4 * 10 + 2, 60 + 4 * 20 + 2));
    win.DeliverMouse(winsys::MouseEvent{winsys::MouseEvent::Move, 7, 9, 0, 0, 0, {}});
    EXPECT_EQ(moves.back(), std::make_pair(7, 9));
    EXPECT_EQ(XY(winsys::ClientToDesktop(&win, {7, 9})), XY(win.ClientToScreen({7, 9})));

    // Releasing the DirectDraw object without restoring gives it back too.
    ASSERT_EQ(dd->SetDisplayMode(640, 480, 16, 0, 0), DD_OK);
    EXPECT_EQ(winsys::GetDesktopMode().bitsPerPixel, 16);
    dd = {};
    EXPECT_EQ(winsys::GetDesktopMode().width, 1920);
    EXPECT_EQ(winsys::GetDesktopMode().bitsPerPixel, 32);
}

TEST(Letterbox, IntegerScaleWhenItFitsElseShapeKept) {
    EXPECT_EQ(ddraw::Letterbox(640, 480, 1920, 1080), tk::Bounds(320, 60, 1280, 960));
    EXPECT_EQ(ddraw::Letterbox(320, 200, 320, 200), tk::Bounds(0, 0, 320, 200));
    EXPECT_EQ(ddraw::Letterbox(800, 600, 400, 400), tk::Bounds(0, 50, 400, 300));
}

}  // namespace
