#include "surface.h"

#include <cstring>

#include "platform/winsys/winsys.h"

namespace qvx {

namespace {

DDSURFACEDESC2 NewDesc() {
    DDSURFACEDESC2 d;
    std::memset(&d, 0, sizeof d);
    d.dwSize = sizeof d;  // 124
    return d;
}

RECT ToRECT(const tk::TRect& r) { return RECT{r.Left, r.Top, r.Right, r.Bottom}; }

}  // namespace

// ---- Canvas ------------------------------------------------------------------------

TQVXCanvas::TQVXCanvas(IDirectDrawSurface4* surface) {
    if (!surface) throw EQVXCanvas(msg::SNilSurfaceCanvas);
    FSurface = ComPtr<IDirectDrawSurface4>(surface);
}

TQVXCanvas::~TQVXCanvas() { ReleaseHandle(); }

void TQVXCanvas::AcquireHandle() {
    if (FDC) return;
    HDC dc = nullptr;
    FSurface->GetDC(&dc);  // a refused context leaves the canvas without one
    FDC = dc;
    SetHandle(dc);
}

void TQVXCanvas::ReleaseHandle() {
    if (!FDC) return;
    SetHandle(nullptr);
    FSurface->ReleaseDC(FDC);
    FDC = nullptr;
}

// ---- Surface -----------------------------------------------------------------------

void TQVXSurface::SetRects() {
    ClientRect = tk::Rect(0, 0, Width, Height);
    ClipRect = ClientRect;
}

TQVXSurface::TQVXSurface(IDirectDraw4* directDraw, int width, int height, int bitDepth) {
    Attached = false;
    BitDepth = bitDepth;
    DDSURFACEDESC2 d = NewDesc();
    d.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
    d.dwWidth = static_cast<DWORD>(width);
    d.dwHeight = static_cast<DWORD>(height);
    d.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    if (width > winsys::GetDesktopMode().width) d.ddsCaps.dwCaps |= DDSCAPS_SYSTEMMEMORY;
    if (!directDraw || directDraw->CreateSurface(&d, Surface.Put(), nullptr) != DD_OK)
        throw EQVXSurface(tk::Format(msg::SCreateMemorySurface, width, height));
    Width = width;
    Height = height;
    SetRects();
    Canvas = std::make_unique<TQVXCanvas>(Surface.Get());
    DDSURFACEDESC2 back = NewDesc();
    Pitch = Surface->GetSurfaceDesc(&back) == DD_OK ? back.lPitch : 0;
}

TQVXSurface::TQVXSurface(const IQVXSurfaceScreen& screen, int bitDepth) {
    Attached = false;
    BitDepth = bitDepth;
    DDSURFACEDESC2 d = NewDesc();
    if (screen.WindowMode()) {
        d.dwFlags = DDSD_CAPS;
        d.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    } else {
        d.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
        d.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
        d.dwBackBufferCount = static_cast<DWORD>(screen.BackBuffers());
    }
    IDirectDraw4* dd = screen.DirectDraw();
    if (!dd || dd->CreateSurface(&d, Surface.Put(), nullptr) != DD_OK) throw EQVXSurface(msg::SCreatePrimary);
    Canvas = std::make_unique<TQVXCanvas>(Surface.Get());
    DDSURFACEDESC2 mode = NewDesc();
    if (dd->GetDisplayMode(&mode) != DD_OK) throw EQVXSurface(msg::SGetDisplayMode);
    if (screen.WindowMode()) {
        Width = screen.BufferWidth();
        Height = screen.BufferHeight();
        Pitch = Width;
    } else {
        Width = static_cast<int32_t>(mode.dwWidth);
        Height = static_cast<int32_t>(mode.dwHeight);
        Pitch = mode.lPitch;
    }
    SetRects();
}

TQVXSurface::TQVXSurface(TQVXSurface& primary, int bitDepth) {
    Attached = true;
    BitDepth = bitDepth;
    DDSCAPS2 caps;
    std::memset(&caps, 0, sizeof caps);
    caps.dwCaps = DDSCAPS_BACKBUFFER;
    if (!primary.Surface || primary.Surface->GetAttachedSurface(&caps, Surface.Put()) != DD_OK)
        throw EQVXSurface(msg::SGetBackSurface);
    Canvas = std::make_unique<TQVXCanvas>(Surface.Get());
    Width = primary.Width;
    Height = primary.Height;
    Pitch = primary.Pitch;
    SetRects();
}

TQVXSurface::TQVXSurface(const IQVXSurfaceScreen& screen, int bitDepth, TWindowedBackBuffer) {
    Attached = false;
    BitDepth = bitDepth;
    DDSURFACEDESC2 d = NewDesc();
    d.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
    d.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    d.dwWidth = static_cast<DWORD>(screen.BufferWidth());
    d.dwHeight = static_cast<DWORD>(screen.BufferHeight());
    IDirectDraw4* dd = screen.DirectDraw();
    if (!dd || dd->CreateSurface(&d, Surface.Put(), nullptr) != DD_OK) throw EQVXSurface(msg::SCreateBackBufferW);
    Canvas = std::make_unique<TQVXCanvas>(Surface.Get());
    Width = screen.BufferWidth();
    Height = screen.BufferHeight();
    Pitch = Width;
    SetRects();
}

TQVXSurface::~TQVXSurface() {
    Canvas.reset();
    // The flip chain's back buffer belongs to the primary; its reference
    // is left to go with the chain.
    if (Attached)
        Surface.Detach();
    else
        Surface.Reset();
}

void TQVXSurface::Erase(uint8_t color) {
    DDBLTFX fx;
    std::memset(&fx, 0, sizeof fx);
    fx.dwSize = sizeof fx;  // 100
    fx.dwFillColor = color;
    RECT r = ToRECT(ClientRect);
    RECT s = r;
    HRESULT hr = Surface ? Surface->Blt(&r, nullptr, &s, DDBLT_COLORFILL | DDBLT_WAIT, &fx) : DDERR_INVALIDOBJECT;
    if (hr == DD_OK) return;
    if (hr == DDERR_SURFACELOST && OnSurfaceLost) {
        OnSurfaceLost(this);
        return;
    }
    throw EQVXSurface(msg::SEraseFailed);
}

void TQVXSurface::SetColorKey(uint8_t index) {
    TransparentColor = index;
    DDCOLORKEY key{index, index};
    if (!Surface || Surface->SetColorKey(DDCKEY_SRCBLT, &key) != DD_OK) throw EQVXSurface(msg::SSetColorKey);
}

}  // namespace qvx
