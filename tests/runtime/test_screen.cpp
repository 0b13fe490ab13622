// The screen started, flipped, restored and shut down on the headless backend.
#include "qvx/runtime/dxerror.h"
#include "screen_fixture.h"

using namespace screentest;
namespace dh = ddraw::headless;
namespace wh = winsys::headless;

TEST_F(ScreenTest, FullScreen8BitFlipsTheBackBuffer) {
    screen->DisplayMode = TDisplayMode::dm320x240x8;
    screen->ColorDepth = 32;  // overwritten by the mode
    screen->SetFlippingEnabled(true);
    int initialised = 0;
    screen->OnInitialize = [&](tk::TObject*) { ++initialised; };
    Start();
    ASSERT_TRUE(screen->Started());
    EXPECT_EQ(initialised, 1);
    EXPECT_EQ(screen->ColorDepth, 8);
    EXPECT_EQ(form->BorderStyle(), TFormBorderStyle::bsNone);
    EXPECT_EQ(form->FormStyle(), TFormStyle::fsStayOnTop);
    EXPECT_EQ(screen->FrontSurface()->Width, 320);
    EXPECT_TRUE(screen->BackSurface()->Attached);
    EXPECT_EQ(winsys::GetCursor(), nullptr);  // ShowMouse off hides the cursor

    tk::TPaletteEntry pal[256] = {};
    pal[5] = {255, 0, 0, 0};
    screen->SetPalette(pal);
    screen->OnFlip = [&](tk::TObject*) { screen->BackSurface()->Erase(5); };
    RunFrames(3);
    QImage frame = dh::LastFrame();
    ASSERT_EQ(frame.size(), QSize(320, 240));
    EXPECT_EQ(frame.pixel(100, 100) & 0xFFFFFF, 0xFF0000u);

    screen->ShutDown();
    EXPECT_FALSE(screen->Started());
    EXPECT_FALSE(app->OnIdle);
    EXPECT_FALSE(app->OnMessage);
}

TEST_F(ScreenTest, Windowed16BitCopiesTheBufferIntoTheForm) {
    screen->DisplayMode = TDisplayMode::dm640x480x16;
    screen->ColorDepth = 16;
    screen->SetWindowMode(true);
    screen->WinBufWidth = 200;
    screen->WinBufHeight = 150;
    screen->WindowVBL = false;
    screen->ShowMouse = true;
    Start();
    ASSERT_TRUE(screen->Started());
    EXPECT_EQ(form->BorderStyle(), TFormBorderStyle::bsSizeable);  // windowed: form left as it is
    EXPECT_EQ(form->ClientWidth(), 200);
    EXPECT_EQ(form->ClientHeight(), 150);
    // The pointer over the client area at (100, 60) is drawn into the frame.
    tk::TPoint at = form->ClientToScreen({100, 60});
    winsys::SetCursorPos(at.X, at.Y);
    winsys::PostMessage(form->Handle(), winsys::WM_MOUSEMOVE, 0, winsys::MAKELPARAM(100, 60));
    app->ProcessMessages();
    screen->BackSurface()->Erase(0);
    screen->BackSurface()->Canvas->Brush.Color = tk::RGB(0, 255, 0);
    screen->BackSurface()->Canvas->FillRect(tk::Rect(10, 10, 30, 30));
    screen->BackSurface()->Canvas->ReleaseHandle();
    screen->Flip();
    const QImage& client = Window()->ClientImage();
    EXPECT_EQ(client.pixel(20, 20) & 0xFFFFFF, 0x00FF00u);
    EXPECT_EQ(client.pixel(50, 50) & 0xFFFFFF, 0u);
    EXPECT_NE(client.pixel(101, 64) & 0xFFFFFF, 0u);
}

TEST_F(ScreenTest, Windowed32BitStretchedFillsTheClientArea) {
    screen->DisplayMode = TDisplayMode::dm640x480x32;
    screen->ColorDepth = 32;
    screen->SetWindowMode(true);
    screen->WindowStretch = true;
    screen->WindowVBL = true;
    Start();
    ASSERT_TRUE(screen->Started());
    // The client area takes the form's outer size remembered at start-up.
    EXPECT_EQ(form->ClientWidth(), 400 + 8);
    screen->BackSurface()->Erase(0);
    screen->BackSurface()->Canvas->Brush.Color = tk::RGB(0, 0, 255);
    screen->BackSurface()->Canvas->FillRect(tk::Rect(320, 240, 640, 480));  // bottom-right quarter
    screen->BackSurface()->Canvas->ReleaseHandle();
    long waits = dh::VBlankWaits();
    screen->Flip();
    EXPECT_GT(dh::VBlankWaits(), waits);
    const QImage& client = Window()->ClientImage();
    EXPECT_EQ(client.pixel(form->ClientWidth() - 5, form->ClientHeight() - 5) & 0xFFFFFF,
              0x0000FFu);
    EXPECT_EQ(client.pixel(form->ClientWidth() / 2 - 10, form->ClientHeight() / 2 - 10) & 0xFFFFFF,
              0u);
}

// A start-up that fails at any step raises its message and gives back all
// it made: no surfaces, the desktop's mode, no exclusive hold, the form's
// size. No frame is asked for meanwhile; the next activation starts whole.
TEST_F(ScreenTest, StartUpFailingAtAnyStepGivesAllBackAndStartsWholeNextTime) {
    struct Case {
        const char* method;
        int nth;
        HRESULT code;
        bool windowed;
        std::string message;
    };
    const std::string coop = "DirectDraw4 SetCooperativeLevel Failed: ";
    const Case cases[] = {
        {"DirectDrawCreate", 1, DDERR_GENERIC, false, "Failed to create IDirectDraw object"},
        {"QueryInterface", 1, E_NOINTERFACE, false, "Failed to create IDirectDraw 4 object"},
        {"SetCooperativeLevel", 1, DDERR_EXCLUSIVEMODEALREADYSET, false, coop + "Exclude mode already set"},
        {"SetCooperativeLevel", 1, DDERR_HWNDALREADYSET, false, coop + "HWND already set"},
        {"SetCooperativeLevel", 1, DDERR_HWNDSUBCLASSED, false, coop + "Hwnd Subclasses"},
        {"SetCooperativeLevel", 1, DDERR_INVALIDOBJECT, false, coop + "Invalid Object"},
        {"SetCooperativeLevel", 1, DDERR_INVALIDPARAMS, true, coop + "Invalud Params"},
        {"SetCooperativeLevel", 1, DDERR_OUTOFMEMORY, false, coop + "Out of memory"},
        {"SetCooperativeLevel", 1, DDERR_GENERIC, false, coop + "Unknown error"},
        {"SetDisplayMode", 1, DDERR_INVALIDMODE, false, "Set Display Mode Failed"},
        {"CreateSurface", 1, DDERR_OUTOFVIDEOMEMORY, false, "Create Primary Surface failed"},
        {"CreateSurface", 1, DDERR_OUTOFVIDEOMEMORY, true, "Create Primary Surface failed"},
        {"GetDisplayMode", 1, DDERR_GENERIC, false, "Get DisplayMode Failed"},
        {"GetDisplayMode", 1, DDERR_GENERIC, true, "Get DisplayMode Failed"},
        {"GetAttachedSurface", 1, DDERR_NOTFOUND, false, "Failed to get background surface"},
        {"CreateSurface", 2, DDERR_OUTOFVIDEOMEMORY, true, "Failed Creating BackBufferW"},
        {"Blt", 1, DDERR_GENERIC, false, "Erase (Blt) Failed"},
        {"Blt", 1, DDERR_GENERIC, true, "Erase (Blt) Failed"},
        {"Flip", 1, DDERR_GENERIC, false, "Flip Failed"},
        {"Blt", 2, DDERR_GENERIC, true, "Flip Failed"},
        {"CreatePalette", 1, DDERR_GENERIC, false, "CreatePalette Failed"},
        {"SetPalette", 1, DDERR_GENERIC, false, "SetPalette Failed"},
        {"CreateSurface", 2, DDERR_OUTOFVIDEOMEMORY, false, "Could not create memory surface (3, 2)"},
        {"CreateSurface", 3, DDERR_OUTOFVIDEOMEMORY, true, "Could not create memory surface (3, 2)"},
        {"SetColorKey", 1, DDERR_GENERIC, true, "SetColorKey failed"},
    };
    auto* lib = new TQVXImageLib(form);
    lib->LoadFromFile(WriteIml("startup", {{3, 2}}));
    screen->SetImageLibrary(lib);
    screen->SetFlippingEnabled(true);
    screen->WindowVBL = false;
    int frames = 0;
    screen->OnFlip = [&](tk::TObject*) {
        ASSERT_NE(screen->BackSurface(), nullptr);
        ++frames;
    };
    const winsys::DesktopMode desktop = winsys::GetDesktopMode();
    Start();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message + (c.windowed ? " (windowed)" : " (full screen)"));
        screen->ShutDown();
        screen->SetFlippingEnabled(true);
        screen->SetWindowMode(c.windowed);
        screen->DisplayMode = c.windowed ? TDisplayMode::dm640x480x16 : TDisplayMode::dm320x240x8;
        screen->ColorDepth = c.windowed ? 16 : 8;
        const int width = form->ClientWidth(), height = form->ClientHeight();
        wh::ResetMessageBoxes();
        dh::ClearFaults();
        dh::InjectFault(c.method, c.nth, c.code);
        Window()->SetActive(false);
        Window()->SetActive(true);
        app->ProcessMessages();
        ASSERT_EQ(wh::MessageBoxes().size(), 1u);
        EXPECT_EQ(wh::MessageBoxes()[0].text, c.message);

        EXPECT_FALSE(screen->Started());
        EXPECT_EQ(screen->FrontSurface(), nullptr);
        EXPECT_EQ(screen->ImageCount(), 0);
        EXPECT_EQ(winsys::GetDesktopMode().width, desktop.width);
        EXPECT_EQ(winsys::GetDesktopMode().bitsPerPixel, desktop.bitsPerPixel);
        EXPECT_EQ(form->ClientWidth(), width);
        EXPECT_EQ(form->ClientHeight(), height);
        {
            ComPtr<IDirectDraw> other;
            ComPtr<IDirectDraw4> other4;
            ASSERT_EQ(DirectDrawCreate(nullptr, other.Put(), nullptr), DD_OK);
            other->QueryInterface(IID_IDirectDraw4, other4.PutVoid());
            EXPECT_EQ(other4->SetCooperativeLevel(form->Handle(), DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK)
                << "the exclusive level is still held";
        }
        if (app->OnIdle) {
            bool done = true;
            app->OnIdle(app.get(), done);
        }
        EXPECT_EQ(frames, 0);

        dh::ClearFaults();
        Window()->SetActive(false);
        Window()->SetActive(true);
        app->ProcessMessages();
        ASSERT_TRUE(screen->Started());
        EXPECT_EQ(screen->ImageCount(), 1);
        ASSERT_TRUE(app->OnIdle) << "flipping was switched off";
        for (int i = 0; i < 3; ++i) {
            bool done = true;
            app->OnIdle(app.get(), done);
        }
        EXPECT_EQ(frames, 3);
        frames = 0;
    }
}

TEST_F(ScreenTest, LostSurfaceStormsKeepFlipping) {
    // Full screen at 8 bits (blue is palette index 9), windowed at 16.
    for (bool windowed : {false, true}) {
        SCOPED_TRACE(windowed ? "windowed" : "full screen");
        screen->ShutDown();
        screen->DisplayMode = windowed ? TDisplayMode::dm640x480x16 : TDisplayMode::dm320x240x8;
        screen->SetWindowMode(windowed);
        screen->WindowVBL = false;
        form->Show();
        screen->StartDisplay();
        tk::TPaletteEntry pal[256] = {};
        pal[9] = {0, 0, 255, 0};
        screen->SetPalette(pal);
        const uint8_t blue = windowed ? 0x1F : 9;
        int frame = 0;
        screen->OnFlip = [&](tk::TObject*) {
            if (++frame % 3 == 0) dh::LoseSurfaces();
            screen->BackSurface()->Erase(blue);
        };
        screen->SetFlippingEnabled(true);
        RunFrames(30);
        screen->SetFlippingEnabled(false);
        screen->OnFlip = nullptr;
        EXPECT_EQ(frame, 30);
        // Both buffers came back: the next frame neither fails nor restores.
        EXPECT_EQ(screen->FrontSurface()->Surface->IsLost(), DD_OK);
        EXPECT_EQ(screen->BackSurface()->Surface->IsLost(), DD_OK);
        screen->BackSurface()->Erase(blue);
        screen->Flip();
        QImage shown = windowed ? Window()->ClientImage() : dh::LastFrame();
        EXPECT_EQ(shown.pixel(5, 5) & 0xFFFF00, 0u);
        EXPECT_NE(qBlue(shown.pixel(5, 5)), 0);
    }
}

// A palette the front surface refused is offered again, by the next
// SetPalette and by a restore: the screen shows the last palette set.
TEST_F(ScreenTest, RefusedPaletteIsAttachedAgain) {
    screen->DisplayMode = TDisplayMode::dm320x240x8;
    Start();
    tk::TPaletteEntry red[256] = {}, green[256] = {};
    red[5] = {255, 0, 0, 0};
    green[5] = {0, 255, 0, 0};
    auto shown = [&] {
        screen->BackSurface()->Erase(5);
        screen->Flip();
        return dh::LastFrame().pixel(0, 0) & 0xFFFFFF;
    };
    for (bool restore : {false, true}) {
        SCOPED_TRACE(restore ? "restore" : "SetPalette");
        screen->ShutDown();
        screen->StartDisplay();
        dh::InjectFault("SetPalette", 1, DDERR_GENERIC);
        EXPECT_THROW(screen->SetPalette(red), EQVXScreen);
        if (restore) {
            dh::LoseSurfaces();
            screen->RestoreSurfaces();
            EXPECT_EQ(shown(), 0xFF0000u);
        } else {
            screen->SetPalette(green);
            EXPECT_EQ(shown(), 0x00FF00u);
        }
    }
}

// Destruction never raises: a clean-up handler's exception goes to the
// application's exception event, as the screen's exceptions do while it runs.
TEST_F(ScreenTest, CleanUpRaisingWhileTheScreenIsDestroyedGoesToTheExceptionEvent) {
    Windowed16();
    Start();
    std::vector<std::string> seen;
    app->OnException = [&, running = app->OnException](tk::TObject* sender, const std::exception& e) {
        seen.push_back(e.what());
        running(sender, e);
    };
    screen->OnCleanUp = [](tk::TObject*) { throw tk::Exception("clean-up fault"); };
    wh::ResetBeeps();
    delete screen;
    screen = nullptr;
    EXPECT_EQ(seen, std::vector<std::string>{"clean-up fault"});
    EXPECT_EQ(wh::BeepCount(), 1);  // the screen's own handler ran too
    EXPECT_EQ(winsys::GetDesktopMode().width, 1920);
}

TEST_F(ScreenTest, FailedRestoreTracesAndRaises) {
    Windowed16();
    Start();
    dh::LoseSurfaces();
    dh::InjectFault("Restore", 1, DDERR_WRONGMODE);
    try {
        screen->Flip();
        ADD_FAILURE() << "no exception";
    } catch (const EQVXScreen& e) {
        EXPECT_EQ(e.Message(), "RestoreSurfaces Failed (Front)");
    }
}

namespace {
// An audio component that counts its starts.
class CountingAudio : public TQVXAudioBase {
public:
    using TQVXAudioBase::TQVXAudioBase;
    void StartAudio() override { ++starts; }
    int starts = 0;
};
}  // namespace

TEST_F(ScreenTest, ReactivationRestoresThenPaints) {
    auto* audio = new CountingAudio(form);
    EXPECT_TRUE(OwnerHasScreen(form));
    std::vector<std::string> order;
    form->OnActivate = [&](tk::TObject*) { order.push_back("activate"); };
    delete screen;  // a fresh screen saves the handler above
    screen = new TQVXScreen(form);
    Windowed16();
    screen->SetFlippingEnabled(true);
    screen->OnPaint = [&](tk::TObject*) {
        order.push_back("paint");
        EXPECT_TRUE(app->OnIdle);  // flipping already back on
        EXPECT_EQ(screen->FrontSurface()->Surface->IsLost(), DD_OK);
    };
    Start();
    EXPECT_EQ(order, std::vector<std::string>{"activate"});

    Window()->SetActive(false);
    app->ProcessMessages();
    EXPECT_FALSE(app->OnIdle);  // deactivation stops flipping
    dh::LoseSurfaces();
    Window()->SetActive(true);
    app->ProcessMessages();
    EXPECT_EQ(order, (std::vector<std::string>{"activate", "activate", "paint"}));
    EXPECT_EQ(audio->starts, 2);  // every activation starts the form's audio

    // The screen saver is swallowed while the screen runs, not after.
    int savers = wh::ScreenSaverStarts();
    winsys::PostMessage(form->Handle(), winsys::WM_SYSCOMMAND, winsys::SC_SCREENSAVE);
    app->ProcessMessages();
    EXPECT_EQ(wh::ScreenSaverStarts(), savers);
    screen->ShutDown();
    winsys::PostMessage(form->Handle(), winsys::WM_SYSCOMMAND, winsys::SC_SCREENSAVE);
    app->ProcessMessages();
    EXPECT_EQ(wh::ScreenSaverStarts(), savers + 1);
}

TEST_F(ScreenTest, WindowedEightBitOnTrueColourDesktopAsks) {
    screen->SetWindowMode(true);
    wh::QueueMessageBoxAnswer(winsys::IDYES);
    Start();
    ASSERT_EQ(wh::MessageBoxes().size(), 1u);
    EXPECT_EQ(
        wh::MessageBoxes()[0].text,
        "You are not in 256 color mode. Do you want to run this application in Full-Screen mode?");
    EXPECT_FALSE(screen->WindowMode());
    EXPECT_TRUE(screen->Started());

    screen->ShutDown();
    screen->SetWindowMode(true);
    wh::QueueMessageBoxAnswer(winsys::IDNO);
    screen->AppActivateHook(form);
    app->ProcessMessages();
    EXPECT_TRUE(app->Terminated());

    // A 256-colour desktop asks nothing.
    wh::SetDesktopMode({1920, 1080, 8, 60});
    screen->ShutDown();
    screen->AppActivateHook(form);
    EXPECT_EQ(wh::MessageBoxes().size(), 2u);
}

TEST_F(ScreenTest, ExceptionsWhileRunningBeepInsteadOfShowing) {
    Windowed16();
    Start();
    wh::ResetBeeps();
    form->OnMouseMove = [](tk::TObject*, TShiftState, int, int) {
        throw std::runtime_error("game fault");
    };
    winsys::PostMessage(form->Handle(), winsys::WM_MOUSEMOVE, 0, winsys::MAKELPARAM(1, 1));
    app->ProcessMessages();
    EXPECT_EQ(wh::BeepCount(), 1);
    EXPECT_TRUE(wh::MessageBoxes().empty());
}

TEST_F(ScreenTest, MouseButtonAndPositionFromTheMainForm) {
    Windowed16();
    Start();
    const std::pair<winsys::MouseButton, int> presses[] = {{winsys::MouseButton::Left, 1},
                                                           {winsys::MouseButton::Right, 2},
                                                           {winsys::MouseButton::Middle, 0}};
    for (auto [button, expected] : presses) {
        winsys::MouseEvent e;
        e.kind = winsys::MouseEvent::Press;
        e.button = button;
        Window()->DeliverMouse(e);
        app->ProcessMessages();
        EXPECT_EQ(screen->MouseButton, expected);
    }
}

TEST_F(ScreenTest, ScreenDestroyedBeforeItsFormHandsHandlersBack) {
    int activations = 0, moves = 0;
    form->OnActivate = [&](tk::TObject*) { ++activations; };
    form->OnMouseMove = [&](tk::TObject*, TShiftState, int, int) { ++moves; };
    delete screen;
    screen = new TQVXScreen(form);
    Windowed16();
    Start();
    EXPECT_EQ(activations, 1);
    delete screen;
    screen = nullptr;
    Window()->SetActive(false);
    Window()->SetActive(true);
    winsys::PostMessage(form->Handle(), winsys::WM_MOUSEMOVE, 0, 0);
    app->ProcessMessages();
    EXPECT_EQ(activations, 2);
    EXPECT_EQ(moves, 1);
    EXPECT_FALSE(app->OnMessage);
}

TEST_F(ScreenTest, PaletteCyclesAtEightBits) {
    screen->DisplayMode = TDisplayMode::dm320x240x8;
    screen->PaletteCycle = true;
    Start();
    tk::TPaletteEntry pal[256] = {};
    for (int i = 0; i < 256; ++i) pal[i] = {static_cast<uint8_t>(i), 0, 0, 0};
    screen->SetPalette(pal);
    screen->SetPaletteCycle(10, 13, 1, 2);
    screen->StartPaletteCycle();
    screen->Flip();
    EXPECT_EQ(screen->Palette()[10].peRed, 10);  // delay 2: not yet
    screen->Flip();
    EXPECT_EQ(screen->Palette()[10].peRed, 11);
    EXPECT_EQ(screen->Palette()[13].peRed, 10);
    EXPECT_EQ(screen->Palette()[14].peRed, 14);
    screen->BackSurface()->Erase(13);
    screen->Flip();
    EXPECT_EQ(dh::LastFrame().pixel(0, 0) & 0xFF0000, 10u << 16);  // the cycled colour is shown
    screen->StopPaletteCycle();
    EXPECT_EQ(screen->Palette()[10].peRed, 10);
}
