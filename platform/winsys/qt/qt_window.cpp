#include "qt_window.h"

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPaintEngine>
#include <QPainter>
#include <QScreen>
#include <cstdio>
#include <set>

#include "platform/winsys/messages.h"
#include "platform/winsys/services.h"
#include "qt_screensaver.h"
#include "toolkit/sysutils.h"

namespace winsys::qt {

namespace {

std::set<QtWindow*>& Windows() {
    static std::set<QtWindow*> s;
    return s;
}

}  // namespace

const std::set<QtWindow*>& AllWindows() { return Windows(); }

namespace {

// Linux input codes (X key code - 8) of the keys whose set-1 code is
// 0xE0-prefixed.
uint8_t FromEvdev(unsigned code) {
    if (code >= 1 && code <= 88) return static_cast<uint8_t>(code);
    switch (code) {
        case 96: return 0x9C;   // keypad enter
        case 97: return 0x9D;   // right control
        case 98: return 0xB5;   // keypad slash
        case 99: return 0xB7;   // print screen
        case 100: return 0xB8;  // right alt
        case 102: return 0xC7;  // home
        case 103: return 0xC8;  // up
        case 104: return 0xC9;  // page up
        case 105: return 0xCB;  // left
        case 106: return 0xCD;  // right
        case 107: return 0xCF;  // end
        case 108: return 0xD0;  // down
        case 109: return 0xD1;  // page down
        case 110: return 0xD2;  // insert
        case 111: return 0xD3;  // delete
        case 119: return 0xC5;  // pause
        case 125: return 0xDB;  // left windows
        case 126: return 0xDC;  // right windows
        case 127: return 0xDD;  // menu
        default: return 0;
    }
}

uint8_t FromQtKey(int key) {
    static const char* row1 = "QWERTYUIOP";
    static const char* row2 = "ASDFGHJKL";
    static const char* row3 = "ZXCVBNM";
    if (key >= Qt::Key_A && key <= Qt::Key_Z) {
        for (int i = 0; row1[i]; ++i)
            if (key == row1[i]) return static_cast<uint8_t>(0x10 + i);
        for (int i = 0; row2[i]; ++i)
            if (key == row2[i]) return static_cast<uint8_t>(0x1E + i);
        for (int i = 0; row3[i]; ++i)
            if (key == row3[i]) return static_cast<uint8_t>(0x2C + i);
    }
    if (key >= Qt::Key_1 && key <= Qt::Key_9) return static_cast<uint8_t>(0x02 + (key - Qt::Key_1));
    if (key >= Qt::Key_F1 && key <= Qt::Key_F10) return static_cast<uint8_t>(0x3B + (key - Qt::Key_F1));
    switch (key) {
        case Qt::Key_0: return 0x0B;
        case Qt::Key_Escape: return 0x01;
        case Qt::Key_Minus: return 0x0C;
        case Qt::Key_Equal: return 0x0D;
        case Qt::Key_Backspace: return 0x0E;
        case Qt::Key_Tab: return 0x0F;
        case Qt::Key_BracketLeft: return 0x1A;
        case Qt::Key_BracketRight: return 0x1B;
        case Qt::Key_Return: return 0x1C;
        case Qt::Key_Control: return 0x1D;
        case Qt::Key_Semicolon: return 0x27;
        case Qt::Key_Apostrophe: return 0x28;
        case Qt::Key_QuoteLeft: return 0x29;
        case Qt::Key_Shift: return 0x2A;
        case Qt::Key_Backslash: return 0x2B;
        case Qt::Key_Comma: return 0x33;
        case Qt::Key_Period: return 0x34;
        case Qt::Key_Slash: return 0x35;
        case Qt::Key_Alt: return 0x38;
        case Qt::Key_Space: return 0x39;
        case Qt::Key_CapsLock: return 0x3A;
        case Qt::Key_NumLock: return 0x45;
        case Qt::Key_ScrollLock: return 0x46;
        case Qt::Key_F11: return 0x57;
        case Qt::Key_F12: return 0x58;
        case Qt::Key_Enter: return 0x9C;
        case Qt::Key_Print: return 0xB7;
        case Qt::Key_Pause: return 0xC5;
        case Qt::Key_Home: return 0xC7;
        case Qt::Key_Up: return 0xC8;
        case Qt::Key_PageUp: return 0xC9;
        case Qt::Key_Left: return 0xCB;
        case Qt::Key_Right: return 0xCD;
        case Qt::Key_End: return 0xCF;
        case Qt::Key_Down: return 0xD0;
        case Qt::Key_PageDown: return 0xD1;
        case Qt::Key_Insert: return 0xD2;
        case Qt::Key_Delete: return 0xD3;
        case Qt::Key_Meta: return 0xDB;
        case Qt::Key_Menu: return 0xDD;
        default: return 0;
    }
}

Qt::CursorShape ShapeFor(HCURSOR c) {
    if (!c) return Qt::BlankCursor;
    switch (c->id) {
        case crCross: return Qt::CrossCursor;
        case crIBeam: return Qt::IBeamCursor;
        case crHourGlass: return Qt::WaitCursor;
        case crHandPoint: return Qt::PointingHandCursor;
        case crSizeAll: return Qt::SizeAllCursor;
        default: return Qt::ArrowCursor;
    }
}

}  // namespace

uint8_t ScanCodeFor(int qtKey, quint32 nativeScanCode) {
    if (nativeScanCode > 8 && QGuiApplication::platformName() == QLatin1String("xcb")) {
        uint8_t c = FromEvdev(nativeScanCode - 8);
        if (c) return c;
    }
    return FromQtKey(qtKey);
}

bool RasterWindow::CanPaint() const { return !screen() || screen()->depth() > 8; }

void RasterWindow::paintEvent(QPaintEvent*) {
    if (!CanPaint()) {
        static bool said = false;
        if (!said) {
            said = true;
            std::fprintf(stderr, "The display has %d-bit colour; frames are shown on displays of 15 bits or more.\n",
                         screen()->depth());
        }
        return;
    }
    QPainter p(this);
    const Frame* f = owner_->frame_.get();
    const tk::TRect& d = owner_->dest_;
    if (!f || f->Width() <= 0 || f->Height() <= 0 || d.Width() <= 0 || d.Height() <= 0) {
        p.fillRect(QRect(0, 0, width(), height()), owner_->Around());
        bordered_ = QRect();
        return;
    }
    // Straight into the backing store's pixels when the frame lands at a
    // whole scale; through QPainter otherwise.
    QPaintDevice* dev = p.paintEngine() ? p.paintEngine()->paintDevice() : nullptr;
    QImage* target =
        dev && dev->devType() == QInternal::Image && p.transform().isIdentity() ? static_cast<QImage*>(dev) : nullptr;
    // The background around the frame. An opaque backing store keeps it, so
    // it is painted again only when the frame's place or the window's size
    // (or the colour) changes.
    QRect place = d.ToQRect();
    if (!target || target->hasAlphaChannel() || bordered_ != place || borderedSize_ != size()) {
        QRegion around = QRegion(0, 0, width(), height()) - QRegion(place);
        for (const QRect& r : around) p.fillRect(r, owner_->Around());
        bordered_ = place;
        borderedSize_ = size();
    }
    if (target && RenderFrame(*f, *target, d)) return;
    if (owner_->scaledFrom_ != f) {
        owner_->scaled_ = f->ToImage();
        owner_->scaledFrom_ = f;
    }
    bool integral = d.Width() % f->Width() == 0 && d.Height() % f->Height() == 0;
    p.setRenderHint(QPainter::SmoothPixmapTransform, !integral);
    p.drawImage(place, owner_->scaled_);
}

bool RasterWindow::event(QEvent* e) {
    switch (e->type()) {
        case QEvent::FocusIn:
            if (!owner_->active_) {
                owner_->active_ = true;
                owner_->DeliverActivate(true);
            }
            break;
        case QEvent::FocusOut:
            if (owner_->active_) {
                owner_->active_ = false;
                owner_->DeliverActivate(false);
            }
            break;
        case QEvent::WindowStateChange:
            if ((windowStates() & Qt::WindowMinimized) && owner_->active_) {
                owner_->active_ = false;
                owner_->DeliverActivate(false);
            }
            break;
        case QEvent::Close:
            if (owner_->RequestClose()) {
                e->ignore();
                return true;
            }
            break;
        default: break;
    }
    return QRasterWindow::event(e);
}

void RasterWindow::keyPressEvent(QKeyEvent* e) {
    if (e->isAutoRepeat()) return;
    owner_->DeliverKey(KeyEvent{true, ScanCodeFor(e->key(), e->nativeScanCode()), e->key()});
}

void RasterWindow::keyReleaseEvent(QKeyEvent* e) {
    if (e->isAutoRepeat()) return;
    owner_->DeliverKey(KeyEvent{false, ScanCodeFor(e->key(), e->nativeScanCode()), e->key()});
}

void RasterWindow::Mouse(QMouseEvent* e, int kind) {
    QPoint pos = e->position().toPoint();
    MouseEvent m;
    m.kind = static_cast<MouseEvent::Kind>(kind);
    m.x = pos.x();
    m.y = pos.y();
    if (havePos_) {
        m.dx = pos.x() - lastPos_.x();
        m.dy = pos.y() - lastPos_.y();
    }
    havePos_ = true;
    lastPos_ = pos;
    switch (e->button()) {
        case Qt::RightButton: m.button = MouseButton::Right; break;
        case Qt::MiddleButton: m.button = MouseButton::Middle; break;
        case Qt::XButton1: m.button = MouseButton::X1; break;
        default: m.button = MouseButton::Left; break;
    }
    owner_->DeliverMouse(m);
    if (kind == MouseEvent::Move && owner_->PointerCaptured()) {
        QPoint centre(width() / 2, height() / 2);
        if (pos != centre) {
            QCursor::setPos(mapToGlobal(centre));
            lastPos_ = centre;
        }
        return;
    }
    if (kind == MouseEvent::Move) {
        // Keep the pointer inside the confinement rectangle (desktop units).
        QPoint global = e->globalPosition().toPoint();
        tk::TPoint at = DesktopFromNative({global.x(), global.y()});
        tk::TPoint c = ConfinePoint(at);
        if (c.X != at.X || c.Y != at.Y) {
            tk::TPoint n = NativeFromDesktop(c);
            QCursor::setPos(n.X, n.Y);
            lastPos_ = mapFromGlobal(QPoint(n.X, n.Y));
        }
    }
}

void RasterWindow::mouseMoveEvent(QMouseEvent* e) { Mouse(e, MouseEvent::Move); }
void RasterWindow::mousePressEvent(QMouseEvent* e) { Mouse(e, MouseEvent::Press); }
void RasterWindow::mouseReleaseEvent(QMouseEvent* e) { Mouse(e, MouseEvent::Release); }

void RasterWindow::wheelEvent(QWheelEvent* e) {
    MouseEvent m;
    m.kind = MouseEvent::Wheel;
    QPoint pos = e->position().toPoint();
    m.x = pos.x();
    m.y = pos.y();
    m.wheel = e->angleDelta().y();
    owner_->DeliverMouse(m);
}

QtWindow::QtWindow(std::string className, const std::string& caption, int clientWidth, int clientHeight)
    : className_(std::move(className)), window_(this) {
    window_.setTitle(QString::fromStdString(caption));
    window_.resize(clientWidth, clientHeight);
    Windows().insert(this);
    WatchScreenSaver();
    ApplyCursor();
    window_.show();
    window_.requestActivate();
}

QtWindow::~QtWindow() { Windows().erase(this); }

void QtWindow::SetVisible(bool on) { window_.setVisible(on); }

void QtWindow::BackgroundChanged() {
    window_.ForgetBorder();
    window_.update();
}

QColor QtWindow::Around() const {
    const tk::TColor c = Background();
    return IsFullScreen() ? QColor(Qt::black) : QColor(tk::GetRValue(c), tk::GetGValue(c), tk::GetBValue(c));
}

std::string QtWindow::Caption() const { return window_.title().toStdString(); }

void QtWindow::SetClientSize(int width, int height) { window_.resize(width, height); }

bool QtWindow::IsMinimized() const { return (window_.windowStates() & Qt::WindowMinimized) != 0; }

void QtWindow::Present(const QImage& frame, const tk::TRect& dest) {
    PresentFrame(std::make_shared<ImageFrame>(frame), dest);
}

void QtWindow::PresentFrame(std::shared_ptr<const Frame> frame, const tk::TRect& dest) {
    frame_ = std::move(frame);
    scaledFrom_ = nullptr;
    dest_ = dest;
    if (window_.CanPaint()) window_.update();
}

tk::TPoint QtWindow::ClientToScreen(tk::TPoint p) const {
    QPoint g = window_.mapToGlobal(QPoint(p.X, p.Y));
    return {g.x(), g.y()};
}

void QtWindow::SetFullScreen(bool on) {
    if (on) {
        if (!(window_.windowStates() & Qt::WindowFullScreen)) normalGeometry_ = window_.geometry();
        window_.showFullScreen();
        // Without a window manager the state alone changes nothing: cover
        // the screen ourselves.
        if (QScreen* s = window_.screen()) window_.setGeometry(s->geometry());
    } else if (window_.windowStates() & Qt::WindowFullScreen) {
        window_.showNormal();
        if (normalGeometry_.isValid()) window_.setGeometry(normalGeometry_);
    }
}

void QtWindow::SetWindowStyle(bool borderless, bool stayOnTop) {
    Qt::WindowFlags f = window_.flags();
    f.setFlag(Qt::FramelessWindowHint, borderless);
    f.setFlag(Qt::WindowStaysOnTopHint, stayOnTop);
    if (f == window_.flags()) return;
    bool visible = window_.isVisible();
    window_.setFlags(f);
    if (visible) window_.show();
}

bool QtWindow::IsFullScreen() const { return (window_.windowStates() & Qt::WindowFullScreen) != 0; }

void QtWindow::ApplyCursor() {
    window_.setCursor(PointerCaptured() ? QCursor(Qt::BlankCursor) : QCursor(ShapeFor(GetCursor())));
}

void QtWindow::OnPointerCapture(bool capture) {
    ApplyCursor();
    window_.setMouseGrabEnabled(capture);
    if (capture) QCursor::setPos(window_.mapToGlobal(QPoint(window_.width() / 2, window_.height() / 2)));
}

namespace {

class QtBackend : public Services {
public:
    DesktopMode Desktop() override {
        DesktopMode m{1920, 1080, 32, 60};
        if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return m;
        if (QScreen* s = QGuiApplication::primaryScreen()) {
            m.width = s->size().width();
            m.height = s->size().height();
            m.bitsPerPixel = s->depth() > 0 ? s->depth() : 32;
            if (s->refreshRate() >= 1) m.refreshHz = static_cast<int>(s->refreshRate() + 0.5);
        }
        return m;
    }
    void Beep(uint32_t) override {
        if (qobject_cast<QApplication*>(QCoreApplication::instance()))
            QApplication::beep();
        else
            std::fputc('\a', stderr);
    }
    void CursorChanged(HCURSOR) override {
        for (QtWindow* w : Windows()) w->ApplyCursor();
    }
    tk::TPoint CursorPos() override {
        QPoint p = QCursor::pos();
        return {p.x(), p.y()};
    }
    void MoveCursor(tk::TPoint p) override { QCursor::setPos(p.X, p.Y); }
    std::unique_ptr<Window> CreateWindow(const std::string& className, const std::string& caption, int w,
                                         int h) override {
        if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
            throw tk::EInvalidOperation("A window needs the application object");
        return std::make_unique<QtWindow>(className, caption, w, h);
    }
    void PumpEvents() override {
        if (QCoreApplication::instance()) QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
    void WaitEvents() override {
        if (QCoreApplication::instance()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    void InitEventLoop() override {
        if (QCoreApplication::instance()) return;
        static int argc = 1;
        static char name[] = "qvx";
        static char* argv[] = {name, nullptr};
        new QApplication(argc, argv);  // lives for the rest of the program
    }
    int MessageBox(HWND owner, const std::string& text, const std::string& caption, uint32_t type) override {
        bool yesNo = (type & 0xF) == MB_YESNO;
        if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
            std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
            return yesNo ? IDYES : IDOK;
        }
        QMessageBox box;
        box.setWindowTitle(QString::fromStdString(caption));
        box.setText(QString::fromStdString(text));
        uint32_t icon = type & 0xF0;
        box.setIcon(icon == MB_ICONQUESTION      ? QMessageBox::Question
                    : icon == MB_ICONHAND        ? QMessageBox::Critical
                    : icon == MB_ICONEXCLAMATION ? QMessageBox::Warning
                    : icon == MB_ICONASTERISK    ? QMessageBox::Information
                                                 : QMessageBox::NoIcon);
        box.setStandardButtons(yesNo ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok);
        if (auto* w = dynamic_cast<QtWindow*>(owner)) {
            box.winId();
            if (box.windowHandle()) box.windowHandle()->setTransientParent(w->Handle());
        }
        int r = box.exec();
        return r == QMessageBox::Yes ? IDYES : r == QMessageBox::No ? IDNO : IDOK;
    }
    void StartScreenSaver() override { LetScreenSaverStart(); }
};

}  // namespace
}  // namespace winsys::qt

namespace winsys {
Services& QtServices() {
    static qt::QtBackend s;
    return s;
}
}  // namespace winsys
