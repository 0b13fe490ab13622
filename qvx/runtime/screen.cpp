#include "screen.h"

#include <cstring>
#include <exception>
#include <utility>

#include "application.h"
#include "dxerror.h"
#include "qvx/assets/image_library.h"
#include "qvx/assets/map_library.h"

namespace qvx {

namespace {

struct ModeSize {
    int width, height, depth;
};

constexpr ModeSize kModes[] = {
    {640, 480, 8},  {640, 480, 16}, {640, 480, 24},  {640, 480, 32},  {320, 200, 8},
    {800, 600, 8},  {800, 600, 16}, {800, 600, 24},  {800, 600, 32},  {1024, 768, 8},
    {1024, 768, 16}, {1024, 768, 24}, {1024, 768, 32}, {640, 400, 8}, {320, 240, 8},
};

const char* CooperativeLevelReason(HRESULT hr) {
    switch (hr) {
        case DDERR_EXCLUSIVEMODEALREADYSET: return "Exclude mode already set";
        case DDERR_HWNDALREADYSET: return "HWND already set";
        case DDERR_HWNDSUBCLASSED: return "Hwnd Subclasses";
        case DDERR_INVALIDOBJECT: return "Invalid Object";
        case DDERR_INVALIDPARAMS: return "Invalud Params";
        case DDERR_OUTOFMEMORY: return "Out of memory";
        default: return "Unknown error";
    }
}

RECT ToRECT(const tk::TRect& r) { return RECT{r.Left, r.Top, r.Right, r.Bottom}; }

// Handlers the screen puts into other objects' events. Each keeps the
// handler it replaced: once the screen is gone it forwards to that one, so a
// form or application never calls into a destroyed screen.
struct ActivateThunk {
    std::weak_ptr<TQVXScreen*> screen;
    tk::TNotifyEvent saved;
    void operator()(tk::TObject* sender) const {
        if (auto p = screen.lock())
            (*p)->AppActivateHook(sender);
        else if (saved)
            saved(sender);
    }
};

struct MouseMoveThunk {
    std::weak_ptr<TQVXScreen*> screen;
    TMouseMoveEvent saved;
    void operator()(tk::TObject* sender, TShiftState shift, int x, int y) const {
        if (auto p = screen.lock())
            (*p)->FormMouseMove(sender, shift, x, y);
        else if (saved)
            saved(sender, shift, x, y);
    }
};

struct MouseDownThunk {
    std::weak_ptr<TQVXScreen*> screen;
    TMouseEvent saved;
    void operator()(tk::TObject* sender, TMouseButton button, TShiftState shift, int x, int y) const {
        if (auto p = screen.lock())
            (*p)->FormMouseDown(sender, button, shift, x, y);
        else if (saved)
            saved(sender, button, shift, x, y);
    }
};

}  // namespace

struct TQVXScreen::Hooks {
    std::shared_ptr<TQVXScreen*> alive;
    tk::TNotifyEvent savedActivate;
    TForm* mouseForm = nullptr;  // the main form whose mouse events are hooked
};

TQVXScreen::TQVXScreen(tk::TComponent* owner) : tk::TComponent(owner), FHooks(std::make_unique<Hooks>()) {
    FHooks->alive = std::make_shared<TQVXScreen*>(this);
    TForm* form = OwnerForm();
    if (form && !Designing()) {
        FHooks->savedActivate = form->OnActivate;
        form->OnActivate = ActivateThunk{FHooks->alive, FHooks->savedActivate};
    }
}

TQVXScreen::~TQVXScreen() {
    // Destruction never raises: what the game's OnCleanUp raises goes where
    // the screen's exceptions go while it runs.
    TApplication* app = Application();
    TExceptionEvent running = Started() && app ? app->OnException : nullptr;
    try {
        ShutDown();
    } catch (const std::exception& e) {
        try {
            if (running)
                running(this, e);
            else
                AppException(this, e);
        } catch (...) {
        }
    } catch (...) {
    }
    if (FIdleInstalled) StopFlipping();
    // Hand the form's handlers back where they are still ours; where someone
    // replaced them since, our thunk forwards to what it replaced.
    if (TForm* form = OwnerForm()) {
        auto* t = form->OnActivate.target<ActivateThunk>();
        if (t && t->screen.lock() == FHooks->alive) form->OnActivate = FHooks->savedActivate;
    }
    if (TForm* main = FHooks->mouseForm) {
        if (auto* t = main->OnMouseMove.target<MouseMoveThunk>(); t && t->screen.lock() == FHooks->alive)
            main->OnMouseMove = t->saved;
        if (auto* t = main->OnMouseDown.target<MouseDownThunk>(); t && t->screen.lock() == FHooks->alive)
            main->OnMouseDown = t->saved;
        main->RemoveFreeNotification(this);
    }
    FHooks->alive.reset();
}

TForm* TQVXScreen::OwnerForm() const { return dynamic_cast<TForm*>(Owner()); }

bool TQVXScreen::Designing() const {
    return HasState(tk::csDesigning) || (Owner() && Owner()->HasState(tk::csDesigning));
}

// ---- Links to other components ---------------------------------------------------

template <class T>
void TQVXScreen::Link(T*& field, T* value) {
    if (field == value) return;
    T* old = field;
    field = value;
    if (value) value->FreeNotification(this);
    (void)old;  // its notification stays harmless: Forget matches by identity
}

void TQVXScreen::SetImageLibrary(TQVXImageLib* library) { Link(FImageLibrary, library); }
void TQVXScreen::SetHiColorLib(TQVXHiColorImagelib* library) { Link(FHiColorLib, library); }
void TQVXScreen::SetTileLibrary(TQVXImageLib* library) { Link(FTileLibrary, library); }
void TQVXScreen::SetMapLibrary(TQVXMapLib* library) { Link(FMapLibrary, library); }
void TQVXScreen::SetQVXInput(TQVXInputBase* input) { Link(FQVXInput, input); }

void TQVXScreen::Forget(tk::TComponent* c) {
    if (c == FImageLibrary) FImageLibrary = nullptr;
    if (c == FTileLibrary) FTileLibrary = nullptr;
    if (c == FHiColorLib) FHiColorLib = nullptr;
    if (c == FMapLibrary) FMapLibrary = nullptr;
    if (c == FQVXInput) FQVXInput = nullptr;
    // A library that goes away is never reloaded by a later restore; the
    // surfaces made from it stay until the next load or shutdown.
    for (TSurfaceSet* set : {&FImageSet, &FTileSet}) {
        if (c == set->paletteLib) set->paletteLib = nullptr;
        if (c == set->hiColorLib) set->hiColorLib = nullptr;
    }
    if (c == FHooks->mouseForm) FHooks->mouseForm = nullptr;
}

void TQVXScreen::Notification(tk::TComponent* component, tk::TOperation operation) {
    tk::TComponent::Notification(component, operation);
    if (operation != tk::TOperation::opRemove || HasState(tk::csDestroying)) return;
    Forget(component);
}

// ---- Properties -----------------------------------------------------------------------

void TQVXScreen::SetFlippingEnabled(bool value) {
    if (value == FFlippingEnabled) return;
    FFlippingEnabled = value;
    if (Designing()) return;
    if (value)
        StartFlipping();
    else
        StopFlipping();
}

void TQVXScreen::GetProperties(tk::TPropList& props) {
    tk::TComponent::GetProperties(props);
    props.Enumeration(
        "DisplayMode",
        {"dm640x480x8", "dm640x480x16", "dm640x480x24", "dm640x480x32", "dm320x200x8", "dm800x600x8",
         "dm800x600x16", "dm800x600x24", "dm800x600x32", "dm1024x768x8", "dm1024x768x16", "dm1024x768x24",
         "dm1024x768x32", "dm640x400x8", "dm320x240x8"},
        [this] { return static_cast<int64_t>(DisplayMode); },
        [this](int64_t v) { DisplayMode = static_cast<TDisplayMode>(v); }, 0);
    props.Boolean("FlippingEnabled", [this] { return FFlippingEnabled; }, [this](bool v) { SetFlippingEnabled(v); },
                  false);
    props.Boolean("Debug", [this] { return Debug; }, [this](bool v) { Debug = v; }, true);
    props.Boolean("BeepOnException", [this] { return BeepOnException; }, [this](bool v) { BeepOnException = v; },
                  true);
    props.String("Version", [this] { return Version(); }, [this](const std::string& v) { SetVersion(v); });
    props.Boolean("PaletteCycle", [this] { return PaletteCycle; }, [this](bool v) { PaletteCycle = v; }, false);
    props.Component("ImageLibrary", [this] { return FImageLibrary; },
                    [this](tk::TComponent* c) { SetImageLibrary(dynamic_cast<TQVXImageLib*>(c)); });
    props.Component("HiColorLib", [this] { return FHiColorLib; },
                    [this](tk::TComponent* c) { SetHiColorLib(dynamic_cast<TQVXHiColorImagelib*>(c)); });
    props.Component("TileLibrary", [this] { return FTileLibrary; },
                    [this](tk::TComponent* c) { SetTileLibrary(dynamic_cast<TQVXImageLib*>(c)); });
    props.Component("MapLibrary", [this] { return FMapLibrary; },
                    [this](tk::TComponent* c) { SetMapLibrary(dynamic_cast<TQVXMapLib*>(c)); });
    props.Boolean("SkipTile0", [this] { return SkipTile0; }, [this](bool v) { SkipTile0 = v; }, false);
    props.Integer("BackBuffers", [this] { return FBackBuffers; },
                  [this](int64_t v) { FBackBuffers = static_cast<int32_t>(v); }, 2);
    props.Boolean("WindowMode", [this] { return FWindowMode; }, [this](bool v) { FWindowMode = v; }, false);
    props.Boolean("WindowVBL", [this] { return WindowVBL; }, [this](bool v) { WindowVBL = v; }, true);
    props.Enumeration(
        "PaletteMode", {"pmExclusive", "pmNormal"}, [this] { return static_cast<int64_t>(PaletteMode); },
        [this](int64_t v) { PaletteMode = static_cast<TPaletteMode>(v); }, 1);
    props.Boolean("WindowStretch", [this] { return WindowStretch; }, [this](bool v) { WindowStretch = v; }, false);
    props.Integer("WinBufWidth", [this] { return WinBufWidth; },
                  [this](int64_t v) { WinBufWidth = static_cast<int32_t>(v); }, 0);
    props.Integer("WinBufHeight", [this] { return WinBufHeight; },
                  [this](int64_t v) { WinBufHeight = static_cast<int32_t>(v); }, 0);
    props.Integer("ColorDepth", [this] { return ColorDepth; },
                  [this](int64_t v) { ColorDepth = static_cast<int32_t>(v); }, 8);
    props.Component("QVXInput", [this] { return FQVXInput; },
                    [this](tk::TComponent* c) { SetQVXInput(dynamic_cast<TQVXInputBase*>(c)); });
    props.Boolean("ShowMouse", [this] { return ShowMouse; }, [this](bool v) { ShowMouse = v; }, false);
    props.Integer("MouseImage", [this] { return MouseImage; },
                  [this](int64_t v) { MouseImage = static_cast<int16_t>(v); }, winsys::crArrow);
    props.Integer("MouseButton", [this] { return MouseButton; },
                  [this](int64_t v) { MouseButton = static_cast<int32_t>(v); }, 0);
    props.Event("OnCleanUp", OnCleanUp);
    props.Event("OnFlip", OnFlip);
    props.Event("OnInitialize", OnInitialize);
    props.Event("OnPaint", OnPaint);
}

void TQVXScreen::Loaded() {
    tk::TComponent::Loaded();
    if (Designing() || FWindowMode) return;
    if (TForm* form = OwnerForm()) {
        form->SetBorderStyle(TFormBorderStyle::bsNone);
        form->SetBorderIcons(0);
        form->SetFormStyle(TFormStyle::fsStayOnTop);
        form->Color = clBlack;
    }
}

// ---- Start-up and teardown ---------------------------------------------------------

void TQVXScreen::GetModeSize(int& width, int& height, int& depth) {
    const ModeSize& m = kModes[static_cast<int>(DisplayMode)];
    width = m.width;
    height = m.height;
    depth = m.depth;
    ColorDepth = depth;
}

void TQVXScreen::AppActivateHook(tk::TObject* sender) {
    (void)sender;
    TForm* form = OwnerForm();
    int bits = form ? form->CanvasBitsPerPixel() : winsys::GetDesktopMode().bitsPerPixel;
    int planes = form ? form->CanvasPlanes() : 1;
    int64_t colours = (bits >= 62 ? INT64_MAX : (int64_t{1} << bits)) * planes;
    if (colours != 256 && FWindowMode && ColorDepth == 8) {
        TApplication* app = Application();
        int answer = app ? app->MessageBox(msg::SNot256Colors, app->Title.empty() ? "QVX" : app->Title,
                                           winsys::MB_YESNO | winsys::MB_ICONQUESTION)
                         : winsys::MessageBox(nullptr, msg::SNot256Colors, "QVX",
                                              winsys::MB_YESNO | winsys::MB_ICONQUESTION);
        if (answer == winsys::IDNO) {
            if (app) app->Terminate();
        } else {
            FWindowMode = false;
        }
    }
    if (FHooks->savedActivate) FHooks->savedActivate(form);
    StartDisplay();
    if (form)
        for (int i = 0; i < form->ComponentCount(); ++i)
            if (auto* audio = dynamic_cast<TQVXAudioBase*>(form->Components(i))) audio->StartAudio();
}

void TQVXScreen::InstallAppEvents() {
    TApplication* app = Application();
    if (!app) return;
    std::weak_ptr<TQVXScreen*> self = FHooks->alive;
    FAppEventsInstalled = true;
    app->OnException = [self](tk::TObject* sender, const std::exception& e) {
        if (auto p = self.lock()) (*p)->AppException(sender, e);
    };
    app->OnMessage = [self](winsys::MSG& m, bool& handled) {
        if (auto p = self.lock()) (*p)->AppMessage(m, handled);
    };
    TForm* main = app->MainForm();
    if (main && main != FHooks->mouseForm) {
        if (FHooks->mouseForm) FHooks->mouseForm->RemoveFreeNotification(this);
        FHooks->mouseForm = main;
        main->FreeNotification(this);
        main->OnMouseMove = MouseMoveThunk{self, main->OnMouseMove};
        main->OnMouseDown = MouseDownThunk{self, main->OnMouseDown};
    }
}

void TQVXScreen::ClearAppEvents() {
    // A start-up that failed before installing them leaves the game's own.
    if (!std::exchange(FAppEventsInstalled, false)) return;
    if (TApplication* app = Application()) {
        app->OnException = nullptr;
        app->OnMessage = nullptr;
    }
}

void TQVXScreen::StartDisplay() {
    if (FDirectDraw) return;
    TForm* form = OwnerForm();
    winsys::HWND hwnd = form ? form->Handle() : nullptr;

    ComPtr<IDirectDraw> first;
    if (DirectDrawCreate(nullptr, first.Put(), nullptr) != DD_OK || !first)
        throw EQVXScreen(msg::SCreateDirectDraw);
    if (first->QueryInterface(IID_IDirectDraw4, FDirectDraw.PutVoid()) != S_OK || !FDirectDraw) {
        FDirectDraw.Reset();
        throw EQVXScreen(msg::SCreateDirectDraw4);
    }

    // From here a step that fails gives back everything made so far (mode,
    // cooperative level, surfaces, the form's size and the cursor) before
    // its error leaves: the screen is as it was, and the next activation
    // starts again from the beginning.
    const int clientWidth = form ? form->ClientWidth() : 0, clientHeight = form ? form->ClientHeight() : 0;
    TApplication* app = Application();
    const int cursor = app ? app->Cursor() : winsys::crDefault;
    try {
        int width, height, depth;
        GetModeSize(width, height, depth);
        FFormWidth = form ? form->Width() : width;
        FFormHeight = form ? form->Height() : height;
        if (WinBufWidth >= 1 && WinBufHeight >= 1) {
            FBufferWidth = WinBufWidth;
            FBufferHeight = WinBufHeight;
        } else {
            FBufferWidth = width;
            FBufferHeight = height;
        }

        DWORD flags;
        if (FWindowMode)
            flags = PaletteMode == TPaletteMode::pmExclusive ? (DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN) : DDSCL_NORMAL;
        else
            flags = DDSCL_ALLOWMODEX | DDSCL_EXCLUSIVE | DDSCL_ALLOWREBOOT | DDSCL_FULLSCREEN;
        if (HRESULT hr = FDirectDraw->SetCooperativeLevel(hwnd, flags); hr != DD_OK)
            throw EQVXScreen(msg::SCooperativeLevel + std::string(CooperativeLevelReason(hr)));

        InstallAppEvents();

        if (!FWindowMode &&
            FDirectDraw->SetDisplayMode(static_cast<DWORD>(width), static_cast<DWORD>(height),
                                        static_cast<DWORD>(ColorDepth), 0, 0) != DD_OK)
            throw EQVXScreen(msg::SSetDisplayMode);

        tk::TNotifyEvent lost = [this](tk::TObject* s) { SurfaceLost(s); };
        FFrontSurface = std::make_unique<TQVXSurface>(static_cast<const IQVXSurfaceScreen&>(*this), ColorDepth);
        FFrontSurface->OnSurfaceLost = lost;
        if (FWindowMode)
            FBackSurface = std::make_unique<TQVXSurface>(static_cast<const IQVXSurfaceScreen&>(*this), ColorDepth,
                                                         TWindowedBackBuffer{});
        else
            FBackSurface = std::make_unique<TQVXSurface>(*FFrontSurface, ColorDepth);
        FBackSurface->OnSurfaceLost = lost;

        if (FWindowMode && form) {
            if (WindowStretch) {
                form->SetClientWidth(FFormWidth);
                form->SetClientHeight(FFormHeight);
            } else {
                form->SetClientWidth(FBufferWidth);
                form->SetClientHeight(FBufferHeight);
            }
            if (FDirectDraw->CreateClipper(0, FClipper.Put(), nullptr) == DD_OK && FClipper) {
                FClipper->SetHWnd(0, hwnd);
                FFrontSurface->GetSurface()->SetClipper(FClipper.Get());
            }
        }

        FDirectDraw->FlipToGDISurface();
        FBackSurface->Erase(0);
        Flip();
        FBackSurface->Erase(0);
        FDirectDraw->FlipToGDISurface();

        if (app)
            app->SetCursor(ShowMouse ? MouseImage : winsys::crNone);
        else
            winsys::SetCursor(winsys::LoadStandardCursor(ShowMouse ? MouseImage : winsys::crNone));
        winsys::HCURSOR current = winsys::GetCursor();
        if (current != FCachedCursor) FCachedCursor = current;

        // A file-backed library in both roles reads its file again for the
        // tiles: each load takes what it needs (TFileBackedData).
        if (FHiColorLib) LoadHiColorLib(FHiColorLib);
        if (FImageLibrary) LoadImageLib(FImageLibrary, true);
        if (FTileLibrary) LoadTileLib(FTileLibrary, true);

        if (FQVXInput) FQVXInput->StartInput();
        if (OnInitialize) OnInitialize(this);
    } catch (...) {
        ReleaseDisplay();
        if (form && (form->ClientWidth() != clientWidth || form->ClientHeight() != clientHeight)) {
            form->SetClientWidth(clientWidth);
            form->SetClientHeight(clientHeight);
        }
        if (app) app->SetCursor(cursor);
        throw;
    }
}

void TQVXScreen::ReleaseDisplay() {
    FreeImageSurfaces();
    FreeTileSurfaces();
    FBackSurface.reset();
    FFrontSurface.reset();
    FPaletteObject.Reset();
    FPaletteAttached = false;
    FClipper.Reset();
    FCycleActive = false;
    if (FDirectDraw) {
        FDirectDraw->RestoreDisplayMode();
        FDirectDraw->SetCooperativeLevel(nullptr, DDSCL_NORMAL);
        FDirectDraw.Reset();
    }
    winsys::ClipCursor(nullptr);
    ClearAppEvents();
}

void TQVXScreen::ShutDown() {
    if (!FDirectDraw) return;
    SetFlippingEnabled(false);
    // The display is given back even when the game's clean-up raises; its
    // exception leaves afterwards.
    std::exception_ptr cleanUpFailure;
    try {
        if (OnCleanUp) OnCleanUp(this);
    } catch (...) {
        cleanUpFailure = std::current_exception();
    }
    ReleaseDisplay();
    if (cleanUpFailure) std::rethrow_exception(cleanUpFailure);
}

// ---- Frames ---------------------------------------------------------------------------

void TQVXScreen::DrawCursorInto(TQVXSurface& surface, int x, int y) {
    if (!FCachedCursor || !surface.Canvas) return;
    surface.Canvas->AcquireHandle();
    if (HDC dc = surface.Canvas->DC()) winsys::DrawCursor(dc, x, y, FCachedCursor);
    surface.Canvas->ReleaseHandle();
}

void TQVXScreen::Flip() {
    if (!FFrontSurface || !FBackSurface) return;
    HRESULT hr;
    if (FWindowMode) {
        TForm* form = OwnerForm();
        tk::TRect dest = WindowStretch && form ? form->ClientRect() : FFrontSurface->ClientRect;
        if (form) {
            tk::TPoint tl = form->ClientToScreen({dest.Left, dest.Top});
            tk::TPoint br = form->ClientToScreen({dest.Right, dest.Bottom});
            dest = tk::Rect(tl.X, tl.Y, br.X, br.Y);
        }
        if (ShowMouse) {
            tk::TPoint p = winsys::GetCursorPos();
            if (p.X >= dest.Left && p.X < dest.Right && p.Y >= dest.Top && p.Y < dest.Bottom)
                DrawCursorInto(*FBackSurface, FMouseX, FMouseY);
        }
        if (WindowVBL) WaitForVerticalBlank();
        DDBLTFX fx;
        std::memset(&fx, 0, sizeof fx);
        fx.dwSize = sizeof fx;
        RECT d = ToRECT(dest), s = ToRECT(FFrontSurface->ClientRect);
        hr = FFrontSurface->Surface->Blt(&d, FBackSurface->Surface.Get(), &s, DDBLT_WAIT, &fx);
    } else {
        if (ShowMouse) {
            tk::TPoint p = winsys::GetCursorPos();
            DrawCursorInto(*FBackSurface, p.X, p.Y);
        }
        hr = FFrontSurface->GetSurface()->Flip(nullptr, DDFLIP_WAIT);
    }
    if (hr == DDERR_SURFACELOST)
        RestoreSurfaces();
    else if (hr != DD_OK)
        throw EQVXScreen(msg::SFlipFailed);
    if (PaletteCycle && FCycleActive) CycleStep();
}

void TQVXScreen::WaitForVerticalBlank() {
    if (!FDirectDraw || FDirectDraw->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr) != DD_OK)
        throw EQVXScreen(msg::SWaitVBlank);
}

void TQVXScreen::StartFlipping() {
    TApplication* app = Application();
    if (!app) return;
    std::weak_ptr<TQVXScreen*> self = FHooks->alive;
    app->OnIdle = [self](tk::TObject* sender, bool& done) {
        if (auto p = self.lock()) (*p)->AppIdle(sender, done);
    };
    FIdleInstalled = true;
}

void TQVXScreen::StopFlipping() {
    if (TApplication* app = Application(); app && FIdleInstalled) app->OnIdle = nullptr;
    FIdleInstalled = false;
}

// ---- Application and form handlers ---------------------------------------------------

void TQVXScreen::AppIdle(tk::TObject*, bool& done) {
    // Not started (before the first activation, after a failed start) there
    // is nothing to draw: the application waits for messages meanwhile
    // instead of spinning.
    done = !Started() || !FBackSurface;
    if (done) return;
    if (OnFlip) OnFlip(this);
    Flip();
}

void TQVXScreen::AppMessage(winsys::MSG& m, bool& handled) {
    switch (m.message) {
        case winsys::WM_ACTIVATEAPP:
            if ((m.wParam & 0xFF) != 0) {
                if (TApplication* app = Application()) app->PostMessage(WM_RESTORESCREEN, 0, 0);
            } else {
                StopFlipping();
            }
            break;
        case winsys::WM_SYSCOMMAND: handled = m.wParam == winsys::SC_SCREENSAVE; break;
        case WM_RESTORESCREEN:
            RestoreSurfaces();
            if (FFlippingEnabled) StartFlipping();
            if (OnPaint) OnPaint(this);
            break;
        default: break;
    }
}

void TQVXScreen::AppException(tk::TObject*, const std::exception& e) {
    if (BeepOnException) winsys::MessageBeep(winsys::MB_OK);
    if (Debug) SendTrace(e.what());
}

void TQVXScreen::FormMouseMove(tk::TObject*, TShiftState, int x, int y) {
    FMouseX = x;
    FMouseY = y;
}

void TQVXScreen::FormMouseDown(tk::TObject*, TMouseButton button, TShiftState, int, int) {
    MouseButton = button == TMouseButton::mbLeft ? 1 : button == TMouseButton::mbRight ? 2 : 0;
}

}  // namespace qvx
