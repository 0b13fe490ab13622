// A game form: a component that owns the game's components, on a top-level
// window of the platform. Window events arrive through the message queue
// (activation, mouse, system commands) and become the form's events.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/winsys/messages.h"
#include "platform/winsys/window.h"
#include "toolkit/classes.h"
#include "toolkit/graphics.h"

namespace qvx {

enum class TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum class TFormStyle { fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop };
enum class TMouseButton { mbLeft, mbRight, mbMiddle };

// Border icons, a set.
using TBorderIcons = unsigned;
constexpr TBorderIcons biSystemMenu = 1, biMinimize = 2, biMaximize = 4, biHelp = 8;

// Shift and button state of a mouse event, a set.
using TShiftState = unsigned;
constexpr TShiftState ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32;

constexpr tk::TColor clBlack = 0x000000;
constexpr tk::TColor clBtnFace = 0x8000000F;

using TMouseEvent =
    std::function<void(tk::TObject* sender, TMouseButton button, TShiftState shift, int x, int y)>;
using TMouseMoveEvent = std::function<void(tk::TObject* sender, TShiftState shift, int x, int y)>;

// The red, green and blue of a colour, system colours included.
tk::TColor ColorToRGB(tk::TColor color);

/// A game's window and the owner of the components on it: screen,
/// libraries, audio, input. Usually loaded from form data
/// (LoadFormFromData); its first activation starts the screen. Closing
/// the main form ends the application.
class TForm : public tk::TComponent {
public:
    TK_CLASSNAME(TForm)
    explicit TForm(tk::TComponent* owner);
    ~TForm() override;

    // Creates the window (once) and shows it. A window that is active when
    // shown reports its activation through the queue as usual.
    void Show();
    void Hide();
    // Asks the form to close: the main form ends the application.
    void Close();
    bool Visible() const { return FVisible; }
    bool Active() const { return FActive; }

    // The form's window; null until it is first shown.
    winsys::HWND Handle() const { return FWindow.get(); }
    tk::TPoint ClientToScreen(tk::TPoint p) const;
    tk::TRect ClientRect() const { return tk::Rect(0, 0, ClientWidth(), ClientHeight()); }

    // Outer size (frame included) and the client area inside it.
    int Left() const { return FLeft; }
    int Top() const { return FTop; }
    void SetLeft(int v) { FLeft = v; }
    void SetTop(int v) { FTop = v; }
    int Width() const;
    int Height() const;
    void SetWidth(int value);
    void SetHeight(int value);
    int ClientWidth() const;
    int ClientHeight() const;
    void SetClientWidth(int value);
    void SetClientHeight(int value);

    TFormBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TFormBorderStyle style);
    TBorderIcons BorderIcons() const { return FBorderIcons; }
    void SetBorderIcons(TBorderIcons icons) { FBorderIcons = icons; }
    TFormStyle FormStyle() const { return FFormStyle; }
    void SetFormStyle(TFormStyle style);
    tk::TColor Color = clBtnFace;
    const std::string& Caption() const { return FCaption; }
    void SetCaption(const std::string& caption);

    // The colour depth of the form's drawing context: bits per pixel and
    // colour planes, as the desktop has them.
    int CanvasBitsPerPixel() const;
    int CanvasPlanes() const { return 1; }

    // The one activation handler (replaceable: a screen saves the previous
    // handler and calls it from its own).
    tk::TNotifyEvent OnActivate;
    tk::TNotifyEvent OnDeactivate;
    // Runtime components that act on the form's activation listen here,
    // after OnActivate, whatever the game assigns to OnActivate. A listener
    // may remove itself while it runs.
    int AddActivationListener(tk::TNotifyEvent listener);
    void RemoveActivationListener(int id);
    TMouseMoveEvent OnMouseMove;
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;

    // The window procedure: what the queue's messages for this form do.
    virtual void WndProc(winsys::MSG& msg);

    void GetProperties(tk::TPropList& props) override;
    // Form data holds the owned components after the form's properties.
    void GetChildren(const std::function<void(tk::TComponent*)>& proc,
                     tk::TComponent* root) override;
    void Loaded() override;

private:
    void FrameSize(int& dx, int& dy) const;
    void ApplyStyle();
    void WindowActivated(bool active);

    std::unique_ptr<winsys::Window> FWindow;
    std::string FCaption;
    int FLeft = 0, FTop = 0;
    int FClientWidth = 320, FClientHeight = 240;
    TFormBorderStyle FBorderStyle = TFormBorderStyle::bsSizeable;
    TBorderIcons FBorderIcons = biSystemMenu | biMinimize | biMaximize;
    TFormStyle FFormStyle = TFormStyle::fsNormal;
    bool FVisible = false;
    bool FActive = false;
    std::vector<std::pair<int, tk::TNotifyEvent>> FActivationListeners;
    int FNextListener = 0;
};

// Registers the runtime's component classes (TForm, TQVXScreen, TQVXAudio,
// TQVXInput) with the class registry, once however often it is called; a
// new runtime component class is added here and nowhere else. It runs when
// the runtime is linked in, and RegisterGameClasses calls it.
void RegisterRuntimeComponents();

}  // namespace qvx
