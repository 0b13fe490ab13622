#include "Program.h"

#include <QApplication>

#include "Application.h"
#include "Main.h"
#include "Rename.h"

namespace slideshelf {

TProgram::~TProgram() {
    frmMain.reset();
    SetExceptionDialogs(nullptr);
}

std::unique_ptr<TProgram> StartProgram(IDialogs& dialogs) {
    QApplication::setApplicationName(QString::fromLatin1(kApplicationTitle));
    SetExceptionDialogs(&dialogs);
    auto program = std::make_unique<TProgram>();
    program->frmMain = std::make_unique<TfrmMain>(dialogs);
    program->frmRename = new TfrmRename(program->frmMain.get());
    program->frmMain->SetRenameDialog(program->frmRename);
    return program;
}

void OpenCommandLine(TProgram& program, const QStringList& arguments) {
    if (arguments.isEmpty()) return;
    RunGuarded([&] { program.frmMain->OpenLibraryFile(arguments.first()); });
}

}  // namespace slideshelf
