// Window-system services that have no Qt counterpart of their own: the
// system palette, the desktop's mode, message beeps, cursors and cursor
// confinement, and sending a block of data to another program's top-level
// window (the trace channel's transport).
#pragma once

#include <QImage>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/graphics.h"

namespace winsys {

// Copies `count` entries of the system palette, starting at `start`, into
// `out`. Linux has no system palette, so this holds the usual 20 static
// colours at 0-9 and 246-255 and black in between. Returns entries copied.
int GetSystemPaletteEntries(int start, int count, tk::TPaletteEntry* out);

// ---- Desktop --------------------------------------------------------------------

struct DesktopMode {
    int width = 0, height = 0;
    int bitsPerPixel = 32;
    int refreshHz = 60;
};
// The primary screen's size, depth and refresh rate; while a full-screen
// mode is set, that mode's.
DesktopMode GetDesktopMode();

class Window;

// A full-screen display mode shown in `window`: while it is set the desktop
// is that mode, so GetDesktopMode reports it, and the cursor position, the
// cursor confinement and the window's mouse events are in mode units. The
// window shows the mode letterboxed into its client area (Letterbox in
// frame.h); these undo that. Setting another mode or clearing it releases
// the confinement, whose units change. The mode goes with its window.
void SetFullScreenMode(Window* window, const DesktopMode& mode);
void ClearFullScreenMode();

// ---- Beeps -------------------------------------------------------------------------

constexpr uint32_t MB_OK = 0x00000000;
constexpr uint32_t MB_ICONHAND = 0x00000010;
constexpr uint32_t MB_ICONQUESTION = 0x00000020;
constexpr uint32_t MB_ICONEXCLAMATION = 0x00000030;
constexpr uint32_t MB_ICONASTERISK = 0x00000040;
// Sounds the beep of the given kind (MB_OK is the default beep).
void MessageBeep(uint32_t type);

// ---- Cursors -------------------------------------------------------------------------

// Cursor identifiers as the toolkit numbers them.
constexpr int crDefault = 0;
constexpr int crNone = -1;
constexpr int crArrow = -2;
constexpr int crCross = -3;
constexpr int crIBeam = -4;
constexpr int crSizeAll = -22;
constexpr int crHourGlass = -11;
constexpr int crHandPoint = -21;

// A cursor: its image (ARGB), hot spot and identifier.
struct Cursor {
    int id = crArrow;
    QImage image;
    int hotX = 0, hotY = 0;
};
using HCURSOR = const Cursor*;

// The standard cursor for an identifier; null for crNone (no cursor) and
// crDefault maps to the arrow. Handles live for the whole run.
HCURSOR LoadStandardCursor(int id);
// Makes `cursor` current (null hides the pointer); returns the previous one.
HCURSOR SetCursor(HCURSOR cursor);
HCURSOR GetCursor();
// Draws the cursor's image with its top-left corner at (x, y) on a device
// context, as DrawIcon does. False when there is nothing to draw.
bool DrawCursor(tk::TDeviceContext* dc, int x, int y, HCURSOR cursor);

// Pointer position in screen coordinates.
tk::TPoint GetCursorPos();
// A client point of `window` on the desktop: in mode units while the
// window shows a full-screen mode (its client area is then the desktop).
tk::TPoint ClientToDesktop(const Window* window, tk::TPoint client);
bool SetCursorPos(int x, int y);
// Confines the pointer to `rect` (screen coordinates); null releases it.
bool ClipCursor(const tk::TRect* rect);
// The confinement rectangle, or the whole desktop when none.
tk::TRect GetClipCursor();

// ---- Data to another program's window (WM_COPYDATA) -----------------------------------

// A top-level window of another program, found by class and caption. On
// Linux it is a local socket named after the class and caption in the
// user's runtime folder; the receiver acknowledges every packet.
class RemoteWindow {
public:
    virtual ~RemoteWindow() = default;
    // Delivers dwData and the bytes and waits for the receiver's answer
    // (synchronous, as a sent message). False when the receiver went away.
    virtual bool SendCopyData(uint32_t dwData, const void* data, uint32_t cbData, int64_t* result = nullptr) = 0;
};

// The window of that class and caption, or null at once when none runs.
std::unique_ptr<RemoteWindow> FindWindow(const std::string& className, const std::string& caption);

// The socket path a window of that class and caption listens on.
std::string WindowEndpoint(const std::string& className, const std::string& caption);

// One received packet.
struct CopyData {
    uint32_t dwData = 0;
    std::vector<uint8_t> bytes;  // cbData bytes
};

// The receiving side: a window of the given class and caption that others
// can find. Create it on a thread that runs a Qt event loop and packets are
// handed to the callback there; or call Serve() to wait for them without one.
class CopyDataListener {
public:
    using Handler = std::function<int64_t(const CopyData&)>;
    CopyDataListener(std::string className, std::string caption, Handler handler);
    ~CopyDataListener();
    // Starts listening. False (with ErrorText) when the name is taken by a
    // running receiver or the socket cannot be made.
    bool Listen();
    std::string ErrorText() const;
    // Handles connections for up to `timeoutMs` without an event loop;
    // returns the number of packets handled.
    int Serve(int timeoutMs);

    // Largest packet accepted; bigger ones drop the connection.
    static constexpr uint32_t kMaxPacket = 1u << 20;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

}  // namespace winsys
