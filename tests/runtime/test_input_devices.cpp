// TQVXInput on the real backend: Qt key and mouse events on the form's Qt
// window and an SDL virtual joystick reach the game through DirectInput.
#include <SDL.h>
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QTest>
#include <cstring>

#include "platform/com/backend.h"
#include "platform/winsys/qt/qt_window.h"
#include "qvx/runtime/application.h"
#include "qvx/runtime/forms.h"
#include "qvx/runtime/input.h"

using namespace qvx;

namespace {

class RealInput : public ::testing::Test {
protected:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "runtime_tests";
        static char* argv[] = {name, nullptr};
        // Kept to the end of the run: Qt's input devices must not outlive it at exit.
        if (!QCoreApplication::instance()) new QGuiApplication(argc, argv);
        platform::SelectBackend(platform::Backend::Real);
        app = std::make_unique<TApplication>();
        form = app->CreateForm<TForm>();
        form->Show();
        window = dynamic_cast<winsys::qt::QtWindow*>(form->Handle())->Handle();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
        app->ProcessMessages();
    }
    void TearDown() override {
        app.reset();
        platform::SelectBackend(platform::Backend::Headless);
    }
    TQVXInput* Started(TInputDevice device) {
        auto* input = new TQVXInput(form);
        input->SetDevice(device);
        input->StartInput();
        return input;
    }

    std::unique_ptr<TApplication> app;
    TForm* form = nullptr;
    QWindow* window = nullptr;
};

TEST_F(RealInput, QtKeysAndMouseReachTheGame) {
    TQVXInput* keys = Started(TInputDevice::Keyboard);
    TQVXInput* mouse = Started(TInputDevice::Mouse);
    QTest::keyPress(window, Qt::Key_Up);
    // The captured pointer is held at the centre; motion counts from there.
    const QPoint centre(window->width() / 2, window->height() / 2);
    QTest::mouseMove(window, centre);
    QTest::mouseMove(window, centre + QPoint(-12, 8));
    QTest::mousePress(window, Qt::LeftButton, {}, centre);
    ASSERT_TRUE(keys->Update() && mouse->Update());
    EXPECT_TRUE(keys->KeyDown(DIK_UP));
    EXPECT_EQ(mouse->Mouse().lX, -12);
    EXPECT_EQ(mouse->Mouse().lY, 8);
    EXPECT_TRUE(mouse->MouseButton(0));
    QTest::keyRelease(window, Qt::Key_Up);
    QTest::mouseRelease(window, Qt::LeftButton, {}, centre);
    ASSERT_TRUE(keys->Update() && mouse->Update());
    EXPECT_FALSE(keys->KeyDown(DIK_UP));
    EXPECT_FALSE(mouse->MouseButton(0));
}

TEST_F(RealInput, SdlVirtualJoystickReadsWithRangeDeadZoneAndSaturation) {
    if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0) GTEST_SKIP() << SDL_GetError();
    int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 2, 4, 1);
    ASSERT_GE(index, 0) << SDL_GetError();
    SDL_Joystick* stick = SDL_JoystickOpen(index);
    TQVXInput* input = Started(TInputDevice::JoyStick);
    SDL_JoystickSetVirtualAxis(stick, 0, -32768);
    SDL_JoystickSetVirtualAxis(stick, 1, 4000);  // 12 %: inside the dead zone
    SDL_JoystickSetVirtualButton(stick, 3, SDL_PRESSED);
    SDL_JoystickSetVirtualHat(stick, 0, SDL_HAT_RIGHT);
    EXPECT_TRUE(input->Update());
    EXPECT_EQ(input->JoyState().lX, -1000);
    EXPECT_EQ(input->JoyState().lY, 0);
    EXPECT_TRUE(input->JoyButton(3));
    EXPECT_EQ(input->JoyState().rgdwPOV[0], 9000u);
    SDL_JoystickSetVirtualAxis(stick, 0, 31200);  // 95 %: saturated
    SDL_JoystickSetVirtualAxis(stick, 1, 18022);  // 55 %: half-way from 15 % to 95 %
    EXPECT_TRUE(input->Update());
    EXPECT_EQ(input->JoyState().lX, 1000);
    EXPECT_NEAR(input->JoyState().lY, 500, 2);
    delete input;
    SDL_JoystickClose(stick);
    SDL_JoystickDetachVirtual(index);
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
}

// Two identical pads (same name and product): each keeps its identity while
// attached, so unplugging the one in use is a loss, not a switch to its twin.
TEST_F(RealInput, IdenticalSdlPadsKeepTheirOwnIdentityWhenOneIsUnplugged) {
    if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0) GTEST_SKIP() << SDL_GetError();
    const int first = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 2, 4, 0);
    const int second = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 2, 4, 0);
    ASSERT_GE(second, 0) << SDL_GetError();
    ASSERT_EQ(std::memcmp(SDL_JoystickGetDeviceGUID(first).data, SDL_JoystickGetDeviceGUID(second).data, 16), 0);
    SDL_Joystick* one = SDL_JoystickOpen(first);
    SDL_Joystick* two = SDL_JoystickOpen(second);
    TQVXInput* input = Started(TInputDevice::JoyStick);
    SDL_JoystickSetVirtualButton(two, 1, SDL_PRESSED);
    ASSERT_TRUE(input->Update());
    EXPECT_FALSE(input->JoyButton(1));

    SDL_JoystickClose(one);
    SDL_JoystickDetachVirtual(first);
    EXPECT_FALSE(input->Update());
    EXPECT_FALSE(input->JoyButton(1));
    delete input;
    SDL_JoystickClose(two);
    SDL_JoystickDetachVirtual(0);
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
}

}  // namespace
