// DirectInput over the window's key and mouse events and the backend's
// joysticks. Every device is a list of objects (keys, axes, buttons, POV
// hats); a data format maps objects to offsets of the state a program reads,
// which is how the standard formats and any custom one work alike.
#include "dinput.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "joysticks.h"
#include "platform/com/backend.h"

namespace dinput {
namespace {

#define DI_FAULT(name)                                         \
    do {                                                       \
        if (HRESULT injected_ = InjectedFault(name); injected_) \
            return injected_;                                  \
    } while (0)

enum class Kind { Keyboard, Mouse, Joystick };

// Keys a standard keyboard has: the named DIK_ codes.
constexpr BYTE kKeyCodes[] = {
    DIK_ESCAPE, DIK_1, DIK_2, DIK_3, DIK_4, DIK_5, DIK_6, DIK_7, DIK_8, DIK_9, DIK_0, DIK_MINUS, DIK_EQUALS,
    DIK_BACK, DIK_TAB, DIK_Q, DIK_W, DIK_E, DIK_R, DIK_T, DIK_Y, DIK_U, DIK_I, DIK_O, DIK_P, DIK_LBRACKET,
    DIK_RBRACKET, DIK_RETURN, DIK_LCONTROL, DIK_A, DIK_S, DIK_D, DIK_F, DIK_G, DIK_H, DIK_J, DIK_K, DIK_L,
    DIK_SEMICOLON, DIK_APOSTROPHE, DIK_GRAVE, DIK_LSHIFT, DIK_BACKSLASH, DIK_Z, DIK_X, DIK_C, DIK_V, DIK_B,
    DIK_N, DIK_M, DIK_COMMA, DIK_PERIOD, DIK_SLASH, DIK_RSHIFT, DIK_MULTIPLY, DIK_LMENU, DIK_SPACE, DIK_CAPITAL,
    DIK_F1, DIK_F2, DIK_F3, DIK_F4, DIK_F5, DIK_F6, DIK_F7, DIK_F8, DIK_F9, DIK_F10, DIK_NUMLOCK, DIK_SCROLL,
    DIK_NUMPAD7, DIK_NUMPAD8, DIK_NUMPAD9, DIK_SUBTRACT, DIK_NUMPAD4, DIK_NUMPAD5, DIK_NUMPAD6, DIK_ADD,
    DIK_NUMPAD1, DIK_NUMPAD2, DIK_NUMPAD3, DIK_NUMPAD0, DIK_DECIMAL, DIK_OEM_102, DIK_F11, DIK_F12, DIK_F13,
    DIK_F14, DIK_F15, DIK_KANA, DIK_CONVERT, DIK_NOCONVERT, DIK_YEN, DIK_NUMPADEQUALS, DIK_CIRCUMFLEX, DIK_AT,
    DIK_COLON, DIK_UNDERLINE, DIK_KANJI, DIK_STOP, DIK_AX, DIK_UNLABELED, DIK_NUMPADENTER, DIK_RCONTROL,
    DIK_NUMPADCOMMA, DIK_DIVIDE, DIK_SYSRQ, DIK_RMENU, DIK_PAUSE, DIK_HOME, DIK_UP, DIK_PRIOR, DIK_LEFT,
    DIK_RIGHT, DIK_END, DIK_DOWN, DIK_NEXT, DIK_INSERT, DIK_DELETE, DIK_LWIN, DIK_RWIN, DIK_APPS,
};

const GUID* const kAxisGuids[kMaxAxes] = {&GUID_XAxis,  &GUID_YAxis,  &GUID_ZAxis,  &GUID_RxAxis,
                                          &GUID_RyAxis, &GUID_RzAxis, &GUID_Slider, &GUID_Slider};

struct Object {
    GUID guid;
    DWORD type;    // DIDFT_ABSAXIS, DIDFT_RELAXIS, DIDFT_PSHBUTTON or DIDFT_POV
    int instance;  // numbered per type (keys by their DIK_ code)
    int source;    // index into the device's raw state of that type
    bool IsAxis() const { return (type & DIDFT_AXIS) != 0; }
    bool IsButton() const { return (type & DIDFT_BUTTON) != 0; }
    bool IsPov() const { return (type & DIDFT_POV) != 0; }
    DWORD Width() const { return IsButton() ? 1 : 4; }
};

struct AxisProps {
    LONG min = 0;
    LONG max = 65535;
    DWORD deadZone = 0;
    DWORD saturation = 10000;
};

// A raw reading (-32768 .. 32767) through the dead zone and saturation
// (ten-thousandths of the travel from the centre) into the axis range.
LONG ScaleAxis(int raw, const AxisProps& p) {
    double v = raw >= 0 ? raw / 32767.0 : raw / 32768.0;
    double m = std::abs(v);
    double dead = p.deadZone / 10000.0, sat = p.saturation / 10000.0;
    double t;
    if (m <= dead)
        t = 0;
    else if (m >= sat || sat <= dead)
        t = 1;
    else
        t = (m - dead) / (sat - dead);
    t = std::copysign(t, v);
    double lo = p.min, hi = p.max;
    return static_cast<LONG>(std::llround(lo + (t + 1) / 2 * (hi - lo)));
}

// Exclusive acquisitions in this process: one device object per instance.
struct ExclusiveHold {
    GUID instance;
    const void* owner;
};
std::vector<ExclusiveHold> g_exclusive;

void CopyName(char (&dst)[260], const std::string& src) {
    std::memset(dst, 0, sizeof dst);
    std::memcpy(dst, src.data(), std::min(src.size(), sizeof dst - 1));
}

class DeviceImpl final : public TUnknownImpl<IDirectInputDevice2> {
public:
    DeviceImpl(Kind kind, JoystickInfo info, std::shared_ptr<JoystickProvider> provider)
        : kind_(kind), info_(std::move(info)), provider_(std::move(provider)) {
        switch (kind_) {
            case Kind::Keyboard:
                for (BYTE code : kKeyCodes) objects_.push_back({GUID_Key, DIDFT_PSHBUTTON, code, code});
                relative_ = true;
                break;
            case Kind::Mouse:
                objects_.push_back({GUID_XAxis, DIDFT_RELAXIS, 0, 0});
                objects_.push_back({GUID_YAxis, DIDFT_RELAXIS, 1, 1});
                objects_.push_back({GUID_ZAxis, DIDFT_RELAXIS, 2, 2});
                for (int b = 0; b < 4; ++b) objects_.push_back({GUID_Button, DIDFT_PSHBUTTON, b, b});
                relative_ = true;
                break;
            case Kind::Joystick:
                for (int a = 0; a < info_.axes; ++a) objects_.push_back({*kAxisGuids[a], DIDFT_ABSAXIS, a, a});
                for (int h = 0; h < info_.povs; ++h) objects_.push_back({GUID_POV, DIDFT_POV, h, h});
                for (int b = 0; b < info_.buttons; ++b) objects_.push_back({GUID_Button, DIDFT_PSHBUTTON, b, b});
                axisProps_.resize(info_.axes);
                lastAxis_.assign(info_.axes, 0);
                break;
        }
    }

    ~DeviceImpl() override {
        DropAcquisition();
        DetachWindow();
    }

    HRESULT QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (riid == IID_IUnknown || riid == IID_IDirectInputDeviceA || riid == IID_IDirectInputDevice2A) {
            AddRef();
            *out = static_cast<IDirectInputDevice2*>(this);
            return S_OK;
        }
        return DIERR_NOINTERFACE;
    }

    HRESULT GetCapabilities(DIDEVCAPS* caps) override {
        DI_FAULT("IDirectInputDevice::GetCapabilities");
        // The earlier, shorter form of the structure (six DWORDs) is accepted too.
        if (!caps || (caps->dwSize != sizeof(DIDEVCAPS) && caps->dwSize != 24)) return DIERR_INVALIDPARAM;
        DIDEVCAPS c{};
        c.dwSize = caps->dwSize;
        c.dwDevType = DevType();
        c.dwFlags = Attached() ? DIDC_ATTACHED : 0;
        if (kind_ == Kind::Joystick) c.dwFlags |= DIDC_POLLEDDEVICE | DIDC_POLLEDDATAFORMAT;
        for (const Object& o : objects_) {
            if (o.IsAxis()) ++c.dwAxes;
            if (o.IsButton()) ++c.dwButtons;
            if (o.IsPov()) ++c.dwPOVs;
        }
        std::memcpy(caps, &c, caps->dwSize);
        return DI_OK;
    }

    HRESULT GetDeviceInfo(DIDEVICEINSTANCEA* out) override {
        DI_FAULT("IDirectInputDevice::GetDeviceInfo");
        if (!out || out->dwSize != sizeof(DIDEVICEINSTANCEA)) return DIERR_INVALIDPARAM;
        FillInstance(out);
        return DI_OK;
    }

    void FillInstance(DIDEVICEINSTANCEA* out) const {
        std::memset(out, 0, sizeof *out);
        out->dwSize = sizeof *out;
        out->guidInstance = info_.instance;
        out->guidProduct = info_.product;
        out->dwDevType = DevType();
        CopyName(out->tszInstanceName, info_.name);
        CopyName(out->tszProductName, info_.name);
    }

    HRESULT SetDataFormat(const DIDATAFORMAT* f) override {
        DI_FAULT("IDirectInputDevice::SetDataFormat");
        if (acquired_) return DIERR_ACQUIRED;
        if (!f || f->dwSize != sizeof(DIDATAFORMAT) || f->dwObjSize != sizeof(DIOBJECTDATAFORMAT))
            return DIERR_INVALIDPARAM;
        if (f->dwDataSize == 0 || f->dwDataSize % 4 != 0 || (f->dwNumObjs && !f->rgodf)) return DIERR_INVALIDPARAM;
        if ((f->dwFlags & DIDF_ABSAXIS) && (f->dwFlags & DIDF_RELAXIS)) return DIERR_INVALIDPARAM;
        std::vector<Mapping> mappings;
        std::vector<DWORD> centredPovs;
        std::vector<bool> used(objects_.size(), false);
        for (DWORD i = 0; i < f->dwNumObjs; ++i) {
            const DIOBJECTDATAFORMAT& e = f->rgodf[i];
            const DWORD kinds = e.dwType & (DIDFT_AXIS | DIDFT_BUTTON | DIDFT_POV);
            const bool anyInstance = (e.dwType & DIDFT_ANYINSTANCE) == DIDFT_ANYINSTANCE;
            size_t found = objects_.size();
            for (size_t k = 0; k < objects_.size(); ++k) {
                const Object& o = objects_[k];
                if (used[k]) continue;
                if (e.pguid && !(*e.pguid == o.guid)) continue;
                if (kinds && !(kinds & o.type)) continue;
                if (!anyInstance && DIDFT_GETINSTANCE(e.dwType) != o.instance) continue;
                found = k;
                break;
            }
            if (found == objects_.size()) {
                if (!(e.dwType & DIDFT_OPTIONAL)) return DIERR_INVALIDPARAM;
                // A hat the device lacks reads as centred, not as "north".
                if (kinds == DIDFT_POV && e.dwOfs % 4 == 0 && e.dwOfs + 4 <= f->dwDataSize) centredPovs.push_back(e.dwOfs);
                continue;
            }
            const Object& o = objects_[found];
            if (e.dwOfs + o.Width() > f->dwDataSize || (o.Width() == 4 && e.dwOfs % 4 != 0)) return DIERR_INVALIDPARAM;
            used[found] = true;
            mappings.push_back({found, e.dwOfs});
        }
        mappings_ = std::move(mappings);
        centredPovs_ = std::move(centredPovs);
        dataSize_ = f->dwDataSize;
        formatSet_ = true;
        if (f->dwFlags & DIDF_RELAXIS) relative_ = true;
        if (f->dwFlags & DIDF_ABSAXIS) relative_ = false;
        return DI_OK;
    }

    HRESULT SetCooperativeLevel(winsys::HWND window, DWORD flags) override {
        DI_FAULT("IDirectInputDevice::SetCooperativeLevel");
        if (acquired_) return DIERR_ACQUIRED;
        const bool exclusive = flags & DISCL_EXCLUSIVE, nonExclusive = flags & DISCL_NONEXCLUSIVE;
        const bool foreground = flags & DISCL_FOREGROUND, background = flags & DISCL_BACKGROUND;
        constexpr DWORD kNoWinKey = 0x10;
        if (exclusive == nonExclusive || foreground == background) return DIERR_INVALIDPARAM;
        if (flags & ~(DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE | DISCL_FOREGROUND | DISCL_BACKGROUND | kNoWinKey))
            return DIERR_INVALIDPARAM;
        if ((foreground || exclusive) && !window) return DIERR_INVALIDPARAM;
        // The system keyboard and mouse are never taken from everyone else.
        if (kind_ != Kind::Joystick && exclusive && background) return DIERR_UNSUPPORTED;
        if (window != window_) {
            DetachWindow();
            AttachWindow(window);
        }
        coop_ = flags;
        return DI_OK;
    }

    HRESULT SetProperty(DIPROPID prop, const DIPROPHEADER* h) override {
        DI_FAULT("IDirectInputDevice::SetProperty");
        if (!h || h->dwHeaderSize != sizeof(DIPROPHEADER)) return DIERR_INVALIDPARAM;
        std::vector<size_t> targets;
        if (HRESULT hr = Targets(*h, &targets); FAILED(hr)) return hr;
        if (prop == DIPROP_RANGE) {
            if (h->dwSize != sizeof(DIPROPRANGE)) return DIERR_INVALIDPARAM;
            const auto* r = reinterpret_cast<const DIPROPRANGE*>(h);
            if (r->lMin >= r->lMax) return DIERR_INVALIDPARAM;
            return ForAbsoluteAxes(targets, [r](AxisProps& a) {
                a.min = r->lMin;
                a.max = r->lMax;
            });
        }
        if (prop == DIPROP_DEADZONE || prop == DIPROP_SATURATION) {
            if (h->dwSize != sizeof(DIPROPDWORD)) return DIERR_INVALIDPARAM;
            DWORD v = reinterpret_cast<const DIPROPDWORD*>(h)->dwData;
            if (v > 10000) return DIERR_INVALIDPARAM;
            bool dead = prop == DIPROP_DEADZONE;
            return ForAbsoluteAxes(targets, [v, dead](AxisProps& a) { (dead ? a.deadZone : a.saturation) = v; });
        }
        if (prop == DIPROP_AXISMODE) {
            if (h->dwSize != sizeof(DIPROPDWORD) || h->dwHow != DIPH_DEVICE) return DIERR_INVALIDPARAM;
            if (kind_ == Kind::Keyboard) return DIERR_UNSUPPORTED;
            if (acquired_) return DIERR_ACQUIRED;
            DWORD v = reinterpret_cast<const DIPROPDWORD*>(h)->dwData;
            if (v != DIPROPAXISMODE_ABS && v != DIPROPAXISMODE_REL) return DIERR_INVALIDPARAM;
            relative_ = v == DIPROPAXISMODE_REL;
            return DI_OK;
        }
        if (prop == DIPROP_AUTOCENTER) {
            if (h->dwSize != sizeof(DIPROPDWORD) || h->dwHow != DIPH_DEVICE) return DIERR_INVALIDPARAM;
            if (kind_ != Kind::Joystick) return DIERR_UNSUPPORTED;
            DWORD v = reinterpret_cast<const DIPROPDWORD*>(h)->dwData;
            if (v != DIPROPAUTOCENTER_OFF && v != DIPROPAUTOCENTER_ON) return DIERR_INVALIDPARAM;
            autoCenter_ = v;
            return DI_PROPNOEFFECT;  // no force-feedback motors to centre the stick
        }
        return DIERR_UNSUPPORTED;
    }

    HRESULT GetProperty(DIPROPID prop, DIPROPHEADER* h) override {
        DI_FAULT("IDirectInputDevice::GetProperty");
        if (!h || h->dwHeaderSize != sizeof(DIPROPHEADER)) return DIERR_INVALIDPARAM;
        if (prop == DIPROP_AXISMODE || prop == DIPROP_AUTOCENTER) {
            if (h->dwSize != sizeof(DIPROPDWORD) || h->dwHow != DIPH_DEVICE) return DIERR_INVALIDPARAM;
            auto* d = reinterpret_cast<DIPROPDWORD*>(h);
            if (prop == DIPROP_AXISMODE) {
                if (kind_ == Kind::Keyboard) return DIERR_UNSUPPORTED;
                d->dwData = relative_ ? DIPROPAXISMODE_REL : DIPROPAXISMODE_ABS;
            } else {
                if (kind_ != Kind::Joystick) return DIERR_UNSUPPORTED;
                d->dwData = autoCenter_;
            }
            return DI_OK;
        }
        if (prop != DIPROP_RANGE && prop != DIPROP_DEADZONE && prop != DIPROP_SATURATION) return DIERR_UNSUPPORTED;
        if (h->dwSize != (prop == DIPROP_RANGE ? sizeof(DIPROPRANGE) : sizeof(DIPROPDWORD))) return DIERR_INVALIDPARAM;
        // These belong to one axis at a time.
        if (h->dwHow == DIPH_DEVICE) return DIERR_INVALIDPARAM;
        std::vector<size_t> targets;
        if (HRESULT hr = Targets(*h, &targets); FAILED(hr)) return hr;
        const Object& o = objects_[targets.front()];
        if (kind_ != Kind::Joystick || !o.IsAxis()) return DIERR_UNSUPPORTED;
        const AxisProps& a = axisProps_[o.source];
        if (prop == DIPROP_RANGE) {
            auto* r = reinterpret_cast<DIPROPRANGE*>(h);
            r->lMin = a.min;
            r->lMax = a.max;
        } else {
            reinterpret_cast<DIPROPDWORD*>(h)->dwData = prop == DIPROP_DEADZONE ? a.deadZone : a.saturation;
        }
        return DI_OK;
    }

    HRESULT Acquire() override {
        DI_FAULT("IDirectInputDevice::Acquire");
        if (!formatSet_) return DIERR_INVALIDPARAM;
        if (acquired_) return DI_NOEFFECT;
        if ((coop_ & DISCL_FOREGROUND) && (!Window() || !Window()->IsActive())) return DIERR_OTHERAPPHASPRIO;
        if (kind_ == Kind::Joystick) {
            provider_->Refresh();
            if (!provider_->Read(info_.instance, &reading_)) return DIERR_NOTFOUND;  // unplugged
        }
        if (coop_ & DISCL_EXCLUSIVE) {
            for (const ExclusiveHold& e : g_exclusive)
                if (e.instance == info_.instance && e.owner != this) return DIERR_OTHERAPPHASPRIO;
            g_exclusive.push_back({info_.instance, this});
        }
        acquired_ = true;
        lost_ = false;
        dx_ = dy_ = dz_ = 0;
        if (kind_ == Kind::Mouse && (coop_ & DISCL_EXCLUSIVE) && Window()) Window()->CapturePointer(true);
        if (kind_ == Kind::Joystick)
            for (int a = 0; a < info_.axes; ++a) lastAxis_[a] = ScaleAxis(RawAxis(a), axisProps_[a]);
        return DI_OK;
    }

    HRESULT Unacquire() override {
        DI_FAULT("IDirectInputDevice::Unacquire");
        lost_ = false;
        if (!acquired_) return DI_NOEFFECT;
        DropAcquisition();
        return DI_OK;
    }

    HRESULT Poll() override {
        DI_FAULT("IDirectInputDevice2::Poll");
        if (kind_ == Kind::Joystick && acquired_) ReadJoystick();
        if (HRESULT hr = TakeLoss(); FAILED(hr)) return hr;
        return kind_ == Kind::Joystick ? DI_OK : DI_NOEFFECT;
    }

    HRESULT GetDeviceState(DWORD size, void* data) override {
        DI_FAULT("IDirectInputDevice::GetDeviceState");
        if (!data || (formatSet_ && size != dataSize_)) return DIERR_INVALIDPARAM;
        if (kind_ == Kind::Joystick && acquired_) ReadJoystick();
        if (HRESULT hr = TakeLoss(); FAILED(hr)) return hr;
        auto* out = static_cast<uint8_t*>(data);
        std::memset(out, 0, size);
        for (DWORD ofs : centredPovs_) std::memcpy(out + ofs, &JOY_POVCENTERED, 4);
        for (const Mapping& m : mappings_) {
            const Object& o = objects_[m.object];
            if (o.IsButton()) {
                out[m.offset] = ButtonDown(o) ? 0x80 : 0x00;
            } else {
                LONG v = o.IsPov() ? PovValue(o.source) : AxisValue(o);
                std::memcpy(out + m.offset, &v, 4);
            }
        }
        // Relative axes report the motion since the previous read.
        if (kind_ == Kind::Mouse) dx_ = dy_ = dz_ = 0;
        if (kind_ == Kind::Joystick)
            for (int a = 0; a < info_.axes; ++a) lastAxis_[a] = ScaleAxis(RawAxis(a), axisProps_[a]);
        return DI_OK;
    }

private:
    struct Mapping {
        size_t object;
        DWORD offset;
    };

    DWORD DevType() const {
        switch (kind_) {
            case Kind::Keyboard: return DIDEVTYPE_KEYBOARD | (DIDEVTYPEKEYBOARD_PCENH << 8);
            case Kind::Mouse: return DIDEVTYPE_MOUSE | (DIDEVTYPEMOUSE_TRADITIONAL << 8);
            case Kind::Joystick: return DIDEVTYPE_JOYSTICK | (DIDEVTYPEJOYSTICK_TRADITIONAL << 8);
        }
        return 0;
    }

    bool Attached() {
        if (kind_ != Kind::Joystick) return true;
        provider_->Refresh();
        JoystickReading r;
        return provider_->Read(info_.instance, &r);
    }

    // The objects a property header names.
    HRESULT Targets(const DIPROPHEADER& h, std::vector<size_t>* out) const {
        switch (h.dwHow) {
            case DIPH_DEVICE:
                if (h.dwObj != 0) return DIERR_INVALIDPARAM;
                for (size_t k = 0; k < objects_.size(); ++k) out->push_back(k);
                return DI_OK;
            case DIPH_BYOFFSET:
                if (!formatSet_) return DIERR_NOTFOUND;
                for (const Mapping& m : mappings_)
                    if (m.offset == h.dwObj) {
                        out->push_back(m.object);
                        return DI_OK;
                    }
                return DIERR_OBJECTNOTFOUND;
            case DIPH_BYID:
                for (size_t k = 0; k < objects_.size(); ++k) {
                    const Object& o = objects_[k];
                    if (DIDFT_GETINSTANCE(h.dwObj) == o.instance && (DIDFT_GETTYPE(h.dwObj) & o.type)) {
                        out->push_back(k);
                        return DI_OK;
                    }
                }
                return DIERR_OBJECTNOTFOUND;
            default: return DIERR_INVALIDPARAM;
        }
    }

    // Applies `fn` to the calibrated (joystick) axes among `targets`.
    template <class Fn>
    HRESULT ForAbsoluteAxes(const std::vector<size_t>& targets, Fn fn) {
        bool any = false;
        for (size_t k : targets) {
            const Object& o = objects_[k];
            if (kind_ == Kind::Joystick && o.IsAxis()) {
                fn(axisProps_[o.source]);
                any = true;
            }
        }
        return any ? DI_OK : DIERR_UNSUPPORTED;
    }

    bool ButtonDown(const Object& o) const {
        switch (kind_) {
            case Kind::Keyboard: return keys_[o.source];
            case Kind::Mouse: return mouseButtons_[o.source];
            case Kind::Joystick:
                return o.source < static_cast<int>(reading_.buttons.size()) && reading_.buttons[o.source];
        }
        return false;
    }

    LONG AxisValue(const Object& o) const {
        if (kind_ == Kind::Mouse) {
            const LONG rel[3] = {dx_, dy_, dz_};
            const LONG abs[3] = {x_, y_, z_};
            return relative_ ? rel[o.source] : abs[o.source];
        }
        LONG v = ScaleAxis(RawAxis(o.source), axisProps_[o.source]);
        return relative_ ? v - lastAxis_[o.source] : v;
    }

    int RawAxis(int a) const { return a < static_cast<int>(reading_.axes.size()) ? reading_.axes[a] : 0; }

    LONG PovValue(int h) const {
        return static_cast<LONG>(h < static_cast<int>(reading_.povs.size()) ? reading_.povs[h] : JOY_POVCENTERED);
    }

    // Reads the joystick; one that went away loses its acquisition.
    void ReadJoystick() {
        provider_->Refresh();
        if (!provider_->Read(info_.instance, &reading_)) {
            DropAcquisition();
            lost_ = true;
        }
    }

    // DIERR_INPUTLOST once after acquisition was taken away, then
    // DIERR_NOTACQUIRED until the program acquires again.
    HRESULT TakeLoss() {
        // A foreground device whose window was destroyed has lost its focus for good.
        if (acquired_ && (coop_ & DISCL_FOREGROUND) && !Window()) {
            DropAcquisition();
            lost_ = true;
        }
        if (lost_) {
            lost_ = false;
            return DIERR_INPUTLOST;
        }
        return acquired_ ? DI_OK : DIERR_NOTACQUIRED;
    }

    void DropAcquisition() {
        if (!acquired_) return;
        acquired_ = false;
        g_exclusive.erase(std::remove_if(g_exclusive.begin(), g_exclusive.end(),
                                         [this](const ExclusiveHold& e) { return e.owner == this; }),
                          g_exclusive.end());
        if (kind_ == Kind::Mouse && (coop_ & DISCL_EXCLUSIVE) && Window()) Window()->CapturePointer(false);
        dx_ = dy_ = dz_ = 0;
    }

    // The cooperative window, or null once it has been destroyed.
    winsys::HWND Window() const { return windowAlive_.expired() ? nullptr : window_; }

    void AttachWindow(winsys::HWND window) {
        window_ = window;
        if (!window_) return;
        windowAlive_ = window_->Lifetime();
        listeners_.push_back(window_->OnActivate([this](bool active) { OnActivate(active); }));
        if (kind_ == Kind::Keyboard)
            listeners_.push_back(window_->OnKey([this](const winsys::KeyEvent& e) { OnKey(e); }));
        if (kind_ == Kind::Mouse)
            listeners_.push_back(window_->OnMouse([this](const winsys::MouseEvent& e) { OnMouse(e); }));
    }

    void DetachWindow() {
        if (Window())
            for (int id : listeners_) window_->RemoveListener(id);
        listeners_.clear();
        window_ = nullptr;
    }

    void OnActivate(bool active) {
        if (active) return;
        // Releases never arrive for what was held when the window went away.
        keys_.fill(false);
        mouseButtons_.fill(false);
        if (acquired_ && (coop_ & DISCL_FOREGROUND)) {
            DropAcquisition();
            lost_ = true;
        }
    }

    void OnKey(const winsys::KeyEvent& e) {
        BYTE code = e.scanCode ? e.scanCode : DikFromQtKey(e.qtKey);
        if (code) keys_[code] = e.pressed;
    }

    void OnMouse(const winsys::MouseEvent& e) {
        const int button = static_cast<int>(e.button);
        switch (e.kind) {
            case winsys::MouseEvent::Press:
            case winsys::MouseEvent::Release:
                if (button >= 0 && button < 4) mouseButtons_[button] = e.kind == winsys::MouseEvent::Press;
                break;
            case winsys::MouseEvent::Move:
                if (!acquired_) break;
                dx_ += e.dx;
                dy_ += e.dy;
                x_ += e.dx;
                y_ += e.dy;
                break;
            case winsys::MouseEvent::Wheel:
                if (!acquired_) break;
                dz_ += e.wheel;
                z_ += e.wheel;
                break;
        }
    }

    const Kind kind_;
    const JoystickInfo info_;
    std::shared_ptr<JoystickProvider> provider_;
    std::vector<Object> objects_;
    std::vector<AxisProps> axisProps_;
    DWORD autoCenter_ = DIPROPAUTOCENTER_ON;

    bool formatSet_ = false;
    std::vector<Mapping> mappings_;
    std::vector<DWORD> centredPovs_;
    DWORD dataSize_ = 0;
    bool relative_ = false;

    winsys::HWND window_ = nullptr;
    std::weak_ptr<const void> windowAlive_;
    DWORD coop_ = DISCL_NONEXCLUSIVE | DISCL_BACKGROUND;
    std::vector<int> listeners_;
    bool acquired_ = false;
    bool lost_ = false;

    std::array<bool, 256> keys_{};
    std::array<bool, 4> mouseButtons_{};
    LONG dx_ = 0, dy_ = 0, dz_ = 0;  // motion since the last read
    LONG x_ = 0, y_ = 0, z_ = 0;     // running totals for absolute mode
    JoystickReading reading_;
    std::vector<LONG> lastAxis_;
};

class InputImpl final : public TUnknownImpl<IDirectInput> {
public:
    explicit InputImpl(std::shared_ptr<JoystickProvider> provider) : provider_(std::move(provider)) { Attached(); }

    HRESULT QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (riid == IID_IUnknown || riid == IID_IDirectInputA) {
            AddRef();
            *out = static_cast<IDirectInput*>(this);
            return S_OK;
        }
        return DIERR_NOINTERFACE;
    }

    HRESULT CreateDevice(const GUID& guid, IDirectInputDevice** out, IUnknown* outer) override {
        if (!out) return DIERR_INVALIDPARAM;
        *out = nullptr;
        if (outer) return DIERR_NOAGGREGATION;
        DI_FAULT("IDirectInput::CreateDevice");
        if (guid == GUID_SysKeyboard) {
            *out = new DeviceImpl(Kind::Keyboard, {GUID_SysKeyboard, GUID_SysKeyboard, "Keyboard", 0, 0, 0}, nullptr);
            return DI_OK;
        }
        if (guid == GUID_SysMouse) {
            *out = new DeviceImpl(Kind::Mouse, {GUID_SysMouse, GUID_SysMouse, "Mouse", 3, 4, 0}, nullptr);
            return DI_OK;
        }
        Attached();
        for (const JoystickInfo& j : known_)
            if (j.instance == guid) {
                *out = new DeviceImpl(Kind::Joystick, j, provider_);
                return DI_OK;
            }
        return DIERR_DEVICENOTREG;
    }

    HRESULT EnumDevices(DWORD devType, LPDIENUMDEVICESCALLBACKA callback, void* ref, DWORD flags) override {
        DI_FAULT("IDirectInput::EnumDevices");
        if (!callback || devType > DIDEVTYPE_JOYSTICK) return DIERR_INVALIDPARAM;
        if (flags & ~(DIEDFL_ATTACHEDONLY | DIEDFL_FORCEFEEDBACK)) return DIERR_INVALIDPARAM;
        if (flags & DIEDFL_FORCEFEEDBACK) return DI_OK;  // nothing here has force feedback
        std::vector<ComPtr<DeviceImpl>> list;
        auto add = [&](Kind k, const JoystickInfo& info) {
            list.emplace_back(new DeviceImpl(k, info, provider_), false);
        };
        if (devType == 0 || devType == DIDEVTYPE_MOUSE) add(Kind::Mouse, {GUID_SysMouse, GUID_SysMouse, "Mouse", 3, 4, 0});
        if (devType == 0 || devType == DIDEVTYPE_KEYBOARD)
            add(Kind::Keyboard, {GUID_SysKeyboard, GUID_SysKeyboard, "Keyboard", 0, 0, 0});
        if (devType == 0 || devType == DIDEVTYPE_JOYSTICK) {
            std::vector<JoystickInfo> attached = Attached();
            for (const JoystickInfo& j : known_) {
                bool on = std::any_of(attached.begin(), attached.end(), [&](auto& a) { return a.instance == j.instance; });
                if (on || !(flags & DIEDFL_ATTACHEDONLY)) add(Kind::Joystick, j);
            }
        }
        for (auto& d : list) {
            DIDEVICEINSTANCEA inst;
            d->FillInstance(&inst);
            if (callback(&inst, ref) == DIENUM_STOP) break;
        }
        return DI_OK;
    }

    HRESULT GetDeviceStatus(const GUID& guid) override {
        DI_FAULT("IDirectInput::GetDeviceStatus");
        if (guid == GUID_SysKeyboard || guid == GUID_SysMouse) return DI_OK;
        std::vector<JoystickInfo> attached = Attached();
        for (const JoystickInfo& j : attached)
            if (j.instance == guid) return DI_OK;
        for (const JoystickInfo& j : known_)
            if (j.instance == guid) return DI_NOTATTACHED;
        return DIERR_DEVICENOTREG;
    }

private:
    // The attached joysticks, remembered so that unplugged ones stay known.
    std::vector<JoystickInfo> Attached() {
        provider_->Refresh();
        std::vector<JoystickInfo> attached = provider_->Attached();
        for (const JoystickInfo& j : attached) {
            auto it = std::find_if(known_.begin(), known_.end(), [&](auto& k) { return k.instance == j.instance; });
            if (it == known_.end())
                known_.push_back(j);
            else
                *it = j;
        }
        return attached;
    }

    std::shared_ptr<JoystickProvider> provider_;
    std::vector<JoystickInfo> known_;  // in the order first seen
};

}  // namespace
}  // namespace dinput

HRESULT DirectInputCreateA(void* /*instance*/, DWORD version, IDirectInput** out, IUnknown* outer) {
    using namespace dinput;
    if (!out) return DIERR_INVALIDPARAM;
    *out = nullptr;
    if (outer) return DIERR_NOAGGREGATION;
    DI_FAULT("DirectInputCreateA");
    if (version == 0) return DIERR_INVALIDPARAM;
    if (version < 0x0300) return DIERR_BETADIRECTINPUTVERSION;
    if (version > DIRECTINPUT_VERSION) return DIERR_OLDDIRECTINPUTVERSION;
    auto provider = platform::CurrentBackend() == platform::Backend::Real ? SdlJoysticks() : HeadlessJoysticks();
    *out = new InputImpl(std::move(provider));
    return DI_OK;
}
