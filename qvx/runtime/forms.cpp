#include "forms.h"

#include <algorithm>

#include "application.h"
#include "audio.h"
#include "input.h"
#include "intro_player.h"
#include "screen.h"
#include "platform/winsys/winsys.h"

namespace qvx {

namespace {

const bool registered = (RegisterRuntimeComponents(), true);

TShiftState ShiftFromKeys(winsys::WPARAM keys) {
    TShiftState s = 0;
    if (keys & winsys::MK_SHIFT) s |= ssShift;
    if (keys & winsys::MK_CONTROL) s |= ssCtrl;
    if (keys & winsys::MK_LBUTTON) s |= ssLeft;
    if (keys & winsys::MK_RBUTTON) s |= ssRight;
    if (keys & winsys::MK_MBUTTON) s |= ssMiddle;
    return s;
}

}  // namespace

TForm::TForm(tk::TComponent* owner) : tk::TComponent(owner) {}

TForm::~TForm() {
    // Owned components go while the form (their owner and window) exists.
    DestroyComponents();
    if (FWindow) {
        if (TApplication* app = Application()) app->WindowActivated(FWindow.get(), false);
        winsys::SetWindowHandler(FWindow.get(), nullptr);
    }
}

void TForm::FrameSize(int& dx, int& dy) const {
    switch (FBorderStyle) {
        case TFormBorderStyle::bsNone: dx = dy = 0; return;
        case TFormBorderStyle::bsToolWindow:
        case TFormBorderStyle::bsSizeToolWin: dx = 6; dy = 6 + 16; return;
        case TFormBorderStyle::bsSizeable: dx = 8; dy = 8 + 22; return;
        default: dx = 6; dy = 6 + 22; return;
    }
}

int TForm::ClientWidth() const { return FWindow ? FWindow->ClientWidth() : FClientWidth; }
int TForm::ClientHeight() const { return FWindow ? FWindow->ClientHeight() : FClientHeight; }

int TForm::Width() const {
    int dx, dy;
    FrameSize(dx, dy);
    return ClientWidth() + dx;
}

int TForm::Height() const {
    int dx, dy;
    FrameSize(dx, dy);
    return ClientHeight() + dy;
}

void TForm::SetClientWidth(int value) {
    FClientWidth = std::max(0, value);
    if (FWindow) FWindow->SetClientSize(FClientWidth, ClientHeight());
}

void TForm::SetClientHeight(int value) {
    FClientHeight = std::max(0, value);
    if (FWindow) FWindow->SetClientSize(ClientWidth(), FClientHeight);
}

void TForm::SetWidth(int value) {
    int dx, dy;
    FrameSize(dx, dy);
    SetClientWidth(value - dx);
}

void TForm::SetHeight(int value) {
    int dx, dy;
    FrameSize(dx, dy);
    SetClientHeight(value - dy);
}

void TForm::SetBorderStyle(TFormBorderStyle style) {
    // The outer size stays; the client area takes what the frame gives up.
    int w = Width(), h = Height();
    FBorderStyle = style;
    SetWidth(w);
    SetHeight(h);
    ApplyStyle();
}

void TForm::SetFormStyle(TFormStyle style) {
    FFormStyle = style;
    ApplyStyle();
}

void TForm::SetCaption(const std::string& caption) { FCaption = caption; }

void TForm::ApplyStyle() {
    if (FWindow)
        FWindow->SetWindowStyle(FBorderStyle == TFormBorderStyle::bsNone, FFormStyle == TFormStyle::fsStayOnTop);
}

int TForm::CanvasBitsPerPixel() const { return winsys::GetDesktopMode().bitsPerPixel; }

tk::TPoint TForm::ClientToScreen(tk::TPoint p) const {
    if (FWindow) return winsys::ClientToDesktop(FWindow.get(), p);
    int dx, dy;
    FrameSize(dx, dy);
    return {FLeft + dx / 2 + p.X, FTop + (dy - dx / 2) + p.Y};
}

void TForm::Show() {
    if (!FWindow) {
        FWindow = winsys::CreateTopLevelWindow(ClassName(), FCaption, FClientWidth, FClientHeight);
        winsys::HWND hwnd = FWindow.get();
        winsys::SetWindowHandler(hwnd, [this](winsys::MSG& m) { WndProc(m); });
        FWindow->OnActivate([this](bool active) { WindowActivated(active); });
        FWindow->OnMouse([hwnd](const winsys::MouseEvent& e) {
            using winsys::MouseButton;
            uint32_t msg = winsys::WM_MOUSEMOVE;
            bool press = e.kind == winsys::MouseEvent::Press;
            if (e.kind == winsys::MouseEvent::Press || e.kind == winsys::MouseEvent::Release) {
                switch (e.button) {
                    case MouseButton::Right: msg = press ? winsys::WM_RBUTTONDOWN : winsys::WM_RBUTTONUP; break;
                    case MouseButton::Middle: msg = press ? winsys::WM_MBUTTONDOWN : winsys::WM_MBUTTONUP; break;
                    case MouseButton::Left: msg = press ? winsys::WM_LBUTTONDOWN : winsys::WM_LBUTTONUP; break;
                    default: return;
                }
            } else if (e.kind != winsys::MouseEvent::Move) {
                return;
            }
            winsys::PostMessage(hwnd, msg, 0, winsys::MAKELPARAM(e.x, e.y));
        });
        FWindow->SetCloseHandler([hwnd] { winsys::PostMessage(hwnd, winsys::WM_CLOSE); });
        ApplyStyle();
        FWindow->SetBackground(ColorToRGB(Color));
        // A window that starts out active (headless) announces it the way
        // a later activation would.
        if (FWindow->IsActive()) WindowActivated(true);
    } else {
        FWindow->SetBackground(ColorToRGB(Color));
        FWindow->SetVisible(true);
    }
    FVisible = true;
}

int TForm::AddActivationListener(tk::TNotifyEvent listener) {
    FActivationListeners.emplace_back(++FNextListener, std::move(listener));
    return FNextListener;
}

void TForm::RemoveActivationListener(int id) {
    std::erase_if(FActivationListeners, [id](const auto& l) { return l.first == id; });
}

void TForm::Hide() {
    if (FWindow) FWindow->SetVisible(false);
    FVisible = false;
}

tk::TColor ColorToRGB(tk::TColor color) {
    if ((color & 0xFF000000u) == 0x80000000u) {
        // System colours, as the classic desktop scheme has them.
        switch (color & 0xFF) {
            case 5: return tk::RGB(255, 255, 255);   // window
            case 15: return tk::RGB(192, 192, 192);  // button face
            default: return tk::RGB(0, 0, 0);
        }
    }
    return color & 0x00FFFFFFu;
}

void TForm::Close() {
    TApplication* app = Application();
    if (app && app->MainForm() == this)
        app->Terminate();
    else
        Hide();
}

void TForm::WindowActivated(bool active) {
    winsys::HWND hwnd = FWindow.get();
    TApplication* app = Application();
    if (active && app) app->WindowActivated(hwnd, true);
    winsys::PostMessage(hwnd, winsys::WM_ACTIVATE, active ? winsys::WA_ACTIVE : winsys::WA_INACTIVE);
    if (!active && app) app->WindowActivated(hwnd, false);
}

void TForm::WndProc(winsys::MSG& msg) {
    using namespace winsys;
    int x = GET_X_LPARAM(msg.lParam), y = GET_Y_LPARAM(msg.lParam);
    TShiftState shift = ShiftFromKeys(msg.wParam);
    switch (msg.message) {
        case WM_ACTIVATE:
            FActive = msg.wParam != WA_INACTIVE;
            if (FActive && OnActivate) OnActivate(this);
            if (FActive && !FActivationListeners.empty()) {
                auto listeners = FActivationListeners;  // a listener may remove itself
                for (auto& [id, listener] : listeners) listener(this);
            }
            if (!FActive && OnDeactivate) OnDeactivate(this);
            break;
        case WM_MOUSEMOVE:
            if (OnMouseMove) OnMouseMove(this, shift, x, y);
            break;
        case WM_LBUTTONDOWN:
            if (OnMouseDown) OnMouseDown(this, TMouseButton::mbLeft, shift | ssLeft, x, y);
            break;
        case WM_RBUTTONDOWN:
            if (OnMouseDown) OnMouseDown(this, TMouseButton::mbRight, shift | ssRight, x, y);
            break;
        case WM_MBUTTONDOWN:
            if (OnMouseDown) OnMouseDown(this, TMouseButton::mbMiddle, shift | ssMiddle, x, y);
            break;
        case WM_LBUTTONUP:
            if (OnMouseUp) OnMouseUp(this, TMouseButton::mbLeft, shift, x, y);
            break;
        case WM_RBUTTONUP:
            if (OnMouseUp) OnMouseUp(this, TMouseButton::mbRight, shift, x, y);
            break;
        case WM_MBUTTONUP:
            if (OnMouseUp) OnMouseUp(this, TMouseButton::mbMiddle, shift, x, y);
            break;
        case WM_SYSCOMMAND:
            if (msg.wParam == SC_SCREENSAVE) StartScreenSaver();
            break;
        case WM_CLOSE: Close(); break;
        default: break;
    }
}

void TForm::GetProperties(tk::TPropList& props) {
    tk::TComponent::GetProperties(props);
    props.Integer("Left", [this] { return FLeft; }, [this](int64_t v) { FLeft = static_cast<int>(v); });
    props.Integer("Top", [this] { return FTop; }, [this](int64_t v) { FTop = static_cast<int>(v); });
    props.Integer("Width", [this] { return Width(); }, [this](int64_t v) { SetWidth(static_cast<int>(v)); })
        .Stored = [] { return false; };
    props.Integer("Height", [this] { return Height(); }, [this](int64_t v) { SetHeight(static_cast<int>(v)); })
        .Stored = [] { return false; };
    props.Enumeration(
        "BorderStyle", {"bsNone", "bsSingle", "bsSizeable", "bsDialog", "bsToolWindow", "bsSizeToolWin"},
        [this] { return static_cast<int64_t>(FBorderStyle); },
        [this](int64_t v) { SetBorderStyle(static_cast<TFormBorderStyle>(v)); },
        static_cast<int64_t>(TFormBorderStyle::bsSizeable));
    props.String("Caption", [this] { return FCaption; }, [this](const std::string& v) { SetCaption(v); });
    props.Integer("ClientHeight", [this] { return ClientHeight(); },
                  [this](int64_t v) { SetClientHeight(static_cast<int>(v)); });
    props.Integer("ClientWidth", [this] { return ClientWidth(); },
                  [this](int64_t v) { SetClientWidth(static_cast<int>(v)); });
    props.Integer("Color", [this] { return static_cast<int32_t>(Color); },
                  [this](int64_t v) { Color = static_cast<tk::TColor>(v); }, static_cast<int32_t>(clBtnFace));
    props.Enumeration(
        "FormStyle", {"fsNormal", "fsMDIChild", "fsMDIForm", "fsStayOnTop"},
        [this] { return static_cast<int64_t>(FFormStyle); },
        [this](int64_t v) { SetFormStyle(static_cast<TFormStyle>(v)); }, 0);
    props.Boolean("Visible", [this] { return FVisible; }, [this](bool v) { FVisible = v; }, false);
    props.Event("OnActivate", OnActivate);
    props.Event("OnDeactivate", OnDeactivate);
    props.Event("OnMouseDown", OnMouseDown);
    props.Event("OnMouseMove", OnMouseMove);
    props.Event("OnMouseUp", OnMouseUp);
}

void TForm::GetChildren(const std::function<void(tk::TComponent*)>& proc, tk::TComponent*) {
    for (int i = 0; i < ComponentCount(); ++i) proc(Components(i));
}

void TForm::Loaded() {
    tk::TComponent::Loaded();
    if (FVisible && !FWindow) Show();
}

void RegisterRuntimeComponents() {
    static const bool once = [] {
        tk::RegisterComponentClass<TForm>("TForm");
        tk::RegisterComponentClass<TQVXScreen>("TQVXScreen");
        tk::RegisterComponentClass<TQVXAudio>("TQVXAudio");
        tk::RegisterComponentClass<TQVXInput>("TQVXInput");
        tk::RegisterComponentClass<TQVXIntro>("TQVXIntro");
        return true;
    }();
    (void)once;
}

}  // namespace qvx
