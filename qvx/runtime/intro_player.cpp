#include "intro_player.h"

#include <array>
#include <chrono>
#include <cstring>
#include <vector>

#include "forms.h"
#include "input.h"
#include "platform/ddraw/pixels.h"
#include "platform/winsys/window.h"
#include "qvx/intro/intro_timeline.h"
#include "screen.h"

namespace qvx {

namespace {

int64_t SteadyMicros() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

// The intro's handler in the screen's flip event; it forwards to the intro
// while that lives, and is told apart from the game's by its type.
struct IntroFlip {
    std::weak_ptr<TQVXIntro*> intro;
    std::function<void()> frame;
    void operator()(tk::TObject*) const {
        if (!intro.expired()) frame();
    }
};

// Presses seen since the last look: from the form's window (keys, clicks)
// and from the screen's input component (keys, buttons that went down).
struct PressWatch {
    winsys::WindowRef window;
    std::vector<int> listeners;
    std::shared_ptr<bool> pressed = std::make_shared<bool>(false);
    std::array<uint8_t, 256> keys{};
    std::array<bool, 36> buttons{};  // mouse 0-3, joystick 0-31
    bool primed = false;

    void Attach(winsys::Window* w) {
        if (!w || window) return;
        window = w;
        std::weak_ptr<bool> flag = pressed;
        listeners.push_back(w->OnKey([flag](const winsys::KeyEvent& e) {
            if (auto f = flag.lock(); f && e.pressed) *f = true;
        }));
        listeners.push_back(w->OnMouse([flag](const winsys::MouseEvent& e) {
            if (auto f = flag.lock(); f && e.kind == winsys::MouseEvent::Press) *f = true;
        }));
    }
    void Detach() {
        if (winsys::Window* w = window.Get())
            for (int id : listeners) w->RemoveListener(id);
        listeners.clear();
        window = {};
    }
    // True when the device shows a key or button down that was up at the
    // previous look (the first look only learns what is held).
    bool DevicePressed(TQVXInput& input) {
        if (!input.InputDevice() || !input.Update()) return false;
        bool fresh = false;
        for (int k = 0; k < 256; ++k) {
            const uint8_t down = input.Keys()[static_cast<size_t>(k)] & 0x80;
            fresh |= down && !keys[static_cast<size_t>(k)];
            keys[static_cast<size_t>(k)] = down;
        }
        for (int b = 0; b < 36; ++b) {
            const bool down = b < 4 ? input.MouseButton(b) : input.JoyButton(b - 4);
            fresh |= down && !buttons[static_cast<size_t>(b)];
            buttons[static_cast<size_t>(b)] = down;
        }
        const bool primedBefore = primed;
        primed = true;
        return primedBefore && fresh;
    }
};

tk::TPaletteEntry ToEntry(const TLibPalEntry& e) { return {e.Red, e.Green, e.Blue, 0}; }

}  // namespace

struct TQVXIntro::Run {
    TQVXScreen* screen = nullptr;
    tk::TNotifyEvent gameFlip;
    bool flippingWas = false;
    std::unique_ptr<TIntroTimeline> timeline;
    std::unique_ptr<TIntroFrames> frames;
    bool started = false;
    int64_t start = 0;
    int64_t reported = -1;  // steps announced through OnSlide, counted over every pass
    std::array<tk::TPaletteEntry, 256> palette{};
    std::array<tk::TPaletteEntry, 256> gamePalette{};
    bool paletteTaken = false;
    PressWatch presses;
    TIntroFrame scratch;
    std::vector<uint32_t> row;
};

TQVXIntro::TQVXIntro(tk::TComponent* owner) : tk::TComponent(owner), Clock(SteadyMicros) {}

TQVXIntro::~TQVXIntro() { Finish(false); }

void TQVXIntro::SetLibrary(TQVXIntroLib* library) {
    if (library == FLibrary) return;
    if (FRun) Finish(false);
    FLibrary = library;
    if (library) library->FreeNotification(this);
}

void TQVXIntro::Notification(tk::TComponent* component, tk::TOperation operation) {
    tk::TComponent::Notification(component, operation);
    if (operation != tk::TOperation::opRemove) return;
    if (component == FLibrary) {
        if (FRun) Finish(false);
        FLibrary = nullptr;
    }
    if (FRun && component == FRun->screen) {
        FRun->screen = nullptr;  // gone: nothing of it to hand back
        Finish(false);
    }
}

TQVXScreen* TQVXIntro::FindScreen() const {
    const tk::TComponent* owner = Owner();
    if (!owner) return nullptr;
    for (int i = 0; i < owner->ComponentCount(); ++i)
        if (auto* s = dynamic_cast<TQVXScreen*>(owner->Components(i))) return s;
    return nullptr;
}

bool TQVXIntro::Playing() const { return FRun != nullptr; }

int64_t TQVXIntro::Elapsed() const { return FRun && FRun->started ? Clock() - FRun->start : 0; }

void TQVXIntro::Play() {
    TQVXScreen* screen = FRun ? FRun->screen : FindScreen();
    if (!screen || !FLibrary) return;
    auto timeline = std::make_unique<TIntroTimeline>(FLibrary->Library());
    auto frames = std::make_unique<TIntroFrames>(FLibrary->Library());
    if (!FRun) {
        auto run = std::make_unique<Run>();
        run->screen = screen;
        screen->FreeNotification(this);
        run->gameFlip = screen->OnFlip;
        auto alive = std::make_shared<TQVXIntro*>(this);
        screen->OnFlip = IntroFlip{alive, [this] { Frame(); }};
        run->flippingWas = screen->FlippingEnabled();
        FRun = std::move(run);
        FAlive = std::move(alive);
        screen->SetFlippingEnabled(true);
    }
    FRun->timeline = std::move(timeline);
    FRun->frames = std::move(frames);
    FRun->started = false;
    FRun->reported = -1;
    for (int i = 0; i < 256; ++i) FRun->palette[static_cast<size_t>(i)] = ToEntry(FLibrary->Library().Palette()[i]);
}

void TQVXIntro::Skip() {
    if (FRun) Finish(true);
}

void TQVXIntro::Finish(bool notify) {
    if (!FRun) return;
    std::unique_ptr<Run> run = std::move(FRun);
    FAlive.reset();
    run->presses.Detach();
    if (TQVXScreen* screen = run->screen) {
        if (screen->OnFlip.target<IntroFlip>()) screen->OnFlip = run->gameFlip;
        if (!run->flippingWas) screen->SetFlippingEnabled(false);
        if (run->paletteTaken && screen->Started() && screen->ColorDepth == 8)
            screen->SetPalette(run->gamePalette.data());
        screen->RemoveFreeNotification(this);
    }
    if (notify && OnFinished) OnFinished(this);
}

void TQVXIntro::Frame() {
    Run* run = FRun.get();
    TQVXScreen* screen = run ? run->screen : nullptr;
    if (!screen || !screen->Started() || !screen->BackSurface()) return;
    if (!run->started) {
        run->started = true;
        run->start = Clock();
    }
    if (SkipOnInput) {
        if (auto* form = dynamic_cast<TForm*>(screen->Owner())) run->presses.Attach(form->Handle());
        bool pressed = std::exchange(*run->presses.pressed, false);
        if (auto* input = dynamic_cast<TQVXInput*>(screen->QVXInput()))
            pressed = run->presses.DevicePressed(*input) || pressed;
        if (pressed) return Finish(true);
    }

    const int64_t time = Clock() - run->start;
    const TIntroState state = run->timeline->At(time, Loop);
    // Every step reached is announced in order, also those a long frame
    // passed over; a handler may skip or restart the intro.
    const auto& steps = run->timeline->Steps();
    if (!steps.empty() && state.Step >= 0) {
        const int64_t length = run->timeline->Length();
        const int64_t passes = Loop && length > 0 ? time / length : 0;
        const int64_t reached = passes * static_cast<int64_t>(steps.size()) + state.Step;
        while (run->reported < reached) {
            ++run->reported;
            const int index = steps[static_cast<size_t>(run->reported % static_cast<int64_t>(steps.size()))].Slide;
            if (OnSlide) OnSlide(this, index);
            if (FRun.get() != run || !run->started) return;
        }
    }

    if (screen->ColorDepth == 8 && std::memcmp(screen->Palette(), run->palette.data(), sizeof run->palette) != 0) {
        if (!run->paletteTaken) std::memcpy(run->gamePalette.data(), screen->Palette(), sizeof run->gamePalette);
        run->paletteTaken = true;
        screen->SetPalette(run->palette.data());
    }
    DrawFrame(state);
    if (state.Finished) Finish(true);
}

void TQVXIntro::DrawFrame(const TIntroState& state) {
    Run& run = *FRun;
    TQVXScreen& screen = *run.screen;
    DDSURFACEDESC2 d;
    auto lock = [&] {
        std::memset(&d, 0, sizeof d);
        d.dwSize = sizeof d;
        return screen.BackSurface()->Surface->Lock(nullptr, &d, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr);
    };
    HRESULT hr = lock();
    if (hr == DDERR_SURFACELOST) {
        screen.RestoreSurfaces();
        if (!screen.BackSurface()) return;
        hr = lock();
    }
    if (hr != DD_OK) return;  // drawn at the next frame, at its time
    ddraw::PixelFormat format;
    if (!ddraw::FormatFromDD(d.ddpfPixelFormat, &format)) {
        screen.BackSurface()->Surface->Unlock(nullptr);
        return;
    }
    TIntroFrames& frames = *run.frames;
    const int bw = static_cast<int>(d.dwWidth), bh = static_cast<int>(d.dwHeight);
    const int fw = frames.Width(), fh = frames.Height();
    const int left = (bw - fw) / 2, top = (bh - fh) / 2;
    auto* bits = static_cast<uint8_t*>(d.lpSurface);
    const int bytes = format.Bytes();
    // The visible part of the frame: columns x0..x1, rows y0..y1 (frame
    // coordinates).
    const int x0 = std::max(0, -left), x1 = std::min(fw, bw - left);
    const int y0 = std::max(0, -top), y1 = std::min(fh, bh - top);

    // Pixel values of the library's colours in the surface's format.
    uint32_t table[256];
    for (int i = 0; i < 256; ++i) {
        const tk::TPaletteEntry& e = run.palette[static_cast<size_t>(i)];
        table[i] = format.Palettized() ? static_cast<uint32_t>(i) : ddraw::PackRGB(format, e.peRed, e.peGreen, e.peBlue);
    }
    const uint32_t background = table[0];
    auto fill = [&](uint8_t* p, int n) {
        if (bytes == 1) return void(std::memset(p, 0, static_cast<size_t>(n)));
        for (int i = 0; i < n; ++i) std::memcpy(p + i * bytes, &background, static_cast<size_t>(bytes));
    };
    // Index 0 (its colour) around the frame.
    for (int y = 0; y < bh; ++y) {
        uint8_t* line = bits + static_cast<ptrdiff_t>(y) * d.lPitch;
        const int fy = y - top;
        if (fy < y0 || fy >= y1 || x1 <= x0) {
            fill(line, bw);
            continue;
        }
        fill(line, left + x0);
        fill(line + static_cast<ptrdiff_t>(left + x1) * bytes, bw - (left + x1));
    }

    const bool direct = bytes == 1 && left >= 0 && top >= 0;
    if (direct) {
        frames.Draw(state, TFrameTarget{bits + static_cast<ptrdiff_t>(top) * d.lPitch + left, d.lPitch});
    } else if (x1 > x0 && y1 > y0) {
        if (run.scratch.Width != fw || run.scratch.Height != fh) run.scratch = TIntroFrame(fw, fh);
        frames.Draw(state, TFrameTarget{run.scratch.Pixels.data(), fw});
        const int n = x1 - x0;
        std::unique_ptr<ddraw::PaletteExpander> expander;
        if (bytes == 4 || bytes == 3) expander = std::make_unique<ddraw::PaletteExpander>(table);
        run.row.resize(static_cast<size_t>(n));
        for (int fy = y0; fy < y1; ++fy) {
            const uint8_t* src = run.scratch.Row(fy) + x0;
            uint8_t* dst = bits + static_cast<ptrdiff_t>(top + fy) * d.lPitch + static_cast<ptrdiff_t>(left + x0) * bytes;
            switch (bytes) {
                case 1: std::memcpy(dst, src, static_cast<size_t>(n)); break;
                case 2: {
                    auto* out = reinterpret_cast<uint16_t*>(dst);
                    for (int i = 0; i < n; ++i) out[i] = static_cast<uint16_t>(table[src[i]]);
                    break;
                }
                case 4: expander->Expand(src, n, reinterpret_cast<uint32_t*>(dst)); break;
                default:
                    expander->Expand(src, n, run.row.data());
                    for (int i = 0; i < n; ++i) std::memcpy(dst + 3 * i, &run.row[static_cast<size_t>(i)], 3);
                    break;
            }
        }
    }
    screen.BackSurface()->Surface->Unlock(nullptr);
}

void TQVXIntro::GetProperties(tk::TPropList& props) {
    tk::TComponent::GetProperties(props);
    props.Component("Library", [this] { return FLibrary; },
                    [this](tk::TComponent* c) { SetLibrary(dynamic_cast<TQVXIntroLib*>(c)); });
    props.Boolean("Loop", [this] { return Loop; }, [this](bool v) { Loop = v; }, false);
    props.Boolean("SkipOnInput", [this] { return SkipOnInput; }, [this](bool v) { SkipOnInput = v; }, true);
    props.Event("OnFinished", OnFinished);
    props.Event("OnSlide", OnSlide);
}

}  // namespace qvx
