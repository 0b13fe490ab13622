// Keyboard and mouse on the real window backend: Qt key and mouse events
// sent to the Qt window reach DirectInput's device state.
#include <QGuiApplication>
#include <QTest>

#include "input_fixture.h"
#include "platform/winsys/qt/qt_window.h"

namespace {

QGuiApplication& App() {
    static int argc = 1;
    static char name[] = "platform_dinput_tests";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
    return app;
}

class QtWindowInput : public ::testing::Test {
protected:
    void SetUp() override {
        App();
        platform::SelectBackend(platform::Backend::Real);
        window_ = winsys::CreateTopLevelWindow("TTestForm", "Qt input test", 320, 200);
        qt_ = dynamic_cast<winsys::qt::QtWindow*>(window_.get());
        ASSERT_NE(qt_, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowActive(qt_->Handle()));
        ASSERT_TRUE(window_->IsActive());
        ASSERT_EQ(DirectInputCreateA(nullptr, DIRECTINPUT_VERSION, di.Put(), nullptr), DI_OK);
    }
    void TearDown() override {
        di = nullptr;
        window_.reset();
        platform::SelectBackend(platform::Backend::Headless);
    }

    std::unique_ptr<winsys::Window> window_;
    winsys::qt::QtWindow* qt_ = nullptr;
    ComPtr<IDirectInput> di;
};

TEST_F(QtWindowInput, KeysReachTheKeyboardState) {
    auto kb = OpenDevice(di.Get(), GUID_SysKeyboard, c_dfDIKeyboard, window_.get(), DISCL_NONEXCLUSIVE | DISCL_FOREGROUND);
    ASSERT_EQ(kb->Acquire(), DI_OK);
    BYTE keys[256];
    QTest::keyPress(qt_->Handle(), Qt::Key_Left);
    QTest::keyPress(qt_->Handle(), Qt::Key_A);
    ASSERT_EQ(kb->GetDeviceState(sizeof keys, keys), DI_OK);
    EXPECT_EQ(keys[DIK_LEFT], 0x80);
    EXPECT_EQ(keys[DIK_A], 0x80);
    EXPECT_EQ(keys[DIK_RIGHT], 0);
    QTest::keyRelease(qt_->Handle(), Qt::Key_Left);
    ASSERT_EQ(kb->GetDeviceState(sizeof keys, keys), DI_OK);
    EXPECT_EQ(keys[DIK_LEFT], 0);
    EXPECT_EQ(keys[DIK_A], 0x80);
}

TEST_F(QtWindowInput, MouseMotionAndButtonsReachTheMouseState) {
    auto mouse = OpenDevice(di.Get(), GUID_SysMouse, c_dfDIMouse, window_.get(), DISCL_EXCLUSIVE | DISCL_FOREGROUND);
    ASSERT_EQ(mouse->Acquire(), DI_OK);
    EXPECT_TRUE(window_->PointerCaptured());
    QWindow* w = qt_->Handle();
    // A captured pointer is held at the centre; motion is measured from there.
    QTest::mouseMove(w, QPoint(160, 100));
    QTest::mouseMove(w, QPoint(190, 90));
    QTest::mousePress(w, Qt::RightButton, {}, QPoint(190, 90));
    DIMOUSESTATE s{};
    ASSERT_EQ(mouse->GetDeviceState(sizeof s, &s), DI_OK);
    EXPECT_EQ(s.lX, 30);
    EXPECT_EQ(s.lY, -10);
    EXPECT_EQ(s.rgbButtons[0], 0);
    EXPECT_EQ(s.rgbButtons[1], 0x80);
    QTest::mouseRelease(w, Qt::RightButton, {}, QPoint(190, 90));
    ASSERT_EQ(mouse->GetDeviceState(sizeof s, &s), DI_OK);
    EXPECT_EQ(s.lX, 0);
    EXPECT_EQ(s.rgbButtons[1], 0);
}

}  // namespace
