#include "game.h"

#include <QImage>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>

#include "platform/com/backend.h"
#include "platform/ddraw/display.h"
#include "platform/ddraw/headless/headless.h"
#include "platform/ddraw/pixels.h"
#include "platform/dsound/headless/output.h"
#include "qvx/assets/image_library.h"
#include "qvx/assets/map_library.h"
#include "qvx/assets/sound_library.h"
#include "qvx/runtime/application.h"
#include "qvx/runtime/audio.h"
#include "qvx/runtime/formdata.h"
#include "qvx/runtime/forms.h"
#include "qvx/runtime/intro_player.h"
#include "toolkit/streams.h"

namespace demo {

using namespace qvx;

const char* kUsage =
    "usage: qvxdemo [options]\n"
    "  --mode WxHxBPP      display mode, one of 640x480x8|16|24|32, 320x200x8, "
    "800x600x8|16|24|32,\n"
    "                      1024x768x8|16|24|32, 640x400x8, 320x240x8 (default: the form's, "
    "320x240x8)\n"
    "  --window            run in a window instead of full screen\n"
    "  --stretch           windowed: stretch the frame over the whole window\n"
    "  --input DEVICE      keyboard (default), mouse or joystick\n"
    "  --skip-intro        go straight to the title, without the intro\n"
    "  --title N           show the title for N frames (default 150) or until a key\n"
    "  --frames N          stop after N frames\n"
    "  --dump-frame K FILE write frame K as presented to FILE, a 24-bit BMP\n"
    "  --lose-every N      lose every surface every N frames (the demo restores and goes on)\n"
    "  --headless          no window, no sound device: the headless backends\n"
    "  --soak SEED         headless, with lost-surface storms, lost sound buffers and\n"
    "                      failing DirectX calls drawn from SEED; prints what happened\n"
    "  --help              this text\n"
    "Arrow keys, the mouse or the joystick move the ship; Space, a click or a button fires;\n"
    "any key starts; Esc quits (keyboard input).\n";

namespace {

constexpr int kBall = 24, kBallImages = 7, kShip = 8, kTile = 16;
constexpr int kBounceSound = 0, kFireSound = 1;  // in the sound library

const char* InputName(TInputDevice d) {
    return d == TInputDevice::Mouse      ? "mouse"
           : d == TInputDevice::JoyStick ? "joystick"
                                         : "keyboard";
}

// Asked before start-up: a joystick input without a joystick would stop the
// screen's start-up with an error.
bool JoystickAttached() {
    ComPtr<IDirectInput> di;
    if (DirectInputCreateA(nullptr, DIRECTINPUT_VERSION, di.Put(), nullptr) != DI_OK) return false;
    bool found = false;
    di->EnumDevices(
        DIDEVTYPE_JOYSTICK,
        [](const DIDEVICEINSTANCEA*, void* ref) -> BOOL {
            *static_cast<bool*>(ref) = true;
            return DIENUM_STOP;
        },
        &found, DIEDFL_ATTACHEDONLY);
    return found;
}

bool ParseMode(const std::string& text, TDisplayMode& mode) {
    static const char* names[] = {"640x480x8",   "640x480x16", "640x480x24",  "640x480x32",
                                  "320x200x8",   "800x600x8",  "800x600x16",  "800x600x24",
                                  "800x600x32",  "1024x768x8", "1024x768x16", "1024x768x24",
                                  "1024x768x32", "640x400x8",  "320x240x8"};
    for (int i = 0; i < 15; ++i)
        if (text == names[i]) {
            mode = static_cast<TDisplayMode>(i);
            return true;
        }
    return false;
}

bool ParseCount(const char* text, int& out) {
    char* end = nullptr;
    long v = std::strtol(text, &end, 10);
    if (!*text || *end || v < 0 || v > 1000000000) return false;
    out = static_cast<int>(v);
    return true;
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
        ddraw::PixelView v{static_cast<uint8_t*>(d.lpSurface), d.lPitch,
                           static_cast<int>(d.dwWidth), static_cast<int>(d.dwHeight), f.Bytes()};
        img = ddraw::ToImage(v, f, palette);
    }
    s->Unlock(nullptr);
    return img;
}

template <class T>
T* Find(TForm& form, const char* name) {
    auto* c = dynamic_cast<T*>(form.FindComponent(name));
    if (!c) throw tk::Exception(std::string("The form has no ") + name);
    return c;
}

// Counts what reaches the application's exception event, then hands it on
// to the screen's handler (which beeps and traces it).
struct ExceptionCounter {
    std::function<void(const std::exception&)> count;
    TExceptionEvent next;
    void operator()(tk::TObject* sender, const std::exception& e) const {
        count(e);
        if (next) next(sender, e);
    }
};

}  // namespace

std::string ParseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](int& out) {
            if (i + 1 >= argc || !ParseCount(argv[i + 1], out)) return false;
            ++i;
            return true;
        };
        if (a == "--help") return "help";
        if (a == "--mode") {
            if (i + 1 >= argc || !ParseMode(argv[i + 1], o.mode))
                return "--mode needs one of the modes below";
            o.modeGiven = true;
            ++i;
        } else if (a == "--window") {
            o.window = true;
        } else if (a == "--stretch") {
            o.stretch = true;
        } else if (a == "--input") {
            bool known = false;
            for (TInputDevice d :
                 {TInputDevice::Keyboard, TInputDevice::Mouse, TInputDevice::JoyStick})
                if (i + 1 < argc && argv[i + 1] == std::string(InputName(d)))
                    o.device = d, known = true;
            if (!known) return "--input needs keyboard, mouse or joystick";
            o.deviceGiven = true;
            ++i;
        } else if (a == "--headless") {
            o.headless = true;
        } else if (a == "--frames") {
            if (!value(o.frames)) return "--frames needs a count";
        } else if (a == "--skip-intro") {
            o.skipIntro = true;
        } else if (a == "--title") {
            if (!value(o.titleFrames)) return "--title needs a count";
        } else if (a == "--lose-every") {
            if (!value(o.loseEvery)) return "--lose-every needs a count";
        } else if (a == "--dump-frame") {
            if (!value(o.dumpFrame) || i + 1 >= argc)
                return "--dump-frame needs a frame and a file";
            o.dumpFile = argv[++i];
        } else if (a == "--soak") {
            int seed = 0;
            if (!value(seed)) return "--soak needs a seed";
            o.soak = o.headless = true;
            o.seed = static_cast<uint32_t>(seed);
        } else {
            return "unknown option " + a;
        }
    }
    return {};
}

int Game::Run(const std::string& formFile) {
    // The application may still be told otherwise by QVX_BACKEND.
    platform::SelectBackend(opt_.headless ? platform::Backend::Headless : platform::Backend::Real);
    rng_.seed(opt_.seed);
    if (opt_.soak) std::printf("qvxdemo: soak seed %u\n", opt_.seed);
    std::optional<TApplication> application;  // outlives the summary below
    try {
        TApplication& app = application.emplace();  // QVX_BACKEND may be refused here
        app.Title = "QVX Demo";
        app_ = &app;
        tk::THandlerTable handlers;
        handlers.Add<tk::TNotifyEvent>("GameInitialize", [this](tk::TObject*) { Initialise(); });
        handlers.Add<tk::TNotifyEvent>("GameFlip", [this](tk::TObject*) { Flip(); });
        handlers.Add<tk::TNotifyEvent>("IntroFinished", [](tk::TObject*) {});  // the title follows by itself
        auto* form = app.CreateForm<TForm>();
        // The command line has the last word, before the components' loaded
        // steps act on what they hold (a full-screen screen takes the
        // form's border away, a windowed one does not).
        LoadFormFromData(*form, tk::ReadFileBytes(formFile), handlers, [&] {
            screen_ = Find<TQVXScreen>(*form, "Screen");
            audio_ = Find<TQVXAudio>(*form, "Audio");
            input_ = Find<TQVXInput>(*form, "Input");
            level_ = Find<TQVXMapLib>(*form, "Level");
            title_ = Find<TQVXHiColorImagelib>(*form, "Title");
            sprites_ = Find<TQVXImageLib>(*form, "Sprites");
            intro_ = Find<TQVXIntro>(*form, "Intro");
            intro_->OnSlide = [this](tk::TObject*, int) { ++introSlides_; };
            if (level_->MapLib()->Count() < 1) throw tk::Exception("The level has no map");
            if (opt_.modeGiven) screen_->DisplayMode = opt_.mode;
            int w, h, depth;
            screen_->GetModeSize(w, h, depth);  // also sets ColorDepth, which activation checks
            screen_->SetWindowMode(opt_.window);
            screen_->WindowStretch = opt_.stretch;
            if (opt_.deviceGiven) input_->SetDevice(opt_.device);
        });
        if (input_->Device() == TInputDevice::JoyStick && !JoystickAttached())
            throw tk::Exception("no joystick is attached");
        app.Run();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "qvxdemo: %s\n", e.what());
        return 1;
    }
    const char* device = InputName(input_->Device());
    if (!opt_.quiet)
        std::printf(
            "qvxdemo: %d frames, %d bounces%s, %d shots, %s %s, ship at %d,%d, %d restores, %s\n",
            frame_, bounces_, audio_->BufferCount() > 0 ? " heard" : " (no sound device)", shots_,
            device, inputRead_ ? "read through DirectInput" : "unavailable",
            static_cast<int>(shipX_), static_cast<int>(shipY_), restores_,
            opt_.skipIntro ? "intro skipped"
                           : tk::Format("intro of %d slides", introSlides_).c_str());
    int status = 0;
    if (opt_.soak) {
        std::string kinds;
        for (auto& [name, n] : exceptionKinds_)
            kinds += (kinds.empty() ? "" : ", ") + name + " " + std::to_string(n);
        std::printf(
            "qvxdemo: soak seed %u: %d surface losses in %d storms, %d sound losses, %d failing "
            "calls, "
            "%d exceptions (%s), %d not the runtime's, %d picture checks, %d changed\n",
            opt_.seed, surfaceLosses_, storms_, soundLosses_, faults_, exceptions_, kinds.c_str(),
            foreign_, pictureChecks_, picturesChanged_);
        if (foreign_ > 0 || picturesChanged_ > 0 || (opt_.frames && frame_ < opt_.frames)) status = 1;
        // Storms and failed restores pass; pictures gone for good do not.
        if (frame_ - lastWholeFrame_ > 300) {
            std::printf("qvxdemo: soak seed %u: no frame drawn with its pictures since frame %d\n", opt_.seed,
                        lastWholeFrame_);
            status = 1;
        }
    }
    if (opt_.dumpFrame >= 0 && !dumped_) {
        std::fprintf(stderr, "qvxdemo: frame %d was not reached\n", opt_.dumpFrame);
        status = 1;
    }
    return status;
}

void Game::CountException(const std::exception& e) {
    ++exceptions_;
    auto* own = dynamic_cast<const tk::Exception*>(&e);
    if (!own) ++foreign_;
    ++exceptionKinds_[own ? own->ClassName() : "std::exception"];
}

void Game::Initialise() {
    // The screen has just (re)installed its exception handler: count in front of it.
    if (!app_->OnException.target<ExceptionCounter>())
        app_->OnException = ExceptionCounter{[this](const std::exception& e) { CountException(e); },
                                             app_->OnException};
    int depth;
    screen_->GetModeSize(W_, H_, depth);
    if (screen_->WindowMode() && screen_->WinBufWidth > 0 && screen_->WinBufHeight > 0) {
        W_ = screen_->WinBufWidth;
        H_ = screen_->WinBufHeight;
    }
    // The title picture takes the image surfaces until play starts.
    if (phase_ == Phase::Title) screen_->LoadHiColorLib(title_);
    // The intro has the screen first; the game's flip event (the title)
    // comes back when it ends or a key skips it.
    if (!introStarted_ && !opt_.skipIntro) {
        introStarted_ = true;
        intro_->Play();
    }
    if (frame_ > 0) return;  // a restart keeps the game where it was
    shipX_ = W_ / 2;
    shipY_ = H_ - 40;
    for (int i = 0; i < kBalls; ++i) {
        bx_[i] = (20 + i * 41) % (W_ - kBall);
        by_[i] = (10 + i * 37) % std::max(1, H_ / 2);
        vx_[i] = (1.1 + 0.13 * i) * (i % 2 ? 1 : -1);
        vy_[i] = 0.8 + 0.07 * (kBalls - i);
    }
}

void Game::InjectFaults() {
    // Storms: every surface lost on several frames in a row.
    if (storm_ > 0) {
        --storm_;
        ++surfaceLosses_;
        ddraw::LoseAllSurfaces();
    } else if (rng_() % 300 == 0) {
        storm_ = 1 + static_cast<int>(rng_() % 6);
        ++storms_;
        // The pictures as the last whole frame showed them.
        if (sumBefore_ == 0 && lastWholeFrame_ == frame_ - 1) {
            sumBefore_ = PictureSum();
            sumPhase_ = phase_;
        }
    }
    if (rng_() % 400 == 0) {
        if (auto* out = dsound::headless::CurrentOutput()) {
            out->LoseBuffers();
            ++soundLosses_;
        }
    }
    if (rng_() % 250 == 0) {
        static const char* draw[] = {"Blt",  "BltFast", "Flip",      "Restore",
                                     "Lock", "GetDC",   "SetEntries"};
        static const char* sound[] = {"IDirectSoundBuffer::Play", "IDirectSoundBuffer::SetPan",
                                      "IDirectSoundBuffer::Stop",
                                      "IDirectSound::CreateSoundBuffer"};
        const int nth = 1 + static_cast<int>(rng_() % 3);
        if (rng_() % 3 == 0)
            dsound::headless::FailCall(sound[rng_() % std::size(sound)], nth, DSERR_GENERIC);
        else
            ddraw::headless::InjectFault(draw[rng_() % std::size(draw)], nth, DDERR_GENERIC);
        ++faults_;
    }
}

void Game::ReadInput() {
    if (input_->Update()) inputRead_ = true;
    double dx = 0, dy = 0;
    bool fire = false;
    switch (input_->Device()) {
        case TInputDevice::Keyboard:
            if (input_->KeyDown(DIK_ESCAPE)) app_->Terminate();
            dx = (input_->KeyDown(DIK_RIGHT) - input_->KeyDown(DIK_LEFT)) * 3.0;
            dy = (input_->KeyDown(DIK_DOWN) - input_->KeyDown(DIK_UP)) * 3.0;
            fire = input_->KeyDown(DIK_SPACE);
            for (int k = 0; k < 256; ++k)
                if (input_->KeyDown(static_cast<uint8_t>(k))) pressed_ = true;
            break;
        case TInputDevice::Mouse:
            dx = input_->Mouse().lX;
            dy = input_->Mouse().lY;
            fire = input_->MouseButton(0);
            if (input_->MouseButton(0) || input_->MouseButton(1)) pressed_ = true;
            break;
        case TInputDevice::JoyStick:
            dx = input_->JoyState().lX * 3.0 / 1000;
            dy = input_->JoyState().lY * 3.0 / 1000;
            fire = input_->JoyButton(0);
            if (input_->JoyButton(0) || input_->JoyButton(1)) pressed_ = true;
            break;
    }
    if (screen_->MouseButton != 0) {  // a click on the window
        pressed_ = true;
        screen_->MouseButton = 0;
    }
    shipX_ = std::clamp(shipX_ + dx, 0.0, double(W_ - 32));
    shipY_ = std::clamp(shipY_ + dy, 0.0, double(H_ - 24));
    if (fire && !firing_ && phase_ == Phase::Play) {
        ++shots_;
        Sound(kFireSound, shipX_);
    }
    firing_ = fire;
}

void Game::Sound(int index, double x) {
    // Without a sound device (headless) there is nothing to play; a table
    // left short by a failed rebuild is built again by Play itself.
    if (!audio_->DirectSound() || !audio_->SoundLibrary()) return;
    audio_->Play(index);
    audio_->SetPan(index, static_cast<int32_t>((x / W_ * 2 - 1) * 3000));
}

void Game::Move() {
    scroll_ += 1;
    bool bounced = false;
    double where = 0;
    for (int i = 0; i < kBalls; ++i) {
        bx_[i] += vx_[i];
        by_[i] += vy_[i];
        bool hit = false;
        if (bx_[i] < 0 || bx_[i] > W_ - kBall) vx_[i] = -vx_[i], hit = true;
        if (by_[i] < 0 || by_[i] > H_ - kBall) vy_[i] = -vy_[i], hit = true;
        if (hit && !bounced) bounced = true, where = bx_[i];
        bounces_ += hit;
        bx_[i] = std::clamp(bx_[i], 0.0, double(W_ - kBall));
        by_[i] = std::clamp(by_[i], 0.0, double(H_ - kBall));
    }
    // One bounce sound a frame, panned to where it hit.
    if (bounced) Sound(kBounceSound, where);
}

bool Game::DrawMap(IDirectDrawSurface4* back) {
    TMapRec map;
    level_->MapLib()->GetMap(0, map);
    if (!map.Data || map.Width <= 0 || map.Height <= 0 || map.Size < map.Width * map.Height)
        return true;
    const int mapPixels = map.Width * kTile;
    const int left = scroll_ % mapPixels, first = left / kTile, offset = left % kTile;
    for (int ty = 0; ty * kTile < H_; ++ty)
        for (int tx = 0; tx * kTile - offset < W_; ++tx) {
            const int mx = (first + tx) % map.Width, my = ty % map.Height;
            TQVXSurface* tile = screen_->TileSurfaces(map.Data[my * map.Width + mx]);
            if (!tile) continue;
            int x = tx * kTile - offset, y = ty * kTile;
            RECT src{0, 0, kTile, kTile};
            if (x < 0) src.left = -x, x = 0;
            src.right = std::min<LONG>(src.right, src.left + (W_ - x));
            src.bottom = std::min<LONG>(src.bottom, H_ - y);
            if (back->BltFast(static_cast<DWORD>(x), static_cast<DWORD>(y), tile->Surface.Get(),
                              &src, DDBLTFAST_WAIT) == DDERR_SURFACELOST)
                return false;
        }
    return true;
}

bool Game::Draw() {
    IDirectDrawSurface4* back = screen_->BackSurface()->Surface.Get();
    std::string text;
    if (phase_ == Phase::Title) {
        RECT whole{0, 0, W_, H_};
        if (TQVXSurface* title = screen_->ImageSurfaces(0)) {
            if (back->Blt(&whole, title->Surface.Get(), nullptr, DDBLT_WAIT, nullptr) ==
                DDERR_SURFACELOST)
                return false;
        } else {
            screen_->BackSurface()->Erase(0);
        }
        text = "QVX demo - press a key";
    } else {
        if (!DrawMap(back)) return false;
        for (int i = 0; i < kBalls; ++i) {
            TQVXSurface* ball = screen_->ImageSurfaces(1 + i % kBallImages);
            if (ball && back->BltFast(static_cast<DWORD>(bx_[i]), static_cast<DWORD>(by_[i]),
                                      ball->Surface.Get(), nullptr,
                                      DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT) == DDERR_SURFACELOST)
                return false;
        }
        if (TQVXSurface* ship = screen_->ImageSurfaces(kShip))
            if (back->BltFast(static_cast<DWORD>(shipX_), static_cast<DWORD>(shipY_),
                              ship->Surface.Get(), nullptr,
                              DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT) == DDERR_SURFACELOST)
                return false;
        text = "frame " + std::to_string(frame_) + "  Esc quits";
    }
    // The canvas cannot draw on a lost buffer; found lost here, the frame is
    // restored like one whose copies failed (a frame without pictures has
    // no copies to find it).
    if (back->IsLost() == DDERR_SURFACELOST) return false;
    if (opt_.hud) {
        TQVXCanvas& c = *screen_->BackSurface()->Canvas;
        c.Brush.Style = tk::TBrushStyle::bsClear;
        c.Font.Color = tk::clWhite;
        c.Font.Size = 7;
        c.TextOut(4, 2, text);
        c.ReleaseHandle();
    }
    if (phase_ == Phase::Title ? screen_->ImageCount() > 0 : screen_->ImageSurfaces(kShip) != nullptr)
        lastWholeFrame_ = frame_;
    return true;
}

void Game::Dump() {
    // Full screen the front buffer is what is shown; windowed the back
    // buffer is what was copied into the window.
    TQVXSurface* shown = screen_->WindowMode() ? screen_->BackSurface() : screen_->FrontSurface();
    QImage img = SurfaceImage(shown->Surface.Get(), screen_->Palette())
                     .convertToFormat(QImage::Format_RGB888);
    if (img.isNull() || !img.save(QString::fromStdString(opt_.dumpFile), "BMP"))
        std::fprintf(stderr, "qvxdemo: cannot write %s\n", opt_.dumpFile.c_str());
    dumped_ = true;
}

// The screen's flip event: the previous frame is on show now.
void Game::Flip() {
    if (opt_.dumpFrame >= 0 && frame_ == opt_.dumpFrame + 1 && !dumped_) Dump();
    if (opt_.frames && frame_ >= opt_.frames) {
        app_->Terminate();
        return;
    }
    ++frame_;
    if (opt_.loseEvery && frame_ % opt_.loseEvery == 0) ddraw::LoseAllSurfaces();
    if (opt_.soak) InjectFaults();
    // A restore that failed part way (a palette call refused, say) leaves
    // the picture sets empty until the display is lost again: try again
    // now and then.
    if (phase_ == Phase::Play && (screen_->ImageCount() == 0 || screen_->TileCount() == 0) && frame_ % 30 == 0) {
        ++restores_;
        screen_->RestoreSurfaces();
    }
    ReadInput();
    if (phase_ == Phase::Title && (pressed_ || frame_ > opt_.titleFrames)) {
        phase_ = Phase::Play;
        screen_->LoadImageLib(sprites_, false);
    }
    Move();
    // A lost surface (the display went away) is restored and the frame drawn again.
    for (int attempt = 0; attempt < 3 && !Draw(); ++attempt) {
        screen_->RestoreSurfaces();
        ++restores_;
    }
    if (opt_.soak) CheckPictures();
}

// A checksum of every picture surface's pixels, 0 when one cannot be read
// (lost, or a lock failed).
uint64_t Game::PictureSum() const {
    uint64_t sum = 1469598103934665603ull;
    auto add = [&sum](TQVXSurface* surface) {
        if (!surface) return true;
        DDSURFACEDESC2 d;
        std::memset(&d, 0, sizeof d);
        d.dwSize = sizeof d;
        IDirectDrawSurface4* s = surface->Surface.Get();
        if (s->Lock(nullptr, &d, DDLOCK_WAIT | DDLOCK_READONLY, nullptr) != DD_OK) return false;
        const size_t row = d.dwWidth * (d.ddpfPixelFormat.dwRGBBitCount / 8);
        for (DWORD y = 0; y < d.dwHeight; ++y) {
            const auto* p = static_cast<const uint8_t*>(d.lpSurface) + y * d.lPitch;
            for (size_t x = 0; x < row; ++x) sum = (sum ^ p[x]) * 1099511628211ull;
        }
        s->Unlock(nullptr);
        return true;
    };
    for (int i = 0; i < screen_->ImageCount(); ++i)
        if (!add(screen_->ImageSurfaces(i))) return 0;
    for (int i = 0; i < screen_->TileCount(); ++i)
        if (!add(screen_->TileSurfaces(i))) return 0;
    return sum;
}

// Storms must give back the same pictures: the surfaces read the same after
// a storm as before it, while the game stays in one phase.
void Game::CheckPictures() {
    // Checked on the first whole frame after the storm (pictures missing:
    // the next frames try again).
    if (sumBefore_ == 0 || storm_ > 0 || lastWholeFrame_ != frame_) return;
    const uint64_t after = PictureSum();
    if (after == 0) return;
    if (phase_ == sumPhase_) {
        ++pictureChecks_;
        if (after != sumBefore_) {
            ++picturesChanged_;
            std::printf("qvxdemo: frame %d: the pictures differ from before the storm\n", frame_);
        }
    }
    sumBefore_ = 0;
}

}  // namespace demo
