// The headless input backend as tests drive it: virtual joysticks plugged
// in and out with given axes, buttons and hats, and failures on demand.
// Keyboard and mouse input arrives through the window (winsys::Window::
// DeliverKey, DeliverMouse, DeliverActivate) in both backends.
#pragma once

#include <string>

#include "platform/dinput/dinput.h"

namespace dinput::headless {

// Plugs in a new virtual joystick (axes up to 8, hats up to 4) and returns
// its id. Axes rest at the centre, buttons up, hats centred.
int PlugJoystick(const std::string& name, int axes, int buttons, int povs = 0);
// Unplugs it, or plugs the same device back in (its state reset).
void UnplugJoystick(int id);
void ReplugJoystick(int id);
// Raw readings: axes -32768 .. 32767; POVs in hundredths of a degree or JOY_POVCENTERED.
void SetJoystickAxis(int id, int axis, int value);
void SetJoystickButton(int id, int button, bool down);
void SetJoystickPov(int id, int pov, DWORD value);
GUID JoystickInstance(int id);
// Forgets every virtual joystick.
void RemoveAllJoysticks();

// Makes the n-th call (counting from 1, from now) of `method` return `code`
// instead of running: "DirectInputCreateA", "IDirectInput::CreateDevice",
// "IDirectInputDevice::Acquire", "IDirectInputDevice2::Poll" and so on.
void FailCall(const std::string& method, int nth, HRESULT code);
void ClearFaults();

}  // namespace dinput::headless
