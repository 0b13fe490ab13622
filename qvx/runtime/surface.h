// Display surfaces of the runtime: one DirectDraw surface each (the visible
// primary, a back buffer, or an off-screen picture), with a canvas that
// draws on it through a device context the surface lends out.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/ddraw/ddraw.h"
#include "toolkit/classes.h"
#include "toolkit/graphics.h"
#include "toolkit/sysutils.h"

namespace qvx {

/// Raised when a surface cannot be made, erased or keyed.
class EQVXSurface : public tk::Exception {
public:
    using Exception::Exception;
    const char* ClassName() const noexcept override { return "EQVXSurface"; }
};

/// Raised when a canvas is asked of a missing surface.
class EQVXCanvas : public tk::Exception {
public:
    using Exception::Exception;
    const char* ClassName() const noexcept override { return "EQVXCanvas"; }
};

namespace msg {
inline constexpr const char* SCreateMemorySurface = "Could not create memory surface (%d, %d)";
inline constexpr const char* SCreatePrimary = "Create Primary Surface failed";
inline constexpr const char* SGetDisplayMode = "Get DisplayMode Failed";
inline constexpr const char* SGetBackSurface = "Failed to get background surface";
inline constexpr const char* SCreateBackBufferW = "Failed Creating BackBufferW";
inline constexpr const char* SEraseFailed = "Erase (Blt) Failed";
inline constexpr const char* SSetColorKey = "SetColorKey failed";
inline constexpr const char* SNilSurfaceCanvas = "Cannot create canvas for NIL surface";
}  // namespace msg

/// What the primary-surface and windowed back-buffer constructors need of
/// the screen that makes them.
class IQVXSurfaceScreen {
public:
    virtual ~IQVXSurfaceScreen() = default;
    virtual IDirectDraw4* DirectDraw() const = 0;
    virtual bool WindowMode() const = 0;
    virtual int BackBuffers() const = 0;
    virtual int BufferWidth() const = 0;
    virtual int BufferHeight() const = 0;
};

/// A canvas drawing on a DirectDraw surface. The first drawing operation
/// borrows the surface's device context (AcquireHandle); ReleaseHandle gives
/// it back, which must happen before the surface is blitted, flipped or
/// locked.
class TQVXCanvas : public tk::TCanvas {
public:
    TK_CLASSNAME(TQVXCanvas)
    // Raises EQVXCanvas "Cannot create canvas for NIL surface" for null.
    explicit TQVXCanvas(IDirectDrawSurface4* surface);
    ~TQVXCanvas() override;

    void AcquireHandle();
    void ReleaseHandle();
    // The borrowed context, null when none is held.
    HDC DC() const { return FDC; }

protected:
    void CreateHandle() override { AcquireHandle(); }

private:
    ComPtr<IDirectDrawSurface4> FSurface;
    HDC FDC = nullptr;
};

// Tag choosing the windowed back-buffer constructor.
struct TWindowedBackBuffer {};

/// One DirectDraw surface: the visible primary, the back buffer a game
/// draws on, or an off-screen picture made from a library. Blit with
/// Surface (IDirectDrawSurface4: Blt, BltFast with the colour key) or draw
/// on Canvas. The screen makes and restores the surfaces it hands out;
/// a game seldom makes one itself.
class TQVXSurface : public tk::TObject {
public:
    const char* ClassName() const override { return "TQVXSurface"; }

    // An off-screen memory surface of the given size; one wider than the
    // desktop is kept in system memory.
    TQVXSurface(IDirectDraw4* directDraw, int width, int height, int bitDepth);
    // The primary surface: windowed, or full screen with the screen's back
    // buffers as its flip chain.
    TQVXSurface(const IQVXSurfaceScreen& screen, int bitDepth);
    // The back buffer of a full-screen primary's flip chain.
    TQVXSurface(TQVXSurface& primary, int bitDepth);
    // The off-screen drawing buffer of a windowed screen.
    TQVXSurface(const IQVXSurfaceScreen& screen, int bitDepth, TWindowedBackBuffer);
    // Frees the canvas, then releases the platform surface unless Attached.
    ~TQVXSurface() override;
    TQVXSurface(const TQVXSurface&) = delete;
    TQVXSurface& operator=(const TQVXSurface&) = delete;

    // A new counted reference to the platform surface.
    ComPtr<IDirectDrawSurface4> GetSurface() const { return Surface; }
    // Fills the whole surface with `color`. A lost surface goes to
    // OnSurfaceLost when set; otherwise failures raise "Erase (Blt) Failed".
    void Erase(uint8_t color);
    // Makes palette index (pixel value) `index` the source colour key.
    void SetColorKey(uint8_t index);

    ComPtr<IDirectDrawSurface4> Surface;
    std::unique_ptr<TQVXCanvas> Canvas;
    uint8_t TransparentColor = 0;
    int32_t Width = 0;
    int32_t Height = 0;
    int32_t Pitch = 0;
    tk::TRect ClientRect;
    tk::TRect ClipRect;
    int32_t BitDepth = 0;
    bool Attached = false;
    tk::TNotifyEvent OnSurfaceLost;

private:
    void SetRects();
};

}  // namespace qvx
