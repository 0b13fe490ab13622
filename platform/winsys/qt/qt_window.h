// The real window-system backend: a Qt window (QRasterWindow, so plain
// QtGui programs can use it too) that shows presented frames and turns Qt's
// key, mouse and activation events into the platform's.
#pragma once

#include <QImage>
#include <QRasterWindow>
#include <set>

#include "platform/winsys/window.h"

namespace winsys::qt {

class QtWindow;

// The Qt side of a QtWindow.
class RasterWindow : public QRasterWindow {
public:
    explicit RasterWindow(QtWindow* owner) : owner_(owner) {}

protected:
    void paintEvent(QPaintEvent* e) override;
    bool event(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;

public:
    // The background around the frame is painted again on the next paint.
    void ForgetBorder() { bordered_ = QRect(); }
    // Qt cannot paint on a display of 256 colours or fewer; frames are not
    // asked to be shown there (the first paint says so, once).
    bool CanPaint() const;

private:
    void Mouse(QMouseEvent* e, int kind);
    QtWindow* owner_;
    bool havePos_ = false;
    QPoint lastPos_;
    QRect bordered_;  // where the frame was when the black around it was painted
    QSize borderedSize_;
};

class QtWindow : public Window {
public:
    QtWindow(std::string className, const std::string& caption, int clientWidth, int clientHeight);
    ~QtWindow() override;

    std::string ClassName() const override { return className_; }
    std::string Caption() const override;
    int ClientWidth() const override { return window_.width(); }
    int ClientHeight() const override { return window_.height(); }
    void SetClientSize(int width, int height) override;
    bool IsActive() const override { return active_; }
    bool IsMinimized() const override;
    void Present(const QImage& frame, const tk::TRect& dest) override;
    void PresentFrame(std::shared_ptr<const Frame> frame, const tk::TRect& dest) override;
    tk::TPoint ClientToScreen(tk::TPoint p) const override;
    void SetFullScreen(bool on) override;
    bool IsFullScreen() const override;
    void SetWindowStyle(bool borderless, bool stayOnTop) override;
    void SetVisible(bool on) override;
    bool IsVisible() const override { return window_.isVisible(); }

    QWindow* Handle() { return &window_; }
    // What the client area shows where no frame covers it.
    QColor Around() const;
    void ApplyCursor();

protected:
    // A captured pointer is hidden, grabbed, and kept at the window's centre
    // so that motion goes on arriving as relative movement.
    void OnPointerCapture(bool capture) override;
    void BackgroundChanged() override;

private:
    friend class RasterWindow;
    std::string className_;
    RasterWindow window_;
    std::shared_ptr<const Frame> frame_;
    tk::TRect dest_;
    QImage scaled_;  // frame_ converted, for destinations drawn through QPainter
    const Frame* scaledFrom_ = nullptr;
    QRect normalGeometry_;
    bool active_ = false;
};

// Every window of the backend.
const std::set<QtWindow*>& AllWindows();

// Set-1 scan code (0x80 | code for 0xE0-prefixed keys) for a Qt key event:
// from the native key code where the platform gives one, else from the key.
uint8_t ScanCodeFor(int qtKey, quint32 nativeScanCode);

}  // namespace winsys::qt
