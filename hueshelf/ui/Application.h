// The editor's application object: every exception a command raises ends
// here, is shown in a message box, and the program goes on.
#pragma once

#include <QApplication>
#include <exception>

namespace hueshelf {

class THueshelfApplication : public QApplication {
    Q_OBJECT
public:
    THueshelfApplication(int& argc, char** argv);
    // Delivers the event; an exception escaping its handler is shown by
    // HandleException and the event counts as not handled.
    bool notify(QObject* receiver, QEvent* event) override;

    // The one place exceptions are shown: the message (an exception's own
    // text; "Out of memory" for an allocation failure) in an error box.
    static void HandleException(std::exception_ptr error);
};

}  // namespace hueshelf
