// What differs between the window-system backends. Internal to winsys.
#pragma once

#include <memory>
#include <string>

#include "window.h"
#include "winsys.h"

namespace winsys {

class Services {
public:
    virtual ~Services() = default;
    virtual DesktopMode Desktop() = 0;
    virtual void Beep(uint32_t type) = 0;
    virtual void CursorChanged(HCURSOR cursor) = 0;
    virtual tk::TPoint CursorPos() = 0;
    virtual void MoveCursor(tk::TPoint p) = 0;
    virtual std::unique_ptr<Window> CreateWindow(const std::string& className, const std::string& caption,
                                                 int clientWidth, int clientHeight) = 0;
    // The message queue's side of the backend: hand pending events to the
    // windows, wait for more, make the event loop usable.
    virtual void PumpEvents() = 0;
    virtual void WaitEvents() = 0;
    virtual void InitEventLoop() = 0;
    virtual int MessageBox(HWND owner, const std::string& text, const std::string& caption, uint32_t type) = 0;
    virtual void StartScreenSaver() = 0;
};

// Drops the queued messages of a window that is going away.
void PurgeMessages(HWND hwnd);

// The services of the selected backend.
Services& CurrentServices();
Services& HeadlessServices();
Services& QtServices();

// Clamps a point into the current cursor confinement (and the desktop).
tk::TPoint ConfinePoint(tk::TPoint p);

// Screen coordinates of the window system to desktop ones (mode units while
// a full-screen mode is set; the same point otherwise), and back.
tk::TPoint DesktopFromNative(tk::TPoint native);
tk::TPoint NativeFromDesktop(tk::TPoint desktop);
// Client coordinates of `w` in mode units when it shows the full-screen
// mode; the same point otherwise.
tk::TPoint ModeFromClient(const Window* w, tk::TPoint client);

}  // namespace winsys
