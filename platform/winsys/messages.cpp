#include "messages.h"

#include <QGuiApplication>
#include <deque>
#include <unordered_map>

#include "qt/qt_screensaver.h"
#include "services.h"

namespace winsys {

namespace {

std::deque<MSG>& Queue() {
    static std::deque<MSG> q;
    return q;
}

std::unordered_map<HWND, std::function<void(MSG&)>>& Handlers() {
    static std::unordered_map<HWND, std::function<void(MSG&)>> h;
    return h;
}

class MessageWindow : public Window {
public:
    explicit MessageWindow(std::string className) : className_(std::move(className)) {}
    std::string ClassName() const override { return className_; }
    std::string Caption() const override { return {}; }
    int ClientWidth() const override { return 0; }
    int ClientHeight() const override { return 0; }
    void SetClientSize(int, int) override {}
    bool IsActive() const override { return false; }
    bool IsMinimized() const override { return false; }
    void Present(const QImage&, const tk::TRect&) override {}
    tk::TPoint ClientToScreen(tk::TPoint p) const override { return p; }

private:
    std::string className_;
};

}  // namespace

Window::~Window() {
    PurgeMessages(this);
}

void PurgeMessages(HWND hwnd) {
    auto& q = Queue();
    for (auto it = q.begin(); it != q.end();) it = it->hwnd == hwnd ? q.erase(it) : it + 1;
    Handlers().erase(hwnd);
}

void PostMessage(HWND hwnd, uint32_t message, WPARAM wParam, LPARAM lParam) {
    Queue().push_back(MSG{hwnd, message, wParam, lParam});
}

void PostQuitMessage(int exitCode) {
    PostMessage(nullptr, WM_QUIT, static_cast<WPARAM>(exitCode), 0);
}

bool PeekMessage(MSG& msg) {
    CurrentServices().PumpEvents();
    auto& q = Queue();
    if (q.empty()) return false;
    msg = q.front();
    q.pop_front();
    return true;
}

void WaitMessage() {
    if (!Queue().empty()) return;
    CurrentServices().WaitEvents();
}

void DispatchMessage(MSG& msg) {
    auto it = Handlers().find(msg.hwnd);
    if (it == Handlers().end() || !it->second) return;
    auto handler = it->second;  // the handler may replace itself
    handler(msg);
}

int QueuedMessages() {
    return static_cast<int>(Queue().size());
}

void InitEventLoop() {
    CurrentServices().InitEventLoop();
}

void InitHeadlessGui() {
    if (QCoreApplication::instance()) return;
    // Nothing is shown headless: the offscreen platform, whatever
    // QT_QPA_PLATFORM says, so no display is needed or used.
    static int argc = 3;
    static char name[] = "qvx", option[] = "-platform", platform[] = "offscreen";
    static char* argv[] = {name, option, platform, nullptr};
    new QGuiApplication(argc, argv);  // lives for the rest of the program
}

void SetWindowHandler(HWND hwnd, std::function<void(MSG&)> handler) {
    if (handler)
        Handlers()[hwnd] = std::move(handler);
    else
        Handlers().erase(hwnd);
}

std::unique_ptr<Window> CreateMessageWindow(const std::string& className) {
    return std::make_unique<MessageWindow>(className);
}

int MessageBox(HWND owner, const std::string& text, const std::string& caption, uint32_t type) {
    return CurrentServices().MessageBox(owner, text, caption, type);
}

void SetScreenSaverQueryInterval(int ms) { qt::SetScreenSaverQueryInterval(ms); }

void StartScreenSaver() {
    CurrentServices().StartScreenSaver();
}

}  // namespace winsys
