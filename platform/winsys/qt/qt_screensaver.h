// Holding off the desktop's screen saver while the program asks to.
//
// Before its saver starts, the window system the runtime was made for asks
// the foreground window with WM_SYSCOMMAND / SC_SCREENSAVE; a program that
// swallows the message keeps the saver off, and the window's default
// handling lets it start. Linux desktops start their savers without asking,
// so the Qt backend asks the active window every so often instead. While
// the program swallows the question the saver is inhibited through the
// desktop's org.freedesktop.ScreenSaver service; as soon as the window's
// default handling lets the saver start, or no window of the program is
// active, the inhibition is given back. Without the service nothing
// happens.
#pragma once

namespace winsys::qt {

// Starts asking, once there is an event loop to ask from.
void WatchScreenSaver();
// The default handling of the question: the saver may start.
void LetScreenSaverStart();
// How often the question is asked, in milliseconds.
void SetScreenSaverQueryInterval(int ms);

}  // namespace winsys::qt
