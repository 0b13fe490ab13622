// Top-level windows as the runtime and the DirectX stand-ins see them: a
// client area to present into, activation, keyboard and mouse events.
// Backends: a headless window whose events tests drive, and a real one
// (a Qt window) created by the real backend.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "frame.h"
#include "toolkit/graphics.h"

namespace winsys {

// Key identity as the platform reports it: the hardware scan code the
// keyboard device turns into DIK_ codes (set 1, 0xE0-prefixed keys as
// 0x80 | code), plus the Qt key for callers that want it.
struct KeyEvent {
    bool pressed = true;
    uint8_t scanCode = 0;
    int qtKey = 0;
};

enum class MouseButton { Left = 0, Right = 1, Middle = 2, X1 = 3 };

struct MouseEvent {
    enum Kind { Move, Press, Release, Wheel } kind = Move;
    int x = 0, y = 0;    // client coordinates (mode units in a full-screen mode)
    int dx = 0, dy = 0;  // relative motion since the previous event
    int wheel = 0;       // wheel delta, 120 a notch
    MouseButton button = MouseButton::Left;
};

class Window;
using HWND = Window*;

class Window {
public:
    // Drops the window's queued messages and its message handler.
    virtual ~Window();
    virtual std::string ClassName() const = 0;
    virtual std::string Caption() const = 0;
    virtual int ClientWidth() const = 0;
    virtual int ClientHeight() const = 0;
    virtual void SetClientSize(int width, int height) = 0;
    virtual bool IsActive() const = 0;
    virtual bool IsMinimized() const = 0;
    // Shows a frame in the client area: `frame` is painted into `dest`
    // (client coordinates).
    virtual void Present(const QImage& frame, const tk::TRect& dest) = 0;
    // As Present, for a frame read when the window paints (at once here;
    // a real window converts only the frames it shows).
    virtual void PresentFrame(std::shared_ptr<const Frame> frame, const tk::TRect& dest);
    // Client to screen coordinates.
    virtual tk::TPoint ClientToScreen(tk::TPoint p) const = 0;
    // Exclusive full-screen display: the window covers its screen without a
    // frame; off gives back the normal window.
    virtual void SetFullScreen(bool on) { (void)on; }
    virtual bool IsFullScreen() const { return false; }
    // Frame and stacking: no border (and no caption), kept above others.
    virtual void SetWindowStyle(bool borderless, bool stayOnTop) { (void)borderless, (void)stayOnTop; }
    // Shown or hidden; a window is shown when it is made.
    virtual void SetVisible(bool on) { (void)on; }
    virtual bool IsVisible() const { return true; }
    // The colour (0x00BBGGRR) the client area shows where no frame covers
    // it, in a normal window; a full-screen window shows black there.
    void SetBackground(uint32_t bgr) {
        if (bgr == background_) return;
        background_ = bgr;
        BackgroundChanged();
    }
    uint32_t Background() const { return background_; }
    // Client area in screen coordinates.
    tk::TRect ScreenClientRect() const;

    // A handle that turns null when this window is destroyed, for objects
    // (clippers, devices) that refer to a window they do not own.
    std::weak_ptr<Window*> Tracker() const { return alive_; }

    // Listeners; each returns an id for removal.
    int OnKey(std::function<void(const KeyEvent&)> fn);
    int OnMouse(std::function<void(const MouseEvent&)> fn);
    int OnActivate(std::function<void(bool active)> fn);
    void RemoveListener(int id);

    // What the window system's close request (the close button) does; a
    // window with a handler leaves closing to it.
    void SetCloseHandler(std::function<void()> fn) { close_ = std::move(fn); }
    bool RequestClose() {
        if (!close_) return false;
        close_();
        return true;
    }

    // Backends call these to deliver events.
    void DeliverKey(const KeyEvent& e);
    void DeliverMouse(const MouseEvent& e);
    void DeliverActivate(bool active);

    // Expires when the window is destroyed: objects that keep a window
    // (sound and input devices) check it before touching the window again.
    std::weak_ptr<const void> Lifetime() const { return alive_; }

    // Pointer capture, taken by an exclusively acquired mouse: the pointer
    // is hidden and held inside the window while motion still arrives as
    // relative movement. Backends act on it in OnPointerCapture.
    void CapturePointer(bool capture);
    bool PointerCaptured() const { return pointerCaptured_; }

protected:
    virtual void OnPointerCapture(bool /*capture*/) {}
    // After SetBackground changed the colour.
    virtual void BackgroundChanged() {}

private:
    std::shared_ptr<Window*> alive_ = std::make_shared<Window*>(this);
    uint32_t background_ = 0;
    struct Listener {
        int id;
        std::function<void(const KeyEvent&)> key;
        std::function<void(const MouseEvent&)> mouse;
        std::function<void(bool)> activate;
    };
    std::vector<Listener> listeners_;
    int nextId_ = 1;
    bool pointerCaptured_ = false;
    std::function<void()> close_;
};

// A window reference that notices the window's destruction.
class WindowRef {
public:
    WindowRef() = default;
    WindowRef(Window* w) : w_(w ? w->Tracker() : std::weak_ptr<Window*>{}) {}
    Window* Get() const {
        auto p = w_.lock();
        return p ? *p : nullptr;
    }
    explicit operator bool() const { return Get() != nullptr; }

private:
    std::weak_ptr<Window*> w_;
};

// Creates a top-level window of the selected backend (platform/com/backend.h):
// headless, or a Qt window (which needs a QGuiApplication). The window is
// shown at once with the given client size.
std::unique_ptr<Window> CreateTopLevelWindow(const std::string& className, const std::string& caption,
                                             int clientWidth, int clientHeight);

}  // namespace winsys
