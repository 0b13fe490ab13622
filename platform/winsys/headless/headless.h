// The headless window system: nothing is shown, tests drive windows and
// read back what was presented, the desktop's mode is set by the test, and
// beeps and the pointer are recorded.
#pragma once

#include <QImage>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/winsys/window.h"
#include "platform/winsys/winsys.h"

namespace winsys::headless {

// The desktop the headless backend reports (1920 x 1080 x 32 at 60 Hz
// unless a test sets another).
void SetDesktopMode(const DesktopMode& mode);

// Beeps sounded since start or the last ResetBeeps, and the last kind.
int BeepCount();
uint32_t LastBeepType();
void ResetBeeps();

// What WaitMessage does while the queue is empty: tests deliver events
// here. Without a hook the wait returns at once.
void SetWaitHook(std::function<void()> hook);

// Message boxes: each shown box is recorded; the answer is the next queued
// one, or the box's first button (IDOK, IDYES) when none is queued.
struct ShownMessageBox {
    std::string text, caption;
    uint32_t type = 0;
};
void QueueMessageBoxAnswer(int answer);
const std::vector<ShownMessageBox>& MessageBoxes();
void ResetMessageBoxes();

// Times the screen saver would have started.
int ScreenSaverStarts();

class HeadlessWindow : public Window {
public:
    HeadlessWindow(std::string className, std::string caption, int clientWidth, int clientHeight);

    std::string ClassName() const override { return className_; }
    std::string Caption() const override { return caption_; }
    int ClientWidth() const override { return width_; }
    int ClientHeight() const override { return height_; }
    void SetClientSize(int width, int height) override;
    bool IsActive() const override { return active_; }
    bool IsMinimized() const override { return minimized_; }
    void Present(const QImage& frame, const tk::TRect& dest) override;
    tk::TPoint ClientToScreen(tk::TPoint p) const override { return {p.X + left_, p.Y + top_}; }
    void SetFullScreen(bool on) override;
    bool IsFullScreen() const override { return fullScreen_; }
    void SetWindowStyle(bool borderless, bool stayOnTop) override {
        borderless_ = borderless;
        stayOnTop_ = stayOnTop;
    }
    void SetVisible(bool on) override { visible_ = on; }
    bool IsVisible() const override { return visible_; }
    bool Borderless() const { return borderless_; }
    bool StayOnTop() const { return stayOnTop_; }

    // Test controls. Activation and minimising deliver the activation event
    // as the window system would.
    void SetActive(bool active);
    void SetMinimized(bool minimized);
    void MoveTo(int screenLeft, int screenTop);

    // The client area as last presented (black where nothing was drawn),
    // the rectangle of the last Present and how many there were.
    const QImage& ClientImage() const { return client_; }
    tk::TRect LastDest() const { return lastDest_; }
    int PresentCount() const { return presents_; }

private:
    std::string className_, caption_;
    int width_, height_;
    int left_ = 100, top_ = 80;
    int savedWidth_ = 0, savedHeight_ = 0, savedLeft_ = 0, savedTop_ = 0;
    bool active_ = true, minimized_ = false, fullScreen_ = false;
    bool borderless_ = false, stayOnTop_ = false;
    bool visible_ = true;
    QImage client_;
    tk::TRect lastDest_;
    int presents_ = 0;
};

}  // namespace winsys::headless
