// A game on the headless backend: an application, its main form and a
// screen on it, started the way a game starts (the form's activation).
#pragma once

#include <gtest/gtest.h>

#include <QImage>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "../assets/assetbytes.h"
#include "platform/ddraw/headless/headless.h"
#include "platform/winsys/headless/headless.h"
#include "qvx/assets/image_library.h"
#include "qvx/runtime/application.h"
#include "qvx/runtime/forms.h"
#include "qvx/runtime/screen.h"
#include "surface_pixel.h"

namespace screentest {

using namespace qvx;

// An .IML file of `sizes` images (pixel (x, y) = 1 + x + 7y) in a fresh folder.
inline std::string WriteIml(const std::string& tag, const std::vector<std::pair<int, int>>& sizes) {
    auto dir = std::filesystem::temp_directory_path() /
               ("qvx_screen_" + tag + "_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    auto b = assetbytes::ImlHeader("IL10", static_cast<int32_t>(sizes.size()));
    int n = 0;
    for (auto [w, h] : sizes) assetbytes::ImlImage(b, w, h, "img" + std::to_string(n++));
    std::string path = (dir / "lib.iml").string();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
    return path;
}

class ScreenTest : public ::testing::Test {
protected:
    void SetUp() override {
        winsys::headless::SetDesktopMode({1920, 1080, 32, 60});
        winsys::headless::ResetMessageBoxes();
        ddraw::headless::ClearFaults();
        app = std::make_unique<TApplication>();
        form = app->CreateForm<TForm>();
        form->SetCaption("Game");
        form->SetClientWidth(400);
        form->SetClientHeight(300);
        screen = new TQVXScreen(form);
    }
    void TearDown() override {
        ddraw::headless::ClearFaults();
        winsys::headless::SetWaitHook(nullptr);
        app.reset();
        winsys::MSG m;
        while (winsys::PeekMessage(m)) {
        }
    }
    // Finishes "loading" the screen and shows the form: its activation
    // starts the display.
    void Start() {
        screen->Loaded();
        form->Show();
        app->ProcessMessages();
    }
    // A windowed 16-bit screen (as form data made at design time holds it).
    void Windowed16() {
        screen->DisplayMode = TDisplayMode::dm640x480x16;
        screen->ColorDepth = 16;
        screen->SetWindowMode(true);
        screen->WindowVBL = false;
    }
    // Runs `frames` idle-time frames (flipping must be enabled).
    void RunFrames(int frames) {
        int left = frames;
        tk::TNotifyEvent game = screen->OnFlip;
        screen->OnFlip = [&, game](tk::TObject* s) {
            if (game) game(s);
            if (--left == 0) app->Terminate();
        };
        app->Run();
        screen->OnFlip = game;
    }
    winsys::headless::HeadlessWindow* Window() {
        return static_cast<winsys::headless::HeadlessWindow*>(form->Handle());
    }

    std::unique_ptr<TApplication> app;
    TForm* form = nullptr;
    TQVXScreen* screen = nullptr;
};

}  // namespace screentest
