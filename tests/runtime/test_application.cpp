// The game application's message loop and its forms on the headless backend.
#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "platform/winsys/headless/headless.h"
#include "qvx/runtime/application.h"
#include "qvx/runtime/forms.h"

using namespace qvx;
namespace hl = winsys::headless;

namespace {

class AppTest : public ::testing::Test {
protected:
    void SetUp() override {
        hl::ResetMessageBoxes();
        app = std::make_unique<TApplication>();
        form = app->CreateForm<TForm>();
    }
    void TearDown() override {
        hl::SetWaitHook(nullptr);
        app.reset();
        winsys::MSG m;
        while (winsys::PeekMessage(m)) {
        }
    }
    hl::HeadlessWindow* Window() { return static_cast<hl::HeadlessWindow*>(form->Handle()); }

    std::unique_ptr<TApplication> app;
    TForm* form = nullptr;
};

}  // namespace

TEST_F(AppTest, IdleRepeatsWithoutWaitingUntilDone) {
    int idles = 0, waits = 0;
    hl::SetWaitHook([&] { ++waits; });
    app->OnIdle = [&](tk::TObject*, bool& done) {
        done = ++idles >= 3;
        if (done) app->Terminate();
    };
    app->Run();
    EXPECT_EQ(idles, 3);
    EXPECT_EQ(waits, 0);  // the quit message was already queued
    EXPECT_TRUE(app->Terminated());
    EXPECT_EQ(app->MainForm(), form);
    EXPECT_TRUE(form->Visible());
}

TEST_F(AppTest, ActivationReachesMessageHookThenForm) {
    std::vector<std::string> seen;
    app->OnMessage = [&](winsys::MSG& m, bool& handled) {
        if (m.message == winsys::WM_ACTIVATEAPP) seen.push_back("app" + std::to_string(m.wParam));
        if (m.message == winsys::WM_USER + 1) {
            seen.push_back("user");
            handled = true;
        }
    };
    form->OnActivate = [&](tk::TObject* sender) {
        EXPECT_EQ(sender, form);
        seen.push_back("form");
        app->PostMessage(winsys::WM_USER + 1);
    };
    form->Show();
    app->ProcessMessages();
    Window()->SetActive(false);
    Window()->SetActive(true);
    app->ProcessMessages();
    EXPECT_EQ(seen,
              (std::vector<std::string>{"app1", "form", "user", "app0", "app1", "form", "user"}));
    EXPECT_TRUE(app->Active());
}

TEST_F(AppTest, ExceptionsGoToHandlerOrMessageBox) {
    form->Show();
    form->OnMouseDown = [](tk::TObject*, TMouseButton, TShiftState, int, int) {
        throw std::runtime_error("boom");
    };
    winsys::MouseEvent press;
    press.kind = winsys::MouseEvent::Press;
    Window()->DeliverMouse(press);
    app->ProcessMessages();
    ASSERT_EQ(hl::MessageBoxes().size(), 1u);
    EXPECT_EQ(hl::MessageBoxes()[0].text, "boom");

    std::string caught;
    app->OnException = [&](tk::TObject*, const std::exception& e) { caught = e.what(); };
    Window()->DeliverMouse(press);
    app->ProcessMessages();
    EXPECT_EQ(caught, "boom");
    EXPECT_EQ(hl::MessageBoxes().size(), 1u);
}

TEST_F(AppTest, MouseEventsCarryButtonAndClientPosition) {
    form->Show();
    std::vector<std::string> events;
    form->OnMouseMove = [&](tk::TObject*, TShiftState, int x, int y) {
        events.push_back("move " + std::to_string(x) + "," + std::to_string(y));
    };
    form->OnMouseDown = [&](tk::TObject*, TMouseButton b, TShiftState, int x, int y) {
        events.push_back("down " + std::to_string(static_cast<int>(b)) + " " + std::to_string(x) +
                         "," + std::to_string(y));
    };
    winsys::MouseEvent e;
    e.kind = winsys::MouseEvent::Move;
    e.x = 17;
    e.y = 300;
    Window()->DeliverMouse(e);
    e.kind = winsys::MouseEvent::Press;
    e.button = winsys::MouseButton::Right;
    Window()->DeliverMouse(e);
    app->ProcessMessages();
    EXPECT_EQ(events, (std::vector<std::string>{"move 17,300", "down 1 17,300"}));
}

TEST_F(AppTest, BorderStyleKeepsOuterSizeAndClosingMainFormEnds) {
    form->SetClientWidth(320);
    form->SetClientHeight(200);
    int w = form->Width(), h = form->Height();
    form->SetBorderStyle(TFormBorderStyle::bsNone);
    EXPECT_EQ(form->ClientWidth(), w);
    EXPECT_EQ(form->ClientHeight(), h);
    form->Show();
    EXPECT_TRUE(Window()->Borderless());
    EXPECT_TRUE(Window()->RequestClose());
    app->ProcessMessages();
    EXPECT_TRUE(app->Terminated());
}

TEST_F(AppTest, HideHidesTheWindowAndShowBringsItBackInTheFormsColour) {
    form->Color = clBtnFace;
    form->Show();
    EXPECT_EQ(Window()->Background(), tk::RGB(192, 192, 192));
    form->Hide();
    EXPECT_FALSE(Window()->IsVisible());
    EXPECT_FALSE(form->Visible());
    form->Color = tk::RGB(0, 0, 128);
    form->Show();
    EXPECT_TRUE(Window()->IsVisible());
    EXPECT_EQ(Window()->Background(), tk::RGB(0, 0, 128));
}
