// Blit speed: 32 x 32 colour-keyed sprites onto a 640 x 480 surface at 16
// and 32 bits against SDL2's software keyed blit with RLE acceleration, and
// opaque full-surface copies against memcpy, measured in the same run.
#include <SDL.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "benchutil.h"
#include "platform/ddraw/ddraw.h"
#include "platform/winsys/headless/headless.h"

namespace {

constexpr int kW = 640, kH = 480, kSprite = 32, kBlits = 100000, kRuns = 7;

DDSURFACEDESC2 Desc(int w, int h, int bits) {
    DDSURFACEDESC2 d;
    std::memset(&d, 0, sizeof d);
    d.dwSize = sizeof d;
    d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    d.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    d.dwWidth = static_cast<DWORD>(w);
    d.dwHeight = static_cast<DWORD>(h);
    d.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
    d.ddpfPixelFormat.dwFlags = DDPF_RGB;
    d.ddpfPixelFormat.dwRGBBitCount = static_cast<DWORD>(bits);
    d.ddpfPixelFormat.dwRBitMask = bits == 16 ? 0xF800 : 0xFF0000;
    d.ddpfPixelFormat.dwGBitMask = bits == 16 ? 0x07E0 : 0x00FF00;
    d.ddpfPixelFormat.dwBBitMask = bits == 16 ? 0x001F : 0x0000FF;
    return d;
}

// A round sprite with a ring-shaped hole: transparent (0) outside the disc
// and in the ring, coloured elsewhere.
uint32_t SpritePixel(int x, int y, int bits) {
    int dx = 2 * x - 31, dy = 2 * y - 31, r2 = dx * dx + dy * dy;
    if (r2 > 31 * 31 || (r2 > 14 * 14 && r2 < 18 * 18)) return 0;
    return bits == 16 ? 0x1234u + static_cast<uint32_t>(x) : 0x00402010u + static_cast<uint32_t>(x * 256 + y);
}

struct Positions {
    std::vector<int> x, y;
    Positions() {
        std::mt19937 rng(1);
        for (int i = 0; i < kBlits; ++i) {
            x.push_back(static_cast<int>(rng() % (kW - kSprite)));
            y.push_back(static_cast<int>(rng() % (kH - kSprite)));
        }
    }
};

void WriteSprite(void* bits, int pitch, int depth) {
    for (int y = 0; y < kSprite; ++y)
        for (int x = 0; x < kSprite; ++x) {
            uint32_t v = SpritePixel(x, y, depth);
            auto* row = static_cast<uint8_t*>(bits) + y * pitch;
            if (depth == 16)
                reinterpret_cast<uint16_t*>(row)[x] = static_cast<uint16_t>(v);
            else
                reinterpret_cast<uint32_t*>(row)[x] = v;
        }
}

// Each side is set up once and returns one timed round; rounds of the two
// sides alternate so that a busy machine slows both alike.
struct OursKeyed {
    ComPtr<IDirectDrawSurface4> dst, sprite;
    const Positions& pos;
    OursKeyed(IDirectDraw4* dd, int bits, const Positions& p) : pos(p) {
        DDSURFACEDESC2 d = Desc(kW, kH, bits);
        dd->CreateSurface(&d, dst.Put(), nullptr);
        d = Desc(kSprite, kSprite, bits);
        dd->CreateSurface(&d, sprite.Put(), nullptr);
        DDSURFACEDESC2 l;
        std::memset(&l, 0, sizeof l);
        l.dwSize = sizeof l;
        sprite->Lock(nullptr, &l, DDLOCK_WAIT, nullptr);
        WriteSprite(l.lpSurface, l.lPitch, bits);
        sprite->Unlock(nullptr);
        DDCOLORKEY key{0, 0};
        sprite->SetColorKey(DDCKEY_SRCBLT, &key);
    }
    double Round() {
        return bench::Seconds([&] {
            for (int i = 0; i < kBlits; ++i)
                dst->BltFast(static_cast<DWORD>(pos.x[static_cast<size_t>(i)]),
                             static_cast<DWORD>(pos.y[static_cast<size_t>(i)]), sprite.Get(), nullptr,
                             DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT);
        });
    }
};

struct SdlKeyed {
    SDL_Surface* dst;
    SDL_Surface* sprite;
    const Positions& pos;
    SdlKeyed(int bits, bool rle, const Positions& p) : pos(p) {
        Uint32 fmt = bits == 16 ? SDL_PIXELFORMAT_RGB565 : SDL_PIXELFORMAT_XRGB8888;
        dst = SDL_CreateRGBSurfaceWithFormat(0, kW, kH, bits, fmt);
        sprite = SDL_CreateRGBSurfaceWithFormat(0, kSprite, kSprite, bits, fmt);
        SDL_LockSurface(sprite);
        WriteSprite(sprite->pixels, sprite->pitch, bits);
        SDL_UnlockSurface(sprite);
        SDL_SetColorKey(sprite, SDL_TRUE, 0);
        SDL_SetSurfaceRLE(sprite, rle ? 1 : 0);
        SDL_Rect r{0, 0, kSprite, kSprite};
        SDL_BlitSurface(sprite, nullptr, dst, &r);  // builds the RLE form once
    }
    ~SdlKeyed() {
        SDL_FreeSurface(sprite);
        SDL_FreeSurface(dst);
    }
    double Round() {
        return bench::Seconds([&] {
            for (int i = 0; i < kBlits; ++i) {
                SDL_Rect at{pos.x[static_cast<size_t>(i)], pos.y[static_cast<size_t>(i)], kSprite, kSprite};
                SDL_BlitSurface(sprite, nullptr, dst, &at);
            }
        });
    }
};

double OursOpaque(IDirectDraw4* dd, int reps) {
    ComPtr<IDirectDrawSurface4> a, b;
    DDSURFACEDESC2 d = Desc(kW, kH, 32);
    dd->CreateSurface(&d, a.Put(), nullptr);
    dd->CreateSurface(&d, b.Put(), nullptr);
    return bench::Best(kRuns, [&] {
        for (int i = 0; i < reps; ++i) b->BltFast(0, 0, a.Get(), nullptr, DDBLTFAST_NOCOLORKEY | DDBLTFAST_WAIT);
    });
}

double Memcpy(int reps) {
    std::vector<uint8_t> a(size_t(kW) * kH * 4, 1), b(a.size());
    return bench::Best(kRuns, [&] {
        for (int i = 0; i < reps; ++i) {
            std::memcpy(b.data(), a.data(), a.size());
            asm volatile("" : : "r"(b.data()) : "memory");
        }
    });
}

}  // namespace

int main() {
    winsys::headless::HeadlessWindow window("TForm1", "bench", kW, kH);
    IDirectDraw* one = nullptr;
    DirectDrawCreate(nullptr, &one, nullptr);
    ComPtr<IDirectDraw> first;
    first.Attach(one);
    ComPtr<IDirectDraw4> dd;
    first->QueryInterface(IID_IDirectDraw4, dd.PutVoid());
    dd->SetCooperativeLevel(&window, DDSCL_NORMAL);
    Positions pos;

    std::printf("%d keyed 32x32 sprite blits onto 640x480, best of %d\n", kBlits, kRuns);
    for (int bits : {16, 32}) {
        OursKeyed o(dd.Get(), bits, pos);
        SdlKeyed r(bits, true, pos), p(bits, false, pos);
        double ours = 1e300, rle = 1e300, plain = 1e300;
        for (int run = 0; run < kRuns; ++run) {
            ours = std::min(ours, o.Round());
            rle = std::min(rle, r.Round());
            plain = std::min(plain, p.Round());
        }
        std::printf("  %2d bit: ours %.1f ms, SDL RLE %.1f ms, SDL keyed %.1f ms\n", bits, ours * 1e3, rle * 1e3,
                    plain * 1e3);
        char what[96];
        std::snprintf(what, sizeof what, "keyed sprite blit %d bit: SDL RLE time / ours", bits);
        bench::Report(what, rle / ours, bits == 16 ? 3.0 : 2.0, true);
    }
    const int reps = 400;
    double opaque = OursOpaque(dd.Get(), reps), copy = Memcpy(reps);
    std::printf("%d opaque 640x480x32 surface blits: ours %.1f ms, memcpy %.1f ms\n", reps, opaque * 1e3, copy * 1e3);
    bench::Report("opaque full-surface blit: memcpy time / ours", copy / opaque, 0.8, true);
    return 0;
}
