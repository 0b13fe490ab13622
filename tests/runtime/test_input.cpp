// TQVXInput on the headless backend: start-up of each device, what a game
// reads, losing and regaining the foreground, and every start-up failure.
#include <gtest/gtest.h>

#include "platform/com/backend.h"
#include "platform/dinput/headless/joysticks.h"
#include "platform/winsys/headless/headless.h"
#include "qvx/runtime/application.h"
#include "qvx/runtime/dxerror.h"
#include "qvx/runtime/forms.h"
#include "qvx/runtime/input.h"

using namespace qvx;
namespace hi = dinput::headless;

namespace {

class Input : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SelectBackend(platform::Backend::Headless);
        hi::ClearFaults();
        hi::RemoveAllJoysticks();
        form = app.CreateForm<TForm>();
        form->Show();
        app.ProcessMessages();
        window = dynamic_cast<winsys::headless::HeadlessWindow*>(form->Handle());
        ASSERT_NE(window, nullptr);
        input = new TQVXInput(form);
    }
    void TearDown() override {
        hi::ClearFaults();
        hi::RemoveAllJoysticks();
    }

    void Key(uint8_t dik, bool down) { window->DeliverKey({down, dik, 0}); }
    void Move(int dx, int dy) {
        winsys::MouseEvent e;
        e.kind = winsys::MouseEvent::Move;
        e.dx = dx;
        e.dy = dy;
        window->DeliverMouse(e);
    }

    TApplication app;
    TForm* form = nullptr;
    winsys::headless::HeadlessWindow* window = nullptr;
    TQVXInput* input = nullptr;
};

TEST_F(Input, KeyboardIsSharedAndFollowsTheForeground) {
    input->StartInput();
    Key(DIK_LEFT, true);
    ASSERT_TRUE(input->Update());
    EXPECT_TRUE(input->KeyDown(DIK_LEFT));
    EXPECT_FALSE(input->KeyDown(DIK_RIGHT));

    // Shared: a second, non-exclusive reader of the keyboard acquires too.
    ComPtr<IDirectInputDevice> other;
    ASSERT_EQ(input->DirectInput()->CreateDevice(GUID_SysKeyboard, other.Put(), nullptr), DI_OK);
    ASSERT_EQ(other->SetDataFormat(&c_dfDIKeyboard), DI_OK);
    ASSERT_EQ(other->SetCooperativeLevel(window, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND), DI_OK);
    EXPECT_EQ(other->Acquire(), DI_OK);

    window->SetActive(false);
    EXPECT_FALSE(input->Update());
    EXPECT_FALSE(input->KeyDown(DIK_LEFT));
    window->SetActive(true);
    Key(DIK_RIGHT, true);
    ASSERT_TRUE(input->Update());  // acquired again
    EXPECT_TRUE(input->KeyDown(DIK_RIGHT));
}

TEST_F(Input, MouseIsExclusiveInTheForegroundAndFreedOnDestruction) {
    input->SetDevice(TInputDevice::Mouse);
    input->StartInput();
    EXPECT_TRUE(window->PointerCaptured());
    Move(5, -3);
    Move(2, 0);
    window->DeliverMouse({winsys::MouseEvent::Press, 0, 0, 0, 0, 0, winsys::MouseButton::Left});
    ASSERT_TRUE(input->Update());
    EXPECT_EQ(input->Mouse().lX, 7);
    EXPECT_EQ(input->Mouse().lY, -3);
    EXPECT_TRUE(input->MouseButton(0));
    ASSERT_TRUE(input->Update());
    EXPECT_EQ(input->Mouse().lX, 0);

    window->SetActive(false);
    EXPECT_FALSE(window->PointerCaptured());
    EXPECT_FALSE(input->Update());
    window->SetActive(true);
    Move(4, 4);  // before the game reads again, motion is not its own
    ASSERT_TRUE(input->Update());
    EXPECT_TRUE(window->PointerCaptured());
    EXPECT_EQ(input->Mouse().lX, 0);

    delete input;
    EXPECT_FALSE(window->PointerCaptured());
}

TEST_F(Input, JoystickUsesTheFirstAttachedWithRangeDeadZoneAndSaturation) {
    int first = hi::PlugJoystick("Pad one", 2, 4, 1);
    int second = hi::PlugJoystick("Pad two", 2, 4, 1);
    input->SetDevice(TInputDevice::JoyStick);
    input->StartInput();
    ASSERT_NE(input->Joystick(), nullptr);
    hi::SetJoystickAxis(second, 0, 32767);
    hi::SetJoystickAxis(first, 0, 32767 / 10);    // inside the 15 % dead zone
    hi::SetJoystickAxis(first, 1, -32768);        // beyond 95 %: full travel
    hi::SetJoystickButton(first, 3, true);
    hi::SetJoystickPov(first, 0, 9000);
    ASSERT_TRUE(input->Update());
    EXPECT_EQ(input->JoyState().lX, 0);
    EXPECT_EQ(input->JoyState().lY, -1000);
    EXPECT_TRUE(input->JoyButton(3));
    EXPECT_EQ(input->JoyState().rgdwPOV[0], 9000u);
    hi::SetJoystickAxis(first, 0, static_cast<int>(32767 * 0.55));  // half-way between 15 % and 95 %
    ASSERT_TRUE(input->Update());
    EXPECT_NEAR(input->JoyState().lX, 500, 2);

    // Unplugged and back: the game reads idle, then goes on.
    hi::UnplugJoystick(first);
    EXPECT_FALSE(input->Update());
    EXPECT_FALSE(input->JoyButton(3));
    hi::ReplugJoystick(first);
    hi::SetJoystickButton(first, 1, true);
    ASSERT_TRUE(input->Update());
    EXPECT_TRUE(input->JoyButton(1));
}

TEST_F(Input, NoJoystickIsAClearErrorAndLeavesNoDevice) {
    input->SetDevice(TInputDevice::JoyStick);
    try {
        input->StartInput();
        FAIL() << "no exception";
    } catch (const EDirectX& e) {
        EXPECT_EQ(e.Message(), "\r\rNo joystick is attached.\r\r");
    }
    EXPECT_EQ(input->InputDevice(), nullptr);
    EXPECT_FALSE(input->Update());
}

TEST_F(Input, EveryCheckedStartUpCallRaisesItsResult) {
    hi::PlugJoystick("Pad", 2, 2);
    const struct {
        TInputDevice device;
        const char* method;
        int nth;
    } cases[] = {
        {TInputDevice::Keyboard, "DirectInputCreateA", 1},
        {TInputDevice::Keyboard, "IDirectInput::CreateDevice", 1},
        {TInputDevice::Keyboard, "IDirectInputDevice::SetDataFormat", 1},
        {TInputDevice::Keyboard, "IDirectInputDevice::SetCooperativeLevel", 1},
        {TInputDevice::Keyboard, "IDirectInputDevice::Acquire", 1},
        {TInputDevice::Mouse, "IDirectInput::CreateDevice", 1},
        {TInputDevice::Mouse, "IDirectInputDevice::SetDataFormat", 1},
        {TInputDevice::Mouse, "IDirectInputDevice::SetCooperativeLevel", 1},
        {TInputDevice::Mouse, "IDirectInputDevice::Acquire", 1},
        {TInputDevice::JoyStick, "IDirectInput::EnumDevices", 1},
        {TInputDevice::JoyStick, "IDirectInputDevice::SetDataFormat", 1},
        {TInputDevice::JoyStick, "IDirectInputDevice::SetCooperativeLevel", 1},
        {TInputDevice::JoyStick, "IDirectInputDevice::SetProperty", 1},  // X range
        {TInputDevice::JoyStick, "IDirectInputDevice::SetProperty", 2},  // Y range
        {TInputDevice::JoyStick, "IDirectInputDevice::Acquire", 1},
    };
    for (const auto& c : cases) {
        hi::ClearFaults();
        hi::FailCall(c.method, c.nth, DIERR_INPUTLOST);
        input->SetDevice(c.device);
        try {
            input->StartInput();
            ADD_FAILURE() << c.method << " #" << c.nth << ": no exception";
        } catch (const EDirectX& e) {
            EXPECT_EQ(e.Message(), EDirectX(DIERR_INPUTLOST).Message()) << c.method << " #" << c.nth;
        }
    }
    // A positive status code counts as a failure too.
    hi::ClearFaults();
    hi::FailCall("IDirectInputDevice::Acquire", 1, DI_NOTATTACHED);
    input->SetDevice(TInputDevice::Keyboard);
    EXPECT_THROW(input->StartInput(), EDirectX);
    // The whole-device joystick values are not checked.
    hi::ClearFaults();
    for (int n = 3; n <= 5; ++n) hi::FailCall("IDirectInputDevice::SetProperty", n, DIERR_UNSUPPORTED);
    input->SetDevice(TInputDevice::JoyStick);
    EXPECT_NO_THROW(input->StartInput());
}

}  // namespace
