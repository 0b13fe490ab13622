#include <QTimer>

#include "hueshelf/ui/Application.h"
#include "hueshelf/ui/Main.h"

int main(int argc, char** argv) {
    hueshelf::THueshelfApplication app(argc, argv);
    TForm1 form;
    form.show();
    // A library named on the command line opens once the window is up.
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    QTimer::singleShot(0, &form, [&] { form.OpenCommandLine(arguments); });
    return app.exec();
}
