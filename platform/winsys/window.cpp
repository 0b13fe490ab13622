#include "window.h"

#include <algorithm>

#include "services.h"

namespace winsys {

int Window::OnKey(std::function<void(const KeyEvent&)> fn) {
    listeners_.push_back({nextId_, std::move(fn), nullptr, nullptr});
    return nextId_++;
}

int Window::OnMouse(std::function<void(const MouseEvent&)> fn) {
    listeners_.push_back({nextId_, nullptr, std::move(fn), nullptr});
    return nextId_++;
}

int Window::OnActivate(std::function<void(bool)> fn) {
    listeners_.push_back({nextId_, nullptr, nullptr, std::move(fn)});
    return nextId_++;
}

void Window::RemoveListener(int id) {
    listeners_.erase(std::remove_if(listeners_.begin(), listeners_.end(), [id](auto& l) { return l.id == id; }),
                     listeners_.end());
}

void Window::DeliverKey(const KeyEvent& e) {
    auto copy = listeners_;
    for (auto& l : copy)
        if (l.key) l.key(e);
}

void Window::DeliverMouse(const MouseEvent& e) {
    // A window showing a full-screen mode reports positions in mode units.
    MouseEvent m = e;
    tk::TPoint p = ModeFromClient(this, {e.x, e.y});
    m.x = p.X;
    m.y = p.Y;
    auto copy = listeners_;
    for (auto& l : copy)
        if (l.mouse) l.mouse(m);
}

void Window::PresentFrame(std::shared_ptr<const Frame> frame, const tk::TRect& dest) {
    if (frame) Present(frame->ToImage(), dest);
}

void Window::DeliverActivate(bool active) {
    auto copy = listeners_;
    for (auto& l : copy)
        if (l.activate) l.activate(active);
}

void Window::CapturePointer(bool capture) {
    if (capture == pointerCaptured_) return;
    pointerCaptured_ = capture;
    OnPointerCapture(capture);
}

}  // namespace winsys

#include "platform/com/backend.h"

namespace winsys {

tk::TRect Window::ScreenClientRect() const {
    tk::TPoint o = ClientToScreen({0, 0});
    return tk::Bounds(o.X, o.Y, ClientWidth(), ClientHeight());
}

std::unique_ptr<Window> CreateTopLevelWindow(const std::string& className, const std::string& caption,
                                             int clientWidth, int clientHeight) {
    return CurrentServices().CreateWindow(className, caption, clientWidth, clientHeight);
}

Services& CurrentServices() {
    return platform::CurrentBackend() == platform::Backend::Real ? QtServices() : HeadlessServices();
}

}  // namespace winsys
