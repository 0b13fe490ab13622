// Library pictures turned into the screen's surfaces.
#include <functional>

#include "qvx/hicolor/hicolor_library.h"
#include "screen_fixture.h"
#include "toolkit/picture.h"
#include "toolkit/propstream.h"

using namespace screentest;
namespace dh = ddraw::headless;

namespace {

class LoaderTest : public ScreenTest {
protected:
    TQVXImageLib* FileLib(const std::string& tag, const std::vector<std::pair<int, int>>& sizes) {
        auto* lib = new TQVXImageLib(form);
        lib->LoadFromFile(WriteIml(tag, sizes));
        return lib;
    }
    TQVXHiColorImagelib* HiColor(const std::vector<std::pair<int, int>>& sizes) {
        auto* lib = new TQVXHiColorImagelib(form);
        for (auto [w, h] : sizes) {
            if (w == 0) {  // an empty picture
                lib->Images()->Add();
                continue;
            }
            tk::TBitmap bmp;
            QImage img(w, h, QImage::Format_RGB32);
            img.fill(qRgb(200, 100, 50));
            bmp.SetImage(img);
            tk::TPicture pic;
            pic.SetGraphic(&bmp);
            lib->Images()->Add()->SetImage(pic);
        }
        return lib;
    }
};

}  // namespace

TEST_F(LoaderTest, ImageLibraryFillsSurfacesIndexForIndex) {
    screen->DisplayMode = TDisplayMode::dm320x240x8;
    TQVXImageLib* lib = FileLib("images", {{3, 2}, {1, 1}, {5, 4}});
    screen->SetImageLibrary(lib);
    Start();
    ASSERT_EQ(screen->ImageCount(), 3);
    TQVXSurface* s = screen->ImageSurfaces(2);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->Width, 5);
    EXPECT_EQ(s->Height, 4);
    EXPECT_EQ(s->ClipRect, s->ClientRect);
    // 8 bits: the library palette is the display's and pixels keep their index.
    EXPECT_EQ(screen->Palette()[7].peGreen, 255 - 7);
    EXPECT_EQ(SurfacePixel(s->Surface.Get(), 1, 1), 1u + 1 + 7);
    DDCOLORKEY key{9, 9};
    s->Surface->GetColorKey(DDCKEY_SRCBLT, &key);
    EXPECT_EQ(key.dwColorSpaceLowValue, 0u);
    // From a file: the pixels were given up, and a restore reads them again.
    EXPECT_EQ(lib->Count(), 0);
    dh::LoseSurfaces();
    screen->RestoreSurfaces();
    ASSERT_NE(screen->ImageSurfaces(2), nullptr);
    EXPECT_EQ(screen->ImageSurfaces(2)->Surface->IsLost(), DD_OK);
    EXPECT_EQ(SurfacePixel(screen->ImageSurfaces(2)->Surface.Get(), 1, 1), 9u);
    EXPECT_EQ(lib->Count(), 0);
}

TEST_F(LoaderTest, OneFileLibraryInBothRolesGivesCompleteTiles) {
    screen->DisplayMode = TDisplayMode::dm320x240x8;
    TQVXImageLib* lib = FileLib("both", {{4, 4}, {8, 2}});
    screen->SetImageLibrary(lib);
    screen->SetTileLibrary(lib);
    Start();
    EXPECT_EQ(screen->ImageCount(), 2);
    ASSERT_EQ(screen->TileCount(), 2);
    EXPECT_EQ(screen->TileSurfaces(1)->ClipRect, tk::Rect(0, 0, 8, 2));
    dh::LoseSurfaces();
    screen->RestoreSurfaces();
    EXPECT_EQ(screen->TileCount(), 2);
}

// Whatever loaded the sets, in whatever order, a restore brings back the
// same pictures through the same colours; a set that was emptied stays so.
TEST_F(LoaderTest, RestoreShowsWhatWasLastLoadedWhateverTheOrder) {
    screen->DisplayMode = TDisplayMode::dm320x240x8;
    Start();
    TQVXImageLib* a = FileLib("orders", {{12, 6}, {5, 9}});
    auto* b = new TQVXImageLib(form);  // in memory, with a palette of its own
    auto bytes = assetbytes::ImlHeader("IL10", 2);
    for (int i = 0; i < 256; ++i) bytes[12 + 4 * i] = static_cast<uint8_t>(255 - i);
    assetbytes::ImlImage(bytes, 8, 8, "b0", 40);
    assetbytes::ImlImage(bytes, 16, 4, "b1", 90);
    tk::TMemoryStream stream;
    stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    stream.SetPosition(0);
    b->Images()->LoadFromStream(stream);
    TQVXHiColorImagelib* h = HiColor({{30, 20}, {6, 6}});

    auto frame = [&] {
        IDirectDrawSurface4* back = screen->BackSurface()->Surface.Get();
        screen->BackSurface()->Erase(0);
        for (int i = 0; i < screen->ImageCount(); ++i)
            if (TQVXSurface* s = screen->ImageSurfaces(i)) back->BltFast(10 + 40 * i, 10, s->Surface.Get(), nullptr, 0);
        for (int i = 0; i < screen->TileCount(); ++i)
            if (TQVXSurface* s = screen->TileSurfaces(i)) back->BltFast(10 + 40 * i, 120, s->Surface.Get(), nullptr, 0);
        screen->Flip();
        return dh::LastFrame();
    };
    const std::pair<const char*, std::function<void()>> orders[] = {
        {"images, then hi-colour", [&] { screen->LoadImageLib(a, true), screen->LoadHiColorLib(h); }},
        {"hi-colour, then images", [&] { screen->LoadHiColorLib(h), screen->LoadImageLib(a, true); }},
        {"tiles, then images", [&] { screen->LoadTileLib(b, true), screen->LoadImageLib(a, true); }},
        {"images, then tiles keeping the palette", [&] { screen->LoadImageLib(a, true), screen->LoadTileLib(b, false); }},
        {"hi-colour between two palettes",
         [&] { screen->LoadImageLib(b, true), screen->LoadHiColorLib(h), screen->LoadTileLib(a, true); }},
        {"images, then none", [&] { screen->LoadImageLib(a, true), screen->LoadImageLib(nullptr, true); }},
        {"images, then a restart", [&] { screen->LoadImageLib(a, true), screen->ShutDown(), screen->StartDisplay(); }},
    };
    for (const auto& [name, load] : orders) {
        SCOPED_TRACE(name);
        screen->ShutDown();
        screen->StartDisplay();
        load();
        QImage before = frame();
        dh::LoseSurfaces();
        screen->RestoreSurfaces();
        EXPECT_TRUE(frame() == before);
    }
}

TEST_F(LoaderTest, DestroyedLibraryIsForgotten) {
    screen->DisplayMode = TDisplayMode::dm320x240x8;
    TQVXImageLib* lib = FileLib("gone", {{4, 4}});
    screen->SetImageLibrary(lib);
    screen->SetTileLibrary(lib);
    Start();
    delete lib;
    EXPECT_EQ(screen->ImageLibrary(), nullptr);
    EXPECT_EQ(screen->LoadedImageLib(), nullptr);
    EXPECT_EQ(screen->LoadedTileLib(), nullptr);
    dh::LoseSurfaces();
    screen->RestoreSurfaces();  // nothing left to reload, nothing touched
    EXPECT_EQ(screen->ImageCount(), 1);
}

TEST_F(LoaderTest, PartialFailureKeepsWhatWasMade) {
    screen->DisplayMode = TDisplayMode::dm320x240x8;
    Start();
    auto* lib = new TQVXImageLib(form);
    auto bytes = assetbytes::ImlHeader("IL10", 3);
    assetbytes::ImlImage(bytes, 2, 2, "a");
    assetbytes::ImlImage(bytes, 5, 4, "b");
    assetbytes::ImlImage(bytes, 2, 2, "c");
    tk::TMemoryStream stream;
    stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    stream.SetPosition(0);
    lib->Images()->LoadFromStream(stream);
    dh::InjectFault("CreateSurface", 2, DDERR_OUTOFVIDEOMEMORY);
    try {
        screen->LoadImageLib(lib, true);
        ADD_FAILURE() << "no exception";
    } catch (const EQVXSurface& e) {
        EXPECT_EQ(e.Message(), "Could not create memory surface (5, 4)");
    }
    ASSERT_EQ(screen->ImageCount(), 3);
    EXPECT_NE(screen->ImageSurfaces(0), nullptr);
    EXPECT_EQ(screen->ImageSurfaces(1), nullptr);
    EXPECT_EQ(screen->ImageSurfaces(2), nullptr);
    EXPECT_EQ(lib->Count(), 3);
    // Not from a file: a complete load keeps the images too.
    screen->LoadImageLib(lib, true);
    EXPECT_EQ(lib->Count(), 3);
    EXPECT_NE(screen->ImageSurfaces(2), nullptr);
}

TEST_F(LoaderTest, HiColourPicturesAtTrueColourAndAfterALoss) {
    Windowed16();
    screen->DisplayMode = TDisplayMode::dm640x480x32;
    screen->ColorDepth = 32;
    TQVXHiColorImagelib* hc = HiColor({{10, 5}, {0, 0}, {3, 7}});
    // A linked library may load its file before the display exists.
    auto path = std::filesystem::temp_directory_path() /
                ("qvx_screen_hc_" + std::to_string(::getpid()) + ".hcl");
    hc->SaveToFile(path.string());
    hc->SetQVXScreen(screen);
    hc->LoadFromFile(path.string());
    std::filesystem::remove(path);
    EXPECT_EQ(screen->ImageCount(), 0);
    screen->SetHiColorLib(hc);
    Start();
    ASSERT_EQ(screen->ImageCount(), 3);
    EXPECT_EQ(screen->ImageSurfaces(1), nullptr);  // no pixels, still its place
    EXPECT_EQ(screen->ImageSurfaces(2)->Width, 3);
    EXPECT_EQ(screen->ImageSurfaces(2)->Height, 7);
    EXPECT_EQ(SurfacePixel(screen->ImageSurfaces(0)->Surface.Get(), 9, 4) & 0xFFFFFF, 0xC86432u);
    // Hi-colour surfaces come back from a loss drawn again.
    dh::LoseSurfaces();
    screen->RestoreSurfaces();
    EXPECT_EQ(SurfacePixel(screen->ImageSurfaces(0)->Surface.Get(), 9, 4) & 0xFFFFFF, 0xC86432u);

    // An image library set as well takes the image set over.
    screen->ShutDown();
    TQVXImageLib* lib = FileLib("over", {{2, 2}});
    screen->SetImageLibrary(lib);
    screen->StartDisplay();
    ASSERT_EQ(screen->ImageCount(), 1);
    EXPECT_EQ(screen->ImageSurfaces(0)->Width, 2);
    // A 16-bit or 32-bit load leaves the display palette alone.
    EXPECT_EQ(screen->Palette()[7].peGreen, 0);
}

TEST_F(LoaderTest, FormDataCarriesTheScreenAndItsLinks) {
    TQVXImageLib* lib = FileLib("formdata", {{2, 2}});
    lib->SetName("Tiles");
    screen->SetName("Screen1");
    screen->DisplayMode = TDisplayMode::dm640x400x8;
    screen->SetTileLibrary(lib);
    screen->SetVersion("anything");
    form->SetName("Form1");
    tk::TMemoryStream data;
    {
        tk::TWriter w(data);
        w.WriteRootComponent(*form);
    }
    std::string bytes(reinterpret_cast<const char*>(data.Memory()),
                      static_cast<size_t>(data.Size()));
    EXPECT_NE(bytes.find("QVX Beta 7"), std::string::npos);
    EXPECT_NE(bytes.find("dm640x400x8"), std::string::npos);
    EXPECT_EQ(bytes.find("BackBuffers"), std::string::npos);  // at its default

    auto* copy = app->CreateForm<TForm>();
    data.SetPosition(0);
    tk::TReader r(data);
    r.ReadRootComponent(*copy, false);
    auto* screen2 = dynamic_cast<TQVXScreen*>(copy->FindComponent("Screen1"));
    ASSERT_NE(screen2, nullptr);
    EXPECT_EQ(screen2->DisplayMode, TDisplayMode::dm640x400x8);
    EXPECT_EQ(screen2->TileLibrary(), copy->FindComponent("Tiles"));
    EXPECT_EQ(screen2->Version(), "QVX Beta 7");
    // Loaded full screen: the form is made ready for it.
    EXPECT_EQ(copy->BorderStyle(), TFormBorderStyle::bsNone);
    EXPECT_EQ(copy->FormStyle(), TFormStyle::fsStayOnTop);
}
