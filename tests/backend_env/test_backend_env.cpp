// The environment chooses the backend when the game application starts.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <cstdlib>
#include <optional>
#include <string>

#include "platform/com/backend.h"
#include "platform/ddraw/headless/headless.h"
#include "qvx/runtime/application.h"
#include "qvx/runtime/forms.h"
#include "qvx/runtime/screen.h"
#include "toolkit/sysutils.h"

using platform::Backend;

namespace {

// QVX_BACKEND set (or unset, for nullptr) for one scope.
struct Env {
    explicit Env(const char* value) {
        if (value)
            setenv("QVX_BACKEND", value, 1);
        else
            unsetenv("QVX_BACKEND");
    }
    ~Env() { unsetenv("QVX_BACKEND"); }
};

}  // namespace

// With neither the environment nor the program choosing, a game gets its
// window. Run in a fresh process, where nothing has been chosen yet.
TEST(BackendEnvironment, AGameThatChoseNothingGetsTheRealBackend) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    Env env(nullptr);
    EXPECT_EXIT(
        {
            const bool chosenBefore = platform::BackendChosen();
            qvx::TApplication app;
            std::exit(!chosenBefore && platform::CurrentBackend() == Backend::Real ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(BackendEnvironment, NamesABackendOrNoneAndRefusesOtherValues) {
    struct Case {
        const char* value;
        std::optional<Backend> backend;
    };
    for (const Case& c : {Case{nullptr, std::nullopt}, Case{"", std::nullopt},
                          Case{"headless", Backend::Headless}, Case{"HeadLess", Backend::Headless},
                          Case{"real", Backend::Real}, Case{"REAL", Backend::Real}}) {
        Env env(c.value);
        EXPECT_EQ(platform::EnvironmentBackend(), c.backend) << (c.value ? c.value : "(unset)");
    }
    for (const char* bad : {"sdl", " headless", "qt"}) {
        Env env(bad);
        try {
            platform::EnvironmentBackend();
            ADD_FAILURE() << bad << " was taken";
        } catch (const tk::Exception& e) {
            EXPECT_EQ(std::string(e.what()),
                      std::string("QVX_BACKEND is \"") + bad + "\"; it must be headless or real");
        }
    }
}

// A game that asks for the real backend runs headless when the environment
// says so, with no display, and its canvas still draws text.
TEST(BackendEnvironment, HeadlessWinsOverTheProgramsChoiceAndDrawsText) {
    Env env("headless");
    platform::SelectBackend(Backend::Real);
    ddraw::headless::ResetFrames();
    {
        qvx::TApplication app;
        EXPECT_EQ(platform::CurrentBackend(), Backend::Headless);
        EXPECT_EQ(QGuiApplication::platformName(), "offscreen");
        auto* form = app.CreateForm<qvx::TForm>();
        auto* screen = new qvx::TQVXScreen(form);
        screen->DisplayMode = qvx::TDisplayMode::dm640x480x16;
        int frames = 0;
        screen->OnFlip = [&](tk::TObject*) {
            if (++frames == 3) app.Terminate();
            screen->BackSurface()->Erase(0);
            qvx::TQVXCanvas& canvas = *screen->BackSurface()->Canvas;
            canvas.Font.Color = tk::clWhite;
            canvas.TextOut(10, 10, "QVX");
            canvas.ReleaseHandle();
        };
        screen->SetFlippingEnabled(true);
        app.Run();
    }
    platform::SelectBackend(Backend::Headless);
    ASSERT_GT(ddraw::headless::FrameCount(), 0);
    QImage frame = ddraw::headless::LastFrame();
    int lit = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 60; ++x) lit += qGray(frame.pixel(x, y)) > 128;
    EXPECT_GT(lit, 10);  // the text's strokes
}
