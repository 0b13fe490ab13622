// DirectInput for games: TQVXInput opens one device (the system keyboard,
// the system mouse or the first attached joystick), configures and acquires
// it, and reads its state once a frame for the game.
#pragma once

#include <array>
#include <cstdint>

#include "platform/dinput/dinput.h"
#include "qvx/runtime/gameparts.h"
#include "toolkit/classes.h"

namespace qvx {

enum class TInputDevice { Keyboard, Mouse, JoyStick };

namespace msg {
inline constexpr const char* SNoJoystick = "No joystick is attached.";
}

/// Input for a game: one device (Device: keyboard, mouse or joystick),
/// started by the screen it is linked to (the screen's QVXInput). The game
/// calls Update() once a frame, then reads KeyDown(DIK_...), Mouse() and
/// MouseButton(n), or JoyState() and JoyButton(n). While the game is in the
/// background everything reads idle.
class TQVXInput : public TQVXInputBase {
public:
    TK_CLASSNAME(TQVXInput)
    explicit TQVXInput(tk::TComponent* owner);
    ~TQVXInput() override;

    // The device the next StartInput opens. Setting it while input runs
    // changes nothing until then: Update goes on reading the device that
    // was started (StartedDevice).
    TInputDevice Device() const { return FDeviceKind; }
    void SetDevice(TInputDevice device) { FDeviceKind = device; }
    TInputDevice StartedDevice() const { return FStartedKind; }

    // Creates, configures and acquires the device on the application's main
    // form window. Every DirectInput call that matters raises EDirectX on a
    // result other than 0. With no joystick attached it raises EDirectX
    // "No joystick is attached." and keeps no device.
    void StartInput() override;

    IDirectInput* DirectInput() const { return FDirectInput.Get(); }
    IDirectInputDevice* InputDevice() const { return FDevice.Get(); }
    IDirectInputDevice2* Joystick() const { return FJoystick.Get(); }

    // Reads the device's state (polling a joystick first). When input was
    // lost (the window went to the background, the joystick was unplugged)
    // it acquires the device again and reads on; while that is refused the
    // state reads as idle and Update returns false. Other failures raise
    // EDirectX. Before StartInput it returns false.
    bool Update();

    // The state of the last Update.
    bool KeyDown(uint8_t dik) const { return FKeys[dik] & 0x80; }
    const std::array<uint8_t, 256>& Keys() const { return FKeys; }
    const DIMOUSESTATE& Mouse() const { return FMouse; }          // motion since the previous Update
    bool MouseButton(int button) const { return button >= 0 && button < 4 && (FMouse.rgbButtons[button] & 0x80); }
    const DIJOYSTATE& JoyState() const { return FJoy; }            // X and Y in -1000 .. 1000
    bool JoyButton(int button) const { return button >= 0 && button < 32 && (FJoy.rgbButtons[button] & 0x80); }

    void GetProperties(tk::TPropList& props) override;

private:
    HRESULT ReadState();
    void ClearState();

    ComPtr<IDirectInput> FDirectInput;
    ComPtr<IDirectInputDevice> FDevice;
    ComPtr<IDirectInputDevice2> FJoystick;
    TInputDevice FDeviceKind = TInputDevice::Keyboard;
    TInputDevice FStartedKind = TInputDevice::Keyboard;  // what FDevice is
    std::array<uint8_t, 256> FKeys{};
    DIMOUSESTATE FMouse{};
    DIJOYSTATE FJoy{};
};

}  // namespace qvx
