// The same DirectDraw expectations, run against every backend that can run
// here: headless, and the Qt window backend (offscreen platform).
#include <gtest/gtest.h>

#include "ddtest.h"
#include "platform/winsys/window.h"

namespace {

class Conformance : public ::testing::TestWithParam<platform::Backend> {
protected:
    void SetUp() override {
        scope = std::make_unique<BackendScope>(GetParam());
        window = winsys::CreateTopLevelWindow("TForm1", "Conformance", 320, 240);
        dd = MakeDirectDraw();
        ASSERT_TRUE(dd);
    }
    void TearDown() override {
        dd.Reset();
        window.reset();
        scope.reset();
    }
    std::unique_ptr<BackendScope> scope;
    std::unique_ptr<winsys::Window> window;
    ComPtr<IDirectDraw4> dd;
};

TEST_P(Conformance, OffscreenSurfacesFillCopyAndKey) {
    ASSERT_EQ(dd->SetCooperativeLevel(window.get(), DDSCL_NORMAL), DD_OK);
    for (int bits : {8, 16, 24, 32}) {
        auto a = MakeSurface(dd.Get(), OffscreenDesc(16, 8, bits));
        auto b = MakeSurface(dd.Get(), OffscreenDesc(16, 8, bits));
        ASSERT_TRUE(a && b);
        DDSURFACEDESC2 d = Desc();
        ASSERT_EQ(a->GetSurfaceDesc(&d), DD_OK);
        EXPECT_EQ(d.ddpfPixelFormat.dwRGBBitCount, DWORD(bits));
        EXPECT_EQ(d.dwWidth, 16u);
        RECT half{0, 0, 8, 8};
        ASSERT_EQ(Fill(a.Get(), nullptr, 2), DD_OK);
        ASSERT_EQ(Fill(a.Get(), &half, 1), DD_OK);
        ASSERT_EQ(Fill(b.Get(), nullptr, 3), DD_OK);
        DDCOLORKEY key{1, 1};
        ASSERT_EQ(a->SetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
        ASSERT_EQ(b->BltFast(0, 0, a.Get(), nullptr, DDBLTFAST_SRCCOLORKEY), DD_OK);
        EXPECT_EQ(PixelAt(b.Get(), 3, 3), 3u) << bits;
        EXPECT_EQ(PixelAt(b.Get(), 12, 3), 2u) << bits;
        ASSERT_EQ(b->Blt(nullptr, a.Get(), nullptr, DDBLT_WAIT, nullptr), DD_OK);
        EXPECT_EQ(PixelAt(b.Get(), 3, 3), 1u) << bits;
    }
}

TEST_P(Conformance, FullScreenFlipChain) {
    ASSERT_EQ(dd->SetCooperativeLevel(window.get(), DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
    ASSERT_EQ(dd->SetDisplayMode(320, 240, 16, 0, 0), DD_OK);
    DDSURFACEDESC2 d = Desc();
    d.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    d.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
    d.dwBackBufferCount = 1;
    ComPtr<IDirectDrawSurface4> front;
    ASSERT_EQ(dd->CreateSurface(&d, front.Put(), nullptr), DD_OK);
    DDSCAPS2 caps{DDSCAPS_BACKBUFFER, 0, 0, 0};
    ComPtr<IDirectDrawSurface4> back;
    ASSERT_EQ(front->GetAttachedSurface(&caps, back.Put()), DD_OK);
    ASSERT_EQ(Fill(back.Get(), nullptr, 0xF800), DD_OK);
    ASSERT_EQ(front->Flip(nullptr, DDFLIP_WAIT | DDFLIP_NOVSYNC), DD_OK);
    EXPECT_EQ(PixelAt(front.Get(), 5, 5), 0xF800u);
    EXPECT_EQ(PixelAt(back.Get(), 5, 5), 0u);
    EXPECT_TRUE(window->IsFullScreen());
    ComPtr<IDirectDrawSurface4> second;
    d = Desc();
    d.dwFlags = DDSD_CAPS;
    d.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    EXPECT_EQ(dd->CreateSurface(&d, second.Put(), nullptr), DDERR_PRIMARYSURFACEALREADYEXISTS);
    EXPECT_EQ(dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL), DD_OK);
}

TEST_P(Conformance, DeviceContextAndClipper) {
    ASSERT_EQ(dd->SetCooperativeLevel(window.get(), DDSCL_NORMAL), DD_OK);
    auto s = MakeSurface(dd.Get(), OffscreenDesc(32, 32, 32));
    HDC dc = nullptr;
    ASSERT_EQ(s->GetDC(&dc), DD_OK);
    {
        tk::TCanvas c;
        c.SetHandle(dc);
        c.Pen.Color = tk::RGB(0, 255, 0);
        c.MoveTo(0, 10);
        c.LineTo(32, 10);
        c.SetHandle(nullptr);
    }
    ASSERT_EQ(s->ReleaseDC(dc), DD_OK);
    EXPECT_EQ(PixelAt(s.Get(), 16, 10), 0x00FF00u);
    ComPtr<IDirectDrawClipper> clipper;
    ASSERT_EQ(dd->CreateClipper(0, clipper.Put(), nullptr), DD_OK);
    ASSERT_EQ(s->SetClipper(clipper.Get()), DD_OK);
    EXPECT_EQ(Fill(s.Get(), nullptr, 1), DDERR_NOCLIPLIST);
    ASSERT_EQ(clipper->SetHWnd(0, window.get()), DD_OK);
    HWND got = nullptr;
    ASSERT_EQ(clipper->GetHWnd(&got), DD_OK);
    EXPECT_EQ(got, window.get());
    EXPECT_EQ(Fill(s.Get(), nullptr, 1), DD_OK);
}

INSTANTIATE_TEST_SUITE_P(Backends, Conformance,
                         ::testing::Values(platform::Backend::Headless, platform::Backend::Real),
                         [](const auto& info) {
                             return std::string(info.param == platform::Backend::Real ? "Qt" : "Headless");
                         });

}  // namespace
