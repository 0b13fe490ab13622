// qvxdemo: a small game on the runtime's screen. Balls bounce over a
// hi-colour backdrop; the ship moves under the keyboard's arrow keys, the
// mouse or the joystick (TQVXInput), and Space, a click or a button fires.
// Bounces and shots play sounds of sounds.sdl through TQVXAudio, Esc quits.
// Sprites come from sprites.iml (the screen's tile library), the backdrop
// from backdrop.hcl (its hi-colour library), all beside the program.
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
#include "qvx/assets/QVXILib.h"
#include "qvx/assets/qvxslib.h"
#include "qvx/hicolor/QVX.h"
#include "qvx/runtime/application.h"
#include "qvx/runtime/audio.h"
#include "qvx/runtime/forms.h"
#include "qvx/runtime/input.h"
#include "qvx/runtime/screen.h"

namespace {

using namespace qvx;

constexpr int kBall = 24, kBalls = 7, kShip = 7;
constexpr int kBounceSound = 0, kFireSound = 1;  // in sounds.sdl
constexpr const char* kUsage =
    "usage: qvxdemo [options]\n"
    "  --mode WxHxBPP      display mode, one of 640x480x8|16|24|32, 320x200x8, 800x600x8|16|24|32,\n"
    "                      1024x768x8|16|24|32, 640x400x8, 320x240x8 (default 320x240x8)\n"
    "  --window            run in a window instead of full screen\n"
    "  --stretch           windowed: stretch the frame over the whole window\n"
    "  --frames N          stop after N frames\n"
    "  --dump-frame K FILE write frame K as presented to FILE, a 24-bit BMP\n"
    "  --lose-every N      lose every surface every N frames (the demo restores and goes on)\n"
    "  --input DEVICE      keyboard (default), mouse or joystick\n"
    "  --help              this text\n"
    "Arrow keys, the mouse or the joystick move the ship; Space, a click or a button fires;\n"
    "Esc quits (keyboard input).\n";

struct Options {
    TDisplayMode mode = TDisplayMode::dm320x240x8;
    bool window = false, stretch = false;
    int frames = 0, dumpFrame = -1, loseEvery = 0;
    std::string dumpFile;
    TInputDevice input = TInputDevice::Keyboard;
};

const char* InputName(TInputDevice d) {
    return d == TInputDevice::Mouse ? "mouse" : d == TInputDevice::JoyStick ? "joystick" : "keyboard";
}

bool ParseInput(const std::string& text, TInputDevice& device) {
    for (TInputDevice d : {TInputDevice::Keyboard, TInputDevice::Mouse, TInputDevice::JoyStick})
        if (text == InputName(d)) {
            device = d;
            return true;
        }
    return false;
}

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

// Asked before start-up: a joystick input without a joystick would stop the
// screen's start-up with an error.
bool JoystickAttached() {
    ComPtr<IDirectInput> di;
    if (DirectInputCreateA(nullptr, DIRECTINPUT_VERSION, di.Put(), nullptr) != DI_OK) return false;
    bool found = false;
    di->EnumDevices(
        DIDEVTYPE_JOYSTICK, [](const DIDEVICEINSTANCEA*, void* ref) -> BOOL {
            *static_cast<bool*>(ref) = true;
            return DIENUM_STOP;
        },
        &found, DIEDFL_ATTACHEDONLY);
    return found;
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
    TQVXInput* input = nullptr;
    TQVXAudio* audio = nullptr;
    bool inputRead = false;
    bool firing = false;
    double shipX = 0, shipY = 0;
    double bx[kBalls], by[kBalls], vx[kBalls], vy[kBalls];
    int frame = 0, bounces = 0, shots = 0, restores = 0;
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

    // Plays a sound of the library, panned to where it happens.
    void Sound(int index, double x) {
        if (audio->BufferCount() <= index) return;
        audio->Stop(index);
        audio->SetPan(index, static_cast<int32_t>((x / W * 2 - 1) * 3000));
        audio->Play(index);
    }

    // The ship follows the input device; firing is a fresh press.
    void Steer() {
        if (!input->Update()) return;
        inputRead = true;
        bool fire = false;
        switch (input->Device()) {
            case TInputDevice::Keyboard:
                if (input->KeyDown(DIK_ESCAPE)) app->Terminate();
                shipX += 3 * (input->KeyDown(DIK_RIGHT) - input->KeyDown(DIK_LEFT));
                shipY += 3 * (input->KeyDown(DIK_DOWN) - input->KeyDown(DIK_UP));
                fire = input->KeyDown(DIK_SPACE);
                break;
            case TInputDevice::Mouse:
                shipX += input->Mouse().lX;
                shipY += input->Mouse().lY;
                fire = input->MouseButton(0);
                break;
            case TInputDevice::JoyStick:
                shipX += input->JoyState().lX * 4 / 1000.0;
                shipY += input->JoyState().lY * 4 / 1000.0;
                fire = input->JoyButton(0);
                break;
        }
        if (fire && !firing) {
            ++shots;
            Sound(kFireSound, shipX);
        }
        firing = fire;
    }

    void Move() {
        Steer();
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
                Sound(kBounceSound, bx[i]);
            }
            bx[i] = std::clamp(bx[i], 0.0, double(W - kBall));
            by[i] = std::clamp(by[i], 0.0, double(H - kBall));
        }
    }

    // The screen's flip event: the previous frame is on show now.
    void OnFlip() {
        if (opt.dumpFrame >= 0 && frame == opt.dumpFrame + 1 && !dumped) Dump();
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
        } else if (a == "--input") {
            if (!need(1)) return 2;
            if (!ParseInput(argv[++i], opt.input)) {
                std::fprintf(stderr, "qvxdemo: unknown input %s\n%s", argv[i], kUsage);
                return 2;
            }
        } else {
            std::fprintf(stderr, "qvxdemo: unknown option %s\n%s", a.c_str(), kUsage);
            return 2;
        }
    }

    platform::SelectBackend(platform::Backend::Real);
    if (opt.input == TInputDevice::JoyStick && !JoystickAttached()) {
        std::fprintf(stderr, "qvxdemo: no joystick is attached\n");
        return 1;
    }
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
        auto* sounds = new TQVXSoundLib(form);
        sounds->LoadFromFile((dir / "sounds.sdl").string());
        demo.audio = new TQVXAudio(form);
        demo.audio->SetSoundLibrary(sounds);
        demo.input = new TQVXInput(form);
        demo.input->SetDevice(opt.input);
        demo.screen = new TQVXScreen(form);
        TQVXScreen* screen = demo.screen;
        int w, h, depth;
        screen->DisplayMode = opt.mode;
        screen->GetModeSize(w, h, depth);
        screen->SetWindowMode(opt.window);
        screen->WindowStretch = opt.stretch;
        screen->SetTileLibrary(sprites);
        screen->SetHiColorLib(demo.backdrop);
        screen->SetQVXInput(demo.input);
        screen->OnInitialize = [&](tk::TObject*) { demo.Initialise(); };
        screen->OnFlip = [&](tk::TObject*) { demo.OnFlip(); };
        screen->SetFlippingEnabled(true);
        screen->Loaded();
        demo.audio->Loaded();  // the screen starts it, on every activation
        app.Run();
        // Once an exception reached the running screen it only went to the
        // trace channel: say so here too.
        std::printf("qvxdemo: %d frames, %d bounces%s, %d shots, %s %s, ship at %d,%d, %d restores\n", demo.frame,
                    demo.bounces, demo.audio->BufferCount() > 0 ? " heard" : " (no sound device)", demo.shots,
                    InputName(opt.input), demo.inputRead ? "read through DirectInput" : "unavailable",
                    static_cast<int>(demo.shipX), static_cast<int>(demo.shipY), demo.restores);
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
