// Real joysticks through SDL2's joystick layer. Events are not used: each
// Refresh updates SDL's joystick state (and its hot-plug detection) itself,
// so nothing piles up in SDL's event queue while Qt runs the windows.
#include <SDL.h>

#include <algorithm>
#include <cstring>
#include <mutex>

#include "platform/dinput/joysticks.h"

namespace dinput {
namespace {

DWORD PovFromHat(Uint8 hat) {
    switch (hat) {
        case SDL_HAT_UP: return 0;
        case SDL_HAT_RIGHTUP: return 4500;
        case SDL_HAT_RIGHT: return 9000;
        case SDL_HAT_RIGHTDOWN: return 13500;
        case SDL_HAT_DOWN: return 18000;
        case SDL_HAT_LEFTDOWN: return 22500;
        case SDL_HAT_LEFT: return 27000;
        case SDL_HAT_LEFTUP: return 31500;
        default: return JOY_POVCENTERED;
    }
}

GUID ToGuid(const SDL_JoystickGUID& g) {
    GUID out;
    static_assert(sizeof out == sizeof g.data);
    std::memcpy(&out, g.data, sizeof out);
    return out;
}

class SdlProvider final : public JoystickProvider {
public:
    SdlProvider() {
        // No SDL window ever has focus here: keep joystick input flowing.
        SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
        ok_ = SDL_InitSubSystem(SDL_INIT_JOYSTICK) == 0;
        if (ok_) SDL_JoystickEventState(SDL_IGNORE);
        Refresh();
    }

    ~SdlProvider() override {
        for (auto& s : sticks_) SDL_JoystickClose(s.handle);
        if (ok_) SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
    }

    void Refresh() override {
        if (!ok_) return;
        SDL_JoystickUpdate();
        // Close what went away, open what came.
        for (auto it = sticks_.begin(); it != sticks_.end();) {
            if (!SDL_JoystickGetAttached(it->handle)) {
                SDL_JoystickClose(it->handle);
                it = sticks_.erase(it);
            } else {
                ++it;
            }
        }
        const int count = SDL_NumJoysticks();
        for (int i = 0; i < count; ++i) {
            SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(i);
            bool known = std::any_of(sticks_.begin(), sticks_.end(), [id](auto& s) { return s.id == id; });
            if (known) continue;
            if (SDL_Joystick* j = SDL_JoystickOpen(i)) sticks_.push_back(Opened(id, j));
        }
    }

    std::vector<JoystickInfo> Attached() override {
        std::vector<JoystickInfo> out;
        for (auto& s : sticks_) out.push_back(s.info);
        return out;
    }

    bool Read(const GUID& instance, JoystickReading* out) override {
        for (auto& s : sticks_) {
            if (!(s.info.instance == instance)) continue;
            out->axes.resize(s.info.axes);
            for (int a = 0; a < s.info.axes; ++a) out->axes[a] = SDL_JoystickGetAxis(s.handle, a);
            out->buttons.resize(s.info.buttons);
            for (int b = 0; b < s.info.buttons; ++b) out->buttons[b] = SDL_JoystickGetButton(s.handle, b) != 0;
            out->povs.resize(s.info.povs);
            for (int h = 0; h < s.info.povs; ++h) out->povs[h] = PovFromHat(SDL_JoystickGetHat(s.handle, h));
            return true;
        }
        return false;
    }

private:
    struct Stick {
        SDL_JoystickID id;
        SDL_Joystick* handle;
        JoystickInfo info;
    };

    // Instance ids: the product id marked with an ordinal among identical
    // devices, the lowest one no attached twin holds. It is given once, when
    // the device is opened, and kept while it stays attached: unplugging one
    // of two identical pads never hands its id to the other, and a device
    // plugged back in gets its old id again.
    Stick Opened(SDL_JoystickID id, SDL_Joystick* handle) const {
        Stick s{id, handle, {}};
        JoystickInfo& info = s.info;
        info.product = ToGuid(SDL_JoystickGetGUID(handle));
        for (uint32_t ordinal = 0;; ++ordinal) {
            info.instance = info.product;
            info.instance.Data1 ^= 0xD1A50000u ^ ordinal;
            if (std::none_of(sticks_.begin(), sticks_.end(), [&](auto& o) { return o.info.instance == info.instance; }))
                break;
        }
        const char* name = SDL_JoystickName(handle);
        info.name = name ? name : "Joystick";
        info.axes = std::clamp(SDL_JoystickNumAxes(handle), 0, kMaxAxes);
        info.buttons = std::clamp(SDL_JoystickNumButtons(handle), 0, kMaxButtons);
        info.povs = std::clamp(SDL_JoystickNumHats(handle), 0, kMaxPovs);
        return s;
    }
    bool ok_ = false;
    std::vector<Stick> sticks_;
};

std::mutex g_mutex;
std::weak_ptr<SdlProvider> g_shared;

}  // namespace

// One provider for every DirectInput object alive, so SDL's joystick
// subsystem is opened once and closed with the last of them.
std::shared_ptr<JoystickProvider> SdlJoysticks() {
    std::lock_guard lock(g_mutex);
    auto p = g_shared.lock();
    if (!p) {
        p = std::make_shared<SdlProvider>();
        g_shared = p;
    }
    return p;
}

}  // namespace dinput
