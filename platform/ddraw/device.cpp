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

namespace {

std::vector<Device*>& LiveDevices() {
    static std::vector<Device*> v;
    return v;
}
Device* g_exclusiveOwner = nullptr;

bool DescSizeOk(const DDSURFACEDESC2* d) { return d && d->dwSize == sizeof(DDSURFACEDESC2); }

constexpr int kModes[][2] = {{320, 200},  {320, 240},  {512, 384},  {640, 400},   {640, 480},
                             {800, 600},  {1024, 768}, {1152, 864}, {1280, 720},  {1280, 960},
                             {1280, 1024}, {1600, 1200}, {1920, 1080}};

}  // namespace

// ---- Device -------------------------------------------------------------------------

DisplayMode Device::CurrentMode() const {
    if (modeSet) return mode;
    winsys::DesktopMode d = winsys::GetDesktopMode();
    return DisplayMode{d.width, d.height, d.bitsPerPixel == 8 || d.bitsPerPixel == 16 || d.bitsPerPixel == 24 ? d.bitsPerPixel : 32,
                       d.refreshHz};
}

void Device::SyncDesktopMode() {
    winsys::Window* w = coopWindow.Get();
    if (alive && modeSet && exclusive && w) {
        winsys::SetFullScreenMode(w, winsys::DesktopMode{mode.width, mode.height, mode.bpp, mode.refresh});
        holdsDesktop = true;
    } else if (holdsDesktop) {
        winsys::ClearFullScreenMode();
        holdsDesktop = false;
    }
}

void Device::LoseAll() {
    for (SurfaceImpl* s : surfaces) s->SetLost();
}

bool Device::ExclusiveInactive() const {
    if (!exclusive) return false;
    winsys::Window* w = coopWindow.Get();
    return w && (!w->IsActive() || w->IsMinimized());
}

void Device::Unhook() {
    if (winsys::Window* w = coopWindow.Get()) {
        if (activateListener) w->RemoveListener(activateListener);
        if (exclusive) w->SetFullScreen(false);
    }
    activateListener = 0;
    if (g_exclusiveOwner == this) g_exclusiveOwner = nullptr;
    exclusive = false;
    SyncDesktopMode();
}

void Device::PresentPrimary() {
    SurfaceImpl* p = primary;
    if (!p || p->Lost()) return;
    if (p->IsFrontOfChain()) {
        winsys::Window* w = coopWindow.Get();
        tk::TRect dest = w ? Letterbox(p->Width(), p->Height(), w->ClientWidth(), w->ClientHeight())
                           : tk::Bounds(0, 0, p->Width(), p->Height());
        display->Present(w, p->MakeFrame(p->View()), dest);
        return;
    }
    // Windowed: the primary is the desktop; the window shows its part of it.
    winsys::Window* w = p->PresentWindow();
    if (!w) return;
    tk::TRect sc = w->ScreenClientRect();
    RECT part = Intersect(RECT{sc.Left, sc.Top, sc.Right, sc.Bottom}, RECT{0, 0, p->Width(), p->Height()});
    if (Empty(part)) return;
    PixelView v = p->View();
    v.bits = v.At(part.left, part.top);
    v.width = part.right - part.left;
    v.height = part.bottom - part.top;
    display->Present(w, p->MakeFrame(v), tk::Bounds(part.left - sc.Left, part.top - sc.Top, v.width, v.height));
}

namespace {
const auto kVBlankEpoch = std::chrono::steady_clock::now();
}

void SleepToNextVBlank(int hz) {
    if (hz <= 0) hz = 60;
    auto period = std::chrono::nanoseconds(1000000000LL / hz);
    auto since = std::chrono::steady_clock::now() - kVBlankEpoch;
    auto next = kVBlankEpoch + (since / period + 1) * period;
    std::this_thread::sleep_until(next);
}

bool InVBlankNow(int hz) {
    if (hz <= 0) hz = 60;
    auto period = std::chrono::nanoseconds(1000000000LL / hz);
    auto since = std::chrono::steady_clock::now() - kVBlankEpoch;
    // The blank is about the last twentieth of each refresh.
    return (since % period) * 20 >= period * 19;
}

void LoseAllSurfaces() {
    for (Device* d : LiveDevices()) d->LoseAll();
}

std::shared_ptr<Display> CurrentDisplay() {
    return platform::CurrentBackend() == platform::Backend::Real ? QtDisplay() : HeadlessDisplay();
}

Buffer::Buffer(size_t bytes) : size(bytes) {
    size_t rounded = (bytes + 63) / 64 * 64;
    bits = static_cast<uint8_t*>(std::aligned_alloc(64, rounded ? rounded : 64));
    if (bits) std::memset(bits, 0, rounded ? rounded : 64);
}
Buffer::~Buffer() { std::free(bits); }

// ---- Palette -------------------------------------------------------------------------

PaletteImpl::PaletteImpl(std::shared_ptr<Device> dev, DWORD caps, const PALETTEENTRY* entries)
    : dev_(std::move(dev)), caps_(caps) {
    for (int i = 0; i < 256; ++i) entries_[i] = entries[i];
}

HRESULT PaletteImpl::QueryInterface(REFIID riid, void** out) {
    if (!out) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDirectDrawPalette) {
        AddRef();
        *out = static_cast<IDirectDrawPalette*>(this);
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

HRESULT PaletteImpl::GetCaps(DWORD* caps) {
    if (!caps) return DDERR_INVALIDPARAMS;
    *caps = caps_;
    return DD_OK;
}

HRESULT PaletteImpl::GetEntries(DWORD, DWORD base, DWORD count, PALETTEENTRY* entries) {
    if (HRESULT hr = dev_->display->Fault("GetEntries")) return hr;
    if (!dev_->alive) return DDERR_INVALIDOBJECT;
    if (!entries || base > 256 || count > 256 - base) return DDERR_INVALIDPARAMS;
    for (DWORD i = 0; i < count; ++i) entries[i] = entries_[base + i];
    return DD_OK;
}

HRESULT PaletteImpl::SetEntries(DWORD, DWORD start, DWORD count, PALETTEENTRY* entries) {
    if (HRESULT hr = dev_->display->Fault("SetEntries")) return hr;
    if (!dev_->alive) return DDERR_INVALIDOBJECT;
    if (!entries || start > 256 || count > 256 - start) return DDERR_INVALIDPARAMS;
    for (DWORD i = 0; i < count; ++i) entries_[start + i] = entries[i];
    // A palette change shows at once on the primary it is attached to.
    if (dev_->primary && dev_->primary->EffectivePalette() == entries_) dev_->PresentPrimary();
    return DD_OK;
}

// ---- Clipper -------------------------------------------------------------------------

HRESULT ClipperImpl::QueryInterface(REFIID riid, void** out) {
    if (!out) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDirectDrawClipper) {
        AddRef();
        *out = static_cast<IDirectDrawClipper*>(this);
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

HRESULT ClipperImpl::SetHWnd(DWORD flags, HWND hwnd) {
    if (HRESULT hr = dev_->display->Fault("SetHWnd")) return hr;
    if (!dev_->alive) return DDERR_INVALIDOBJECT;
    if (flags != 0) return DDERR_INVALIDPARAMS;
    window_ = winsys::WindowRef(hwnd);
    hasWindow_ = hwnd != nullptr;
    return DD_OK;
}

HRESULT ClipperImpl::GetHWnd(HWND* hwnd) {
    if (!hwnd) return DDERR_INVALIDPARAMS;
    *hwnd = window_.Get();
    return DD_OK;
}

HRESULT ClipperImpl::IsClipListChanged(BOOL* changed) {
    if (!changed) return DDERR_INVALIDPARAMS;
    *changed = 0;
    return DD_OK;
}

// ---- Surface device context -----------------------------------------------------------

// A device context over the surface's pixels. 16-, 24- and 32-bit surfaces
// are painted in place; an 8-bit one is painted as 32-bit and the changed
// pixels are mapped back to the nearest palette entry on release, as the
// window system maps colours into a palettised bitmap.
class SurfaceImpl::DC : public tk::TDeviceContext {
public:
    explicit DC(SurfaceImpl* s) : s_(s) {
        PixelView v = s->View();
        switch (s->fmt_.bits) {
            case 16: image_ = QImage(v.bits, v.width, v.height, v.pitch, QImage::Format_RGB16); break;
            case 24: image_ = QImage(v.bits, v.width, v.height, v.pitch, QImage::Format_BGR888); break;
            case 32: image_ = QImage(v.bits, v.width, v.height, v.pitch, QImage::Format_RGB32); break;
            default: {
                const PALETTEENTRY* pal = s->EffectivePalette();
                SelectedPalette.assign(pal, pal + 256);
                before_ = ToImage(v, s->fmt_, pal);
                image_ = before_.copy();
                break;
            }
        }
    }
    QImage* Target() override { return &image_; }

    // Writes the painting back: 8-bit pixels to palette indices; 32-bit
    // pixels get their unused top byte cleared again (painting sets it).
    void Commit() {
        if (image_.isNull()) return;
        if (s_->fmt_.bits == 32) {
            PixelView v = s_->View();
            for (int y = 0; y < v.height; ++y) {
                auto* p = reinterpret_cast<uint32_t*>(v.Row(y));
                for (int x = 0; x < v.width; ++x) p[x] &= 0x00FFFFFFu;
            }
            return;
        }
        if (s_->fmt_.bits != 8) return;
        PixelView v = s_->View();
        const tk::TLogPalette& pal = SelectedPalette;
        std::unordered_map<QRgb, uint8_t> nearest;
        for (int y = 0; y < v.height; ++y) {
            auto* now = reinterpret_cast<const QRgb*>(image_.constScanLine(y));
            auto* was = reinterpret_cast<const QRgb*>(before_.constScanLine(y));
            uint8_t* out = v.Row(y);
            for (int x = 0; x < v.width; ++x) {
                QRgb c = now[x] & 0xFFFFFF;
                if (c == (was[x] & 0xFFFFFF)) continue;
                auto it = nearest.find(c);
                if (it == nearest.end())
                    it = nearest
                             .emplace(c, static_cast<uint8_t>(tk::NearestPaletteIndex(
                                             pal, static_cast<uint8_t>(qRed(c)), static_cast<uint8_t>(qGreen(c)),
                                             static_cast<uint8_t>(qBlue(c)))))
                             .first;
                out[x] = it->second;
            }
        }
    }

private:
    SurfaceImpl* s_;
    QImage image_, before_;
};

// ---- Surface ---------------------------------------------------------------------------

SurfaceImpl::SurfaceImpl(std::shared_ptr<Device> dev, const PixelFormat& f, int width, int height, DWORD caps,
                         const DisplayMode* createdFor)
    : dev_(std::move(dev)), fmt_(f), width_(width), height_(height), caps_(caps) {
    pitch_ = (width_ * fmt_.Bytes() + 3) & ~3;
    buf_ = std::make_shared<Buffer>(static_cast<size_t>(pitch_) * static_cast<size_t>(height_));
    if (createdFor) {
        createdFor_ = *createdFor;
        hasMode_ = true;
    }
    dev_->surfaces.push_back(this);
}

SurfaceImpl::~SurfaceImpl() {
    for (SurfaceImpl* b : chain_) delete b;
    if (palette_) palette_->Release();
    if (clipper_) clipper_->Release();
    auto& v = dev_->surfaces;
    v.erase(std::remove(v.begin(), v.end(), this), v.end());
    if (dev_->primary == this) dev_->primary = nullptr;
}

HRESULT SurfaceImpl::QueryInterface(REFIID riid, void** out) {
    if (!out) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDirectDrawSurface4) {
        AddRef();
        *out = static_cast<IDirectDrawSurface4*>(this);
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG SurfaceImpl::Release() {
    ULONG n = --refs_;
    // Back buffers of a flip chain belong to the front and go with it.
    if (n == 0 && !owner_) delete this;
    return n;
}

void SurfaceImpl::MakeChain(int count) {
    gdiBuf_ = buf_;
    SurfaceImpl* prev = this;
    for (int i = 0; i < count; ++i) {
        DWORD caps = (caps_ & ~(DDSCAPS_PRIMARYSURFACE | DDSCAPS_FRONTBUFFER | DDSCAPS_VISIBLE)) | DDSCAPS_FLIP |
                     DDSCAPS_COMPLEX | (i == 0 ? DDSCAPS_BACKBUFFER : 0);
        auto* b = new SurfaceImpl(dev_, fmt_, width_, height_, caps, hasMode_ ? &createdFor_ : nullptr);
        b->owner_ = this;
        b->refs_ = 0;
        chain_.push_back(b);
        prev = b;
    }
    (void)prev;
    caps_ |= DDSCAPS_FRONTBUFFER | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_VISIBLE;
}

PixelView SurfaceImpl::View() const { return PixelView{buf_->bits, pitch_, width_, height_, fmt_.Bytes()}; }

std::shared_ptr<const winsys::Frame> SurfaceImpl::MakeFrame(const PixelView& part) const {
    return ddraw::MakeFrame(part, fmt_, EffectivePalette(), buf_);
}

const PALETTEENTRY* SurfaceImpl::EffectivePalette() const {
    if (palette_) return palette_->Entries();
    if (owner_ && owner_->palette_) return owner_->palette_->Entries();
    if (dev_->primary && dev_->primary != this && dev_->primary->palette_) return dev_->primary->palette_->Entries();
    static PALETTEENTRY system[256];
    static bool made = false;
    if (!made) {
        winsys::GetSystemPaletteEntries(0, 256, system);
        made = true;
    }
    return system;
}

winsys::Window* SurfaceImpl::PresentWindow() const {
    if (clipper_ && clipper_->Window()) return clipper_->Window();
    return dev_->coopWindow.Get();
}

void SurfaceImpl::ShowIfVisible() {
    if (dev_->primary == this) dev_->PresentPrimary();
}

HRESULT SurfaceImpl::Usable() const {
    if (!dev_->alive) return DDERR_INVALIDOBJECT;
    if (lost_) return DDERR_SURFACELOST;
    if (Busy()) return DDERR_SURFACEBUSY;
    return DD_OK;
}

HRESULT SurfaceImpl::BlitFrom(SurfaceImpl* src, const RECT& dr, const RECT& sr, const ColourKey& key, bool clip) {
    RECT bounds{0, 0, width_, height_};
    RECT visible = bounds;
    if (clip) {
        if (!clipper_->HasWindow()) return DDERR_NOCLIPLIST;
        winsys::Window* w = clipper_->Window();
        if (!w) return DD_OK;  // the window is gone: nothing of it shows
        tk::TRect cr = w->ScreenClientRect();
        // A clipper on an off-screen surface clips to the window's client size.
        if (dev_->primary != this) cr = tk::Bounds(0, 0, w->ClientWidth(), w->ClientHeight());
        visible = Intersect(bounds, RECT{cr.Left, cr.Top, cr.Right, cr.Bottom});
    } else if (!Contains(bounds, dr)) {
        return DDERR_INVALIDRECT;
    }
    RECT target = Intersect(dr, visible);
    if (Empty(target)) return DD_OK;
    PixelView dv = View(), sv = src->View();
    // A keyed or stretched copy within one surface reads from a copy.
    std::unique_ptr<Buffer> tmp;
    RECT s = sr;
    int dw = dr.right - dr.left, dh = dr.bottom - dr.top;
    int sw = sr.right - sr.left, sh = sr.bottom - sr.top;
    bool same = dw == sw && dh == sh;
    if (src == this && (key.on || !same)) {
        int tp = (sw * fmt_.Bytes() + 3) & ~3;
        tmp = std::make_unique<Buffer>(static_cast<size_t>(tp) * static_cast<size_t>(sh));
        PixelView tv{tmp->bits, tp, sw, sh, fmt_.Bytes()};
        blit::Copy(tv, 0, 0, sv, sr);
        sv = tv;
        s = RECT{0, 0, sw, sh};
    }
    if (same) {
        RECT part{s.left + (target.left - dr.left), s.top + (target.top - dr.top),
                  s.left + (target.right - dr.left), s.top + (target.bottom - dr.top)};
        blit::CopyKeyed(dv, target.left, target.top, sv, part, key, fmt_);
    } else {
        blit::Stretch(dv, dr, target, sv, s, key, fmt_);
    }
    return DD_OK;
}

HRESULT SurfaceImpl::Blt(RECT* destRect, IDirectDrawSurface4* srcI, RECT* srcRect, DWORD flags, DDBLTFX* fx) {
    if (HRESULT hr = dev_->display->Fault("Blt")) return hr;
    if (HRESULT hr = Usable()) return hr;
    if (flags & DDBLT_ROP) return DDERR_NORASTEROPHW;
    if (flags & DDBLT_DDROPS) return DDERR_NODDROPSHW;
    if (flags & DDBLT_ROTATIONANGLE) return DDERR_NOROTATIONHW;
    if (flags & (DDBLT_ZBUFFER | DDBLT_DEPTHFILL)) return DDERR_NOZBUFFERHW;
    if (flags & (DDBLT_KEYDEST | DDBLT_KEYDESTOVERRIDE)) return DDERR_NOCOLORKEYHW;
    if ((flags & DDBLT_DDFX) && (!fx || fx->dwDDFX != 0)) return DDERR_NOMIRRORHW;
    if ((flags & (DDBLT_COLORFILL | DDBLT_KEYSRCOVERRIDE | DDBLT_DDFX)) && (!fx || fx->dwSize != sizeof(DDBLTFX)))
        return DDERR_INVALIDPARAMS;
    RECT dr = destRect ? *destRect : RECT{0, 0, width_, height_};
    if (Empty(dr)) return DDERR_INVALIDRECT;
    bool clip = clipper_ != nullptr;
    if (flags & DDBLT_COLORFILL) {
        RECT bounds{0, 0, width_, height_}, visible = bounds;
        if (clip) {
            if (!clipper_->HasWindow()) return DDERR_NOCLIPLIST;
            winsys::Window* w = clipper_->Window();
            if (!w) return DD_OK;
            tk::TRect cr = dev_->primary == this ? w->ScreenClientRect()
                                                 : tk::Bounds(0, 0, w->ClientWidth(), w->ClientHeight());
            visible = Intersect(bounds, RECT{cr.Left, cr.Top, cr.Right, cr.Bottom});
        } else if (!Contains(bounds, dr)) {
            return DDERR_INVALIDRECT;
        }
        RECT target = Intersect(dr, visible);
        if (!Empty(target)) blit::Fill(View(), target, fx->dwFillColor);
        ShowIfVisible();
        return DD_OK;
    }
    auto* src = static_cast<SurfaceImpl*>(srcI);
    if (!src) return DDERR_INVALIDPARAMS;
    if (src != this) {
        if (!src->dev_->alive) return DDERR_INVALIDOBJECT;
        if (src->lost_) return DDERR_SURFACELOST;
        if (src->Busy()) return DDERR_SURFACEBUSY;
    }
    if (!(src->fmt_ == fmt_)) return DDERR_INVALIDPIXELFORMAT;
    RECT sr = srcRect ? *srcRect : RECT{0, 0, src->width_, src->height_};
    if (Empty(sr) || !Contains(RECT{0, 0, src->width_, src->height_}, sr)) return DDERR_INVALIDRECT;
    ColourKey key;
    if (flags & DDBLT_KEYSRCOVERRIDE) {
        key.on = true;
        key.low = fx->ddckSrcColorkey.dwColorSpaceLowValue;
        key.high = fx->ddckSrcColorkey.dwColorSpaceHighValue;
    } else if (flags & DDBLT_KEYSRC) {
        if (!src->srcKey_.on) return DDERR_COLORKEYNOTSET;
        key = src->srcKey_;
    }
    HRESULT hr = BlitFrom(src, dr, sr, key, clip);
    if (hr == DD_OK) ShowIfVisible();
    return hr;
}

HRESULT SurfaceImpl::BltFast(DWORD x, DWORD y, IDirectDrawSurface4* srcI, RECT* srcRect, DWORD trans) {
    if (HRESULT hr = dev_->display->Fault("BltFast")) return hr;
    if (HRESULT hr = Usable()) return hr;
    auto* src = static_cast<SurfaceImpl*>(srcI);
    if (!src) return DDERR_INVALIDPARAMS;
    if (clipper_) return DDERR_BLTFASTCANTCLIP;
    if (trans & DDBLTFAST_DESTCOLORKEY) return DDERR_NOCOLORKEYHW;
    if (src != this) {
        if (!src->dev_->alive) return DDERR_INVALIDOBJECT;
        if (src->lost_) return DDERR_SURFACELOST;
        if (src->Busy()) return DDERR_SURFACEBUSY;
    }
    if (!(src->fmt_ == fmt_)) return DDERR_INVALIDPIXELFORMAT;
    RECT sr = srcRect ? *srcRect : RECT{0, 0, src->width_, src->height_};
    if (Empty(sr) || !Contains(RECT{0, 0, src->width_, src->height_}, sr)) return DDERR_INVALIDRECT;
    int64_t right = int64_t(x) + (sr.right - sr.left), bottom = int64_t(y) + (sr.bottom - sr.top);
    if (x > DWORD(width_) || y > DWORD(height_) || right > width_ || bottom > height_) return DDERR_INVALIDRECT;
    ColourKey key;
    if (trans & DDBLTFAST_SRCCOLORKEY) {
        if (!src->srcKey_.on) return DDERR_COLORKEYNOTSET;
        key = src->srcKey_;
    }
    int dx = static_cast<int>(x), dy = static_cast<int>(y);
    if (src == this && key.on) {
        HRESULT hr = BlitFrom(src, RECT{dx, dy, static_cast<LONG>(right), static_cast<LONG>(bottom)}, sr, key, false);
        if (hr != DD_OK) return hr;
    } else {
        blit::CopyKeyed(View(), dx, dy, src->View(), sr, key, fmt_);
    }
    if (dev_->primary == this) dev_->PresentPrimary();
    return DD_OK;
}

void SurfaceImpl::Rotate() {
    // front <- back 1 <- back 2 ... <- front
    std::shared_ptr<Buffer> first = buf_;
    SurfaceImpl* prev = this;
    for (SurfaceImpl* b : chain_) {
        prev->buf_ = b->buf_;
        prev = b;
    }
    prev->buf_ = first;
}

bool SurfaceImpl::RotateToGDI() {
    if (chain_.empty()) return false;
    for (size_t i = 0; i <= chain_.size() && buf_ != gdiBuf_; ++i) Rotate();
    return true;
}

HRESULT SurfaceImpl::Flip(IDirectDrawSurface4* targetI, DWORD flags) {
    if (HRESULT hr = dev_->display->Fault("Flip")) return hr;
    if (!dev_->alive) return DDERR_INVALIDOBJECT;
    if (chain_.empty()) return DDERR_NOTFLIPPABLE;
    if (lost_) return DDERR_SURFACELOST;
    if (Busy()) return DDERR_SURFACEBUSY;
    for (SurfaceImpl* b : chain_) {
        if (b->lost_) return DDERR_SURFACELOST;
        if (b->Busy()) return DDERR_SURFACEBUSY;
    }
    auto* target = static_cast<SurfaceImpl*>(targetI);
    if (target && std::find(chain_.begin(), chain_.end(), target) == chain_.end()) return DDERR_INVALIDPARAMS;
    if (!(flags & DDFLIP_NOVSYNC)) dev_->display->WaitForVerticalBlank();
    if (target) {
        std::shared_ptr<Buffer> want = target->buf_;
        for (size_t i = 0; i <= chain_.size() && buf_ != want; ++i) Rotate();
    } else {
        Rotate();
    }
    dev_->PresentPrimary();
    return DD_OK;
}

HRESULT SurfaceImpl::GetAttachedSurface(DDSCAPS2* caps, IDirectDrawSurface4** out) {
    if (HRESULT hr = dev_->display->Fault("GetAttachedSurface")) return hr;
    if (!caps || !out) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    if (!dev_->alive) return DDERR_INVALIDOBJECT;
    SurfaceImpl* found = nullptr;
    const std::vector<SurfaceImpl*>& chain = owner_ ? owner_->chain_ : chain_;
    SurfaceImpl* front = owner_ ? owner_ : this;
    if (!chain.empty()) {
        // The surface after this one in the chain (the last back buffer's is the front).
        auto it = std::find(chain.begin(), chain.end(), this);
        SurfaceImpl* next = (it == chain.end()) ? chain.front() : (it + 1 == chain.end() ? front : *(it + 1));
        DWORD want = caps->dwCaps;
        if ((next->caps_ & want) == want) found = next;
        else if ((want & DDSCAPS_FRONTBUFFER) && owner_)
            found = front;
    }
    if (!found) return DDERR_NOTFOUND;
    found->AddRef();
    *out = found;
    return DD_OK;
}

HRESULT SurfaceImpl::GetDC(HDC* dc) {
    if (HRESULT hr = dev_->display->Fault("GetDC")) return hr;
    if (!dc) return DDERR_INVALIDPARAMS;
    *dc = nullptr;
    if (!dev_->alive) return DDERR_INVALIDOBJECT;
    if (lost_) return DDERR_SURFACELOST;
    if (dc_) return DDERR_DCALREADYCREATED;
    if (locked_) return DDERR_SURFACEBUSY;
    dc_ = std::make_unique<DC>(this);
    *dc = dc_.get();
    return DD_OK;
}

HRESULT SurfaceImpl::ReleaseDC(HDC dc) {
    if (HRESULT hr = dev_->display->Fault("ReleaseDC")) return hr;
    if (!dc_) return DDERR_NODC;
    if (dc != dc_.get()) return DDERR_INVALIDPARAMS;
    if (!lost_) dc_->Commit();
    dc_.reset();
    ShowIfVisible();
    return DD_OK;
}

HRESULT SurfaceImpl::GetSurfaceDesc(DDSURFACEDESC2* desc) {
    if (!DescSizeOk(desc)) return DDERR_INVALIDPARAMS;
    if (!dev_->alive) return DDERR_INVALIDOBJECT;
    std::memset(desc, 0, sizeof *desc);
    desc->dwSize = sizeof *desc;
    desc->dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PITCH | DDSD_PIXELFORMAT;
    desc->dwWidth = static_cast<DWORD>(width_);
    desc->dwHeight = static_cast<DWORD>(height_);
    desc->lPitch = pitch_;
    FormatToDD(fmt_, &desc->ddpfPixelFormat);
    desc->ddsCaps.dwCaps = caps_;
    if (!chain_.empty()) {
        desc->dwFlags |= DDSD_BACKBUFFERCOUNT;
        desc->dwBackBufferCount = static_cast<DWORD>(chain_.size());
    }
    if (srcKey_.on) {
        desc->dwFlags |= DDSD_CKSRCBLT;
        desc->ddckCKSrcBlt = {srcKey_.low, srcKey_.high};
    }
    if (hasDestKey_) {
        desc->dwFlags |= DDSD_CKDESTBLT;
        desc->ddckCKDestBlt = destKey_;
    }
    return DD_OK;
}

HRESULT SurfaceImpl::GetPixelFormat(DDPIXELFORMAT* format) {
    if (!format) return DDERR_INVALIDPARAMS;
    FormatToDD(fmt_, format);
    return DD_OK;
}

HRESULT SurfaceImpl::Lock(RECT* rect, DDSURFACEDESC2* desc, DWORD, void*) {
    if (HRESULT hr = dev_->display->Fault("Lock")) return hr;
    if (!DescSizeOk(desc)) return DDERR_INVALIDPARAMS;
    if (HRESULT hr = Usable()) return hr;
    RECT r = rect ? *rect : RECT{0, 0, width_, height_};
    if (Empty(r) || !Contains(RECT{0, 0, width_, height_}, r)) return DDERR_INVALIDRECT;
    GetSurfaceDesc(desc);
    desc->dwFlags |= DDSD_LPSURFACE;
    desc->lpSurface = View().At(r.left, r.top);
    locked_ = true;
    return DD_OK;
}

HRESULT SurfaceImpl::Unlock(RECT*) {
    if (HRESULT hr = dev_->display->Fault("Unlock")) return hr;
    if (!locked_) return DDERR_NOTLOCKED;
    locked_ = false;
    ShowIfVisible();
    return DD_OK;
}

HRESULT SurfaceImpl::SetColorKey(DWORD flags, DDCOLORKEY* key) {
    if (HRESULT hr = dev_->display->Fault("SetColorKey")) return hr;
    if (!dev_->alive) return DDERR_INVALIDOBJECT;
    if (lost_) return DDERR_SURFACELOST;
    DWORD kind = flags & (DDCKEY_SRCBLT | DDCKEY_DESTBLT | DDCKEY_SRCOVERLAY | DDCKEY_DESTOVERLAY);
    if (kind != DDCKEY_SRCBLT && kind != DDCKEY_DESTBLT) return kind ? DDERR_NOOVERLAYHW : DDERR_INVALIDPARAMS;
    if (kind == DDCKEY_DESTBLT) {
        hasDestKey_ = key != nullptr;
        if (key) destKey_ = *key;
        return DD_OK;
    }
    if (!key) {
        srcKey_ = ColourKey{};
        return DD_OK;
    }
    srcKey_.on = true;
    srcKey_.low = key->dwColorSpaceLowValue;
    // Without DDCKEY_COLORSPACE the key is the low value alone.
    srcKey_.high = (flags & DDCKEY_COLORSPACE) ? key->dwColorSpaceHighValue : key->dwColorSpaceLowValue;
    if (srcKey_.high < srcKey_.low) return DDERR_INVALIDPARAMS;
    return DD_OK;
}

HRESULT SurfaceImpl::GetColorKey(DWORD flags, DDCOLORKEY* key) {
    if (!key) return DDERR_INVALIDPARAMS;
    if (flags & DDCKEY_SRCBLT) {
        if (!srcKey_.on) return DDERR_NOCOLORKEY;
        *key = {srcKey_.low, srcKey_.high};
        return DD_OK;
    }
    if (flags & DDCKEY_DESTBLT) {
        if (!hasDestKey_) return DDERR_NOCOLORKEY;
        *key = destKey_;
        return DD_OK;
    }
    return DDERR_INVALIDPARAMS;
}

HRESULT SurfaceImpl::SetPalette(IDirectDrawPalette* paletteI) {
    if (HRESULT hr = dev_->display->Fault("SetPalette")) return hr;
    if (!dev_->alive) return DDERR_INVALIDOBJECT;
    if (lost_) return DDERR_SURFACELOST;
    auto* p = static_cast<PaletteImpl*>(paletteI);
    if (p && !fmt_.Palettized()) return DDERR_INVALIDPIXELFORMAT;
    if (p) p->AddRef();
    if (palette_) palette_->Release();
    palette_ = p;
    ShowIfVisible();
    return DD_OK;
}

HRESULT SurfaceImpl::GetPalette(IDirectDrawPalette** palette) {
    if (!palette) return DDERR_INVALIDPARAMS;
    *palette = palette_;
    if (!palette_) return DDERR_NOPALETTEATTACHED;
    palette_->AddRef();
    return DD_OK;
}

HRESULT SurfaceImpl::SetClipper(IDirectDrawClipper* clipperI) {
    if (HRESULT hr = dev_->display->Fault("SetClipper")) return hr;
    if (!dev_->alive) return DDERR_INVALIDOBJECT;
    auto* c = static_cast<ClipperImpl*>(clipperI);
    if (c) c->AddRef();
    if (clipper_) clipper_->Release();
    clipper_ = c;
    return DD_OK;
}

HRESULT SurfaceImpl::GetClipper(IDirectDrawClipper** clipper) {
    if (!clipper) return DDERR_INVALIDPARAMS;
    *clipper = clipper_;
    if (!clipper_) return DDERR_NOCLIPPERATTACHED;
    clipper_->AddRef();
    return DD_OK;
}

HRESULT SurfaceImpl::Restore() {
    if (HRESULT hr = dev_->display->Fault("Restore")) return hr;
    if (!dev_->alive) return DDERR_INVALIDOBJECT;
    if (owner_) return DDERR_IMPLICITLYCREATED;
    if (!lost_) return DD_OK;
    if (dev_->ExclusiveInactive()) return DDERR_NOEXCLUSIVEMODE;
    if (hasMode_ && !(createdFor_ == dev_->CurrentMode())) return DDERR_WRONGMODE;
    auto restore = [](SurfaceImpl* s) {
        s->lost_ = false;
        std::memset(s->buf_->bits, 0, s->buf_->size);
    };
    restore(this);
    for (SurfaceImpl* b : chain_) restore(b);
    ShowIfVisible();
    return DD_OK;
}

HRESULT SurfaceImpl::IsLost() {
    if (HRESULT hr = dev_->display->Fault("IsLost")) return hr;
    if (!dev_->alive) return DDERR_INVALIDOBJECT;
    return lost_ ? DDERR_SURFACELOST : DD_OK;
}

// ---- DirectDraw object ------------------------------------------------------------------

namespace {

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
            if (g_exclusiveOwner && g_exclusiveOwner != dev_.get()) return DDERR_EXCLUSIVEMODEALREADYSET;
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
            g_exclusiveOwner = dev_.get();
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
