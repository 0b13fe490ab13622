// The program's message queue and the little of the window-system message
// vocabulary the runtime uses: posting to a window, taking messages in order,
// waiting for more, dispatching to the window's handler, and message boxes.
// One queue per process, used from the GUI thread only. The backend's own
// events (Qt's, or what tests deliver headless) are pumped into it whenever
// it is read.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "window.h"

namespace winsys {

using WPARAM = uintptr_t;
using LPARAM = intptr_t;

struct MSG {
    HWND hwnd = nullptr;
    uint32_t message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

constexpr uint32_t WM_ACTIVATE = 0x0006;
constexpr uint32_t WM_CLOSE = 0x0010;
constexpr uint32_t WM_QUIT = 0x0012;
constexpr uint32_t WM_ACTIVATEAPP = 0x001C;
constexpr uint32_t WM_SYSCOMMAND = 0x0112;
constexpr uint32_t WM_MOUSEMOVE = 0x0200;
constexpr uint32_t WM_LBUTTONDOWN = 0x0201;
constexpr uint32_t WM_LBUTTONUP = 0x0202;
constexpr uint32_t WM_RBUTTONDOWN = 0x0204;
constexpr uint32_t WM_RBUTTONUP = 0x0205;
constexpr uint32_t WM_MBUTTONDOWN = 0x0207;
constexpr uint32_t WM_MBUTTONUP = 0x0208;
constexpr uint32_t WM_USER = 0x0400;

constexpr WPARAM SC_SCREENSAVE = 0xF140;
constexpr WPARAM WA_INACTIVE = 0;
constexpr WPARAM WA_ACTIVE = 1;

// Mouse message key state (wParam).
constexpr WPARAM MK_LBUTTON = 0x0001;
constexpr WPARAM MK_RBUTTON = 0x0002;
constexpr WPARAM MK_SHIFT = 0x0004;
constexpr WPARAM MK_CONTROL = 0x0008;
constexpr WPARAM MK_MBUTTON = 0x0010;

constexpr LPARAM MAKELPARAM(int lo, int hi) {
    return static_cast<LPARAM>((static_cast<uint32_t>(static_cast<uint16_t>(lo))) |
                               (static_cast<uint32_t>(static_cast<uint16_t>(hi)) << 16));
}
// Signed client coordinates of a mouse message.
constexpr int GET_X_LPARAM(LPARAM l) {
    return static_cast<int16_t>(l & 0xFFFF);
}
constexpr int GET_Y_LPARAM(LPARAM l) {
    return static_cast<int16_t>((l >> 16) & 0xFFFF);
}

// Queues a message for `hwnd` behind everything already queued.
void PostMessage(HWND hwnd, uint32_t message, WPARAM wParam = 0, LPARAM lParam = 0);
// Queues WM_QUIT.
void PostQuitMessage(int exitCode = 0);
// Pumps the backend's pending events, then takes the oldest message. False
// when the queue is empty.
bool PeekMessage(MSG& msg);
// Blocks until the backend has events to handle (Qt), or calls the test's
// wait hook (headless; without one it returns at once).
void WaitMessage();
// Hands the message to its window's handler; messages for windows without
// a handler, or already destroyed, are dropped.
void DispatchMessage(MSG& msg);
// Messages waiting.
int QueuedMessages();
// Makes sure the backend can run an event loop: on the Qt backend this
// creates the application object when the program has none yet.
void InitEventLoop();
// Gives a headless program what Qt needs to draw text (fonts): when the
// program has no Qt application yet, one on Qt's offscreen platform that
// lives to the end of the program. Needs no display.
void InitHeadlessGui();

// The window procedure of a window: what DispatchMessage calls for it.
void SetWindowHandler(HWND hwnd, std::function<void(MSG&)> handler);

// A window that only receives posted messages: never shown, no client area.
std::unique_ptr<Window> CreateMessageWindow(const std::string& className);

// ---- Message boxes ------------------------------------------------------------------

constexpr uint32_t MB_OKCANCEL = 0x00000001;
constexpr uint32_t MB_YESNO = 0x00000004;
constexpr uint32_t MB_ICONERROR = 0x00000010;  // same bit as MB_ICONHAND
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// A modal message box over `owner` (may be null). Returns the button
// pressed (IDOK, IDYES, ...). Headless, tests script the answers.
int MessageBox(HWND owner, const std::string& text, const std::string& caption, uint32_t type);

// The desktop's screen saver, started by a window's default handling of
// WM_SYSCOMMAND with SC_SCREENSAVE.
void StartScreenSaver();
// How often the Qt backend asks the active window whether the desktop's
// saver may start (WM_SYSCOMMAND with SC_SCREENSAVE). While the program
// swallows the question the saver is held off.
void SetScreenSaverQueryInterval(int ms);

}  // namespace winsys
