// The state a DirectDraw object shares with what it made, its palettes and
// clippers, and the display helpers.
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

std::vector<Device*>& LiveDevices() {
    static std::vector<Device*> v;
    return v;
}

Device*& ExclusiveOwner() {
    static Device* owner = nullptr;
    return owner;
}

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
    if (ExclusiveOwner() == this) ExclusiveOwner() = nullptr;
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
    p->PaintWindowBackground(false);
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

}  // namespace ddraw
