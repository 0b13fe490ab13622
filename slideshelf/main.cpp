#include "slideshelf/ui/Application.h"
#include "slideshelf/ui/Dialogs.h"
#include "slideshelf/ui/Main.h"
#include "slideshelf/ui/Program.h"

int main(int argc, char** argv) {
    slideshelf::TSlideshelfApplication app(argc, argv);
    slideshelf::TQtDialogs dialogs;
    std::unique_ptr<slideshelf::TProgram> program = slideshelf::StartProgram(dialogs);
    program->frmMain->show();
    return app.exec();
}
