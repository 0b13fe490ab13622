// Joysticks on the headless backend: virtual sticks plugged in and out,
// calibration (range, dead zone, saturation), POV hats, and the way the
// input component starts a joystick.
#include "input_fixture.h"

namespace {

namespace vj = dinput::headless;

class Joystick : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SelectBackend(platform::Backend::Headless);
        vj::RemoveAllJoysticks();
        vj::ClearFaults();
        ASSERT_EQ(DirectInputCreateA(nullptr, DIRECTINPUT_VERSION, di.Put(), nullptr), DI_OK);
    }
    void TearDown() override {
        vj::RemoveAllJoysticks();
        vj::ClearFaults();
    }

    ComPtr<IDirectInputDevice2> Open(int stick, DWORD coop = DISCL_EXCLUSIVE | DISCL_FOREGROUND) {
        auto dev = OpenDevice(di.Get(), vj::JoystickInstance(stick), c_dfDIJoystick, &window, coop);
        ComPtr<IDirectInputDevice2> dev2;
        if (dev) {
            EXPECT_EQ(dev->QueryInterface(IID_IDirectInputDevice2, dev2.PutVoid()), S_OK);
        }
        return dev2;
    }

    DIJOYSTATE Read(IDirectInputDevice2* dev) {
        DIJOYSTATE s{};
        EXPECT_EQ(dev->Poll(), DI_OK);
        EXPECT_EQ(dev->GetDeviceState(sizeof s, &s), DI_OK);
        return s;
    }

    TestWindow window;
    ComPtr<IDirectInput> di;
};

// What the input component does for Device = JoyStick, call for call.
struct Started {
    ComPtr<IDirectInputDevice> device;
    ComPtr<IDirectInputDevice2> joystick;
};

BOOL TakeFirst(const DIDEVICEINSTANCEA* inst, void* ref) {
    auto* s = static_cast<std::pair<IDirectInput*, Started*>*>(ref);
    s->first->CreateDevice(inst->guidInstance, s->second->device.Put(), nullptr);
    s->second->device->QueryInterface(IID_IDirectInputDevice2, s->second->joystick.PutVoid());
    return DIENUM_STOP;
}

TEST_F(Joystick, StartingAsTheInputComponentDoes) {
    int first = vj::PlugJoystick("Pad one", 2, 4);
    int second = vj::PlugJoystick("Pad two", 2, 4);
    Started started;
    std::pair<IDirectInput*, Started*> ref{di.Get(), &started};
    ASSERT_EQ(di->EnumDevices(DIDEVTYPE_JOYSTICK, TakeFirst, &ref, DIEDFL_ATTACHEDONLY), DI_OK);
    ASSERT_TRUE(started.device);
    ASSERT_TRUE(started.joystick);
    DIDEVICEINSTANCEA info{};
    info.dwSize = sizeof info;
    ASSERT_EQ(started.device->GetDeviceInfo(&info), DI_OK);
    EXPECT_EQ(info.guidInstance, vj::JoystickInstance(first));
    EXPECT_STREQ(info.tszProductName, "Pad one");

    IDirectInputDevice* dev = started.device.Get();
    ASSERT_EQ(dev->SetDataFormat(&c_dfDIJoystick), DI_OK);
    ASSERT_EQ(dev->SetCooperativeLevel(&window, DISCL_EXCLUSIVE | DISCL_FOREGROUND), DI_OK);
    DIPROPRANGE x = Range(DIPH_BYOFFSET, DIJOFS_X, -1000, 1000);
    DIPROPRANGE y = Range(DIPH_BYOFFSET, DIJOFS_Y, -1000, 1000);
    EXPECT_EQ(x.diph.dwSize, 24u);
    ASSERT_EQ(dev->SetProperty(DIPROP_RANGE, &x.diph), DI_OK);
    ASSERT_EQ(dev->SetProperty(DIPROP_RANGE, &y.diph), DI_OK);
    DIPROPDWORD dead = Dword(DIPH_DEVICE, 0, 1500), sat = Dword(DIPH_DEVICE, 0, 9500), centre = Dword(DIPH_DEVICE, 0, 0);
    EXPECT_EQ(dead.diph.dwSize, 20u);
    EXPECT_EQ(dev->SetProperty(DIPROP_DEADZONE, &dead.diph), DI_OK);
    EXPECT_EQ(dev->SetProperty(DIPROP_SATURATION, &sat.diph), DI_OK);
    EXPECT_TRUE(SUCCEEDED(dev->SetProperty(DIPROP_AUTOCENTER, &centre.diph)));
    ASSERT_EQ(dev->Acquire(), DI_OK);

    // X and Y run from -1000 to 1000: still inside 15 % of the travel from
    // the centre, full beyond 95 %, linear in between.
    struct {
        int raw;
        LONG expected;
    } points[] = {
        {0, 0},          {4500, 0},       {-4500, 0},      {31500, 1000},  {32767, 1000},
        {-32768, -1000}, {-31500, -1000}, {18022, 500},    {-18022, -500},
    };
    for (auto& p : points) {
        vj::SetJoystickAxis(first, 0, p.raw);
        vj::SetJoystickAxis(first, 1, -p.raw);
        DIJOYSTATE s = Read(started.joystick.Get());
        EXPECT_NEAR(s.lX, p.expected, 1) << p.raw;
        EXPECT_NEAR(s.lY, -p.expected, 1) << p.raw;
    }
    // The second stick was never touched.
    vj::SetJoystickAxis(second, 0, 32767);
    EXPECT_NEAR(Read(started.joystick.Get()).lX, -500, 1);
}

TEST_F(Joystick, NoJoystickEnumeratesNothing) {
    Started started;
    std::pair<IDirectInput*, Started*> ref{di.Get(), &started};
    ASSERT_EQ(di->EnumDevices(DIDEVTYPE_JOYSTICK, TakeFirst, &ref, DIEDFL_ATTACHEDONLY), DI_OK);
    EXPECT_FALSE(started.device);
}

TEST_F(Joystick, DefaultsAndButtonsAndHats) {
    int id = vj::PlugJoystick("Stick", 3, 6, 1);
    auto dev = Open(id);
    ASSERT_EQ(dev->Acquire(), DI_OK);
    DIJOYSTATE s = Read(dev.Get());
    // Uncalibrated axes span 0 .. 65535 around their middle.
    EXPECT_NEAR(s.lX, 32767, 1);
    EXPECT_NEAR(s.lZ, 32767, 1);
    EXPECT_EQ(s.lRx, 0);  // absent
    EXPECT_EQ(s.rgdwPOV[0], JOY_POVCENTERED);
    EXPECT_EQ(s.rgdwPOV[1], JOY_POVCENTERED);  // absent hats read centred
    vj::SetJoystickAxis(id, 0, -32768);
    vj::SetJoystickAxis(id, 2, 32767);
    vj::SetJoystickButton(id, 0, true);
    vj::SetJoystickButton(id, 5, true);
    vj::SetJoystickPov(id, 0, 9000);
    s = Read(dev.Get());
    EXPECT_EQ(s.lX, 0);
    EXPECT_EQ(s.lZ, 65535);
    EXPECT_EQ(s.rgbButtons[0], 0x80);
    EXPECT_EQ(s.rgbButtons[1], 0);
    EXPECT_EQ(s.rgbButtons[5], 0x80);
    EXPECT_EQ(s.rgbButtons[6], 0);
    EXPECT_EQ(s.rgdwPOV[0], 9000u);

    DIDEVCAPS caps{};
    caps.dwSize = sizeof caps;
    ASSERT_EQ(dev->GetCapabilities(&caps), DI_OK);
    EXPECT_EQ(caps.dwAxes, 3u);
    EXPECT_EQ(caps.dwButtons, 6u);
    EXPECT_EQ(caps.dwPOVs, 1u);
    EXPECT_EQ(caps.dwFlags, DIDC_ATTACHED | DIDC_POLLEDDEVICE | DIDC_POLLEDDATAFORMAT);
    EXPECT_EQ(GET_DIDEVICE_TYPE(caps.dwDevType), DIDEVTYPE_JOYSTICK);
}

TEST_F(Joystick, PropertiesAreCheckedAndReadBack) {
    int id = vj::PlugJoystick("Stick", 2, 2);
    auto dev = Open(id);
    DIPROPRANGE r = Range(DIPH_BYOFFSET, DIJOFS_X, 100, 100);
    EXPECT_EQ(dev->SetProperty(DIPROP_RANGE, &r.diph), DIERR_INVALIDPARAM);
    r = Range(DIPH_BYOFFSET, DIJOFS_RZ, -1, 1);  // no such axis on this stick
    EXPECT_EQ(dev->SetProperty(DIPROP_RANGE, &r.diph), DIERR_OBJECTNOTFOUND);
    r = Range(DIPH_BYOFFSET, DIJOFS_X, -5, 5);
    r.diph.dwHeaderSize = 12;
    EXPECT_EQ(dev->SetProperty(DIPROP_RANGE, &r.diph), DIERR_INVALIDPARAM);
    r.diph.dwHeaderSize = sizeof(DIPROPHEADER);
    r.diph.dwSize = sizeof(DIPROPDWORD);
    EXPECT_EQ(dev->SetProperty(DIPROP_RANGE, &r.diph), DIERR_INVALIDPARAM);
    r.diph.dwSize = sizeof(DIPROPRANGE);
    EXPECT_EQ(dev->SetProperty(DIPROP_RANGE, nullptr), DIERR_INVALIDPARAM);
    DIPROPRANGE device = Range(DIPH_DEVICE, 0, -50, 50);
    ASSERT_EQ(dev->SetProperty(DIPROP_RANGE, &device.diph), DI_OK);
    ASSERT_EQ(dev->SetProperty(DIPROP_RANGE, &r.diph), DI_OK);
    DIPROPRANGE got = Range(DIPH_BYOFFSET, DIJOFS_Y, 0, 0);
    ASSERT_EQ(dev->GetProperty(DIPROP_RANGE, &got.diph), DI_OK);
    EXPECT_EQ(got.lMin, -50);
    EXPECT_EQ(got.lMax, 50);
    got = Range(DIPH_BYID, DIDFT_ABSAXIS | DIDFT_MAKEINSTANCE(0), 0, 0);
    ASSERT_EQ(dev->GetProperty(DIPROP_RANGE, &got.diph), DI_OK);
    EXPECT_EQ(got.lMin, -5);
    EXPECT_EQ(got.lMax, 5);

    DIPROPDWORD d = Dword(DIPH_DEVICE, 0, 10001);
    EXPECT_EQ(dev->SetProperty(DIPROP_DEADZONE, &d.diph), DIERR_INVALIDPARAM);
    d = Dword(DIPH_DEVICE, 5, 100);
    EXPECT_EQ(dev->SetProperty(DIPROP_DEADZONE, &d.diph), DIERR_INVALIDPARAM);  // device-wide names no object
    d = Dword(DIPH_BYOFFSET, DIJOFS_Y, 2500);
    ASSERT_EQ(dev->SetProperty(DIPROP_DEADZONE, &d.diph), DI_OK);
    d.dwData = 0;
    ASSERT_EQ(dev->GetProperty(DIPROP_DEADZONE, &d.diph), DI_OK);
    EXPECT_EQ(d.dwData, 2500u);
    d = Dword(DIPH_BYOFFSET, DIJOFS_BUTTON(0), 100);
    EXPECT_EQ(dev->SetProperty(DIPROP_DEADZONE, &d.diph), DIERR_UNSUPPORTED);  // buttons have none
    DIPROPDWORD ac = Dword(DIPH_DEVICE, 0, 7);
    EXPECT_EQ(dev->SetProperty(DIPROP_AUTOCENTER, &ac.diph), DIERR_INVALIDPARAM);
    ac.dwData = DIPROPAUTOCENTER_OFF;
    EXPECT_EQ(dev->SetProperty(DIPROP_AUTOCENTER, &ac.diph), DI_PROPNOEFFECT);
    ac.dwData = 9;
    ASSERT_EQ(dev->GetProperty(DIPROP_AUTOCENTER, &ac.diph), DI_OK);
    EXPECT_EQ(ac.dwData, DIPROPAUTOCENTER_OFF);
    DIPROPDWORD buffered = Dword(DIPH_DEVICE, 0, 16);
    EXPECT_EQ(dev->SetProperty(DIPROP_BUFFERSIZE, &buffered.diph), DIERR_UNSUPPORTED);

    // Calibration shows in the readings at once.
    ASSERT_EQ(dev->Acquire(), DI_OK);
    vj::SetJoystickAxis(id, 0, 32767);
    vj::SetJoystickAxis(id, 1, 8000);  // inside Y's 25 % dead zone
    DIJOYSTATE s = Read(dev.Get());
    EXPECT_EQ(s.lX, 5);
    EXPECT_EQ(s.lY, 0);
}

TEST_F(Joystick, UnpluggingLosesTheDeviceAndPluggingBackRestoresIt) {
    int id = vj::PlugJoystick("Stick", 2, 2);
    GUID instance = vj::JoystickInstance(id);
    auto dev = Open(id);
    ASSERT_EQ(dev->Acquire(), DI_OK);
    vj::SetJoystickButton(id, 1, true);
    EXPECT_EQ(Read(dev.Get()).rgbButtons[1], 0x80);

    vj::UnplugJoystick(id);
    DIJOYSTATE s{};
    EXPECT_EQ(dev->Poll(), DIERR_INPUTLOST);
    EXPECT_EQ(dev->GetDeviceState(sizeof s, &s), DIERR_NOTACQUIRED);
    EXPECT_EQ(dev->Acquire(), DIERR_NOTFOUND);
    EXPECT_EQ(di->GetDeviceStatus(instance), DI_NOTATTACHED);
    EXPECT_TRUE(Enumerate(di.Get(), DIDEVTYPE_JOYSTICK, DIEDFL_ATTACHEDONLY).empty());
    auto known = Enumerate(di.Get(), DIDEVTYPE_JOYSTICK, DIEDFL_ALLDEVICES);
    ASSERT_EQ(known.size(), 1u);
    EXPECT_EQ(known[0].guidInstance, instance);
    DIDEVCAPS caps{};
    caps.dwSize = sizeof caps;
    ASSERT_EQ(dev->GetCapabilities(&caps), DI_OK);
    EXPECT_FALSE(caps.dwFlags & DIDC_ATTACHED);

    vj::ReplugJoystick(id);
    EXPECT_EQ(di->GetDeviceStatus(instance), DI_OK);
    ASSERT_EQ(dev->Acquire(), DI_OK);
    EXPECT_EQ(Read(dev.Get()).rgbButtons[1], 0);  // fresh state
}

TEST_F(Joystick, UnpluggedWhileReadingDirectly) {
    int id = vj::PlugJoystick("Stick", 2, 2);
    auto dev = Open(id);
    ASSERT_EQ(dev->Acquire(), DI_OK);
    vj::UnplugJoystick(id);
    DIJOYSTATE s{};
    EXPECT_EQ(dev->GetDeviceState(sizeof s, &s), DIERR_INPUTLOST);
    EXPECT_EQ(dev->GetDeviceState(sizeof s, &s), DIERR_NOTACQUIRED);
}

TEST_F(Joystick, ExclusiveJoystickAndWindowFocus) {
    int id = vj::PlugJoystick("Stick", 2, 2);
    auto a = Open(id);
    auto b = Open(id);
    auto shared = Open(id, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND);
    ASSERT_EQ(a->Acquire(), DI_OK);
    EXPECT_EQ(b->Acquire(), DIERR_OTHERAPPHASPRIO);
    ASSERT_EQ(shared->Acquire(), DI_OK);
    window.SetActive(false);
    EXPECT_EQ(a->Poll(), DIERR_INPUTLOST);
    EXPECT_EQ(shared->Poll(), DI_OK);  // background access goes on
    EXPECT_EQ(b->Acquire(), DIERR_OTHERAPPHASPRIO);  // the window is inactive
    window.SetActive(true);
    EXPECT_EQ(b->Acquire(), DI_OK);  // a gave the stick up when it lost it
}

TEST_F(Joystick, RelativeAxisModeReportsChange) {
    int id = vj::PlugJoystick("Wheel", 1, 0);
    auto dev = Open(id);
    DIPROPDWORD mode = Dword(DIPH_DEVICE, 0, DIPROPAXISMODE_REL);
    ASSERT_EQ(dev->SetProperty(DIPROP_AXISMODE, &mode.diph), DI_OK);
    DIPROPRANGE r = Range(DIPH_DEVICE, 0, -100, 100);
    ASSERT_EQ(dev->SetProperty(DIPROP_RANGE, &r.diph), DI_OK);
    ASSERT_EQ(dev->Acquire(), DI_OK);
    vj::SetJoystickAxis(id, 0, 32767);
    EXPECT_EQ(Read(dev.Get()).lX, 100);
    EXPECT_EQ(Read(dev.Get()).lX, 0);
    vj::SetJoystickAxis(id, 0, -32768);
    EXPECT_EQ(Read(dev.Get()).lX, -200);
}

TEST_F(Joystick, CustomFormatWithHatsAndSliders) {
    int id = vj::PlugJoystick("Throttle", 7, 2, 0);
    struct State {
        LONG slider;
        DWORD pov;
        BYTE fire;
        BYTE pad[3];
    };
    const DIOBJECTDATAFORMAT objs[] = {
        {&GUID_Slider, offsetof(State, slider), DIDFT_AXIS | DIDFT_ANYINSTANCE, 0},
        {&GUID_POV, offsetof(State, pov), DIDFT_OPTIONAL | DIDFT_POV | DIDFT_ANYINSTANCE, 0},
        {nullptr, offsetof(State, fire), DIDFT_BUTTON | DIDFT_MAKEINSTANCE(1), 0},
    };
    DIDATAFORMAT f = {sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), DIDF_ABSAXIS, sizeof(State), 3, objs};
    auto dev = OpenDevice(di.Get(), vj::JoystickInstance(id), f, &window, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND);
    DIPROPRANGE r = Range(DIPH_BYOFFSET, offsetof(State, slider), 0, 255);
    ASSERT_EQ(dev->SetProperty(DIPROP_RANGE, &r.diph), DI_OK);
    ASSERT_EQ(dev->Acquire(), DI_OK);
    vj::SetJoystickAxis(id, 6, 32767);  // the seventh axis is the slider
    vj::SetJoystickButton(id, 1, true);
    State s{};
    ASSERT_EQ(dev->GetDeviceState(sizeof s, &s), DI_OK);
    EXPECT_EQ(s.slider, 255);
    EXPECT_EQ(s.pov, JOY_POVCENTERED);
    EXPECT_EQ(s.fire, 0x80);
    // A required hat the stick does not have makes the format unusable.
    const DIOBJECTDATAFORMAT needHat[] = {{&GUID_POV, 0, DIDFT_POV | DIDFT_ANYINSTANCE, 0}};
    DIDATAFORMAT g = {sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), DIDF_ABSAXIS, 4, 1, needHat};
    ASSERT_EQ(dev->Unacquire(), DI_OK);
    EXPECT_EQ(dev->SetDataFormat(&g), DIERR_INVALIDPARAM);
}

TEST_F(Joystick, TheNthCallFails) {
    int id = vj::PlugJoystick("Stick", 2, 2);
    vj::FailCall("DirectInputCreateA", 1, DIERR_OUTOFMEMORY);
    ComPtr<IDirectInput> other;
    EXPECT_EQ(DirectInputCreateA(nullptr, DIRECTINPUT_VERSION, other.Put(), nullptr), DIERR_OUTOFMEMORY);
    EXPECT_FALSE(other);
    vj::FailCall("IDirectInput::EnumDevices", 1, DIERR_GENERIC);
    EXPECT_EQ(di->EnumDevices(DIDEVTYPE_JOYSTICK, [](const DIDEVICEINSTANCEA*, void*) -> BOOL { return DIENUM_STOP; },
                              nullptr, DIEDFL_ATTACHEDONLY),
              DIERR_GENERIC);
    auto dev = Open(id);
    vj::FailCall("IDirectInputDevice::Acquire", 2, DIERR_OTHERAPPHASPRIO);
    ASSERT_EQ(dev->Acquire(), DI_OK);
    ASSERT_EQ(dev->Unacquire(), DI_OK);
    EXPECT_EQ(dev->Acquire(), DIERR_OTHERAPPHASPRIO);
    EXPECT_EQ(dev->Acquire(), DI_OK);
    vj::FailCall("IDirectInputDevice2::Poll", 1, DIERR_INPUTLOST);
    EXPECT_EQ(dev->Poll(), DIERR_INPUTLOST);
    EXPECT_EQ(dev->Poll(), DI_OK);
    vj::FailCall("IDirectInputDevice::SetProperty", 1, DI_PROPNOEFFECT);  // positive statuses too
    DIPROPDWORD d = Dword(DIPH_DEVICE, 0, 100);
    EXPECT_EQ(dev->SetProperty(DIPROP_DEADZONE, &d.diph), DI_PROPNOEFFECT);
}

}  // namespace
