// Helpers for the DirectDraw tests.
#pragma once

#include <QGuiApplication>
#include <cstring>

#include "platform/com/backend.h"
#include "platform/ddraw/ddraw.h"

inline ComPtr<IDirectDraw4> MakeDirectDraw() {
    IDirectDraw* one = nullptr;
    if (DirectDrawCreate(nullptr, &one, nullptr) != DD_OK) return {};
    ComPtr<IDirectDraw> first;
    first.Attach(one);
    ComPtr<IDirectDraw4> dd;
    if (first->QueryInterface(IID_IDirectDraw4, dd.PutVoid()) != DD_OK) return {};
    return dd;
}

inline DDSURFACEDESC2 Desc() {
    DDSURFACEDESC2 d;
    std::memset(&d, 0, sizeof d);
    d.dwSize = sizeof d;
    return d;
}

inline DDSURFACEDESC2 OffscreenDesc(int w, int h, int bits = 0) {
    DDSURFACEDESC2 d = Desc();
    d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    d.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    d.dwWidth = static_cast<DWORD>(w);
    d.dwHeight = static_cast<DWORD>(h);
    if (bits) {
        d.dwFlags |= DDSD_PIXELFORMAT;
        d.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
        d.ddpfPixelFormat.dwFlags = bits == 8 ? DDPF_PALETTEINDEXED8 | DDPF_RGB : DDPF_RGB;
        d.ddpfPixelFormat.dwRGBBitCount = static_cast<DWORD>(bits);
        if (bits == 16) {
            d.ddpfPixelFormat.dwRBitMask = 0xF800;
            d.ddpfPixelFormat.dwGBitMask = 0x07E0;
            d.ddpfPixelFormat.dwBBitMask = 0x001F;
        } else if (bits > 16) {
            d.ddpfPixelFormat.dwRBitMask = 0xFF0000;
            d.ddpfPixelFormat.dwGBitMask = 0x00FF00;
            d.ddpfPixelFormat.dwBBitMask = 0x0000FF;
        }
    }
    return d;
}

inline ComPtr<IDirectDrawSurface4> MakeSurface(IDirectDraw4* dd, DDSURFACEDESC2 d) {
    ComPtr<IDirectDrawSurface4> s;
    if (dd->CreateSurface(&d, s.Put(), nullptr) != DD_OK) return {};
    return s;
}

// Reads one pixel through Lock.
inline uint32_t PixelAt(IDirectDrawSurface4* s, int x, int y) {
    DDSURFACEDESC2 d = Desc();
    if (s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr) != DD_OK) return 0xDEADBEEF;
    int bytes = static_cast<int>(d.ddpfPixelFormat.dwRGBBitCount) / 8;
    auto* p = static_cast<uint8_t*>(d.lpSurface) + y * d.lPitch + x * bytes;
    uint32_t v = 0;
    for (int i = 0; i < bytes; ++i) v |= uint32_t(p[i]) << (8 * i);
    s->Unlock(nullptr);
    return v;
}

inline HRESULT Fill(IDirectDrawSurface4* s, RECT* r, uint32_t colour) {
    DDBLTFX fx;
    std::memset(&fx, 0, sizeof fx);
    fx.dwSize = sizeof fx;
    fx.dwFillColor = colour;
    return s->Blt(r, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
}

// The Qt backend needs an application object (offscreen in tests).
inline void EnsureGuiApp() {
    if (QCoreApplication::instance()) return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "tests";
    static char* argv[] = {name, nullptr};
    // Never destroyed: Qt's own globals are gone by the time statics die.
    static QGuiApplication* app = new QGuiApplication(argc, argv);
    (void)app;
}

// Selects a backend for one test and gives back the headless one after.
struct BackendScope {
    explicit BackendScope(platform::Backend b) {
        if (b == platform::Backend::Real) EnsureGuiApp();
        platform::SelectBackend(b);
    }
    ~BackendScope() { platform::SelectBackend(platform::Backend::Headless); }
};
