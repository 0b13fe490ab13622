// The DirectDraw objects: the device (IDirectDraw/IDirectDraw4), software
// surfaces, palettes and clippers. Internal to the DirectDraw stand-in.
#pragma once

#include <atomic>
#include <memory>
#include <vector>

#include "blit.h"
#include "display.h"

namespace ddraw {

class SurfaceImpl;
class PaletteImpl;
class ClipperImpl;

struct DisplayMode {
    int width = 0, height = 0, bpp = 32, refresh = 60;
    bool operator==(const DisplayMode&) const = default;
};

// State shared by a DirectDraw object and everything it made. Children keep
// it alive; when the DirectDraw object itself goes, they stop working
// (DDERR_INVALIDOBJECT) but stay safe to call and release.
struct Device {
    std::shared_ptr<Display> display;
    bool alive = true;
    DWORD coopFlags = 0;
    winsys::WindowRef coopWindow;
    int activateListener = 0;
    bool exclusive = false;
    bool modeSet = false;
    DisplayMode mode;
    SurfaceImpl* primary = nullptr;
    // Where a windowed primary last had the window's background painted.
    RECT backgroundPainted{};
    std::vector<SurfaceImpl*> surfaces;

    bool holdsDesktop = false;  // this device's mode is the desktop's (winsys)

    DisplayMode CurrentMode() const;
    // Makes the desktop follow this device: its mode while it holds a
    // full-screen mode in exclusive mode, the real desktop once it lets go.
    void SyncDesktopMode();
    void LoseAll();
    void PresentPrimary();
    void Unhook();
    bool ExclusiveInactive() const;
};

// Every live device, and the one holding exclusive mode (if any).
std::vector<Device*>& LiveDevices();
Device*& ExclusiveOwner();

inline bool DescSizeOk(const DDSURFACEDESC2* d) { return d && d->dwSize == sizeof(DDSURFACEDESC2); }

struct Buffer {
    explicit Buffer(size_t bytes);
    ~Buffer();
    Buffer(const Buffer&) = delete;
    Buffer& operator=(const Buffer&) = delete;
    uint8_t* bits = nullptr;
    size_t size = 0;
};

class PaletteImpl final : public TUnknownImpl<IDirectDrawPalette> {
public:
    PaletteImpl(std::shared_ptr<Device> dev, DWORD caps, const PALETTEENTRY* entries);
    HRESULT QueryInterface(REFIID riid, void** out) override;
    HRESULT GetCaps(DWORD* caps) override;
    HRESULT GetEntries(DWORD flags, DWORD base, DWORD count, PALETTEENTRY* entries) override;
    HRESULT SetEntries(DWORD flags, DWORD start, DWORD count, PALETTEENTRY* entries) override;
    const PALETTEENTRY* Entries() const { return entries_; }

private:
    std::shared_ptr<Device> dev_;
    std::atomic<ULONG> refs_{1};
    DWORD caps_;
    PALETTEENTRY entries_[256];
};

class ClipperImpl final : public TUnknownImpl<IDirectDrawClipper> {
public:
    explicit ClipperImpl(std::shared_ptr<Device> dev) : dev_(std::move(dev)) {}
    HRESULT QueryInterface(REFIID riid, void** out) override;
    HRESULT SetHWnd(DWORD flags, HWND hwnd) override;
    HRESULT GetHWnd(HWND* hwnd) override;
    HRESULT IsClipListChanged(BOOL* changed) override;
    winsys::Window* Window() const { return window_.Get(); }
    bool HasWindow() const { return hasWindow_; }

private:
    std::shared_ptr<Device> dev_;
    std::atomic<ULONG> refs_{1};
    winsys::WindowRef window_;
    bool hasWindow_ = false;
};

class SurfaceImpl final : public IDirectDrawSurface4 {
public:
    SurfaceImpl(std::shared_ptr<Device> dev, const PixelFormat& f, int width, int height, DWORD caps,
                const DisplayMode* createdFor);
    ~SurfaceImpl() override;

    HRESULT QueryInterface(REFIID riid, void** out) override;
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override;

    HRESULT Blt(RECT* destRect, IDirectDrawSurface4* src, RECT* srcRect, DWORD flags, DDBLTFX* fx) override;
    HRESULT BltFast(DWORD x, DWORD y, IDirectDrawSurface4* src, RECT* srcRect, DWORD trans) override;
    HRESULT Flip(IDirectDrawSurface4* target, DWORD flags) override;
    HRESULT GetAttachedSurface(DDSCAPS2* caps, IDirectDrawSurface4** out) override;
    HRESULT GetDC(HDC* dc) override;
    HRESULT ReleaseDC(HDC dc) override;
    HRESULT Lock(RECT* rect, DDSURFACEDESC2* desc, DWORD flags, void* event) override;
    HRESULT Unlock(RECT* rect) override;
    HRESULT SetColorKey(DWORD flags, DDCOLORKEY* key) override;
    HRESULT GetColorKey(DWORD flags, DDCOLORKEY* key) override;
    HRESULT SetPalette(IDirectDrawPalette* palette) override;
    HRESULT GetPalette(IDirectDrawPalette** palette) override;
    HRESULT SetClipper(IDirectDrawClipper* clipper) override;
    HRESULT GetClipper(IDirectDrawClipper** clipper) override;
    HRESULT GetSurfaceDesc(DDSURFACEDESC2* desc) override;
    HRESULT GetPixelFormat(DDPIXELFORMAT* format) override;
    HRESULT Restore() override;
    HRESULT IsLost() override;

    // Makes `count` back buffers of this (a primary) as a flip chain.
    void MakeChain(int count);
    PixelView View() const;
    // A frame of `part` (a view into this surface) that keeps the pixels
    // alive while the window holds it.
    std::shared_ptr<const winsys::Frame> MakeFrame(const PixelView& part) const;
    const PixelFormat& Format() const { return fmt_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    DWORD Caps() const { return caps_; }
    bool Lost() const { return lost_; }
    void SetLost() {
        if (!(caps_ & DDSCAPS_SYSTEMMEMORY)) lost_ = true;
    }
    bool Busy() const { return locked_ || dc_ != nullptr; }
    bool IsFrontOfChain() const { return !chain_.empty(); }
    // The palette pixels of this surface are shown through: its own, the
    // flip chain's, the primary's, or the system palette.
    const PALETTEENTRY* EffectivePalette() const;
    // Shows the frame now if this surface is what the display shows.
    void ShowIfVisible();
    // Rotates the chain until the front shows the first buffer.
    bool RotateToGDI();
    winsys::Window* PresentWindow() const;
    // A windowed primary is the desktop: the window's client part of it
    // shows the window's background until something is drawn there. With
    // `all` false only what the window newly covers (after a move or a
    // resize) is painted, as a window system repaints exposed parts.
    void PaintWindowBackground(bool all);

private:
    class DC;
    HRESULT Usable() const;
    HRESULT BlitFrom(SurfaceImpl* src, const RECT& dr, const RECT& sr, const ColourKey& key, bool clip);
    void Rotate();

    std::shared_ptr<Device> dev_;
    std::atomic<ULONG> refs_{1};
    PixelFormat fmt_;
    int width_, height_, pitch_;
    DWORD caps_;
    DisplayMode createdFor_{};
    bool hasMode_ = false;
    std::shared_ptr<Buffer> buf_;
    std::shared_ptr<Buffer> gdiBuf_;  // front of a chain: the buffer it started with
    ColourKey srcKey_;
    DDCOLORKEY destKey_{};
    bool hasDestKey_ = false;
    PaletteImpl* palette_ = nullptr;  // counted
    ClipperImpl* clipper_ = nullptr;  // counted
    bool lost_ = false;
    bool locked_ = false;
    std::unique_ptr<DC> dc_;
    SurfaceImpl* owner_ = nullptr;      // back buffers: the front that owns the chain
    std::vector<SurfaceImpl*> chain_;  // front: its back buffers, owned
};

}  // namespace ddraw
