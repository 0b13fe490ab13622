#include "platform/dinput/headless/joysticks.h"

#include <algorithm>
#include <mutex>

#include "platform/dinput/joysticks.h"

namespace dinput {
namespace {

struct Virtual {
    int id;
    JoystickInfo info;
    JoystickReading reading;
    bool attached = true;
};

std::mutex g_mutex;
std::vector<Virtual> g_sticks;  // in plug order
int g_nextId = 1;

Virtual* Find(int id) {
    for (auto& v : g_sticks)
        if (v.id == id) return &v;
    return nullptr;
}

void Reset(Virtual& v) {
    v.reading.axes.assign(v.info.axes, 0);
    v.reading.buttons.assign(v.info.buttons, false);
    v.reading.povs.assign(v.info.povs, JOY_POVCENTERED);
}

class HeadlessProvider final : public JoystickProvider {
public:
    void Refresh() override {}

    std::vector<JoystickInfo> Attached() override {
        std::lock_guard lock(g_mutex);
        std::vector<JoystickInfo> out;
        for (auto& v : g_sticks)
            if (v.attached) out.push_back(v.info);
        return out;
    }

    bool Read(const GUID& instance, JoystickReading* out) override {
        std::lock_guard lock(g_mutex);
        for (auto& v : g_sticks)
            if (v.attached && v.info.instance == instance) {
                *out = v.reading;
                return true;
            }
        return false;
    }
};

}  // namespace

std::shared_ptr<JoystickProvider> HeadlessJoysticks() { return std::make_shared<HeadlessProvider>(); }

namespace headless {

int PlugJoystick(const std::string& name, int axes, int buttons, int povs) {
    std::lock_guard lock(g_mutex);
    Virtual v;
    v.id = g_nextId++;
    v.info.name = name;
    v.info.axes = std::clamp(axes, 0, kMaxAxes);
    v.info.buttons = std::clamp(buttons, 0, kMaxButtons);
    v.info.povs = std::clamp(povs, 0, kMaxPovs);
    const auto id = static_cast<uint32_t>(v.id);
    v.info.instance = {0x51560000u | id, 0x4A59, 0x11D0, {0x80, 0x00, 'V', 'J', 'O', 'Y', 0, static_cast<uint8_t>(id)}};
    v.info.product = {0x51560000u, 0x4A59, 0x11D0, {0x80, 0x00, 'V', 'J', 'O', 'Y', 'P', 'D'}};
    Reset(v);
    g_sticks.push_back(std::move(v));
    return g_sticks.back().id;
}

void UnplugJoystick(int id) {
    std::lock_guard lock(g_mutex);
    if (Virtual* v = Find(id)) v->attached = false;
}

void ReplugJoystick(int id) {
    std::lock_guard lock(g_mutex);
    if (Virtual* v = Find(id)) {
        v->attached = true;
        Reset(*v);
    }
}

void SetJoystickAxis(int id, int axis, int value) {
    std::lock_guard lock(g_mutex);
    Virtual* v = Find(id);
    if (v && axis >= 0 && axis < v->info.axes) v->reading.axes[axis] = std::clamp(value, -32768, 32767);
}

void SetJoystickButton(int id, int button, bool down) {
    std::lock_guard lock(g_mutex);
    Virtual* v = Find(id);
    if (v && button >= 0 && button < v->info.buttons) v->reading.buttons[button] = down;
}

void SetJoystickPov(int id, int pov, DWORD value) {
    std::lock_guard lock(g_mutex);
    Virtual* v = Find(id);
    if (v && pov >= 0 && pov < v->info.povs) v->reading.povs[pov] = value;
}

GUID JoystickInstance(int id) {
    std::lock_guard lock(g_mutex);
    Virtual* v = Find(id);
    return v ? v->info.instance : GUID{};
}

void RemoveAllJoysticks() {
    std::lock_guard lock(g_mutex);
    g_sticks.clear();
}

}  // namespace headless
}  // namespace dinput
