#include "headless.h"

#include <QPainter>
#include <deque>

#include "platform/winsys/messages.h"
#include "platform/winsys/services.h"

namespace winsys::headless {

namespace {
DesktopMode g_desktop{1920, 1080, 32, 60};
int g_beeps = 0;
uint32_t g_lastBeep = 0;
tk::TPoint g_cursor{960, 540};
std::function<void()> g_waitHook;
std::deque<int> g_answers;
std::vector<ShownMessageBox> g_boxes;
int g_screenSavers = 0;

class Headless : public Services {
public:
    DesktopMode Desktop() override { return g_desktop; }
    void Beep(uint32_t type) override {
        ++g_beeps;
        g_lastBeep = type;
    }
    void CursorChanged(HCURSOR) override {}
    tk::TPoint CursorPos() override { return g_cursor; }
    void MoveCursor(tk::TPoint p) override { g_cursor = p; }
    std::unique_ptr<Window> CreateWindow(const std::string& className, const std::string& caption, int w,
                                         int h) override {
        return std::make_unique<HeadlessWindow>(className, caption, w, h);
    }
    void PumpEvents() override {}
    void WaitEvents() override {
        if (g_waitHook) g_waitHook();
    }
    void InitEventLoop() override {}
    int MessageBox(HWND, const std::string& text, const std::string& caption, uint32_t type) override {
        g_boxes.push_back({text, caption, type});
        if (!g_answers.empty()) {
            int a = g_answers.front();
            g_answers.pop_front();
            return a;
        }
        uint32_t buttons = type & 0xF;
        return buttons == MB_YESNO ? IDYES : IDOK;
    }
    void StartScreenSaver() override { ++g_screenSavers; }
};
}  // namespace

void SetDesktopMode(const DesktopMode& mode) { g_desktop = mode; }
void SetWaitHook(std::function<void()> hook) { g_waitHook = std::move(hook); }
void QueueMessageBoxAnswer(int answer) { g_answers.push_back(answer); }
const std::vector<ShownMessageBox>& MessageBoxes() { return g_boxes; }
void ResetMessageBoxes() {
    g_boxes.clear();
    g_answers.clear();
}
int ScreenSaverStarts() { return g_screenSavers; }
int BeepCount() { return g_beeps; }
uint32_t LastBeepType() { return g_lastBeep; }
void ResetBeeps() {
    g_beeps = 0;
    g_lastBeep = 0;
}

HeadlessWindow::HeadlessWindow(std::string className, std::string caption, int clientWidth, int clientHeight)
    : className_(std::move(className)), caption_(std::move(caption)), width_(clientWidth), height_(clientHeight) {
    client_ = QImage(std::max(width_, 1), std::max(height_, 1), QImage::Format_RGB32);
    client_.fill(Qt::black);
}

void HeadlessWindow::SetClientSize(int width, int height) {
    if (width == width_ && height == height_) return;
    width_ = width;
    height_ = height;
    client_ = QImage(std::max(width_, 1), std::max(height_, 1), QImage::Format_RGB32);
    client_.fill(Qt::black);
}

void HeadlessWindow::Present(const QImage& frame, const tk::TRect& dest) {
    ++presents_;
    lastDest_ = dest;
    QPainter p(&client_);
    if (dest.Width() == frame.width() && dest.Height() == frame.height())
        p.drawImage(QPoint(dest.Left, dest.Top), frame);
    else
        p.drawImage(dest.ToQRect(), frame);
}

void HeadlessWindow::SetFullScreen(bool on) {
    if (on == fullScreen_) return;
    fullScreen_ = on;
    if (on) {
        savedWidth_ = width_;
        savedHeight_ = height_;
        savedLeft_ = left_;
        savedTop_ = top_;
        left_ = top_ = 0;
        SetClientSize(g_desktop.width, g_desktop.height);
    } else {
        left_ = savedLeft_;
        top_ = savedTop_;
        SetClientSize(savedWidth_, savedHeight_);
    }
}

void HeadlessWindow::SetActive(bool active) {
    if (active == active_) return;
    active_ = active;
    DeliverActivate(active);
}

void HeadlessWindow::SetMinimized(bool minimized) {
    minimized_ = minimized;
    SetActive(!minimized);
}

void HeadlessWindow::MoveTo(int screenLeft, int screenTop) {
    left_ = screenLeft;
    top_ = screenTop;
}

}  // namespace winsys::headless

namespace winsys {
Services& HeadlessServices() {
    static headless::Headless s;
    return s;
}
}  // namespace winsys
