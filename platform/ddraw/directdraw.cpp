// The DirectDraw object: cooperative levels, display modes and creating
// surfaces, palettes and clippers.
#include "device.h"

#include <QPainter>
#include <algorithm>
#include <chrono>
#include <thread>
#include <cstdlib>
#include <cstring>
#include <unordered_map>

#include "platform/com/backend.h"


namespace ddraw {

// ---- DirectDraw object ------------------------------------------------------------------

namespace {

constexpr int kModes[][2] = {{320, 200},  {320, 240},  {512, 384},  {640, 400},   {640, 480},
                             {800, 600},  {1024, 768}, {1152, 864}, {1280, 720},  {1280, 960},
                             {1280, 1024}, {1600, 1200}, {1920, 1080}};

class DirectDrawImpl final : public IDirectDraw, public IDirectDraw4 {
public:
    DirectDrawImpl() : dev_(std::make_shared<Device>()) {
        dev_->display = CurrentDisplay();
        LiveDevices().push_back(dev_.get());
    }
    ~DirectDrawImpl() override {
        dev_->Unhook();
        dev_->alive = false;
        dev_->SyncDesktopMode();
        auto& v = LiveDevices();
        v.erase(std::remove(v.begin(), v.end(), dev_.get()), v.end());
    }

    HRESULT QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (HRESULT hr = dev_->display->Fault("QueryInterface")) {
            *out = nullptr;
            return hr;
        }
        if (riid == IID_IUnknown || riid == IID_IDirectDraw) {
            AddRef();
            *out = static_cast<IDirectDraw*>(this);
            return S_OK;
        }
        if (riid == IID_IDirectDraw4) {
            AddRef();
            *out = static_cast<IDirectDraw4*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        ULONG n = --refs_;
        if (n == 0) delete this;
        return n;
    }

    HRESULT SetCooperativeLevel(HWND hwnd, DWORD flags) override {
        if (HRESULT hr = dev_->display->Fault("SetCooperativeLevel")) return hr;
        bool normal = flags & DDSCL_NORMAL, excl = flags & DDSCL_EXCLUSIVE, full = flags & DDSCL_FULLSCREEN;
        if (normal == excl) return DDERR_INVALIDPARAMS;
        if (excl != full) return DDERR_INVALIDPARAMS;
        if (excl && !hwnd) return DDERR_INVALIDPARAMS;
        if (excl) {
            if (ExclusiveOwner() && ExclusiveOwner() != dev_.get()) return DDERR_EXCLUSIVEMODEALREADYSET;
            winsys::Window* cur = dev_->coopWindow.Get();
            if (dev_->exclusive && cur && cur != hwnd) return DDERR_HWNDALREADYSET;
        }
        if (dev_->exclusive && !excl) dev_->Unhook();
        if (winsys::Window* old = dev_->coopWindow.Get(); old && dev_->activateListener) {
            old->RemoveListener(dev_->activateListener);
            dev_->activateListener = 0;
        }
        dev_->coopFlags = flags;
        dev_->coopWindow = winsys::WindowRef(hwnd);
        if (excl) {
            ExclusiveOwner() = dev_.get();
            dev_->exclusive = true;
            hwnd->SetFullScreen(true);
            // Losing the foreground in full screen loses the surfaces; coming
            // back takes the screen again.
            Device* d = dev_.get();
            dev_->activateListener = hwnd->OnActivate([d](bool active) {
                if (!d->exclusive) return;
                winsys::Window* w = d->coopWindow.Get();
                if (!active) {
                    d->LoseAll();
                } else if (w) {
                    w->SetFullScreen(true);
                }
            });
        }
        dev_->SyncDesktopMode();
        return DD_OK;
    }

    HRESULT SetDisplayMode(DWORD width, DWORD height, DWORD bpp, DWORD refresh, DWORD flags) override {
        if (HRESULT hr = dev_->display->Fault("SetDisplayMode")) return hr;
        if (flags & ~1u) return DDERR_INVALIDPARAMS;
        if (!dev_->exclusive) return DDERR_NOEXCLUSIVEMODE;
        bool known = false;
        for (auto& m : kModes) known = known || (DWORD(m[0]) == width && DWORD(m[1]) == height);
        if (!known || (bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)) return DDERR_INVALIDMODE;
        for (SurfaceImpl* s : dev_->surfaces)
            if (s->Busy()) return DDERR_LOCKEDSURFACES;
        DisplayMode m{static_cast<int>(width), static_cast<int>(height), static_cast<int>(bpp),
                      refresh ? static_cast<int>(refresh) : winsys::GetDesktopMode().refreshHz};
        if (!(m == dev_->CurrentMode())) dev_->LoseAll();
        dev_->mode = m;
        dev_->modeSet = true;
        dev_->SyncDesktopMode();
        return DD_OK;
    }

    HRESULT RestoreDisplayMode() override {
        if (HRESULT hr = dev_->display->Fault("RestoreDisplayMode")) return hr;
        if (dev_->modeSet) {
            DisplayMode before = dev_->mode;
            dev_->modeSet = false;
            dev_->SyncDesktopMode();
            if (!(before == dev_->CurrentMode())) dev_->LoseAll();
        }
        return DD_OK;
    }

    HRESULT GetDisplayMode(DDSURFACEDESC2* desc) override {
        if (HRESULT hr = dev_->display->Fault("GetDisplayMode")) return hr;
        if (!DescSizeOk(desc)) return DDERR_INVALIDPARAMS;
        DisplayMode m = dev_->CurrentMode();
        PixelFormat f;
        FormatForBits(m.bpp, &f);
        std::memset(desc, 0, sizeof *desc);
        desc->dwSize = sizeof *desc;
        desc->dwFlags = DDSD_HEIGHT | DDSD_WIDTH | DDSD_PITCH | DDSD_PIXELFORMAT | DDSD_REFRESHRATE;
        desc->dwWidth = static_cast<DWORD>(m.width);
        desc->dwHeight = static_cast<DWORD>(m.height);
        desc->lPitch = (m.width * f.Bytes() + 3) & ~3;
        desc->dwRefreshRate = static_cast<DWORD>(m.refresh);
        FormatToDD(f, &desc->ddpfPixelFormat);
        return DD_OK;
    }

    HRESULT CreateSurface(DDSURFACEDESC2* desc, IDirectDrawSurface4** out, IUnknown* outer) override {
        if (!out) return DDERR_INVALIDPARAMS;
        *out = nullptr;
        if (HRESULT hr = dev_->display->Fault("CreateSurface")) return hr;
        if (outer) return CLASS_E_NOAGGREGATION;
        if (!DescSizeOk(desc)) return DDERR_INVALIDPARAMS;
        if (!dev_->coopFlags) return DDERR_NOCOOPERATIVELEVELSET;
        DWORD caps = (desc->dwFlags & DDSD_CAPS) ? desc->ddsCaps.dwCaps : DDSCAPS_OFFSCREENPLAIN;
        DisplayMode mode = dev_->CurrentMode();
        PixelFormat f;
        FormatForBits(mode.bpp, &f);
        if (desc->dwFlags & DDSD_PIXELFORMAT) {
            if (caps & DDSCAPS_PRIMARYSURFACE) return DDERR_INVALIDPARAMS;
            if (!FormatFromDD(desc->ddpfPixelFormat, &f)) return DDERR_INVALIDPIXELFORMAT;
        }
        SurfaceImpl* s = nullptr;
        if (caps & DDSCAPS_PRIMARYSURFACE) {
            if (dev_->primary) return DDERR_PRIMARYSURFACEALREADYEXISTS;
            if (desc->dwFlags & (DDSD_WIDTH | DDSD_HEIGHT)) return DDERR_INVALIDPARAMS;
            bool flip = caps & DDSCAPS_FLIP;
            int backs = (desc->dwFlags & DDSD_BACKBUFFERCOUNT) ? static_cast<int>(desc->dwBackBufferCount) : 0;
            if (flip) {
                if (!dev_->exclusive) return DDERR_NOEXCLUSIVEMODE;
                if (!(caps & DDSCAPS_COMPLEX)) return DDERR_INVALIDCAPS;
                if (backs < 1 || backs > 8) return DDERR_INVALIDPARAMS;
            } else if (backs) {
                return DDERR_INVALIDPARAMS;
            }
            s = new SurfaceImpl(dev_, f, mode.width, mode.height,
                                (caps & ~DDSCAPS_SYSTEMMEMORY) | DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM |
                                    DDSCAPS_VISIBLE,
                                &mode);
            if (flip) s->MakeChain(backs);
            dev_->primary = s;
            s->PaintWindowBackground(true);
        } else {
            if (caps & (DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_BACKBUFFER | DDSCAPS_OVERLAY | DDSCAPS_ZBUFFER))
                return DDERR_INVALIDCAPS;
            if ((desc->dwFlags & (DDSD_WIDTH | DDSD_HEIGHT)) != (DDSD_WIDTH | DDSD_HEIGHT)) return DDERR_INVALIDPARAMS;
            if (desc->dwWidth == 0 || desc->dwHeight == 0) return DDERR_INVALIDPARAMS;
            if (desc->dwWidth > 16384 || desc->dwHeight > 16384) return DDERR_TOOBIGSIZE;
            if (!(caps & DDSCAPS_SYSTEMMEMORY)) caps |= DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM;
            s = new SurfaceImpl(dev_, f, static_cast<int>(desc->dwWidth), static_cast<int>(desc->dwHeight), caps,
                                nullptr);
            if (!s->View().bits) {
                delete s;
                return DDERR_OUTOFMEMORY;
            }
        }
        if (desc->dwFlags & DDSD_CKSRCBLT) s->SetColorKey(DDCKEY_SRCBLT | DDCKEY_COLORSPACE, &desc->ddckCKSrcBlt);
        *out = s;
        if (s == dev_->primary) dev_->PresentPrimary();
        return DD_OK;
    }

    HRESULT CreatePalette(DWORD flags, PALETTEENTRY* entries, IDirectDrawPalette** out, IUnknown* outer) override {
        if (!out) return DDERR_INVALIDPARAMS;
        *out = nullptr;
        if (HRESULT hr = dev_->display->Fault("CreatePalette")) return hr;
        if (outer) return CLASS_E_NOAGGREGATION;
        if (!entries) return DDERR_INVALIDPARAMS;
        if (!(flags & DDPCAPS_8BIT)) return DDERR_UNSUPPORTED;
        *out = new PaletteImpl(dev_, flags, entries);
        return DD_OK;
    }

    HRESULT CreateClipper(DWORD flags, IDirectDrawClipper** out, IUnknown* outer) override {
        if (!out) return DDERR_INVALIDPARAMS;
        *out = nullptr;
        if (HRESULT hr = dev_->display->Fault("CreateClipper")) return hr;
        if (outer) return CLASS_E_NOAGGREGATION;
        if (flags) return DDERR_INVALIDPARAMS;
        *out = new ClipperImpl(dev_);
        return DD_OK;
    }

    HRESULT WaitForVerticalBlank(DWORD flags, void*) override {
        if (HRESULT hr = dev_->display->Fault("WaitForVerticalBlank")) return hr;
        if (flags == DDWAITVB_BLOCKBEGINEVENT) return DDERR_UNSUPPORTED;
        if (flags != DDWAITVB_BLOCKBEGIN && flags != DDWAITVB_BLOCKEND) return DDERR_INVALIDPARAMS;
        dev_->display->WaitForVerticalBlank();
        return DD_OK;
    }

    HRESULT GetVerticalBlankStatus(BOOL* in) override {
        if (!in) return DDERR_INVALIDPARAMS;
        *in = dev_->display->InVerticalBlank() ? 1 : 0;
        return DD_OK;
    }

    HRESULT FlipToGDISurface() override {
        if (HRESULT hr = dev_->display->Fault("FlipToGDISurface")) return hr;
        SurfaceImpl* p = dev_->primary;
        if (!p || !p->IsFrontOfChain()) return DDERR_NOTFOUND;
        if (p->Lost()) return DDERR_SURFACELOST;
        p->RotateToGDI();
        dev_->PresentPrimary();
        return DD_OK;
    }

private:
    std::shared_ptr<Device> dev_;
    std::atomic<ULONG> refs_{1};
};

}  // namespace

}  // namespace ddraw

HRESULT DirectDrawCreate(GUID* guid, IDirectDraw** out, IUnknown* outer) {
    if (!out) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    if (guid) return DDERR_INVALIDDIRECTDRAWGUID;
    auto display = ddraw::CurrentDisplay();
    if (HRESULT hr = display->Fault("DirectDrawCreate")) return hr;
    *out = new ddraw::DirectDrawImpl();
    return DD_OK;
}
