// Joysticks on the real backend, driven through SDL's own virtual
// joysticks: what SDL reports reaches the program calibrated, and an
// SDL device that goes away is an unplugged joystick.
#include <SDL.h>

#include "input_fixture.h"

namespace {

class SdlJoystick : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SelectBackend(platform::Backend::Real);
        if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0) GTEST_SKIP() << SDL_GetError();
        index_ = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 2, 3, 1);
        ASSERT_GE(index_, 0) << SDL_GetError();
        handle_ = SDL_JoystickOpen(index_);
        ASSERT_NE(handle_, nullptr);
        ASSERT_EQ(DirectInputCreateA(nullptr, DIRECTINPUT_VERSION, di.Put(), nullptr), DI_OK);
    }
    void TearDown() override {
        di = nullptr;
        if (handle_) SDL_JoystickClose(handle_);
        if (index_ >= 0) SDL_JoystickDetachVirtual(index_);
        SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
        platform::SelectBackend(platform::Backend::Headless);
    }

    TestWindow window;
    ComPtr<IDirectInput> di;
    int index_ = -1;
    SDL_Joystick* handle_ = nullptr;
};

TEST_F(SdlJoystick, ReadsCalibratedAxesButtonsAndHats) {
    auto sticks = Enumerate(di.Get(), DIDEVTYPE_JOYSTICK, DIEDFL_ATTACHEDONLY);
    ASSERT_EQ(sticks.size(), 1u);
    auto dev = OpenDevice(di.Get(), sticks[0].guidInstance, c_dfDIJoystick, &window,
                          DISCL_EXCLUSIVE | DISCL_FOREGROUND);
    ComPtr<IDirectInputDevice2> dev2;
    ASSERT_EQ(dev->QueryInterface(IID_IDirectInputDevice2, dev2.PutVoid()), S_OK);
    DIPROPRANGE r = Range(DIPH_DEVICE, 0, -1000, 1000);
    ASSERT_EQ(dev->SetProperty(DIPROP_RANGE, &r.diph), DI_OK);
    DIPROPDWORD dead = Dword(DIPH_DEVICE, 0, 1500);
    ASSERT_EQ(dev->SetProperty(DIPROP_DEADZONE, &dead.diph), DI_OK);
    ASSERT_EQ(dev->Acquire(), DI_OK);

    SDL_JoystickSetVirtualAxis(handle_, 0, 32767);
    SDL_JoystickSetVirtualAxis(handle_, 1, 3000);  // inside the dead zone
    SDL_JoystickSetVirtualButton(handle_, 2, SDL_PRESSED);
    SDL_JoystickSetVirtualHat(handle_, 0, SDL_HAT_LEFTDOWN);
    ASSERT_EQ(dev2->Poll(), DI_OK);
    DIJOYSTATE s{};
    ASSERT_EQ(dev->GetDeviceState(sizeof s, &s), DI_OK);
    EXPECT_EQ(s.lX, 1000);
    EXPECT_EQ(s.lY, 0);
    EXPECT_EQ(s.rgbButtons[0], 0);
    EXPECT_EQ(s.rgbButtons[2], 0x80);
    EXPECT_EQ(s.rgdwPOV[0], 22500u);

    // The device goes away.
    SDL_JoystickClose(handle_);
    handle_ = nullptr;
    ASSERT_EQ(SDL_JoystickDetachVirtual(index_), 0);
    index_ = -1;
    EXPECT_EQ(dev2->Poll(), DIERR_INPUTLOST);
    EXPECT_EQ(dev->Acquire(), DIERR_NOTFOUND);
    EXPECT_EQ(di->GetDeviceStatus(sticks[0].guidInstance), DI_NOTATTACHED);
    EXPECT_TRUE(Enumerate(di.Get(), DIDEVTYPE_JOYSTICK, DIEDFL_ATTACHEDONLY).empty());
}

}  // namespace
