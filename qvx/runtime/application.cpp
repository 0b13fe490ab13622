#include "application.h"

#include "forms.h"
#include "platform/com/backend.h"
#include "platform/winsys/winsys.h"

namespace qvx {

namespace {
TApplication* g_application = nullptr;
}

TApplication* Application() {
    return g_application;
}

TApplication::TApplication() : tk::TComponent(nullptr) {
    if (g_application) throw tk::EInvalidOperation("A program has only one application");
    // QVX_BACKEND wins over the program's own choice, so an unchanged game
    // runs headless (no display, no sound device) in its tests; a game
    // that chose nothing gets its window.
    if (auto backend = platform::EnvironmentBackend())
        platform::SelectBackend(*backend);
    else if (!platform::BackendChosen())
        platform::SelectBackend(platform::Backend::Real);
    // Headless, the canvas still needs Qt for fonts, with no display.
    if (platform::CurrentBackend() == platform::Backend::Headless) winsys::InitHeadlessGui();
    winsys::InitEventLoop();
    FHandle = winsys::CreateMessageWindow("TApplication");
    winsys::SetWindowHandler(FHandle.get(), [](winsys::MSG&) {});
    g_application = this;
}

TApplication::~TApplication() {
    // Forms go first, while the application they report to still exists.
    DestroyComponents();
    g_application = nullptr;
}

void TApplication::FormCreated(TForm* form) {
    if (!FMainForm) FMainForm = form;
}

void TApplication::Run() {
    FTerminated = false;
    if (FMainForm && !FMainForm->Visible()) FMainForm->Show();
    while (!FTerminated) HandleMessage();
}

void TApplication::Terminate() {
    winsys::PostQuitMessage(0);
}

void TApplication::ProcessMessages() {
    while (ProcessMessage()) {
    }
}

void TApplication::HandleMessage() {
    if (!ProcessMessage()) Idle();
}

bool TApplication::ProcessMessage() {
    winsys::MSG msg;
    if (!winsys::PeekMessage(msg)) return false;
    if (msg.message == winsys::WM_QUIT) {
        FTerminated = true;
        return true;
    }
    try {
        bool handled = false;
        if (OnMessage) OnMessage(msg, handled);
        if (!handled) winsys::DispatchMessage(msg);
    } catch (const std::exception& e) {
        HandleException(this, e);
    }
    return true;
}

void TApplication::Idle() {
    bool done = true;
    try {
        if (OnIdle) OnIdle(this, done);
    } catch (const std::exception& e) {
        HandleException(this, e);
    }
    if (done && !FTerminated) winsys::WaitMessage();
}

void TApplication::PostMessage(uint32_t message, winsys::WPARAM wParam, winsys::LPARAM lParam) {
    winsys::PostMessage(Handle(), message, wParam, lParam);
}

void TApplication::HandleException(tk::TObject* sender, const std::exception& e) {
    if (OnException)
        OnException(sender, e);
    else
        ShowException(e);
}

void TApplication::ShowException(const std::exception& e) {
    std::string caption = Title;
    if (caption.empty() && FMainForm) caption = FMainForm->Caption();
    if (caption.empty()) caption = "Error";
    MessageBox(e.what(), caption, winsys::MB_OK | winsys::MB_ICONERROR);
}

int TApplication::MessageBox(const std::string& text, const std::string& caption, uint32_t flags) {
    return winsys::MessageBox(FMainForm ? FMainForm->Handle() : nullptr, text, caption, flags);
}

void TApplication::SetCursor(int cursorId) {
    FCursor = cursorId;
    winsys::SetCursor(winsys::LoadStandardCursor(cursorId));
}

void TApplication::WindowActivated(winsys::HWND window, bool active) {
    if (active) {
        FActiveWindow = window;
        if (!FActive) {
            FActive = true;
            PostMessage(winsys::WM_ACTIVATEAPP, 1, 0);
        }
    } else if (window == FActiveWindow) {
        FActiveWindow = nullptr;
        if (FActive) {
            FActive = false;
            PostMessage(winsys::WM_ACTIVATEAPP, 0, 0);
        }
    }
}

}  // namespace qvx
