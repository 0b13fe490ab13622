// TQVXInput on the headless backend: cooperative levels as the form loses
// and regains the foreground, the first joystick and its loss, and every
// start-up failure.
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
    }
    void TearDown() override {
        hi::ClearFaults();
        hi::RemoveAllJoysticks();
    }
    TQVXInput* Started(TInputDevice device) {
        auto* input = new TQVXInput(form);
        input->SetDevice(device);
        input->StartInput();
        return input;
    }
    void Move(int dx) {
        winsys::MouseEvent e;
        e.dx = dx;
        window->DeliverMouse(e);
    }

    TApplication app;
    TForm* form = nullptr;
    winsys::headless::HeadlessWindow* window = nullptr;
};

TEST_F(Input, KeyboardIsSharedMouseExclusiveBothOnlyInTheForeground) {
    TQVXInput* keys = Started(TInputDevice::Keyboard);
    TQVXInput* mouse = Started(TInputDevice::Mouse);
    // A second keyboard reader acquires too; the mouse is held alone.
    EXPECT_NO_THROW(Started(TInputDevice::Keyboard));
    EXPECT_THROW(Started(TInputDevice::Mouse), EDirectX);
    EXPECT_TRUE(window->PointerCaptured());
    window->DeliverKey({true, DIK_LEFT, 0});
    Move(7);
    ASSERT_TRUE(keys->Update() && mouse->Update());
    EXPECT_TRUE(keys->KeyDown(DIK_LEFT));
    EXPECT_EQ(mouse->Mouse().lX, 7);

    window->SetActive(false);
    EXPECT_FALSE(window->PointerCaptured());
    EXPECT_FALSE(keys->Update() || mouse->Update());
    EXPECT_FALSE(keys->KeyDown(DIK_LEFT));

    window->SetActive(true);
    window->DeliverKey({true, DIK_RIGHT, 0});
    ASSERT_TRUE(keys->Update() && mouse->Update());  // acquired again by themselves
    EXPECT_TRUE(keys->KeyDown(DIK_RIGHT));
    EXPECT_TRUE(window->PointerCaptured());
    delete mouse;
    EXPECT_FALSE(window->PointerCaptured());
}

TEST_F(Input, JoystickIsTheFirstAttachedAndComesBackAfterUnplugging) {
    int first = hi::PlugJoystick("Pad one", 2, 4);
    int second = hi::PlugJoystick("Pad two", 2, 4);
    TQVXInput* input = Started(TInputDevice::JoyStick);
    hi::SetJoystickAxis(second, 0, 32767);
    hi::SetJoystickButton(first, 1, true);
    ASSERT_TRUE(input->Update());
    EXPECT_EQ(input->JoyState().lX, 0);
    EXPECT_TRUE(input->JoyButton(1));

    hi::UnplugJoystick(first);
    EXPECT_FALSE(input->Update());
    EXPECT_FALSE(input->JoyButton(1));
    hi::ReplugJoystick(first);
    hi::SetJoystickButton(first, 2, true);
    ASSERT_TRUE(input->Update());
    EXPECT_TRUE(input->JoyButton(2));
}

// Device chosen while input runs: Update goes on reading the device that
// was started; the next start opens the new one.
TEST_F(Input, DeviceChosenAfterStartTakesEffectAtTheNextStart) {
    TQVXInput* input = Started(TInputDevice::Keyboard);
    input->SetDevice(TInputDevice::Mouse);
    window->DeliverKey({true, DIK_A, 0});
    ASSERT_TRUE(input->Update());
    EXPECT_TRUE(input->KeyDown(DIK_A));
    EXPECT_EQ(input->StartedDevice(), TInputDevice::Keyboard);
    input->StartInput();
    Move(5);
    ASSERT_TRUE(input->Update());
    EXPECT_EQ(input->Mouse().lX, 5);
}

TEST_F(Input, StartFailuresRaiseEDirectXWithTheResultsText) {
    auto raised = [&](TInputDevice device) -> std::string {
        try {
            Started(device);
        } catch (const EDirectX& e) {
            return e.Message();
        }
        return "(no exception)";
    };
    EXPECT_EQ(raised(TInputDevice::JoyStick), "\r\rNo joystick is attached.\r\r");
    hi::PlugJoystick("Pad", 2, 2);
    const std::string lost = EDirectX(DIERR_INPUTLOST).Message();
    for (TInputDevice device : {TInputDevice::Keyboard, TInputDevice::Mouse, TInputDevice::JoyStick}) {
        const bool joy = device == TInputDevice::JoyStick;
        std::vector<std::pair<const char*, int>> calls = {
            {"DirectInputCreateA", 1}, {joy ? "IDirectInput::EnumDevices" : "IDirectInput::CreateDevice", 1},
            {"IDirectInputDevice::SetDataFormat", 1}, {"IDirectInputDevice::SetCooperativeLevel", 1},
            {"IDirectInputDevice::Acquire", 1}};
        if (joy) calls.insert(calls.end(), {{"IDirectInputDevice::SetProperty", 1}, {"IDirectInputDevice::SetProperty", 2}});
        for (auto [method, nth] : calls) {
            hi::ClearFaults();
            hi::FailCall(method, nth, DIERR_INPUTLOST);
            EXPECT_EQ(raised(device), lost) << method << " #" << nth;
        }
    }
    hi::ClearFaults();
    hi::FailCall("IDirectInputDevice::Acquire", 1, DI_NOTATTACHED);  // a positive status fails too
    EXPECT_NE(raised(TInputDevice::Keyboard), "(no exception)");
    hi::ClearFaults();
    for (int n = 3; n <= 5; ++n) hi::FailCall("IDirectInputDevice::SetProperty", n, DIERR_UNSUPPORTED);
    EXPECT_EQ(raised(TInputDevice::JoyStick), "(no exception)");  // dead zone, saturation, centring unchecked
}

}  // namespace
