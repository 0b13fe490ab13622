// Where joysticks come from: the backend half of the input devices. A
// provider lists the attached joysticks and reads their raw state.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "dinput.h"

namespace dinput {

constexpr int kMaxAxes = 8;  // X, Y, Z, Rx, Ry, Rz and two sliders
constexpr int kMaxButtons = 128;
constexpr int kMaxPovs = 4;

struct JoystickInfo {
    GUID instance{};  // the same for a device across unplugging and plugging back
    GUID product{};
    std::string name;
    int axes = 0;
    int buttons = 0;
    int povs = 0;
};

struct JoystickReading {
    std::vector<int> axes;        // -32768 .. 32767, centre 0
    std::vector<bool> buttons;
    std::vector<DWORD> povs;      // hundredths of a degree, or JOY_POVCENTERED
};

class JoystickProvider {
public:
    virtual ~JoystickProvider() = default;
    // Picks up joysticks plugged in or out and fresh readings.
    virtual void Refresh() = 0;
    // Attached joysticks in enumeration order.
    virtual std::vector<JoystickInfo> Attached() = 0;
    // False when the joystick is not attached.
    virtual bool Read(const GUID& instance, JoystickReading* out) = 0;
};

std::shared_ptr<JoystickProvider> HeadlessJoysticks();
std::shared_ptr<JoystickProvider> SdlJoysticks();

// The result a test asked the n-th call of `method` to give, or DI_OK.
HRESULT InjectedFault(const char* method);

// The DIK_ code for a Qt key, for key events that carry no scan code; 0 if none.
BYTE DikFromQtKey(int qtKey);

}  // namespace dinput
