#include "Application.h"

#include <new>

#include "Dialogs.h"
#include "toolkit/names.h"
#include "toolkit/sysutils.h"

namespace hueshelf {

THueshelfApplication::THueshelfApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName("Hueshelf");
}

bool THueshelfApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        HandleException(std::current_exception());
        return false;
    }
}

void THueshelfApplication::HandleException(std::exception_ptr error) {
    std::string text;
    try {
        std::rethrow_exception(error);
    } catch (const std::bad_alloc&) {
        text = tk::msg::SOutOfMemory;
    } catch (const std::exception& e) {
        text = e.what();
    } catch (...) {
        text = "Unknown error";
    }
    // Names from files reach the box with their control characters escaped.
    Dialogs().ShowError(QApplication::activeWindow(), tk::ShownText(text));
}

}  // namespace hueshelf
