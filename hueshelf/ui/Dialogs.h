// The window's file dialogs and message boxes, and the seam they go through:
// the program binds TDialogs to the real Qt dialogs, tests bind it to
// scripted answers.
#pragma once

#include <optional>
#include <string>
#include <vector>

class QWidget;

namespace hueshelf {

// Options of a file dialog (they combine as flags).
enum TOpenOption : unsigned {
    ofOverwritePrompt = 1,  // ask before replacing an existing file
    ofHideReadOnly = 2,     // no "open read-only" box
    ofFileMustExist = 4,    // only an existing file can be chosen
    ofEnableSizing = 8,     // the dialog can be resized
};

enum class TFileDialogKind { Open, Save };

// A window-owned file dialog. It keeps the file name it last returned and
// offers it the next time it is shown.
class TFileDialog {
public:
    TFileDialogKind Kind = TFileDialogKind::Open;
    // Pairs of description and patterns separated by '|'; patterns within a
    // pair are separated by ';' ("Bitmaps (*.bmp)|*.bmp|All|*.jpg;*.bmp").
    std::string Filter;
    std::string DefaultExt;  // without the dot; added when a typed name has none
    unsigned Options = 0;
    bool Preview = false;    // show the selected picture beside the file list
    std::string FileName;    // the last returned name (empty at first)

    // Shows the dialog through the seam; true (and FileName set) when the
    // user chose a file, false on cancel.
    bool Execute(QWidget* parent);
};

enum class TMsgButton { Yes, No };

class TDialogs {
public:
    virtual ~TDialogs() = default;
    // Shows a file dialog; the chosen path, or nothing on cancel.
    virtual std::optional<std::string> RunFileDialog(QWidget* parent, const TFileDialog& dialog) = 0;
    // A modal question with the information icon and the buttons "&Yes" and "&No".
    virtual TMsgButton AskYesNo(QWidget* parent, const std::string& title, const std::string& text) = 0;
    // A modal error message with an OK button (the application's exception box).
    virtual void ShowError(QWidget* parent, const std::string& text) = 0;
    // A modal note with the information icon and an OK button.
    virtual void ShowInformation(QWidget* parent, const std::string& text) = 0;
};

// The dialogs in use: the Qt ones unless SetDialogs bound others.
TDialogs& Dialogs();
// Binds the seam (null restores the Qt dialogs). The caller keeps `dialogs`
// alive while bound.
void SetDialogs(TDialogs* dialogs);

// Turns a '|' filter into Qt name filters ("Bitmaps (*.bmp *.BMP)"). A
// description that already ends in its own pattern list loses that copy.
// Each pattern is offered in lower and upper case, since Linux file names
// are case-sensitive and libraries come as both ".HCL" and ".hcl".
std::vector<std::string> QtNameFilters(const std::string& filter);

}  // namespace hueshelf
