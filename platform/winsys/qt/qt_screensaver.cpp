#include "qt_screensaver.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QTimer>
#include <memory>
#include <optional>

#include "platform/winsys/messages.h"
#include "qt_window.h"

namespace winsys::qt {

namespace {

constexpr int kDefaultQueryMs = 20000;  // savers wait minutes; this is well inside
const char* const kService = "org.freedesktop.ScreenSaver";
const char* const kPath = "/org/freedesktop/ScreenSaver";

class Guard {
public:
    void Watch() {
        if (timer_ || !QCoreApplication::instance()) return;
        timer_ = std::make_unique<QTimer>();
        timer_->setInterval(interval_);
        QObject::connect(timer_.get(), &QTimer::timeout, [this] { Ask(); });
        timer_->start();
    }
    void LetStart() {
        allowed_ = true;
        Want(false);
    }
    void SetInterval(int ms) {
        interval_ = ms;
        if (timer_) timer_->setInterval(ms);
    }

private:
    // Answers the last question, then asks the active window again.
    void Ask() {
        QtWindow* active = ActiveWindow();
        Want(active && asked_ && !allowed_);
        asked_ = active != nullptr;
        allowed_ = false;
        if (active) PostMessage(active, WM_SYSCOMMAND, SC_SCREENSAVE, 0);
    }

    // Moves the desktop's inhibition towards `held`. Calls are asynchronous:
    // a slow service never stalls the program's loop.
    void Want(bool held) {
        want_ = held;
        if (pending_) return;  // settled when the answer comes
        if (held && !cookie_) {
            QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService, "Inhibit");
            call << QCoreApplication::applicationName() << QStringLiteral("A game is running");
            pending_ = true;
            auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call));
            QObject::connect(watcher, &QDBusPendingCallWatcher::finished, [this](QDBusPendingCallWatcher* w) {
                QDBusPendingReply<uint> reply = *w;
                w->deleteLater();
                pending_ = false;
                // Without the service (or on its error) the next question
                // tries again; asking at once would never end.
                if (!reply.isValid()) return;
                cookie_ = reply.value();
                Want(want_);
            });
        } else if (!held && cookie_) {
            QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService, "UnInhibit");
            call << *cookie_;
            cookie_.reset();
            QDBusConnection::sessionBus().asyncCall(call);
        }
    }

    static QtWindow* ActiveWindow() {
        for (QtWindow* w : AllWindows())
            if (w->IsActive()) return w;
        return nullptr;
    }

    std::unique_ptr<QTimer> timer_;
    int interval_ = kDefaultQueryMs;
    bool asked_ = false;    // a question went to a window at the last tick
    bool allowed_ = false;  // the default handling let the saver start since
    bool want_ = false;
    bool pending_ = false;
    std::optional<uint> cookie_;
};

Guard& TheGuard() {
    static Guard g;
    return g;
}

}  // namespace

void WatchScreenSaver() { TheGuard().Watch(); }
void LetScreenSaverStart() { TheGuard().LetStart(); }
void SetScreenSaverQueryInterval(int ms) { TheGuard().SetInterval(ms); }

}  // namespace winsys::qt
