#include "window.h"

#include <algorithm>

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
    auto copy = listeners_;
    for (auto& l : copy)
        if (l.mouse) l.mouse(e);
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
#include "services.h"

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
