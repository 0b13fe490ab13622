#include "Application.h"

#include <QMessageBox>
#include <new>

#include "Dialogs.h"
#include "toolkit/names.h"
#include "toolkit/sysutils.h"

namespace slideshelf {

namespace {
IDialogs* exceptionDialogs = nullptr;
}

TSlideshelfApplication::TSlideshelfApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TSlideshelfApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        HandleException(std::current_exception());
        return false;
    }
}

void SetExceptionDialogs(IDialogs* dialogs) { exceptionDialogs = dialogs; }

void HandleException(std::exception_ptr error) {
    QString text;
    try {
        std::rethrow_exception(error);
    } catch (const tk::Exception& e) {
        text = QString::fromStdString(e.Message());
    } catch (const std::bad_alloc&) {
        text = QString::fromLatin1(tk::msg::SOutOfMemory);
    } catch (const std::exception& e) {
        text = QString::fromLocal8Bit(e.what());
    } catch (...) {
        text = QStringLiteral("Unknown error");
    }
    // Names from files reach the box with their control characters escaped.
    text = tk::ShownText(text);
    QWidget* parent = QApplication::activeWindow();
    const QString caption = QApplication::applicationName();
    if (exceptionDialogs)
        exceptionDialogs->ShowError(parent, caption, text);
    else
        TQtDialogs().ShowError(parent, caption, text);
}

}  // namespace slideshelf
