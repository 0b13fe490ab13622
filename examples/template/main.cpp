// A game: its window is game.dfm, beside the program, with a screen and a
// sprite library; the game adds the handler the form names, GameFlip, which
// draws each frame. Runs in a window; QVX_BACKEND=headless runs it with no
// display and no sound device. --frames N stops after N frames.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>

#include "qvx/runtime/application.h"
#include "qvx/runtime/formdata.h"
#include "qvx/runtime/forms.h"
#include "qvx/runtime/screen.h"
#include "toolkit/streams.h"

int main(int argc, char** argv) {
    const int frames = argc == 3 && std::string(argv[1]) == "--frames" ? std::atoi(argv[2]) : 0;
    try {
        qvx::TApplication app;
        qvx::TQVXScreen* screen = nullptr;
        int frame = 0, drawn = 0, x = 0, y = 0, dx = 3, dy = 2;

        tk::THandlerTable handlers;
        handlers.Add<tk::TNotifyEvent>("GameFlip", [&](tk::TObject*) {
            if (frames && frame == frames) {
                app.Terminate();
                return;
            }
            ++frame;
            qvx::TQVXSurface* back = screen->BackSurface();
            qvx::TQVXSurface* ball = screen->ImageSurfaces(0);
            back->Erase(0);
            if (!ball) return;
            // Bounce off the edges of the frame.
            if (x + dx < 0 || x + dx + ball->Width > back->Width) dx = -dx;
            if (y + dy < 0 || y + dy + ball->Height > back->Height) dy = -dy;
            x += dx, y += dy;
            // Colour 0 of the sprite is transparent.
            if (back->Surface->BltFast(x, y, ball->Surface.Get(), nullptr,
                                       DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT) == DD_OK)
                ++drawn;
        });

        auto* form = app.CreateForm<qvx::TForm>();
        const auto dir = std::filesystem::canonical("/proc/self/exe").parent_path();
        qvx::LoadFormFromData(*form, tk::ReadFileBytes((dir / "game.dfm").string()), handlers, [&] {
            screen = dynamic_cast<qvx::TQVXScreen*>(form->FindComponent("Screen"));
            screen->SetWindowMode(true);
        });
        app.Run();
        std::printf("game: %d frames, the sprite drawn in %d\n", frame, drawn);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "game: %s\n", e.what());
        return 1;
    }
    return 0;
}
