// Frames per second of the demo game headless (its form loaded from form
// data; screen logic, input, tile map, 32 sprites and a ship, flip) against
// the same frame drawn with bare DirectDraw blits and flips, no runtime.
// Start-up is taken out by timing two runs of different lengths. Both
// present into the same headless window, whose frame conversion (kept for
// tests to read) costs the same in both.
#include <QGuiApplication>
#include <cstring>
#include <vector>

#include "benchutil.h"
#include "game.h"
#include "platform/com/backend.h"
#include "platform/ddraw/ddraw.h"
#include "platform/winsys/window.h"
#include "platform/winsys/winsys.h"

namespace {

constexpr int kW = 320, kH = 240, kTile = 16, kMapW = 64, kMapH = 15, kSprites = 33, kRuns = 5;
constexpr int kShort = 100, kLong = 1100;

DDSURFACEDESC2 Desc() {
    DDSURFACEDESC2 d;
    std::memset(&d, 0, sizeof d);
    d.dwSize = sizeof d;
    return d;
}

ComPtr<IDirectDrawSurface4> Offscreen(IDirectDraw4* dd, int w, int h, uint8_t fill, bool keyed) {
    DDSURFACEDESC2 d = Desc();
    d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    d.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    d.dwWidth = static_cast<DWORD>(w);
    d.dwHeight = static_cast<DWORD>(h);
    ComPtr<IDirectDrawSurface4> s;
    dd->CreateSurface(&d, s.Put(), nullptr);
    DDSURFACEDESC2 l = Desc();
    if (s->Lock(nullptr, &l, DDLOCK_WAIT, nullptr) == DD_OK) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                int dx = 2 * x - w + 1, dy = 2 * y - h + 1;
                bool inside = !keyed || dx * dx + dy * dy < w * w;
                static_cast<uint8_t*>(l.lpSurface)[y * l.lPitch + x] = inside ? fill : 0;
            }
        s->Unlock(nullptr);
    }
    if (keyed) {
        DDCOLORKEY key{0, 0};
        s->SetColorKey(DDCKEY_SRCBLT, &key);
    }
    return s;
}

// The demo's frame with nothing but DirectDraw: a scrolling 16 x 16 tile
// map, 32 keyed balls and a keyed ship, then a flip.
void BareFrames(int frames) {
    // The window the demo's form has: 640 x 480.
    auto window = winsys::CreateTopLevelWindow("TForm", "bench", 640, 480);
    ComPtr<IDirectDraw> first;
    ComPtr<IDirectDraw4> dd;
    DirectDrawCreate(nullptr, first.Put(), nullptr);
    first->QueryInterface(IID_IDirectDraw4, dd.PutVoid());
    dd->SetCooperativeLevel(window.get(), DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN);
    dd->SetDisplayMode(kW, kH, 8, 0, 0);
    DDSURFACEDESC2 d = Desc();
    d.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    d.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
    d.dwBackBufferCount = 2;
    ComPtr<IDirectDrawSurface4> primary, back;
    dd->CreateSurface(&d, primary.Put(), nullptr);
    DDSCAPS2 caps;
    std::memset(&caps, 0, sizeof caps);
    caps.dwCaps = DDSCAPS_BACKBUFFER;
    primary->GetAttachedSurface(&caps, back.Put());
    std::vector<ComPtr<IDirectDrawSurface4>> tiles, balls;
    for (int i = 0; i < 4; ++i)
        tiles.push_back(Offscreen(dd.Get(), kTile, kTile, static_cast<uint8_t>(10 + i), false));
    for (int i = 0; i < 8; ++i)
        balls.push_back(Offscreen(dd.Get(), 24, 24, static_cast<uint8_t>(40 + i), true));
    std::vector<uint8_t> map(kMapW * kMapH);
    for (size_t i = 0; i < map.size(); ++i) map[i] = static_cast<uint8_t>(i * 7 % 4);
    double x[kSprites], y[kSprites], vx[kSprites], vy[kSprites];
    for (int i = 0; i < kSprites; ++i)
        x[i] = (20 + i * 41) % (kW - 24), y[i] = i * 7 % 100, vx[i] = 1, vy[i] = 1;
    for (int f = 0; f < frames; ++f) {
        const int left = f % (kMapW * kTile), first = left / kTile, offset = left % kTile;
        for (int ty = 0; ty * kTile < kH; ++ty)
            for (int tx = 0; tx * kTile - offset < kW; ++tx) {
                int px = tx * kTile - offset;
                RECT src{0, 0, kTile, kTile};
                if (px < 0) src.left = -px, px = 0;
                src.right = std::min<LONG>(src.right, src.left + (kW - px));
                back->BltFast(static_cast<DWORD>(px), static_cast<DWORD>(ty * kTile),
                              tiles[map[(ty % kMapH) * kMapW + (first + tx) % kMapW]].Get(), &src,
                              DDBLTFAST_WAIT);
            }
        for (int i = 0; i < kSprites; ++i) {
            x[i] += vx[i], y[i] += vy[i];
            if (x[i] < 0 || x[i] > kW - 24)
                vx[i] = -vx[i], x[i] = std::clamp(x[i], 0.0, double(kW - 24));
            if (y[i] < 0 || y[i] > kH - 24)
                vy[i] = -vy[i], y[i] = std::clamp(y[i], 0.0, double(kH - 24));
            back->BltFast(static_cast<DWORD>(x[i]), static_cast<DWORD>(y[i]), balls[i % 8].Get(),
                          nullptr, DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT);
        }
        primary->Flip(nullptr, DDFLIP_WAIT);
    }
}

void GameFrames(int frames) {
    demo::Options o;
    o.headless = true;
    o.hud = false;  // the bare frame draws no text either
    o.quiet = true;
    o.titleFrames = 0;
    o.skipIntro = true;  // the game's frames, not the intro's clock
    o.frames = frames;
    if (demo::Game(o).Run(QVX_DEMO_FORM) != 0) std::abort();
}

// Seconds a frame, start-up taken out.
double PerFrame(void (*run)(int)) {
    double shortRun = bench::Best(kRuns, [&] { run(kShort); });
    double longRun = bench::Best(kRuns, [&] { run(kLong); });
    return (longRun - shortRun) / (kLong - kShort);
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    platform::SelectBackend(platform::Backend::Headless);
    double bare = PerFrame(BareFrames);
    double game = PerFrame(GameFrames);
    std::printf(
        "demo game, headless 320x240x8: %.0f frames/s; bare blits and flips: %.0f frames/s\n",
        1 / game, 1 / bare);
    std::printf("ratio game/bare: %.2f (goal at least 0.80)\n", bare / game);
    return 0;
}
