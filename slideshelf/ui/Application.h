// The editor's application object. Every command's failure ends in one
// place, HandleException, which shows the message in a message box; the
// command stops where it failed and the program goes on.
//
// Handlers are not left to throw through Qt's own event code (it is built
// without exception support); each signal connection and event override of
// the windows runs its handler through Guarded() or RunGuarded(), which pass
// what they catch on to HandleException. notify() catches whatever else
// escapes an event.
#pragma once

#include <QApplication>
#include <exception>
#include <utility>

namespace slideshelf {

class IDialogs;

class TSlideshelfApplication : public QApplication {
    Q_OBJECT
public:
    TSlideshelfApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// Where exceptions are shown: the program's dialogs (real or scripted).
void SetExceptionDialogs(IDialogs* dialogs);
// Shows the exception's message in an error box captioned with the
// application's title.
void HandleException(std::exception_ptr error);

// Runs `handler` and hands any exception it raises to HandleException.
template <class F>
void RunGuarded(F&& handler) {
    try {
        std::forward<F>(handler)();
    } catch (...) {
        HandleException(std::current_exception());
    }
}

// `handler` wrapped for a signal connection (the signal's arguments are
// not passed on).
template <class F>
auto Guarded(F handler) {
    return [handler = std::move(handler)](auto&&...) { RunGuarded(handler); };
}

}  // namespace slideshelf
