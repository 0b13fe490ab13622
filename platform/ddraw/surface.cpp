// Surfaces: blits, flips, locks, device contexts, colour keys and loss.
#include "device.h"

#include <QPainter>
#include <algorithm>
#include <chrono>
#include <thread>
#include <cstdlib>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "platform/com/backend.h"


namespace ddraw {

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

namespace {

// The parts of `a` outside `b`: at most four rectangles.
std::vector<RECT> Subtract(const RECT& a, const RECT& b) {
    const RECT i = Intersect(a, b);
    if (Empty(i)) return {a};
    std::vector<RECT> out;
    for (const RECT& r : {RECT{a.left, a.top, a.right, i.top}, RECT{a.left, i.bottom, a.right, a.bottom},
                          RECT{a.left, i.top, i.left, i.bottom}, RECT{i.right, i.top, a.right, i.bottom}})
        if (!Empty(r)) out.push_back(r);
    return out;
}

}  // namespace

void SurfaceImpl::PaintWindowBackground(bool all) {
    if (dev_->primary != this || dev_->exclusive || lost_ || Busy()) return;
    winsys::Window* w = PresentWindow();
    if (!w || !w->IsVisible()) return;
    const tk::TRect sc = w->ScreenClientRect();
    const RECT now = Intersect(RECT{sc.Left, sc.Top, sc.Right, sc.Bottom}, RECT{0, 0, width_, height_});
    const RECT before = dev_->backgroundPainted;
    if (!all && now == before) return;
    dev_->backgroundPainted = now;
    if (Empty(now)) return;
    const tk::TColor c = w->Background();
    const uint8_t r = tk::GetRValue(c), g = tk::GetGValue(c), b = tk::GetBValue(c);
    // Palettized: the nearest entry of the palette the desktop shows.
    const uint32_t value = fmt_.Palettized()
                               ? uint32_t(tk::NearestPaletteIndex(std::span(EffectivePalette(), 256), r, g, b))
                               : PackRGB(fmt_, r, g, b);
    for (const RECT& part : all ? std::vector<RECT>{now} : Subtract(now, before)) blit::Fill(View(), part, value);
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
    PaintWindowBackground(false);
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
    PaintWindowBackground(false);
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
    PaintWindowBackground(false);
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
    PaintWindowBackground(false);
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
    PaintWindowBackground(true);
    ShowIfVisible();
    return DD_OK;
}

HRESULT SurfaceImpl::IsLost() {
    if (HRESULT hr = dev_->display->Fault("IsLost")) return hr;
    if (!dev_->alive) return DDERR_INVALIDOBJECT;
    return lost_ ? DDERR_SURFACELOST : DD_OK;
}

}  // namespace ddraw
