// Runtime surfaces and their canvas on the headless display.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/ddraw/headless/headless.h"
#include "platform/winsys/headless/headless.h"
#include "qvx/runtime/surface.h"
#include "surface_pixel.h"

using namespace qvx;
namespace hl = ddraw::headless;

namespace {

ComPtr<IDirectDraw4> MakeDD() {
    IDirectDraw* one = nullptr;
    if (DirectDrawCreate(nullptr, &one, nullptr) != DD_OK) return {};
    ComPtr<IDirectDraw> first;
    first.Attach(one);
    ComPtr<IDirectDraw4> dd;
    first->QueryInterface(IID_IDirectDraw4, dd.PutVoid());
    return dd;
}

DDSURFACEDESC2 DescOf(IDirectDrawSurface4* s) {
    DDSURFACEDESC2 d;
    std::memset(&d, 0, sizeof d);
    d.dwSize = sizeof d;
    s->GetSurfaceDesc(&d);
    return d;
}

std::string MessageOf(const std::function<void()>& fn) {
    try {
        fn();
    } catch (const tk::Exception& e) {
        return e.Message();
    }
    return "";
}

class FakeScreen : public IQVXSurfaceScreen {
public:
    IDirectDraw4* DirectDraw() const override { return dd; }
    bool WindowMode() const override { return windowed; }
    int BackBuffers() const override { return backs; }
    int BufferWidth() const override { return bw; }
    int BufferHeight() const override { return bh; }
    IDirectDraw4* dd = nullptr;
    bool windowed = true;
    int backs = 2, bw = 320, bh = 200;
};

class Surfaces : public ::testing::Test {
protected:
    void SetUp() override {
        hl::ClearFaults();
        winsys::headless::SetDesktopMode({800, 600, 32, 60});
        dd = MakeDD();
        ASSERT_TRUE(dd);
        screen.dd = dd.Get();
    }
    void TearDown() override {
        hl::ClearFaults();
        winsys::headless::SetDesktopMode({1920, 1080, 32, 60});
    }
    void Normal() { ASSERT_EQ(dd->SetCooperativeLevel(&win, DDSCL_NORMAL), DD_OK); }
    void FullScreen(int w, int h, int bits) {
        ASSERT_EQ(dd->SetCooperativeLevel(&win, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
        ASSERT_EQ(dd->SetDisplayMode(w, h, bits, 0, 0), DD_OK);
        screen.windowed = false;
    }
    winsys::headless::HeadlessWindow win{"TForm1", "Game", 640, 480};
    ComPtr<IDirectDraw4> dd;
    FakeScreen screen;
};

TEST_F(Surfaces, MemorySurfaceWiderThanDesktopGoesToSystemMemory) {
    Normal();
    TQVXSurface fits(dd.Get(), 800, 2, 32);
    EXPECT_EQ(DescOf(fits.Surface.Get()).ddsCaps.dwCaps & DDSCAPS_SYSTEMMEMORY, 0u);
    EXPECT_TRUE(DescOf(fits.Surface.Get()).ddsCaps.dwCaps & DDSCAPS_OFFSCREENPLAIN);
    TQVXSurface wide(dd.Get(), 801, 2, 32);
    EXPECT_EQ(DescOf(wide.Surface.Get()).ddsCaps.dwCaps & DDSCAPS_SYSTEMMEMORY, DDSCAPS_SYSTEMMEMORY);
    EXPECT_EQ(wide.Pitch, 801 * 4);
    EXPECT_EQ(wide.ClientRect, tk::Rect(0, 0, 801, 2));
    EXPECT_EQ(wide.ClipRect, wide.ClientRect);
    EXPECT_FALSE(wide.Attached);
    EXPECT_EQ(wide.BitDepth, 32);
}

// In a full-screen mode the desktop is the mode: a picture wider than
// 320 pixels goes to system memory in a 320 x 240 mode.
TEST_F(Surfaces, MemorySurfaceWiderThanTheDisplayModeGoesToSystemMemory) {
    FullScreen(320, 240, 8);
    TQVXSurface fits(dd.Get(), 320, 2, 8);
    EXPECT_EQ(DescOf(fits.Surface.Get()).ddsCaps.dwCaps & DDSCAPS_SYSTEMMEMORY, 0u);
    TQVXSurface wide(dd.Get(), 640, 2, 8);
    EXPECT_EQ(DescOf(wide.Surface.Get()).ddsCaps.dwCaps & DDSCAPS_SYSTEMMEMORY, DDSCAPS_SYSTEMMEMORY);
}

TEST_F(Surfaces, ConstructorFailuresHaveTheirMessages) {
    Normal();
    hl::InjectFault("CreateSurface", 1, DDERR_OUTOFVIDEOMEMORY);
    EXPECT_EQ(MessageOf([&] { TQVXSurface s(dd.Get(), 640, 480, 8); }), "Could not create memory surface (640, 480)");
    EXPECT_EQ(MessageOf([&] { TQVXSurface s(dd.Get(), 0, 0, 8); }), "Could not create memory surface (0, 0)");
    hl::InjectFault("CreateSurface", 1, DDERR_OUTOFMEMORY);
    EXPECT_EQ(MessageOf([&] { TQVXSurface s(screen, 8); }), "Create Primary Surface failed");
    hl::InjectFault("GetDisplayMode", 1, DDERR_GENERIC);
    EXPECT_EQ(MessageOf([&] { TQVXSurface s(screen, 8); }), "Get DisplayMode Failed");
    hl::InjectFault("CreateSurface", 1, DDERR_OUTOFMEMORY);
    EXPECT_EQ(MessageOf([&] { TQVXSurface s(screen, 8, TWindowedBackBuffer{}); }), "Failed Creating BackBufferW");
    TQVXSurface primary(screen, 8);
    EXPECT_EQ(MessageOf([&] { TQVXSurface s(primary, 8); }), "Failed to get background surface");
    try {
        TQVXSurface s(dd.Get(), 0, 0, 8);
    } catch (const tk::Exception& e) {
        EXPECT_STREQ(e.ClassName(), "EQVXSurface");
    }
}

TEST_F(Surfaces, WindowedPrimaryAndBackBufferTakeTheBufferSize) {
    Normal();
    screen.bw = 320;
    screen.bh = 240;
    TQVXSurface front(screen, 8);
    EXPECT_EQ(front.Width, 320);
    EXPECT_EQ(front.Height, 240);
    EXPECT_EQ(front.Pitch, 320);
    EXPECT_EQ(DescOf(front.Surface.Get()).ddsCaps.dwCaps & DDSCAPS_PRIMARYSURFACE, DDSCAPS_PRIMARYSURFACE);
    TQVXSurface back(screen, 8, TWindowedBackBuffer{});
    EXPECT_EQ(back.ClientRect, tk::Rect(0, 0, 320, 240));
    EXPECT_EQ(DescOf(back.Surface.Get()).dwWidth, 320u);
    EXPECT_EQ(back.Pitch, 320);
}

TEST_F(Surfaces, FullScreenChainAndItsBackBuffer) {
    FullScreen(640, 480, 16);
    auto front = std::make_unique<TQVXSurface>(screen, 16);
    EXPECT_EQ(front->Width, 640);
    EXPECT_EQ(front->Pitch, 1280);
    EXPECT_EQ(DescOf(front->Surface.Get()).dwBackBufferCount, 2u);
    ComPtr<IDirectDrawSurface4> platformBack;
    {
        TQVXSurface back(*front, 16);
        EXPECT_TRUE(back.Attached);
        EXPECT_EQ(back.Height, 480);
        EXPECT_EQ(back.Pitch, 1280);
        platformBack = back.GetSurface();
        back.Erase(7);
    }
    // The back buffer's platform surface lives on with the chain.
    EXPECT_EQ(SurfacePixel(platformBack.Get(), 3, 3), 7u);
    EXPECT_EQ(front->GetSurface()->Flip(nullptr, DDFLIP_WAIT), DD_OK);
    EXPECT_EQ(SurfacePixel(front->Surface.Get(), 3, 3), 7u);
    platformBack.Reset();
    front.reset();
}

TEST_F(Surfaces, DestroyingAMemorySurfaceReleasesIt) {
    Normal();
    auto s = std::make_unique<TQVXSurface>(dd.Get(), 4, 4, 32);
    ComPtr<IDirectDrawSurface4> mine = s->GetSurface();
    EXPECT_EQ(mine->AddRef(), 4u);  // the surface, its canvas, mine and this one
    mine->Release();
    s.reset();
    EXPECT_EQ(mine->AddRef(), 2u);
    mine->Release();
}

TEST_F(Surfaces, EraseFillsAndHandsLostSurfacesToTheHandler) {
    Normal();
    TQVXSurface s(dd.Get(), 8, 8, 32);
    s.Erase(0x2A);
    EXPECT_EQ(SurfacePixel(s.Surface.Get(), 7, 7), 0x2Au);
    hl::LoseSurfaces();
    EXPECT_EQ(MessageOf([&] { s.Erase(1); }), "Erase (Blt) Failed");
    int calls = 0;
    tk::TObject* sender = nullptr;
    s.OnSurfaceLost = [&](tk::TObject* o) {
        ++calls;
        sender = o;
    };
    EXPECT_NO_THROW(s.Erase(1));
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(sender, &s);
    hl::InjectFault("Blt", 1, DDERR_GENERIC);
    EXPECT_EQ(MessageOf([&] { s.Erase(1); }), "Erase (Blt) Failed");
}

TEST_F(Surfaces, ColourKeyIsTheIndexAtBothEnds) {
    Normal();
    TQVXSurface s(dd.Get(), 4, 4, 8);
    EXPECT_EQ(s.TransparentColor, 0);
    s.SetColorKey(5);
    EXPECT_EQ(s.TransparentColor, 5);
    DDCOLORKEY key{};
    ASSERT_EQ(s.Surface->GetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
    EXPECT_EQ(key.dwColorSpaceLowValue, 5u);
    EXPECT_EQ(key.dwColorSpaceHighValue, 5u);
    hl::InjectFault("SetColorKey", 1, DDERR_NOCOLORKEYHW);
    EXPECT_EQ(MessageOf([&] { s.SetColorKey(1); }), "SetColorKey failed");
}

TEST_F(Surfaces, CanvasBorrowsAndReturnsTheDeviceContext) {
    Normal();
    EXPECT_EQ(MessageOf([] { TQVXCanvas c(nullptr); }), "Cannot create canvas for NIL surface");
    TQVXSurface s(dd.Get(), 16, 16, 16);
    EXPECT_EQ(s.Canvas->DC(), nullptr);
    s.Canvas->ReleaseHandle();  // nothing held: nothing happens
    EXPECT_EQ(s.Canvas->DC(), nullptr);
    s.Canvas->Brush.Color = tk::RGB(0, 0, 255);
    s.Canvas->FillRect(tk::Rect(0, 0, 4, 4));
    EXPECT_NE(s.Canvas->DC(), nullptr);
    TQVXSurface other(dd.Get(), 16, 16, 16);
    EXPECT_EQ(other.Surface->BltFast(0, 0, s.Surface.Get(), nullptr, 0), DDERR_SURFACEBUSY);
    s.Canvas->ReleaseHandle();
    EXPECT_EQ(s.Canvas->DC(), nullptr);
    // Surfaces take the display's format (here the 32-bit desktop's).
    EXPECT_EQ(SurfacePixel(s.Surface.Get(), 1, 1), 0x0000FFu);
    // A picture drawn through the canvas reaches the surface in its format.
    QImage pic(2, 2, QImage::Format_RGB32);
    pic.fill(qRgb(255, 0, 0));
    s.Canvas->DrawImage(tk::Bounds(10, 10, 2, 2), pic);
    s.Canvas->ReleaseHandle();
    EXPECT_EQ(SurfacePixel(s.Surface.Get(), 11, 11), 0xFF0000u);
    // A lost surface lends no context: drawing is refused, not a crash.
    hl::LoseSurfaces();
    EXPECT_EQ(MessageOf([&] { s.Canvas->FillRect(tk::Rect(0, 0, 1, 1)); }), "Canvas does not allow drawing");
}

}  // namespace
