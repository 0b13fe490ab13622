// A QVX program in one file, built without CMake:
//   g++ hello.cpp $(pkg-config --cflags --libs qvx) -o hello
// Its window is made in code instead of form data: a screen whose frames
// cycle through the colours, for 100 frames. QVX_BACKEND=headless runs it
// with no display.
#include <cstdio>
#include <exception>

#include "qvx/runtime/application.h"
#include "qvx/runtime/forms.h"
#include "qvx/runtime/screen.h"

int main() {
    try {
        qvx::TApplication app;
        auto* form = app.CreateForm<qvx::TForm>();
        auto* screen = new qvx::TQVXScreen(form);  // the form owns it
        screen->DisplayMode = qvx::TDisplayMode::dm640x480x16;
        screen->ColorDepth = 16;  // the mode's depth: no question about 256 colours
        screen->SetWindowMode(true);
        int frames = 0;
        screen->OnFlip = [&](tk::TObject*) {
            if (frames == 100) {
                app.Terminate();
                return;
            }
            screen->BackSurface()->Erase(static_cast<uint8_t>(frames++));
        };
        screen->SetFlippingEnabled(true);
        app.Run();
        std::printf("hello: %d frames\n", frames);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "hello: %s\n", e.what());
        return 1;
    }
    return 0;
}
