// Reading one pixel of a DirectDraw surface back, for tests.
#pragma once

#include <cstdint>
#include <cstring>

#include "platform/ddraw/ddraw.h"

// The value of pixel (x, y), or 0xDEADBEEF when the surface cannot be locked.
inline uint32_t SurfacePixel(IDirectDrawSurface4* s, int x, int y) {
    DDSURFACEDESC2 d;
    std::memset(&d, 0, sizeof d);
    d.dwSize = sizeof d;
    if (s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr) != DD_OK) return 0xDEADBEEF;
    int bytes = static_cast<int>(d.ddpfPixelFormat.dwRGBBitCount) / 8;
    uint32_t v = 0;
    std::memcpy(&v, static_cast<uint8_t*>(d.lpSurface) + y * d.lPitch + x * bytes, static_cast<size_t>(bytes));
    s->Unlock(nullptr);
    return v;
}
