// The system keyboard and mouse as a program reads them, on each backend
// (both take key and mouse input from the owner window).
#include <Qt>

#include "input_fixture.h"

namespace {

class KeyboardMouse : public ::testing::TestWithParam<platform::Backend> {
protected:
    void SetUp() override {
        platform::SelectBackend(GetParam());
        dinput::headless::ClearFaults();
        ASSERT_EQ(DirectInputCreateA(nullptr, DIRECTINPUT_VERSION, di.Put(), nullptr), DI_OK);
    }
    void TearDown() override { platform::SelectBackend(platform::Backend::Headless); }

    TestWindow window;
    ComPtr<IDirectInput> di;
};

TEST_P(KeyboardMouse, CreateChecksVersionAndArguments) {
    IDirectInput* raw = nullptr;
    EXPECT_EQ(DirectInputCreateA(nullptr, 0x0700, &raw, nullptr), DIERR_OLDDIRECTINPUTVERSION);
    EXPECT_EQ(DirectInputCreateA(nullptr, 0x0200, &raw, nullptr), DIERR_BETADIRECTINPUTVERSION);
    EXPECT_EQ(DirectInputCreateA(nullptr, 0x0500, nullptr, nullptr), DIERR_INVALIDPARAM);
    EXPECT_EQ(DirectInputCreateA(nullptr, 0x0500, &raw, di.Get()), DIERR_NOAGGREGATION);
    EXPECT_EQ(raw, nullptr);
    ComPtr<IDirectInput> v3;
    EXPECT_EQ(DirectInputCreateA(nullptr, 0x0300, v3.Put(), nullptr), DI_OK);

    ComPtr<IDirectInputDevice> dev;
    GUID nothing = {1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
    EXPECT_EQ(di->CreateDevice(nothing, dev.Put(), nullptr), DIERR_DEVICENOTREG);
    EXPECT_EQ(di->CreateDevice(GUID_SysKeyboard, dev.Put(), di.Get()), DIERR_NOAGGREGATION);
    EXPECT_EQ(di->CreateDevice(GUID_SysKeyboard, nullptr, nullptr), DIERR_INVALIDPARAM);
    EXPECT_EQ(di->GetDeviceStatus(GUID_SysMouse), DI_OK);
    EXPECT_EQ(di->GetDeviceStatus(nothing), DIERR_DEVICENOTREG);
}

TEST_P(KeyboardMouse, InterfacesAndDescriptions) {
    ComPtr<IDirectInputDevice> kb;
    ASSERT_EQ(di->CreateDevice(GUID_SysKeyboard, kb.Put(), nullptr), DI_OK);
    ComPtr<IDirectInputDevice2> kb2;
    ASSERT_EQ(kb->QueryInterface(IID_IDirectInputDevice2, kb2.PutVoid()), S_OK);
    EXPECT_EQ(static_cast<IDirectInputDevice*>(kb2.Get()), kb.Get());
    void* none = nullptr;
    EXPECT_EQ(kb->QueryInterface(IID_IDirectInput, &none), DIERR_NOINTERFACE);

    DIDEVICEINSTANCEA info{};
    EXPECT_EQ(kb->GetDeviceInfo(&info), DIERR_INVALIDPARAM);
    info.dwSize = sizeof info;
    ASSERT_EQ(kb->GetDeviceInfo(&info), DI_OK);
    EXPECT_EQ(info.guidInstance, GUID_SysKeyboard);
    EXPECT_EQ(GET_DIDEVICE_TYPE(info.dwDevType), DIDEVTYPE_KEYBOARD);

    DIDEVCAPS caps{};
    caps.dwSize = sizeof caps;
    ASSERT_EQ(kb->GetCapabilities(&caps), DI_OK);
    EXPECT_EQ(caps.dwFlags, DIDC_ATTACHED);
    EXPECT_GE(caps.dwButtons, 101u);
    EXPECT_EQ(caps.dwAxes, 0u);

    ComPtr<IDirectInputDevice> mouse;
    ASSERT_EQ(di->CreateDevice(GUID_SysMouse, mouse.Put(), nullptr), DI_OK);
    DIDEVCAPS old{};
    old.dwSize = 24;  // the shorter, earlier form
    ASSERT_EQ(mouse->GetCapabilities(&old), DI_OK);
    EXPECT_EQ(old.dwAxes, 3u);
    EXPECT_EQ(old.dwButtons, 4u);
    EXPECT_EQ(old.dwFFSamplePeriod, 0u);
    ComPtr<IDirectInputDevice2> mouse2;
    ASSERT_EQ(mouse->QueryInterface(IID_IDirectInputDevice2, mouse2.PutVoid()), S_OK);
    EXPECT_EQ(mouse2->Poll(), DIERR_NOTACQUIRED);
}

TEST_P(KeyboardMouse, EnumerationListsMouseAndKeyboard) {
    auto all = Enumerate(di.Get(), 0, DIEDFL_ATTACHEDONLY);
    ASSERT_GE(all.size(), 2u);
    EXPECT_EQ(all[0].guidInstance, GUID_SysMouse);
    EXPECT_EQ(all[1].guidInstance, GUID_SysKeyboard);
    auto keyboards = Enumerate(di.Get(), DIDEVTYPE_KEYBOARD, 0);
    ASSERT_EQ(keyboards.size(), 1u);
    EXPECT_STREQ(keyboards[0].tszInstanceName, "Keyboard");
    EXPECT_TRUE(Enumerate(di.Get(), 0, DIEDFL_FORCEFEEDBACK).empty());
    EXPECT_EQ(di->EnumDevices(0, nullptr, nullptr, 0), DIERR_INVALIDPARAM);
    EXPECT_EQ(di->EnumDevices(9, [](const DIDEVICEINSTANCEA*, void*) -> BOOL { return DIENUM_STOP; }, nullptr, 0),
              DIERR_INVALIDPARAM);
    EXPECT_EQ(di->EnumDevices(0, [](const DIDEVICEINSTANCEA*, void*) -> BOOL { return DIENUM_STOP; }, nullptr, 0x40),
              DIERR_INVALIDPARAM);
    int calls = 0;
    ASSERT_EQ(di->EnumDevices(
                  0,
                  [](const DIDEVICEINSTANCEA*, void* ref) -> BOOL {
                      ++*static_cast<int*>(ref);
                      return DIENUM_STOP;
                  },
                  &calls, 0),
              DI_OK);
    EXPECT_EQ(calls, 1);
}

TEST_P(KeyboardMouse, KeyboardReportsHeldKeysInScanCodes) {
    auto kb = OpenDevice(di.Get(), GUID_SysKeyboard, c_dfDIKeyboard, &window, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND);
    BYTE keys[256];
    EXPECT_EQ(kb->GetDeviceState(sizeof keys, keys), DIERR_NOTACQUIRED);
    ASSERT_EQ(kb->Acquire(), DI_OK);
    EXPECT_EQ(kb->Acquire(), DI_NOEFFECT);
    EXPECT_EQ(kb->GetDeviceState(100, keys), DIERR_INVALIDPARAM);
    EXPECT_EQ(kb->GetDeviceState(sizeof keys, nullptr), DIERR_INVALIDPARAM);

    window.Key(0x1E, true);         // A
    window.Key(0xC8, true);         // Up: an extended key
    window.Key(0, true, Qt::Key_Space);  // no scan code: the key decides
    ASSERT_EQ(kb->GetDeviceState(sizeof keys, keys), DI_OK);
    for (int i = 0; i < 256; ++i) {
        bool down = i == DIK_A || i == DIK_UP || i == DIK_SPACE;
        ASSERT_EQ(keys[i], down ? 0x80 : 0x00) << i;
    }
    window.Key(0x1E, false);
    ASSERT_EQ(kb->GetDeviceState(sizeof keys, keys), DI_OK);
    EXPECT_EQ(keys[DIK_A], 0);
    EXPECT_EQ(keys[DIK_UP], 0x80);
    EXPECT_EQ(kb->SetDataFormat(&c_dfDIKeyboard), DIERR_ACQUIRED);
    EXPECT_EQ(kb->SetCooperativeLevel(&window, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND), DIERR_ACQUIRED);
    EXPECT_EQ(kb->Unacquire(), DI_OK);
    EXPECT_EQ(kb->Unacquire(), DI_NOEFFECT);
    EXPECT_EQ(kb->GetDeviceState(sizeof keys, keys), DIERR_NOTACQUIRED);
}

// A foreground device loses its acquisition with the window's focus: one
// DIERR_INPUTLOST, then DIERR_NOTACQUIRED; it can be acquired only again
// once the window is active.
TEST_P(KeyboardMouse, ForegroundKeyboardFollowsTheWindow) {
    auto kb = OpenDevice(di.Get(), GUID_SysKeyboard, c_dfDIKeyboard, &window, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND);
    ASSERT_EQ(kb->Acquire(), DI_OK);
    window.Key(DIK_LSHIFT, true);
    window.SetActive(false);
    BYTE keys[256];
    EXPECT_EQ(kb->GetDeviceState(sizeof keys, keys), DIERR_INPUTLOST);
    EXPECT_EQ(kb->GetDeviceState(sizeof keys, keys), DIERR_NOTACQUIRED);
    EXPECT_EQ(kb->Acquire(), DIERR_OTHERAPPHASPRIO);
    window.SetActive(true);
    ASSERT_EQ(kb->Acquire(), DI_OK);
    ASSERT_EQ(kb->GetDeviceState(sizeof keys, keys), DI_OK);
    EXPECT_EQ(keys[DIK_LSHIFT], 0);  // its release was never seen: not held
}

TEST_P(KeyboardMouse, BackgroundKeyboardKeepsReading) {
    auto kb = OpenDevice(di.Get(), GUID_SysKeyboard, c_dfDIKeyboard, &window, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND);
    window.SetActive(false);
    ASSERT_EQ(kb->Acquire(), DI_OK);
    window.SetActive(true);
    window.Key(DIK_ESCAPE, true);
    window.SetActive(false);
    BYTE keys[256];
    EXPECT_EQ(kb->GetDeviceState(sizeof keys, keys), DI_OK);
}

TEST_P(KeyboardMouse, CooperativeLevelIsChecked) {
    ComPtr<IDirectInputDevice> kb;
    ASSERT_EQ(di->CreateDevice(GUID_SysKeyboard, kb.Put(), nullptr), DI_OK);
    EXPECT_EQ(kb->Acquire(), DIERR_INVALIDPARAM);  // no data format yet
    EXPECT_EQ(kb->SetCooperativeLevel(&window, DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE | DISCL_FOREGROUND),
              DIERR_INVALIDPARAM);
    EXPECT_EQ(kb->SetCooperativeLevel(&window, DISCL_NONEXCLUSIVE), DIERR_INVALIDPARAM);
    EXPECT_EQ(kb->SetCooperativeLevel(&window, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND | DISCL_BACKGROUND),
              DIERR_INVALIDPARAM);
    EXPECT_EQ(kb->SetCooperativeLevel(nullptr, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND), DIERR_INVALIDPARAM);
    EXPECT_EQ(kb->SetCooperativeLevel(&window, DISCL_EXCLUSIVE | DISCL_BACKGROUND), DIERR_UNSUPPORTED);
    EXPECT_EQ(kb->SetCooperativeLevel(&window, DISCL_EXCLUSIVE | DISCL_FOREGROUND), DI_OK);
    EXPECT_EQ(kb->SetDataFormat(nullptr), DIERR_INVALIDPARAM);
    DIDATAFORMAT bad = c_dfDIKeyboard;
    bad.dwSize = 8;
    EXPECT_EQ(kb->SetDataFormat(&bad), DIERR_INVALIDPARAM);
    bad = c_dfDIKeyboard;
    bad.dwDataSize = 255;
    EXPECT_EQ(kb->SetDataFormat(&bad), DIERR_INVALIDPARAM);
    // A key placed past the end of the state is refused.
    DIOBJECTDATAFORMAT past = {&GUID_Key, 300, DIDFT_BUTTON | DIDFT_MAKEINSTANCE(DIK_A), 0};
    DIDATAFORMAT custom = {sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), 0, 4, 1, &past};
    EXPECT_EQ(kb->SetDataFormat(&custom), DIERR_INVALIDPARAM);
}

// Game-defined formats put keys where they like.
TEST_P(KeyboardMouse, CustomKeyboardFormat) {
    const DIOBJECTDATAFORMAT objs[] = {
        {&GUID_Key, 0, DIDFT_BUTTON | DIDFT_MAKEINSTANCE(DIK_SPACE), 0},
        {&GUID_Key, 1, DIDFT_BUTTON | DIDFT_MAKEINSTANCE(DIK_RCONTROL), 0},
        {&GUID_Key, 2, DIDFT_OPTIONAL | DIDFT_BUTTON | DIDFT_MAKEINSTANCE(0xFE), 0},
    };
    DIDATAFORMAT f = {sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), 0, 4, 3, objs};
    auto kb = OpenDevice(di.Get(), GUID_SysKeyboard, f, &window, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND);
    ASSERT_EQ(kb->Acquire(), DI_OK);
    window.Key(DIK_RCONTROL, true);
    BYTE state[4] = {9, 9, 9, 9};
    ASSERT_EQ(kb->GetDeviceState(4, state), DI_OK);
    EXPECT_EQ(state[0], 0);
    EXPECT_EQ(state[1], 0x80);
    EXPECT_EQ(state[2], 0);
    // A key the keyboard lacks, not marked optional, cannot be placed.
    const DIOBJECTDATAFORMAT missing[] = {{&GUID_Key, 0, DIDFT_BUTTON | DIDFT_MAKEINSTANCE(0xFE), 0}};
    DIDATAFORMAT g = {sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), 0, 4, 1, missing};
    ASSERT_EQ(kb->Unacquire(), DI_OK);
    EXPECT_EQ(kb->SetDataFormat(&g), DIERR_INVALIDPARAM);
}

TEST_P(KeyboardMouse, MouseReportsRelativeMotionAndButtons) {
    auto mouse = OpenDevice(di.Get(), GUID_SysMouse, c_dfDIMouse, &window, DISCL_EXCLUSIVE | DISCL_FOREGROUND);
    window.Move(50, 50);  // before acquiring: not counted
    EXPECT_FALSE(window.PointerCaptured());
    ASSERT_EQ(mouse->Acquire(), DI_OK);
    EXPECT_TRUE(window.PointerCaptured());
    window.Move(5, -3);
    window.Move(2, 1);
    window.Wheel(120);
    window.Button(winsys::MouseButton::Left, true);
    window.Button(winsys::MouseButton::Middle, true);
    DIMOUSESTATE s{};
    ASSERT_EQ(mouse->GetDeviceState(sizeof s, &s), DI_OK);
    EXPECT_EQ(s.lX, 7);
    EXPECT_EQ(s.lY, -2);
    EXPECT_EQ(s.lZ, 120);
    EXPECT_EQ(s.rgbButtons[0], 0x80);
    EXPECT_EQ(s.rgbButtons[1], 0);
    EXPECT_EQ(s.rgbButtons[2], 0x80);
    ASSERT_EQ(mouse->GetDeviceState(sizeof s, &s), DI_OK);
    EXPECT_EQ(s.lX, 0);  // motion is counted since the previous read
    EXPECT_EQ(s.lZ, 0);
    EXPECT_EQ(s.rgbButtons[0], 0x80);  // buttons are state

    window.SetActive(false);
    EXPECT_FALSE(window.PointerCaptured());
    EXPECT_EQ(mouse->GetDeviceState(sizeof s, &s), DIERR_INPUTLOST);
    window.SetActive(true);
    ASSERT_EQ(mouse->Acquire(), DI_OK);
    EXPECT_TRUE(window.PointerCaptured());
    ASSERT_EQ(mouse->Unacquire(), DI_OK);
    EXPECT_FALSE(window.PointerCaptured());
}

TEST_P(KeyboardMouse, OneExclusiveMouseAtATime) {
    auto first = OpenDevice(di.Get(), GUID_SysMouse, c_dfDIMouse, &window, DISCL_EXCLUSIVE | DISCL_FOREGROUND);
    auto second = OpenDevice(di.Get(), GUID_SysMouse, c_dfDIMouse, &window, DISCL_EXCLUSIVE | DISCL_FOREGROUND);
    auto shared = OpenDevice(di.Get(), GUID_SysMouse, c_dfDIMouse, &window, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND);
    ASSERT_EQ(first->Acquire(), DI_OK);
    EXPECT_EQ(second->Acquire(), DIERR_OTHERAPPHASPRIO);
    EXPECT_EQ(shared->Acquire(), DI_OK);
    first = nullptr;  // releasing gives the mouse up
    EXPECT_EQ(second->Acquire(), DI_OK);
}

TEST_P(KeyboardMouse, MouseInAbsoluteAxisMode) {
    ComPtr<IDirectInputDevice> mouse;
    ASSERT_EQ(di->CreateDevice(GUID_SysMouse, mouse.Put(), nullptr), DI_OK);
    ASSERT_EQ(mouse->SetDataFormat(&c_dfDIMouse), DI_OK);
    ASSERT_EQ(mouse->SetCooperativeLevel(&window, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND), DI_OK);
    DIPROPDWORD mode = Dword(DIPH_DEVICE, 0, DIPROPAXISMODE_ABS);
    ASSERT_EQ(mouse->SetProperty(DIPROP_AXISMODE, &mode.diph), DI_OK);
    mode.dwData = 99;
    ASSERT_EQ(mouse->GetProperty(DIPROP_AXISMODE, &mode.diph), DI_OK);
    EXPECT_EQ(mode.dwData, DIPROPAXISMODE_ABS);
    EXPECT_FALSE(window.PointerCaptured());  // shared mice leave the pointer alone
    ASSERT_EQ(mouse->Acquire(), DI_OK);
    window.Move(10, 4);
    DIMOUSESTATE s{};
    ASSERT_EQ(mouse->GetDeviceState(sizeof s, &s), DI_OK);
    window.Move(-3, 1);
    ASSERT_EQ(mouse->GetDeviceState(sizeof s, &s), DI_OK);
    EXPECT_EQ(s.lX, 7);
    EXPECT_EQ(s.lY, 5);
    DIPROPRANGE r = Range(DIPH_DEVICE, 0, -10, 10);
    EXPECT_EQ(mouse->SetProperty(DIPROP_RANGE, &r.diph), DIERR_UNSUPPORTED);
    mode.dwData = DIPROPAXISMODE_REL;
    EXPECT_EQ(mouse->SetProperty(DIPROP_AXISMODE, &mode.diph), DIERR_ACQUIRED);
}

// A window may go before the devices bound to it: they lose their
// acquisition and are released without touching the window again.
TEST_P(KeyboardMouse, WindowDestroyedBeforeItsDevices) {
    auto owner = std::make_unique<TestWindow>();
    auto kb = OpenDevice(di.Get(), GUID_SysKeyboard, c_dfDIKeyboard, owner.get(), DISCL_NONEXCLUSIVE | DISCL_FOREGROUND);
    auto mouse = OpenDevice(di.Get(), GUID_SysMouse, c_dfDIMouse, owner.get(), DISCL_EXCLUSIVE | DISCL_FOREGROUND);
    ASSERT_EQ(kb->Acquire(), DI_OK);
    ASSERT_EQ(mouse->Acquire(), DI_OK);
    owner.reset();
    BYTE keys[256];
    EXPECT_EQ(kb->GetDeviceState(sizeof keys, keys), DIERR_INPUTLOST);
    EXPECT_EQ(kb->GetDeviceState(sizeof keys, keys), DIERR_NOTACQUIRED);
    EXPECT_EQ(kb->Acquire(), DIERR_OTHERAPPHASPRIO);
    EXPECT_EQ(mouse->Unacquire(), DI_OK);
    kb = nullptr;
    mouse = nullptr;
}

INSTANTIATE_TEST_SUITE_P(Backends, KeyboardMouse,
                         ::testing::Values(platform::Backend::Headless, platform::Backend::Real),
                         [](const auto& info) {
                             return info.param == platform::Backend::Headless ? std::string("Headless")
                                                                              : std::string("Sdl");
                         });

}  // namespace
