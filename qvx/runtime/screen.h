// TQVXScreen: the component a game puts on its main form to get a display.
// Full screen it sets a display mode and flips a chain of back buffers;
// windowed it draws into an off-screen buffer and copies it into the form.
// It starts on the form's first activation, drives the render loop from
// the application's idle time, installs the palette at 8 bits, restores
// lost surfaces, draws the cursor into the frame, turns image libraries into
// surfaces and starts the form's audio and its input component.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/ddraw/ddraw.h"
#include "platform/winsys/messages.h"
#include "platform/winsys/winsys.h"
#include "qvx/hicolor/hicolor_library.h"
#include "qvx/runtime/forms.h"
#include "qvx/runtime/gameparts.h"
#include "qvx/runtime/surface.h"
#include "toolkit/classes.h"

namespace qvx {

class TQVXImageLib;
class TQVXMapLib;

/// Raised by the screen when the display cannot be started, flipped or
/// restored.
class EQVXScreen : public tk::Exception {
public:
    using Exception::Exception;
    const char* ClassName() const noexcept override { return "EQVXScreen"; }
};

namespace msg {
inline constexpr const char* SCreateDirectDraw = "Failed to create IDirectDraw object";
inline constexpr const char* SCreateDirectDraw4 = "Failed to create IDirectDraw 4 object";
inline constexpr const char* SCooperativeLevel = "DirectDraw4 SetCooperativeLevel Failed: ";
inline constexpr const char* SSetDisplayMode = "Set Display Mode Failed";
inline constexpr const char* SFlipFailed = "Flip Failed";
inline constexpr const char* SWaitVBlank = "WaitForVericalBlankError";
inline constexpr const char* SCreatePalette = "CreatePalette Failed";
inline constexpr const char* SSetPalette = "SetPalette Failed";
inline constexpr const char* SSetEntries = "SetEntries Failed";
inline constexpr const char* SRestoreFront = "RestoreSurfaces Failed (Front)";
inline constexpr const char* SRestoreBack = "RestoreSurfaces Failed (Back)";
inline constexpr const char* SNot256Colors =
    "You are not in 256 color mode. Do you want to run this application in Full-Screen mode?";
inline constexpr const char* SScreenVersion = "QVX Beta 7";
}  // namespace msg

enum class TDisplayMode {
    dm640x480x8,
    dm640x480x16,
    dm640x480x24,
    dm640x480x32,
    dm320x200x8,
    dm800x600x8,
    dm800x600x16,
    dm800x600x24,
    dm800x600x32,
    dm1024x768x8,
    dm1024x768x16,
    dm1024x768x24,
    dm1024x768x32,
    dm640x400x8,
    dm320x240x8,
};

enum class TPaletteMode { pmExclusive, pmNormal };

// Posted to the application's window when the program is reactivated;
// handled after the activation itself.
constexpr uint32_t WM_RESTORESCREEN = winsys::WM_USER + 200;

/// The display a game puts on its main form. It starts on the form's first
/// activation (display mode or window, front and back surfaces, palette,
/// library pictures as surfaces, input, then OnInitialize) and, while
/// FlippingEnabled, calls OnFlip in idle time, then Flip. A game draws each
/// frame in OnFlip on BackSurface(), blitting from ImageSurfaces(i) and
/// TileSurfaces(i); lost surfaces are restored by the screen.
class TQVXScreen : public tk::TComponent, public IQVXSurfaceScreen, public IHiColorLibScreen {
public:
    TK_CLASSNAME(TQVXScreen)
    // Installs AppActivateHook as the owner form's activation handler,
    // keeping the previous one to call from it.
    explicit TQVXScreen(tk::TComponent* owner);
    // Shuts the display down and hands the form's handlers back.
    ~TQVXScreen() override;

    // ---- Operations ----
    void StartDisplay();
    void ShutDown();
    void Flip();
    // Installs 256 entries as the display palette; only at 8 bits.
    void SetPalette(const tk::TPaletteEntry* entries);
    void RestoreSurfaces();
    void WaitForVerticalBlank();
    // Width, height and depth of DisplayMode; the depth also goes to ColorDepth.
    void GetModeSize(int& width, int& height, int& depth);
    void FreeImageSurfaces();
    void FreeTileSurfaces();
    void StartFlipping();
    void StopFlipping();
    bool Started() const { return static_cast<bool>(FDirectDraw); }

    // ---- Library pictures on surfaces ----
    // Each set (images, tiles) remembers what was last loaded into it, by
    // whichever loader, with the palette its pictures were drawn through;
    // RestoreSurfaces loads the sets again the same way, in the order they
    // were loaded, then puts back the palette last set. Emptying a set
    // (FreeImageSurfaces, a load of no library or of an empty one, ShutDown)
    // forgets what it held.
    void LoadHiColorLib(TQVXHiColorImagelib* library) override;
    void LoadImageLib(TQVXImageLib* library, bool applyPalette);
    void LoadTileLib(TQVXImageLib* library, bool applyPalette);
    // The palette image library whose pictures the set holds, or null (also
    // while the image set holds a hi-colour library's).
    TQVXImageLib* LoadedImageLib() const { return FImageSet.paletteLib; }
    TQVXImageLib* LoadedTileLib() const { return FTileSet.paletteLib; }

    // Surfaces of the library images and tiles, index for index with the
    // library. An entry is null where a picture has no pixels (0 x 0) or a
    // failed load did not reach.
    int ImageCount() const { return static_cast<int>(FImageSet.surfaces.size()); }
    TQVXSurface* ImageSurfaces(int index) const;
    int TileCount() const { return static_cast<int>(FTileSet.surfaces.size()); }
    TQVXSurface* TileSurfaces(int index) const;

    TQVXSurface* FrontSurface() const { return FFrontSurface.get(); }
    TQVXSurface* BackSurface() const { return FBackSurface.get(); }
    const tk::TPaletteEntry* Palette() const { return FPalette.data(); }

    // ---- Palette cycling (8 bits, PaletteCycle on) ----
    // Rotates entries first..last by `step` places every `delay` flips
    // (0 or 1: every flip); a negative step turns the other way.
    void SetPaletteCycle(int first, int last, int step, int delay);
    void StartPaletteCycle();
    // Stops cycling and puts the entries back as they were at the start.
    void StopPaletteCycle();
    bool PaletteCycling() const { return FCycleActive; }

    // ---- Properties ----
    TDisplayMode DisplayMode = TDisplayMode::dm640x480x8;
    bool FlippingEnabled() const { return FFlippingEnabled; }
    void SetFlippingEnabled(bool value);
    bool Debug = true;
    bool BeepOnException = true;
    tk::TNotifyEvent OnPaint, OnFlip, OnInitialize, OnCleanUp;
    std::string Version() const { return msg::SScreenVersion; }
    void SetVersion(const std::string&) {}
    bool PaletteCycle = false;
    TQVXImageLib* ImageLibrary() const { return FImageLibrary; }
    void SetImageLibrary(TQVXImageLib* library);
    TQVXHiColorImagelib* HiColorLib() const { return FHiColorLib; }
    void SetHiColorLib(TQVXHiColorImagelib* library);
    TQVXImageLib* TileLibrary() const { return FTileLibrary; }
    void SetTileLibrary(TQVXImageLib* library);
    TQVXMapLib* MapLibrary() const { return FMapLibrary; }
    void SetMapLibrary(TQVXMapLib* library);
    bool SkipTile0 = false;
    bool WindowVBL = true;
    TPaletteMode PaletteMode = TPaletteMode::pmNormal;
    bool WindowStretch = false;
    int32_t WinBufWidth = 0;
    int32_t WinBufHeight = 0;
    int32_t ColorDepth = 8;
    TQVXInputBase* QVXInput() const { return FQVXInput; }
    void SetQVXInput(TQVXInputBase* input);
    bool ShowMouse = false;
    int16_t MouseImage = winsys::crArrow;
    // Last button pressed on the main form: 1 left, 2 right, 0 any other.
    int32_t MouseButton = 0;

    void SetWindowMode(bool on) { FWindowMode = on; }
    void SetBackBuffers(int count) { FBackBuffers = count; }

    // ---- What the surfaces ask of the screen ----
    IDirectDraw4* DirectDraw() const override { return FDirectDraw.Get(); }
    bool WindowMode() const override { return FWindowMode; }
    int BackBuffers() const override { return FBackBuffers; }
    int BufferWidth() const override { return FBufferWidth; }
    int BufferHeight() const override { return FBufferHeight; }

    // ---- Handlers installed in the form's and the application's events ----
    void AppActivateHook(tk::TObject* sender);
    void AppIdle(tk::TObject* sender, bool& done);
    void AppMessage(winsys::MSG& msg, bool& handled);
    void AppException(tk::TObject* sender, const std::exception& e);
    void FormMouseMove(tk::TObject* sender, TShiftState shift, int x, int y);
    void FormMouseDown(tk::TObject* sender, TMouseButton button, TShiftState shift, int x, int y);

    void GetProperties(tk::TPropList& props) override;
    void Loaded() override;

protected:
    void Notification(tk::TComponent* component, tk::TOperation operation) override;

private:
    struct Hooks;
    // A set of picture surfaces and what filled it.
    struct TSurfaceSet {
        std::vector<std::unique_ptr<TQVXSurface>> surfaces;
        TQVXImageLib* paletteLib = nullptr;         // LoadImageLib / LoadTileLib
        TQVXHiColorImagelib* hiColorLib = nullptr;  // LoadHiColorLib
        bool drawnThroughPalette = false;           // a display palette was installed
        std::array<tk::TPaletteEntry, 256> palette{};
        uint64_t loadedAt = 0;                      // order of the loads, for restores
        void Clear();
    };
    TForm* OwnerForm() const;
    bool Designing() const;
    template <class T>
    void Link(T*& field, T* value);
    void Forget(tk::TComponent* component);
    void SurfaceLost(tk::TObject*) { RestoreSurfaces(); }
    void RestoreSurface(TQVXSurface& surface, const char* failure);
    void LoadPaletteLib(TQVXImageLib* library, bool applyPalette, bool tiles);
    void Filled(TSurfaceSet& set);
    void ReloadSet(TSurfaceSet& set, bool tiles);
    void InstallPalette(const tk::TPaletteEntry* entries);
    // Gives back everything start-up made (surfaces, palette, clipper,
    // display mode, cooperative level, DirectDraw, the application's events).
    void ReleaseDisplay();
    void DrawCursorInto(TQVXSurface& surface, int x, int y);
    void CycleStep();
    void InstallAppEvents();
    void ClearAppEvents();

    winsys::HCURSOR FCachedCursor = nullptr;
    ComPtr<IDirectDraw4> FDirectDraw;
    ComPtr<IDirectDrawPalette> FPaletteObject;
    bool FPaletteAttached = false;  // FPaletteObject is the front surface's palette
    std::array<tk::TPaletteEntry, 256> FPalette{};
    std::unique_ptr<TQVXSurface> FFrontSurface;
    std::unique_ptr<TQVXSurface> FBackSurface;
    std::unique_ptr<Hooks> FHooks;

    std::array<tk::TPaletteEntry, 512> FCycleEntries{};
    int FCycleStep = 0, FCycleOffset = 0, FCycleDelay = 0, FCycleCounter = 0;
    int FCycleFirst = 0, FCycleLast = 0;
    bool FCycleActive = false;

    TSurfaceSet FImageSet, FTileSet;
    uint64_t FLoads = 0;
    ComPtr<IDirectDrawClipper> FClipper;
    int FFormWidth = 0, FFormHeight = 0;
    int FMouseX = 0, FMouseY = 0;
    int FBufferWidth = 0, FBufferHeight = 0;

    bool FFlippingEnabled = false;
    bool FIdleInstalled = false;
    bool FAppEventsInstalled = false;
    int32_t FBackBuffers = 2;
    bool FWindowMode = false;
    TQVXImageLib* FImageLibrary = nullptr;
    TQVXHiColorImagelib* FHiColorLib = nullptr;
    TQVXImageLib* FTileLibrary = nullptr;
    TQVXMapLib* FMapLibrary = nullptr;
    TQVXInputBase* FQVXInput = nullptr;
};

}  // namespace qvx
