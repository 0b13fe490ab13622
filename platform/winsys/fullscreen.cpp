// The full-screen display mode as the desktop: the mode's size and depth,
// and the mapping between the window system's coordinates and mode units
// (the mode is shown letterboxed in its window's client area).
#include <algorithm>

#include "frame.h"
#include "services.h"
#include "window.h"
#include "winsys.h"

namespace winsys {

namespace {

struct FullScreen {
    bool on = false;
    WindowRef window;
    DesktopMode mode;
};

FullScreen& Current() {
    static FullScreen f;
    return f;
}

// The window showing the mode and where its client area shows it; null
// when no mode is set (or its window is gone).
const Window* ModeWindow(DesktopMode* mode, tk::TRect* dest) {
    const FullScreen& f = Current();
    if (!f.on) return nullptr;
    const Window* w = f.window.Get();
    if (!w || f.mode.width <= 0 || f.mode.height <= 0) return nullptr;
    if (mode) *mode = f.mode;
    if (dest) *dest = Letterbox(f.mode.width, f.mode.height, w->ClientWidth(), w->ClientHeight());
    return w;
}

tk::TPoint ClientToModeUnits(tk::TPoint c, const DesktopMode& m, const tk::TRect& d) {
    if (d.Width() <= 0 || d.Height() <= 0) return {0, 0};
    int64_t cx = std::clamp(c.X, d.Left, d.Right - 1) - d.Left;
    int64_t cy = std::clamp(c.Y, d.Top, d.Bottom - 1) - d.Top;
    return {static_cast<int>(cx * m.width / d.Width()), static_cast<int>(cy * m.height / d.Height())};
}

// The middle of the client pixels that show mode pixel p.
tk::TPoint ModeUnitsToClient(tk::TPoint p, const DesktopMode& m, const tk::TRect& d) {
    int64_t x = std::clamp(p.X, 0, m.width - 1), y = std::clamp(p.Y, 0, m.height - 1);
    return {d.Left + static_cast<int>((2 * x + 1) * d.Width() / (2 * int64_t(m.width))),
            d.Top + static_cast<int>((2 * y + 1) * d.Height() / (2 * int64_t(m.height)))};
}

}  // namespace

DesktopMode GetDesktopMode() {
    DesktopMode m;
    if (ModeWindow(&m, nullptr)) return m;
    return CurrentServices().Desktop();
}

void SetFullScreenMode(Window* window, const DesktopMode& mode) {
    FullScreen& f = Current();
    if (f.on && f.window.Get() == window && f.mode.width == mode.width && f.mode.height == mode.height &&
        f.mode.bitsPerPixel == mode.bitsPerPixel && f.mode.refreshHz == mode.refreshHz)
        return;
    f.on = window != nullptr;
    f.window = WindowRef(window);
    f.mode = mode;
    ClipCursor(nullptr);
}

void ClearFullScreenMode() {
    FullScreen& f = Current();
    if (!f.on) return;
    f = FullScreen{};
    ClipCursor(nullptr);
}

tk::TPoint DesktopFromNative(tk::TPoint native) {
    DesktopMode m;
    tk::TRect d;
    const Window* w = ModeWindow(&m, &d);
    if (!w) return native;
    tk::TPoint o = w->ClientToScreen({0, 0});
    return ClientToModeUnits({native.X - o.X, native.Y - o.Y}, m, d);
}

tk::TPoint NativeFromDesktop(tk::TPoint desktop) {
    DesktopMode m;
    tk::TRect d;
    const Window* w = ModeWindow(&m, &d);
    if (!w) return desktop;
    return w->ClientToScreen(ModeUnitsToClient(desktop, m, d));
}

tk::TPoint ClientToDesktop(const Window* window, tk::TPoint client) {
    const Window* w = ModeWindow(nullptr, nullptr);
    if (w && w == window) return client;
    return window->ClientToScreen(client);
}

tk::TPoint ModeFromClient(const Window* window, tk::TPoint client) {
    DesktopMode m;
    tk::TRect d;
    const Window* w = ModeWindow(&m, &d);
    if (!w || w != window) return client;
    return ClientToModeUnits(client, m, d);
}

}  // namespace winsys
