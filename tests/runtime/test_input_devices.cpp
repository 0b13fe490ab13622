// TQVXInput on the real backend: Qt key and mouse events on the form's Qt
// window, and an SDL virtual joystick, as the game reads them.
#include <gtest/gtest.h>
#include <SDL.h>

#include <QGuiApplication>
#include <QTest>

#include "platform/com/backend.h"
#include "platform/winsys/qt/qt_window.h"
#include "qvx/runtime/application.h"
#include "qvx/runtime/forms.h"
#include "qvx/runtime/input.h"

using namespace qvx;

namespace {

QGuiApplication& App() {
    static int argc = 1;
    static char name[] = "runtime_tests";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
    return app;
}

class RealInput : public ::testing::Test {
protected:
    void SetUp() override {
        App();
        platform::SelectBackend(platform::Backend::Real);
        app = std::make_unique<TApplication>();
        form = app->CreateForm<TForm>();
        form->Show();
        qt = dynamic_cast<winsys::qt::QtWindow*>(form->Handle());
        ASSERT_NE(qt, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowActive(qt->Handle()));
        app->ProcessMessages();
        input = new TQVXInput(form);
    }
    void TearDown() override {
        app.reset();
        platform::SelectBackend(platform::Backend::Headless);
    }

    std::unique_ptr<TApplication> app;
    TForm* form = nullptr;
    winsys::qt::QtWindow* qt = nullptr;
    TQVXInput* input = nullptr;
};

TEST_F(RealInput, QtKeysReachTheGame) {
    input->StartInput();
    QTest::keyPress(qt->Handle(), Qt::Key_Up);
    ASSERT_TRUE(input->Update());
    EXPECT_TRUE(input->KeyDown(DIK_UP));
    QTest::keyRelease(qt->Handle(), Qt::Key_Up);
    ASSERT_TRUE(input->Update());
    EXPECT_FALSE(input->KeyDown(DIK_UP));
}

TEST_F(RealInput, QtMouseReachesTheGame) {
    input->SetDevice(TInputDevice::Mouse);
    input->StartInput();
    QWindow* w = qt->Handle();
    const QPoint centre(w->width() / 2, w->height() / 2);
    QTest::mouseMove(w, centre);
    QTest::mouseMove(w, centre + QPoint(-12, 8));
    QTest::mousePress(w, Qt::LeftButton, {}, centre);
    ASSERT_TRUE(input->Update());
    EXPECT_EQ(input->Mouse().lX, -12);
    EXPECT_EQ(input->Mouse().lY, 8);
    EXPECT_TRUE(input->MouseButton(0));
    QTest::mouseRelease(w, Qt::LeftButton, {}, centre);
}

TEST_F(RealInput, SdlVirtualJoystickReadsCalibrated) {
    if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0) GTEST_SKIP() << SDL_GetError();
    int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 2, 4, 1);
    ASSERT_GE(index, 0) << SDL_GetError();
    SDL_Joystick* stick = SDL_JoystickOpen(index);
    ASSERT_NE(stick, nullptr);
    input->SetDevice(TInputDevice::JoyStick);
    input->StartInput();
    SDL_JoystickSetVirtualAxis(stick, 0, -32768);  // full left
    SDL_JoystickSetVirtualAxis(stick, 1, 4000);    // inside the dead zone
    SDL_JoystickSetVirtualButton(stick, 3, SDL_PRESSED);
    SDL_JoystickSetVirtualHat(stick, 0, SDL_HAT_UP);
    EXPECT_TRUE(input->Update());
    EXPECT_EQ(input->JoyState().lX, -1000);
    EXPECT_EQ(input->JoyState().lY, 0);
    EXPECT_TRUE(input->JoyButton(3));
    EXPECT_FALSE(input->JoyButton(0));
    EXPECT_EQ(input->JoyState().rgdwPOV[0], 0u);
    SDL_JoystickSetVirtualAxis(stick, 1, static_cast<Sint16>(32767 * 0.95));  // saturated
    EXPECT_TRUE(input->Update());
    EXPECT_EQ(input->JoyState().lY, 1000);
    delete input;
    SDL_JoystickClose(stick);
    SDL_JoystickDetachVirtual(index);
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
}

}  // namespace
