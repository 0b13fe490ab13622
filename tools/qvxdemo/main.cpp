// qvxdemo: a small game loop on the platform layer. Full screen at
// 320 x 240 x 8 (shown scaled in the window), or --windowed. The keyboard is
// read through DirectInput: arrow keys move the ship, Esc quits. Balls
// bouncing off the walls play a short tone through DirectSound, panned to
// where they hit. --frames N stops after N frames.
#include <QGuiApplication>
#include <QTimer>
#include <cmath>
#include <cstring>
#include <string>

#include "platform/com/backend.h"
#include "platform/ddraw/ddraw.h"
#include "platform/dinput/dinput.h"
#include "platform/dsound/dsound.h"
#include "platform/winsys/window.h"
#include "platform/winsys/winsys.h"
#include "toolkit/graphics.h"

namespace {

constexpr int kW = 320, kH = 240, kBall = 24, kBalls = 7;

DDSURFACEDESC2 Desc() {
    DDSURFACEDESC2 d;
    std::memset(&d, 0, sizeof d);
    d.dwSize = sizeof d;
    return d;
}

struct Demo {
    std::unique_ptr<winsys::Window> window;
    ComPtr<IDirectDraw4> dd;
    ComPtr<IDirectDrawSurface4> front, back, balls, ship, primary;
    ComPtr<IDirectDrawPalette> palette;
    ComPtr<IDirectDrawClipper> clipper;
    ComPtr<IDirectSound> sound;
    ComPtr<IDirectSoundBuffer> bounce;
    ComPtr<IDirectInput> input;
    ComPtr<IDirectInputDevice> keyboard;
    int bounces = 0;
    bool windowed = false;
    int depth = 8;
    bool keys[256] = {};
    double shipX = kW / 2, shipY = kH - 40;
    double bx[kBalls], by[kBalls], vx[kBalls], vy[kBalls];
    int frame = 0, maxFrames = 0;

    uint32_t Colour(int index, uint8_t r, uint8_t g, uint8_t b) const {
        if (depth == 8) return static_cast<uint32_t>(index);
        return (uint32_t(r) << 16) | (uint32_t(g) << 8) | b;
    }

    bool Fail(const char* what, HRESULT hr) {
        std::fprintf(stderr, "qvxdemo: %s failed (0x%08X)\n", what, static_cast<unsigned>(hr));
        return false;
    }

    ComPtr<IDirectDrawSurface4> Offscreen(int w, int h) {
        DDSURFACEDESC2 d = Desc();
        d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
        d.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
        d.dwWidth = static_cast<DWORD>(w);
        d.dwHeight = static_cast<DWORD>(h);
        ComPtr<IDirectDrawSurface4> s;
        dd->CreateSurface(&d, s.Put(), nullptr);
        return s;
    }

    // Pixels written through Lock: shaded balls and a ship, 0 (the key)
    // around them.
    void PaintSprites() {
        DDSURFACEDESC2 d = Desc();
        if (balls->Lock(nullptr, &d, DDLOCK_WAIT, nullptr) == DD_OK) {
            for (int i = 0; i < kBalls; ++i)
                for (int y = 0; y < kBall; ++y)
                    for (int x = 0; x < kBall; ++x) {
                        double dx = x - kBall / 2 + 0.5, dy = y - kBall / 2 + 0.5, r = std::sqrt(dx * dx + dy * dy);
                        int shade = r < kBall / 2 ? 15 - static_cast<int>(std::hypot(dx + 4, dy + 4) * 1.2) : -1;
                        uint32_t v = 0;
                        if (shade >= 0 || r < kBall / 2) {
                            int s = std::max(shade, 0);
                            v = Colour(16 + i * 16 + s, static_cast<uint8_t>(80 + s * 11), static_cast<uint8_t>(40 + i * 25),
                                       static_cast<uint8_t>(200 - i * 20));
                        }
                        auto* row = static_cast<uint8_t*>(d.lpSurface) + y * d.lPitch;
                        int bytes = depth / 8;
                        std::memcpy(row + (i * kBall + x) * bytes, &v, static_cast<size_t>(bytes));
                    }
            balls->Unlock(nullptr);
        }
        HDC dc = nullptr;
        if (ship->GetDC(&dc) == DD_OK) {
            tk::TCanvas c;
            c.SetHandle(dc);
            c.Brush.Color = tk::clBlack;
            c.FillRect(tk::Rect(0, 0, 32, 24));
            c.Brush.Color = tk::RGB(255, 255, 0);
            c.Pen.Color = tk::RGB(255, 128, 0);
            QPolygon hull;
            c.Painter().setRenderHint(QPainter::Antialiasing, false);
            c.Painter().setPen(QColor(255, 128, 0));
            c.Painter().setBrush(QColor(255, 255, 0));
            hull << QPoint(16, 1) << QPoint(30, 22) << QPoint(16, 16) << QPoint(2, 22);
            c.Painter().drawPolygon(hull);
            c.SetHandle(nullptr);
            ship->ReleaseDC(dc);
        }
        DDCOLORKEY key{0, 0};
        balls->SetColorKey(DDCKEY_SRCBLT, &key);
        ship->SetColorKey(DDCKEY_SRCBLT, &key);
    }

    bool Start() {
        platform::SelectBackend(platform::Backend::Real);
        window = winsys::CreateTopLevelWindow("TfrmQVXDemo", "QVX Demo", 640, 480);
        IDirectDraw* one = nullptr;
        if (HRESULT hr = DirectDrawCreate(nullptr, &one, nullptr)) return Fail("DirectDrawCreate", hr);
        ComPtr<IDirectDraw> first;
        first.Attach(one);
        if (HRESULT hr = first->QueryInterface(IID_IDirectDraw4, dd.PutVoid())) return Fail("QueryInterface", hr);
        DDSURFACEDESC2 d = Desc();
        if (windowed) {
            if (HRESULT hr = dd->SetCooperativeLevel(window.get(), DDSCL_NORMAL)) return Fail("SetCooperativeLevel", hr);
            window->SetClientSize(kW * 2, kH * 2);
            d.dwFlags = DDSD_CAPS;
            d.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
            if (HRESULT hr = dd->CreateSurface(&d, primary.Put(), nullptr)) return Fail("CreateSurface", hr);
            dd->CreateClipper(0, clipper.Put(), nullptr);
            clipper->SetHWnd(0, window.get());
            primary->SetClipper(clipper.Get());
            DDSURFACEDESC2 m = Desc();
            dd->GetDisplayMode(&m);
            depth = static_cast<int>(m.ddpfPixelFormat.dwRGBBitCount);
            back = Offscreen(kW, kH);
        } else {
            if (HRESULT hr = dd->SetCooperativeLevel(window.get(), DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN))
                return Fail("SetCooperativeLevel", hr);
            if (HRESULT hr = dd->SetDisplayMode(kW, kH, 8, 0, 0)) return Fail("SetDisplayMode", hr);
            d.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
            d.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
            d.dwBackBufferCount = 2;
            if (HRESULT hr = dd->CreateSurface(&d, front.Put(), nullptr)) return Fail("CreateSurface", hr);
            DDSCAPS2 caps{DDSCAPS_BACKBUFFER, 0, 0, 0};
            if (HRESULT hr = front->GetAttachedSurface(&caps, back.Put())) return Fail("GetAttachedSurface", hr);
            PALETTEENTRY pal[256] = {};
            for (int i = 0; i < 16; ++i) pal[i] = {static_cast<uint8_t>(i * 4), static_cast<uint8_t>(i * 4), static_cast<uint8_t>(40 + i * 8), 0};
            pal[0] = {0, 0, 0, 0};
            for (int b = 0; b < kBalls; ++b)
                for (int s = 0; s < 16; ++s)
                    pal[16 + b * 16 + s] = {static_cast<uint8_t>(80 + s * 11), static_cast<uint8_t>(40 + b * 25),
                                            static_cast<uint8_t>(200 - b * 20), 0};
            pal[250] = {255, 255, 0, 0};
            pal[251] = {255, 128, 0, 0};
            pal[255] = {255, 255, 255, 0};
            dd->CreatePalette(DDPCAPS_8BIT | DDPCAPS_ALLOW256, pal, palette.Put(), nullptr);
            front->SetPalette(palette.Get());
        }
        StartSound();
        StartInput();
        winsys::SetCursor(nullptr);
        balls = Offscreen(kBall * kBalls, kBall);
        ship = Offscreen(32, 24);
        if (!balls || !ship || !back) return Fail("CreateSurface", DDERR_GENERIC);
        PaintSprites();
        for (int i = 0; i < kBalls; ++i) {
            bx[i] = 20 + i * 40;
            by[i] = 20 + (i * 37) % 120;
            vx[i] = 1.1 + 0.3 * i;
            vy[i] = 0.8 + 0.25 * (kBalls - i);
        }
        return true;
    }

    // A 70 ms decaying 880 Hz tone, 16-bit mono at 22050 Hz.
    void StartSound() {
        if (DirectSoundCreate(nullptr, sound.Put(), nullptr) != DS_OK) return;
        sound->SetCooperativeLevel(window.get(), DSSCL_NORMAL);
        WAVEFORMATEX wf{WAVE_FORMAT_PCM, 1, 22050, 44100, 2, 16, 0};
        const DWORD samples = 22050 * 70 / 1000;
        DSBUFFERDESC bd{sizeof(DSBUFFERDESC), DSBCAPS_STATIC | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME, samples * 2, 0, &wf};
        if (sound->CreateSoundBuffer(&bd, bounce.Put(), nullptr) != DS_OK) return;
        void *p1 = nullptr, *p2 = nullptr;
        DWORD n1 = 0, n2 = 0;
        if (bounce->Lock(0, samples * 2, &p1, &n1, &p2, &n2, 0) == DS_OK) {
            auto* out = static_cast<int16_t*>(p1);
            for (DWORD i = 0; i < n1 / 2; ++i)
                out[i] = static_cast<int16_t>(12000 * std::exp(-double(i) / 300) * std::sin(2 * M_PI * 880 * i / 22050));
            bounce->Unlock(p1, n1, p2, n2);
        }
    }

    void Bounce(double x) {
        ++bounces;
        if (!bounce) return;
        bounce->Stop();
        bounce->SetCurrentPosition(0);
        bounce->SetPan(static_cast<LONG>((x / kW * 2 - 1) * 3000));
        bounce->Play(0, 0, 0);
    }

    void StartInput() {
        if (DirectInputCreateA(nullptr, 0x0500, input.Put(), nullptr) != DI_OK) return;
        if (input->CreateDevice(GUID_SysKeyboard, keyboard.Put(), nullptr) != DI_OK) return;
        keyboard->SetDataFormat(&c_dfDIKeyboard);
        keyboard->SetCooperativeLevel(window.get(), DISCL_FOREGROUND | DISCL_NONEXCLUSIVE);
        keyboard->Acquire();
    }

    void ReadKeys() {
        if (!keyboard) return;
        uint8_t state[256];
        HRESULT hr = keyboard->GetDeviceState(sizeof state, state);
        if (hr == DIERR_INPUTLOST || hr == DIERR_NOTACQUIRED) {
            keyboard->Acquire();
            hr = keyboard->GetDeviceState(sizeof state, state);
        }
        if (hr != DI_OK) return;
        for (int i = 0; i < 256; ++i) keys[i] = (state[i] & 0x80) != 0;
        if (keys[DIK_ESCAPE]) QGuiApplication::quit();
    }

    void Restore() {
        if (front) front->Restore();
        if (primary) primary->Restore();
        balls->Restore();
        ship->Restore();
        PaintSprites();
    }

    void Frame() {
        ReadKeys();
        if (keys[DIK_LEFT]) shipX -= 3;
        if (keys[DIK_RIGHT]) shipX += 3;
        if (keys[DIK_UP]) shipY -= 3;
        if (keys[DIK_DOWN]) shipY += 3;
        shipX = std::clamp(shipX, 0.0, double(kW - 32));
        shipY = std::clamp(shipY, 0.0, double(kH - 24));
        // Background: bands of the blue ramp.
        for (int band = 0; band < 16; ++band) {
            RECT r{0, band * kH / 16, kW, (band + 1) * kH / 16};
            DDBLTFX fx;
            std::memset(&fx, 0, sizeof fx);
            fx.dwSize = sizeof fx;
            fx.dwFillColor = Colour(band, static_cast<uint8_t>(band * 4), static_cast<uint8_t>(band * 4),
                                    static_cast<uint8_t>(40 + band * 8));
            if (back->Blt(&r, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx) == DDERR_SURFACELOST) return Restore();
        }
        for (int i = 0; i < kBalls; ++i) {
            bx[i] += vx[i];
            by[i] += vy[i];
            if (bx[i] < 0 || bx[i] > kW - kBall) {
                vx[i] = -vx[i];
                Bounce(bx[i]);
            }
            if (by[i] < 0 || by[i] > kH - kBall) {
                vy[i] = -vy[i];
                Bounce(bx[i]);
            }
            bx[i] = std::clamp(bx[i], 0.0, double(kW - kBall));
            by[i] = std::clamp(by[i], 0.0, double(kH - kBall));
            RECT src{i * kBall, 0, (i + 1) * kBall, kBall};
            back->BltFast(static_cast<DWORD>(bx[i]), static_cast<DWORD>(by[i]), balls.Get(), &src,
                          DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT);
        }
        back->BltFast(static_cast<DWORD>(shipX), static_cast<DWORD>(shipY), ship.Get(), nullptr,
                      DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT);
        HDC dc = nullptr;
        if (back->GetDC(&dc) == DD_OK) {
            tk::TCanvas c;
            c.SetHandle(dc);
            c.Brush.Style = tk::TBrushStyle::bsClear;
            c.Font.Color = tk::clWhite;
            c.Font.Size = 7;
            c.TextOut(4, 2, "QVX demo - arrows move, Esc quits");
            c.TextOut(4, 14, "frame " + std::to_string(frame));
            c.SetHandle(nullptr);
            back->ReleaseDC(dc);
        }
        HRESULT hr;
        if (windowed) {
            tk::TRect sc = window->ScreenClientRect();
            RECT dest{sc.Left, sc.Top, sc.Right, sc.Bottom};
            dd->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr);
            hr = primary->Blt(&dest, back.Get(), nullptr, DDBLT_WAIT, nullptr);
        } else {
            hr = front->Flip(nullptr, DDFLIP_WAIT);
        }
        if (hr == DDERR_SURFACELOST) Restore();
        ++frame;
        if (maxFrames && frame >= maxFrames) QGuiApplication::quit();
    }
};

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    Demo demo;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--windowed") == 0) demo.windowed = true;
        else if (std::strcmp(argv[i], "--frames") == 0 && i + 1 < argc) demo.maxFrames = std::atoi(argv[++i]);
    }
    if (!demo.Start()) return 1;
    QTimer idle;
    QObject::connect(&idle, &QTimer::timeout, [&] { demo.Frame(); });
    idle.start(0);
    int rc = app.exec();
    std::printf("qvxdemo: %d frames, %d bounces%s, keyboard %s, ship at %d,%d\n", demo.frame, demo.bounces,
                demo.bounce ? " heard" : " (no sound device)", demo.keyboard ? "read through DirectInput" : "unavailable",
                static_cast<int>(demo.shipX), static_cast<int>(demo.shipY));
    return rc;
}
