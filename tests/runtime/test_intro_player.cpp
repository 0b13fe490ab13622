// TQVXIntro playing an intro library on the headless screen.
#include "../crl/crlfile.h"
#include "platform/ddraw/pixels.h"
#include "qvx/intro/intro_timeline.h"
#include "qvx/runtime/formdata.h"
#include "qvx/runtime/intro_player.h"
#include "toolkit/formtext.h"
#include "screen_fixture.h"

using namespace screentest;

namespace {

class IntroTest : public ScreenTest {
protected:
    // Three 64 x 48 slides: a cut held 1 s, SlideRight at speed 5 (1 s),
    // ZoomOpen at speed 10 (0.5 s) held 1 s. 3.5 s in all.
    TQVXIntroLib* MakeLibrary() {
        std::mt19937 rng(5);
        testcrl::TLibPalette palette{};
        for (int i = 0; i < 256; ++i)
            palette[static_cast<size_t>(i)] = {static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i),
                                               static_cast<uint8_t>(i * 7), 1};
        std::vector<testcrl::RawSlide> slides;
        const int effects[3][3] = {{0, 5, 1}, {1, 5, 0}, {5, 10, 1}};
        for (auto& e : effects) {
            testcrl::RawSlide s = testcrl::Raw(64, 48, "s", rng);
            s.transition = static_cast<uint8_t>(e[0]);
            s.speed = e[1];
            s.hold = e[2];
            slides.push_back(s);
        }
        auto* lib = new TQVXIntroLib(form);
        lib->Library().LoadFromBytes(testcrl::CrlBytes("CR10", 3, 0, palette, slides));
        return lib;
    }
    void StartIntro(TDisplayMode mode, int depth) {
        winsys::headless::SetDesktopMode({1920, 1080, depth, 60});
        screen->DisplayMode = mode;
        screen->ColorDepth = depth;
        screen->SetWindowMode(true);
        screen->WindowVBL = false;
        screen->OnFlip = [this](tk::TObject*) { ++gameFrames; };
        intro = new TQVXIntro(form);
        intro->SetLibrary(MakeLibrary());
        intro->Clock = [this] { return now; };
        intro->OnSlide = [this](tk::TObject*, int index) { events.push_back("slide " + std::to_string(index)); };
        intro->OnFinished = [this](tk::TObject*) { events.push_back("finished"); };
        Start();
        intro->Play();
    }
    // One idle-time frame at `time` (microseconds from the first frame).
    void FrameAt(int64_t time) {
        now = time;
        bool done = true;
        screen->AppIdle(nullptr, done);
    }
    // The frame as the back buffer holds it, as RGB, and as the renderer
    // draws it through the library palette (centred, index 0 around).
    void ExpectFrameOnScreen(const TIntroState& state) {
        TIntroFrames frames(intro->Library()->Library());
        const TIntroFrame expected = frames.Draw(state);
        IDirectDrawSurface4* back = screen->BackSurface()->Surface.Get();
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof d;
        ASSERT_EQ(back->GetSurfaceDesc(&d), DD_OK);
        ddraw::PixelFormat format;
        ASSERT_TRUE(ddraw::FormatFromDD(d.ddpfPixelFormat, &format));
        const auto& pal = intro->Library()->Library().Palette();
        auto value = [&](uint8_t index) {
            return format.Palettized() ? index : ddraw::PackRGB(format, pal[index].Red, pal[index].Green, pal[index].Blue);
        };
        const int left = (static_cast<int>(d.dwWidth) - 64) / 2, top = (static_cast<int>(d.dwHeight) - 48) / 2;
        for (int y = 0; y < 48; y += 5)
            for (int x = 0; x < 64; x += 3)
                ASSERT_EQ(SurfacePixel(back, left + x, top + y), value(expected.Row(y)[x])) << x << "," << y;
        EXPECT_EQ(SurfacePixel(back, 0, 0), value(0));
        EXPECT_EQ(SurfacePixel(back, left + 64, top), value(0));
    }

    TQVXIntro* intro = nullptr;
    int64_t now = 0;
    int gameFrames = 0;
    std::vector<std::string> events;
};

TEST_F(IntroTest, EventsComeInOrderAndOnTimeAtTwoFrameRates) {
    StartIntro(TDisplayMode::dm640x480x16, 16);
    const TIntroTimeline timeline(intro->Library()->Library());
    std::vector<std::vector<std::pair<std::string, int64_t>>> runs;
    for (int fps : {30, 240}) {
        events.clear();
        intro->Play();
        std::vector<std::pair<std::string, int64_t>> seen;
        for (int64_t frame = 0; intro->Playing() && frame < 10000; ++frame) {
            const size_t before = events.size();
            FrameAt(frame * kMicrosPerSecond / fps);
            for (size_t i = before; i < events.size(); ++i) seen.push_back({events[i], now});
        }
        ASSERT_EQ(events, (std::vector<std::string>{"slide 0", "slide 1", "slide 2", "finished"}));
        for (size_t i = 0; i < seen.size(); ++i) {
            const int64_t due = i < 3 ? timeline.Steps()[i].Start : timeline.Length();
            EXPECT_GE(seen[i].second, due);
            EXPECT_LT(seen[i].second, due + kMicrosPerSecond / fps) << seen[i].first << " at " << fps;
        }
        // The game has its screen back.
        const int frames = gameFrames;
        FrameAt(now + 1000);
        EXPECT_EQ(gameFrames, frames + 1);
    }
    EXPECT_EQ(gameFrames, 2);  // none while the intro played
}

TEST_F(IntroTest, AKeyOrAClickSkips) {
    StartIntro(TDisplayMode::dm640x480x32, 32);
    FrameAt(0);
    FrameAt(200000);
    Window()->DeliverKey({true, 0x39, Qt::Key_Space});
    FrameAt(250000);
    EXPECT_FALSE(intro->Playing());
    EXPECT_EQ(events, (std::vector<std::string>{"slide 0", "finished"}));
    FrameAt(2000000);
    EXPECT_EQ(gameFrames, 1);
    EXPECT_EQ(events.size(), 2u);

    events.clear();
    intro->Play();
    FrameAt(0);
    winsys::MouseEvent click;
    click.kind = winsys::MouseEvent::Press;
    Window()->DeliverMouse(click);
    FrameAt(1000);
    EXPECT_EQ(events, (std::vector<std::string>{"slide 0", "finished"}));
    // Not when skipping is off.
    intro->SkipOnInput = false;
    intro->Play();
    FrameAt(0);
    Window()->DeliverKey({true, 0x01, Qt::Key_Escape});
    FrameAt(1000);
    EXPECT_TRUE(intro->Playing());
}

TEST_F(IntroTest, GoesOnAtItsTimeAfterTheSurfacesAreLost) {
    StartIntro(TDisplayMode::dm640x480x16, 16);
    const TIntroTimeline timeline(intro->Library()->Library());
    FrameAt(0);
    FrameAt(1400000);  // SlideRight, 40 % of the way
    ddraw::headless::LoseSurfaces();
    FrameAt(1600000);
    EXPECT_DOUBLE_EQ(timeline.At(1600000).Progress, 0.6);
    ExpectFrameOnScreen(timeline.At(1600000));
    EXPECT_EQ(intro->Elapsed(), 1600000);
    FrameAt(3600000);
    EXPECT_FALSE(intro->Playing());
}

TEST_F(IntroTest, FramesAreTheRenderersThroughThePaletteAtEveryDepth) {
    for (auto [mode, depth] : {std::pair{TDisplayMode::dm640x480x8, 8}, std::pair{TDisplayMode::dm640x480x16, 16},
                               std::pair{TDisplayMode::dm640x480x32, 32}}) {
        SCOPED_TRACE(depth);
        TearDown();
        SetUp();
        StartIntro(mode, depth);
        FrameAt(0);
        now = 2250000;  // ZoomOpen half way
        screen->OnFlip(screen);
        const TIntroState state = TIntroTimeline(intro->Library()->Library()).At(now);
        ASSERT_EQ(state.Effect, 5);
        ExpectFrameOnScreen(state);
        // At 8 bits the library's palette is the screen's.
        if (depth == 8) {
            EXPECT_EQ(screen->Palette()[9].peBlue, 63);
        }
    }
}

TEST_F(IntroTest, ComesFromFormDataWithItsLibraryAndGoesBackUnchanged) {
    std::mt19937 rng(1);
    const std::vector<uint8_t> crl =
        testcrl::CrlBytes("CR10", 2, 7, testcrl::NewPalette(), {testcrl::Raw(5, 3, "a", rng), testcrl::Raw(4, 4, "b", rng)});
    std::string hex;
    for (uint8_t b : crl) hex += tk::Format("%.2X", b);
    const std::string text =
        "object Game: TForm\n"
        "  Left = 0\n"
        "  Top = 0\n"
        "  ClientHeight = 240\n"
        "  ClientWidth = 320\n"
        "  object Slides1: TQVXIntroLib\n"
        "    Slides.Slides = {" + hex + "}\n"
        "  end\n"
        "  object Intro1: TQVXIntro\n"
        "    Library = Slides1\n"
        "    Loop = True\n"
        "    SkipOnInput = False\n"
        "    OnFinished = IntroDone\n"
        "    OnSlide = IntroSlide\n"
        "  end\n"
        "end\n";
    const std::vector<uint8_t> data = tk::FormTextToData(text);
    tk::THandlerTable handlers;
    int done = 0, slide = -1;
    handlers.Add<tk::TNotifyEvent>("IntroDone", [&](tk::TObject*) { ++done; });
    handlers.Add<TIntroSlideEvent>("IntroSlide", [&](tk::TObject*, int index) { slide = index; });
    auto* game = app->CreateForm<TForm>();
    LoadFormFromData(*game, data, handlers);
    auto* intro1 = dynamic_cast<TQVXIntro*>(game->FindComponent("Intro1"));
    ASSERT_NE(intro1, nullptr);
    ASSERT_NE(intro1->Library(), nullptr);
    EXPECT_EQ(intro1->Library()->Count(), 2);
    EXPECT_EQ(intro1->Library()->Library().Header().Reserved, 7);
    EXPECT_TRUE(intro1->Loop);
    EXPECT_FALSE(intro1->SkipOnInput);
    intro1->OnFinished(intro1);
    intro1->OnSlide(intro1, 4);
    EXPECT_EQ(done, 1);
    EXPECT_EQ(slide, 4);
    EXPECT_EQ(SaveFormToData(*game), data);
}

}  // namespace
