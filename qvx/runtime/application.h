// The game application: one per program. It runs the platform's message
// queue, hands every message to OnMessage before dispatching it, calls
// OnIdle whenever the queue is empty, and routes exceptions raised by
// handlers to OnException (or shows them in a message box). Forms are
// owned by it; the first one created is the main form.
#pragma once

#include <exception>
#include <functional>
#include <memory>
#include <string>

#include "platform/winsys/messages.h"
#include "toolkit/classes.h"

namespace qvx {

class TForm;

// `done` starts true; a handler that leaves it false is called again at
// once, without waiting for a message.
using TIdleEvent = std::function<void(tk::TObject* sender, bool& done)>;
// Sees every message taken from the queue; `handled` true stops dispatch.
using TMessageEvent = std::function<void(winsys::MSG& msg, bool& handled)>;
using TExceptionEvent = std::function<void(tk::TObject* sender, const std::exception& e)>;

/// The program's game application: one per program, made first. It runs
/// the message queue (Run) until Terminate or the main form closes, and
/// owns the forms (CreateForm; the first is the main form). The screen
/// hooks OnIdle for its render loop and OnException to report errors; a
/// game may set them too. QVX_BACKEND is read when it is made.
class TApplication : public tk::TComponent {
public:
    TK_CLASSNAME(TApplication)
    // Becomes the program's application (Application()). Only one may exist.
    // QVX_BACKEND ("headless" or "real"), when set, selects the platform
    // backend here, over what the program selected; when neither chose,
    // the real one. Headless it also gives Qt what it needs to draw text,
    // with no display.
    TApplication();
    ~TApplication() override;

    // Creates a form owned by the application; the first becomes MainForm.
    template <class T, class... Args>
    T* CreateForm(Args&&... args) {
        auto* form = new T(this, std::forward<Args>(args)...);
        FormCreated(form);
        return form;
    }

    // Shows the main form and handles messages until Terminate.
    void Run();
    // Ends Run once the messages already queued are handled (WM_QUIT).
    void Terminate();
    bool Terminated() const { return FTerminated; }
    // Handles every queued message, without idle processing.
    void ProcessMessages();
    // Handles one message, or, when none is queued, runs the idle step and
    // waits for messages unless the idle handler said it is not done.
    void HandleMessage();

    TForm* MainForm() const { return FMainForm; }
    // The application's own window, the target of its posted messages.
    winsys::HWND Handle() const { return FHandle.get(); }
    // Queues a message for the application's own window.
    void PostMessage(uint32_t message, winsys::WPARAM wParam = 0, winsys::LPARAM lParam = 0);
    // True while one of the application's windows has the foreground.
    bool Active() const { return FActive; }

    // Routes an exception raised by a handler: OnException when set, else
    // ShowException.
    void HandleException(tk::TObject* sender, const std::exception& e);
    // Shows the exception's message in an error box.
    void ShowException(const std::exception& e);
    // A message box over the main form (winsys::MB_ flags, ID answers).
    int MessageBox(const std::string& text, const std::string& caption, uint32_t flags);

    // The program's cursor (toolkit cursor identifiers; crNone hides it).
    void SetCursor(int cursorId);
    int Cursor() const { return FCursor; }

    std::string Title;
    TIdleEvent OnIdle;
    TMessageEvent OnMessage;
    TExceptionEvent OnException;

    // Forms tell the application when one of their windows gains or loses
    // the foreground: it posts WM_ACTIVATEAPP when the program as a whole
    // does.
    void WindowActivated(winsys::HWND window, bool active);

private:
    void FormCreated(TForm* form);
    bool ProcessMessage();
    void Idle();

    std::unique_ptr<winsys::Window> FHandle;
    TForm* FMainForm = nullptr;
    bool FTerminated = false;
    bool FActive = false;
    int FCursor = 0;
    winsys::HWND FActiveWindow = nullptr;
};

// The program's application, or null before one is made.
TApplication* Application();

}  // namespace qvx
