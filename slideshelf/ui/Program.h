// Program start, shared by the program and the tests: the application's
// title, the main window, then the rename dialog, which lives for the
// whole run. The palette dialogs and the about box are made for each use.
#pragma once

#include <QStringList>
#include <memory>

namespace slideshelf {

class IDialogs;
class TfrmMain;
class TfrmRename;

struct TProgram {
    std::unique_ptr<TfrmMain> frmMain;
    TfrmRename* frmRename = nullptr;  // owned by frmMain
    ~TProgram();
};

inline constexpr const char* kApplicationTitle = "QVX Intro Screens Library Editor";

// Needs the application object. `dialogs` answers every dialog the program
// opens and shows its error messages; it must outlive the program.
std::unique_ptr<TProgram> StartProgram(IDialogs& dialogs);

// "Slideshelf FILE.CRL": opens the file as "&Open Library..." would, errors
// shown the same way. `arguments` come without the program's own name.
void OpenCommandLine(TProgram& program, const QStringList& arguments);

}  // namespace slideshelf
