// Shared set-up for the input tests: a window whose events and activation
// the tests drive, and small helpers over the device calls.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "platform/com/backend.h"
#include "platform/dinput/dinput.h"
#include "platform/dinput/headless/joysticks.h"
#include "platform/winsys/headless/headless.h"

// A headless window that reports itself active until a test says otherwise.
class TestWindow : public winsys::headless::HeadlessWindow {
public:
    TestWindow() : HeadlessWindow("TTestForm", "Input test", 320, 200) {}
    void Key(uint8_t scanCode, bool pressed, int qtKey = 0) { DeliverKey({pressed, scanCode, qtKey}); }
    void Move(int dx, int dy) {
        winsys::MouseEvent e;
        e.kind = winsys::MouseEvent::Move;
        e.dx = dx;
        e.dy = dy;
        DeliverMouse(e);
    }
    void Button(winsys::MouseButton b, bool pressed) {
        winsys::MouseEvent e;
        e.kind = pressed ? winsys::MouseEvent::Press : winsys::MouseEvent::Release;
        e.button = b;
        DeliverMouse(e);
    }
    void Wheel(int delta) {
        winsys::MouseEvent e;
        e.kind = winsys::MouseEvent::Wheel;
        e.wheel = delta;
        DeliverMouse(e);
    }
};

inline ComPtr<IDirectInputDevice> OpenDevice(IDirectInput* di, const GUID& guid, const DIDATAFORMAT& format,
                                             winsys::HWND window, DWORD coop) {
    ComPtr<IDirectInputDevice> dev;
    EXPECT_EQ(di->CreateDevice(guid, dev.Put(), nullptr), DI_OK);
    if (!dev) return dev;
    EXPECT_EQ(dev->SetDataFormat(&format), DI_OK);
    EXPECT_EQ(dev->SetCooperativeLevel(window, coop), DI_OK);
    return dev;
}

inline DIPROPRANGE Range(DWORD how, DWORD obj, LONG lo, LONG hi) {
    DIPROPRANGE r{};
    r.diph = {sizeof(DIPROPRANGE), sizeof(DIPROPHEADER), obj, how};
    r.lMin = lo;
    r.lMax = hi;
    return r;
}

inline DIPROPDWORD Dword(DWORD how, DWORD obj, DWORD value) {
    DIPROPDWORD d{};
    d.diph = {sizeof(DIPROPDWORD), sizeof(DIPROPHEADER), obj, how};
    d.dwData = value;
    return d;
}

// Instance ids of the joysticks EnumDevices reports.
inline std::vector<DIDEVICEINSTANCEA> Enumerate(IDirectInput* di, DWORD type, DWORD flags) {
    std::vector<DIDEVICEINSTANCEA> found;
    EXPECT_EQ(di->EnumDevices(
                  type,
                  [](const DIDEVICEINSTANCEA* d, void* ref) -> BOOL {
                      static_cast<std::vector<DIDEVICEINSTANCEA>*>(ref)->push_back(*d);
                      return DIENUM_CONTINUE;
                  },
                  &found, flags),
              DI_OK);
    return found;
}
