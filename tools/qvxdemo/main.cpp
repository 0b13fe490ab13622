// qvxdemo: a small game on the runtime's screen. Balls bounce over a
// hi-colour backdrop; the arrow keys move the ship (read through
// DirectInput), each bounce plays a tone (DirectSound), Esc quits. Sprites
// come from sprites.iml (the screen's tile library), the backdrop from
// backdrop.hcl (its hi-colour library), both beside the program.
#include <QImage>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "platform/com/backend.h"
#include "platform/ddraw/display.h"
#include "platform/ddraw/pixels.h"
#include "platform/dinput/dinput.h"
#include "platform/dsound/dsound.h"
#include "qvx/assets/QVXILib.h"
#include "qvx/hicolor/QVX.h"
#include "qvx/runtime/application.h"
#include "qvx/runtime/forms.h"
#include "qvx/runtime/screen.h"

namespace {

using namespace qvx;

constexpr int kBall = 24, kBalls = 7, kShip = 7;
constexpr const char* kUsage =
    "usage: qvxdemo [options]\n"
    "  --mode WxHxBPP      display mode, one of 640x480x8|16|24|32, 320x200x8, 800x600x8|16|24|32,\n"
    "                      1024x768x8|16|24|32, 640x400x8, 320x240x8 (default 320x240x8)\n"
    "  --window            run in a window instead of full screen\n"
    "  --stretch           windowed: stretch the frame over the whole window\n"
    "  --frames N          stop after N frames\n"
    "  --dump-frame K FILE write frame K as presented to FILE, a 24-bit BMP\n"
    "  --lose-every N      lose every surface every N frames (the demo restores and goes on)\n"
    "  --help              this text\n"
    "Arrow keys move the ship, Esc quits.\n";

// The keyboard, started by the screen at the end of its start-up.
class DemoKeyboard : public TQVXInputBase {
public:
    using TQVXInputBase::TQVXInputBase;
    void StartInput() override {
        auto* form = dynamic_cast<TForm*>(Owner());
        if (DirectInputCreateA(nullptr, 0x0500, input.Put(), nullptr) != DI_OK) return;
        if (input->CreateDevice(GUID_SysKeyboard, device.Put(), nullptr) != DI_OK) return;
        device->SetDataFormat(&c_dfDIKeyboard);
        device->SetCooperativeLevel(form ? form->Handle() : nullptr, DISCL_FOREGROUND | DISCL_NONEXCLUSIVE);
        device->Acquire();
    }
    bool Read(bool keys[256]) {
        if (!device) return false;
        uint8_t state[256];
        HRESULT hr = device->GetDeviceState(sizeof state, state);
        if (hr == DIERR_INPUTLOST || hr == DIERR_NOTACQUIRED) {
            device->Acquire();
            hr = device->GetDeviceState(sizeof state, state);
        }
        if (hr != DI_OK) return false;
        for (int i = 0; i < 256; ++i) keys[i] = (state[i] & 0x80) != 0;
        return true;
    }
    ComPtr<IDirectInput> input;
    ComPtr<IDirectInputDevice> device;
};

// The bounce tone, made again on every activation of the form.
class DemoSound : public TQVXAudioBase {
public:
    using TQVXAudioBase::TQVXAudioBase;
    void StartAudio() override {
        auto* form = dynamic_cast<TForm*>(Owner());
        bounce.Reset();
        sound.Reset();
        if (DirectSoundCreate(nullptr, sound.Put(), nullptr) != DS_OK) return;
        sound->SetCooperativeLevel(form ? form->Handle() : nullptr, DSSCL_NORMAL);
        // A 70 ms decaying 880 Hz tone, 16-bit mono at 22050 Hz.
        WAVEFORMATEX wf{WAVE_FORMAT_PCM, 1, 22050, 44100, 2, 16, 0};
        const DWORD samples = 22050 * 70 / 1000;
        DSBUFFERDESC bd{sizeof(DSBUFFERDESC), DSBCAPS_STATIC | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME, samples * 2, 0,
                        &wf};
        if (sound->CreateSoundBuffer(&bd, bounce.Put(), nullptr) != DS_OK) return;
        void *p1 = nullptr, *p2 = nullptr;
        DWORD n1 = 0, n2 = 0;
        if (bounce->Lock(0, samples * 2, &p1, &n1, &p2, &n2, 0) == DS_OK) {
            auto* out = static_cast<int16_t*>(p1);
            for (DWORD i = 0; i < n1 / 2; ++i)
                out[i] = static_cast<int16_t>(12000 * std::exp(-double(i) / 300) *
                                              std::sin(2 * M_PI * 880 * i / 22050));
            bounce->Unlock(p1, n1, p2, n2);
        }
    }
    void Play(double pan) {
        if (!bounce) return;
        bounce->Stop();
        bounce->SetCurrentPosition(0);
        bounce->SetPan(static_cast<LONG>(pan * 3000));
        bounce->Play(0, 0, 0);
    }
    ComPtr<IDirectSound> sound;
    ComPtr<IDirectSoundBuffer> bounce;
};

struct Options {
    TDisplayMode mode = TDisplayMode::dm320x240x8;
    bool window = false, stretch = false;
    int frames = 0, dumpFrame = -1, loseEvery = 0;
    std::string dumpFile;
};

bool ParseMode(const std::string& text, TDisplayMode& mode) {
    static const char* names[] = {"640x480x8",    "640x480x16",  "640x480x24",   "640x480x32",   "320x200x8",
                                  "800x600x8",    "800x600x16",  "800x600x24",   "800x600x32",   "1024x768x8",
                                  "1024x768x16",  "1024x768x24", "1024x768x32",  "640x400x8",    "320x240x8"};
    for (int i = 0; i < 15; ++i)
        if (text == names[i]) {
            mode = static_cast<TDisplayMode>(i);
            return true;
        }
    return false;
}

// The pixels of a surface as an RGB image (8 bits through `palette`).
QImage SurfaceImage(IDirectDrawSurface4* s, const tk::TPaletteEntry* palette) {
    DDSURFACEDESC2 d;
    std::memset(&d, 0, sizeof d);
    d.dwSize = sizeof d;
    if (s->Lock(nullptr, &d, DDLOCK_WAIT | DDLOCK_READONLY, nullptr) != DD_OK) return {};
    ddraw::PixelFormat f;
    QImage img;
    if (ddraw::FormatFromDD(d.ddpfPixelFormat, &f)) {
        ddraw::PixelView v{static_cast<uint8_t*>(d.lpSurface), d.lPitch, static_cast<int>(d.dwWidth),
                           static_cast<int>(d.dwHeight), f.Bytes()};
        img = ddraw::ToImage(v, f, palette);
    }
    s->Unlock(nullptr);
    return img;
}

struct Demo {
    Options opt;
    TApplication* app = nullptr;
    TQVXScreen* screen = nullptr;
    TQVXHiColorImagelib* backdrop = nullptr;
    DemoKeyboard* keyboard = nullptr;
    DemoSound* sound = nullptr;
    bool keys[256] = {};
    bool keyboardRead = false;
    double shipX = 0, shipY = 0;
    double bx[kBalls], by[kBalls], vx[kBalls], vy[kBalls];
    int frame = 0, bounces = 0, restores = 0;
    bool dumped = false;
    int W = 0, H = 0;

    void Initialise() {
        int depth;
        screen->GetModeSize(W, H, depth);
        if (screen->WindowMode() && screen->WinBufWidth > 0 && screen->WinBufHeight > 0) {
            W = screen->WinBufWidth;
            H = screen->WinBufHeight;
        }
        // At 8 bits the backdrop is drawn again now that the sprite palette
        // (which holds its colours) is the display's.
        if (screen->ColorDepth == 8) screen->LoadHiColorLib(backdrop);
        shipX = W / 2;
        shipY = H - 40;
        for (int i = 0; i < kBalls; ++i) {
            bx[i] = 20 + i * 40 % (W - kBall);
            by[i] = 20 + (i * 37) % std::max(1, H / 2);
            vx[i] = 1.1 + 0.3 * i;
            vy[i] = 0.8 + 0.25 * (kBalls - i);
        }
    }

    void Dump() {
        // Full screen the front buffer is what is shown; windowed the back
        // buffer is what was copied into the window.
        TQVXSurface* shown = screen->WindowMode() ? screen->BackSurface() : screen->FrontSurface();
        QImage img = SurfaceImage(shown->Surface.Get(), screen->Palette()).convertToFormat(QImage::Format_RGB888);
        if (img.isNull() || !img.save(QString::fromStdString(opt.dumpFile), "BMP"))
            std::fprintf(stderr, "qvxdemo: cannot write %s\n", opt.dumpFile.c_str());
        dumped = true;
    }

    // Draws one frame on the back buffer; false when a surface was lost.
    bool Draw() {
        IDirectDrawSurface4* back = screen->BackSurface()->Surface.Get();
        RECT whole{0, 0, W, H};
        if (TQVXSurface* sky = screen->ImageSurfaces(0)) {
            if (back->Blt(&whole, sky->Surface.Get(), nullptr, DDBLT_WAIT, nullptr) == DDERR_SURFACELOST) return false;
        } else {
            screen->BackSurface()->Erase(0);
        }
        for (int i = 0; i < kBalls; ++i) {
            TQVXSurface* ball = screen->TileSurfaces(i);
            if (!ball) continue;
            if (back->BltFast(static_cast<DWORD>(bx[i]), static_cast<DWORD>(by[i]), ball->Surface.Get(), nullptr,
                              DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT) == DDERR_SURFACELOST)
                return false;
        }
        if (TQVXSurface* ship = screen->TileSurfaces(kShip))
            if (back->BltFast(static_cast<DWORD>(shipX), static_cast<DWORD>(shipY), ship->Surface.Get(), nullptr,
                              DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT) == DDERR_SURFACELOST)
                return false;
        TQVXCanvas& c = *screen->BackSurface()->Canvas;
        c.Brush.Style = tk::TBrushStyle::bsClear;
        c.Font.Color = tk::clWhite;
        c.Font.Size = 7;
        c.TextOut(4, 2, "QVX demo - arrows move, Esc quits");
        c.TextOut(4, 14, "frame " + std::to_string(frame));
        c.ReleaseHandle();
        return true;
    }

    void Move() {
        if (keyboard->Read(keys)) keyboardRead = true;
        if (keys[DIK_ESCAPE]) app->Terminate();
        if (keys[DIK_LEFT]) shipX -= 3;
        if (keys[DIK_RIGHT]) shipX += 3;
        if (keys[DIK_UP]) shipY -= 3;
        if (keys[DIK_DOWN]) shipY += 3;
        shipX = std::clamp(shipX, 0.0, double(W - 32));
        shipY = std::clamp(shipY, 0.0, double(H - 24));
        for (int i = 0; i < kBalls; ++i) {
            bx[i] += vx[i];
            by[i] += vy[i];
            bool hit = false;
            if (bx[i] < 0 || bx[i] > W - kBall) vx[i] = -vx[i], hit = true;
            if (by[i] < 0 || by[i] > H - kBall) vy[i] = -vy[i], hit = true;
            if (hit) {
                ++bounces;
                sound->Play(bx[i] / W * 2 - 1);
            }
            bx[i] = std::clamp(bx[i], 0.0, double(W - kBall));
            by[i] = std::clamp(by[i], 0.0, double(H - kBall));
        }
    }

    // The screen's flip event: the previous frame is on show now.
    void OnFlip() {
        if (frame == opt.dumpFrame + 1 && !dumped) Dump();
        if (opt.frames && frame >= opt.frames) {
            app->Terminate();
            return;
        }
        if (opt.loseEvery && frame > 0 && frame % opt.loseEvery == 0) ddraw::LoseAllSurfaces();
        Move();
        // A lost surface (the display went away) is restored and the frame
        // drawn again.
        for (int attempt = 0; attempt < 3 && !Draw(); ++attempt) {
            screen->RestoreSurfaces();
            ++restores;
        }
        ++frame;
    }
};

}  // namespace

int main(int argc, char** argv) {
    Options opt;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto need = [&](int n) {
            if (i + n < argc) return true;
            std::fprintf(stderr, "qvxdemo: %s needs %d value(s)\n%s", a.c_str(), n, kUsage);
            return false;
        };
        if (a == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (a == "--mode") {
            if (!need(1)) return 2;
            if (!ParseMode(argv[++i], opt.mode)) {
                std::fprintf(stderr, "qvxdemo: unknown mode %s\n%s", argv[i], kUsage);
                return 2;
            }
        } else if (a == "--window") {
            opt.window = true;
        } else if (a == "--stretch") {
            opt.stretch = true;
        } else if (a == "--frames") {
            if (!need(1)) return 2;
            opt.frames = std::atoi(argv[++i]);
        } else if (a == "--dump-frame") {
            if (!need(2)) return 2;
            opt.dumpFrame = std::atoi(argv[++i]);
            opt.dumpFile = argv[++i];
        } else if (a == "--lose-every") {
            if (!need(1)) return 2;
            opt.loseEvery = std::atoi(argv[++i]);
        } else {
            std::fprintf(stderr, "qvxdemo: unknown option %s\n%s", a.c_str(), kUsage);
            return 2;
        }
    }

    platform::SelectBackend(platform::Backend::Real);
    TApplication app;
    app.Title = "QVX Demo";
    Demo demo;
    demo.opt = opt;
    demo.app = &app;
    auto dir = std::filesystem::canonical("/proc/self/exe").parent_path();
    try {
        auto* form = app.CreateForm<TForm>();
        form->SetCaption("QVX Demo");
        form->SetClientWidth(640);
        form->SetClientHeight(480);
        auto* sprites = new TQVXImageLib(form);
        sprites->LoadFromFile((dir / "sprites.iml").string());
        demo.backdrop = new TQVXHiColorImagelib(form);
        demo.backdrop->LoadFromFile((dir / "backdrop.hcl").string());
        demo.keyboard = new DemoKeyboard(form);
        demo.sound = new DemoSound(form);
        demo.screen = new TQVXScreen(form);
        TQVXScreen* screen = demo.screen;
        int w, h, depth;
        screen->DisplayMode = opt.mode;
        screen->GetModeSize(w, h, depth);
        screen->SetWindowMode(opt.window);
        screen->WindowStretch = opt.stretch;
        screen->SetTileLibrary(sprites);
        screen->SetHiColorLib(demo.backdrop);
        screen->SetQVXInput(demo.keyboard);
        screen->OnInitialize = [&](tk::TObject*) { demo.Initialise(); };
        screen->OnFlip = [&](tk::TObject*) { demo.OnFlip(); };
        screen->SetFlippingEnabled(true);
        screen->Loaded();
        app.Run();
        // Once an exception reached the running screen it only went to the
        // trace channel: say so here too.
        std::printf("qvxdemo: %d frames, %d bounces%s, keyboard %s, ship at %d,%d, %d restores\n", demo.frame,
                    demo.bounces, demo.sound->bounce ? " heard" : " (no sound device)",
                    demo.keyboard->device ? "read through DirectInput" : "unavailable", static_cast<int>(demo.shipX),
                    static_cast<int>(demo.shipY), demo.restores);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "qvxdemo: %s\n", e.what());
        return 1;
    }
    if (opt.dumpFrame >= 0 && !demo.dumped) {
        std::fprintf(stderr, "qvxdemo: frame %d was not reached\n", opt.dumpFrame);
        return 1;
    }
    return 0;
}
