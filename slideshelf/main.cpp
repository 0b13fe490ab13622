#include <QTimer>

#include "slideshelf/ui/Application.h"
#include "slideshelf/ui/Dialogs.h"
#include "slideshelf/ui/Main.h"
#include "slideshelf/ui/Program.h"

int main(int argc, char** argv) {
    slideshelf::TSlideshelfApplication app(argc, argv);
    slideshelf::TQtDialogs dialogs;
    std::unique_ptr<slideshelf::TProgram> program = slideshelf::StartProgram(dialogs);
    program->frmMain->show();
    // A file named on the command line opens once the window is up.
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    QTimer::singleShot(0, program->frmMain.get(), [&] { slideshelf::OpenCommandLine(*program, arguments); });
    return app.exec();
}
