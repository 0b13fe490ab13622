// Every file dialog, message box, colour dialog and modal window the editor
// opens goes through IDialogs. The program binds it to the real Qt dialogs
// (TQtDialogs); tests bind scripted answers.
#pragma once

#include <QColor>
#include <QString>
#include <QStringList>
#include <optional>
#include <string>

#include "qvx/intro/intro_library.h"

class QDialog;
class QWidget;

namespace slideshelf {

// A common file dialog as the editor describes it. The filter is written
// "Name|*.EXT|Other|*.*"; matching ignores letter case.
struct TFileDialogOptions {
    QString Title;
    QString Filter;
    QString InitialName;   // "*.CRL": only a pattern, so the dialog starts empty
    QString DefaultExt;    // added when the typed name has none
    bool MustExist = false;
};

class IDialogs {
public:
    virtual ~IDialogs() = default;
    // Empty when cancelled.
    virtual QString OpenFile(QWidget* parent, const TFileDialogOptions& options) = 0;
    // Several files in the order the dialog gives them; empty when cancelled.
    virtual QStringList OpenFiles(QWidget* parent, const TFileDialogOptions& options) = 0;
    virtual QString SaveFile(QWidget* parent, const TFileDialogOptions& options) = 0;
    // The same, also telling which filter entry was chosen (its description,
    // or "" when the dialog cannot tell).
    virtual QString SaveFile(QWidget* parent, const TFileDialogOptions& options, QString& chosenFilter) {
        chosenFilter.clear();
        return SaveFile(parent, options);
    }
    // An error message box with one OK button.
    virtual void ShowError(QWidget* parent, const QString& caption, const QString& text) = 0;
    // A confirmation with Yes and No; true for Yes.
    virtual bool Confirm(QWidget* parent, const QString& caption, const QString& text) = 0;
    // A question of the information kind (information icon) with the
    // buttons "&Yes" and "&No"; true for "&Yes".
    virtual bool AskYesNo(QWidget* parent, const QString& caption, const QString& text) = 0;
    // A note with the information icon and one OK button.
    virtual void ShowInformation(QWidget* parent, const QString& caption, const QString& text) = 0;
    // The colour dialog, preset with `initial`; nullopt when cancelled.
    virtual std::optional<QColor> ChooseColor(QWidget* parent, const QColor& initial) = 0;
    // Shows one of the editor's own windows modally; returns its result
    // (QDialog::Accepted or QDialog::Rejected).
    virtual int Execute(QDialog& dialog) = 0;
};

// The real dialogs.
class TQtDialogs : public IDialogs {
public:
    QString OpenFile(QWidget* parent, const TFileDialogOptions& options) override;
    QStringList OpenFiles(QWidget* parent, const TFileDialogOptions& options) override;
    QString SaveFile(QWidget* parent, const TFileDialogOptions& options) override;
    QString SaveFile(QWidget* parent, const TFileDialogOptions& options, QString& chosenFilter) override;
    void ShowError(QWidget* parent, const QString& caption, const QString& text) override;
    bool Confirm(QWidget* parent, const QString& caption, const QString& text) override;
    bool AskYesNo(QWidget* parent, const QString& caption, const QString& text) override;
    void ShowInformation(QWidget* parent, const QString& caption, const QString& text) override;
    std::optional<QColor> ChooseColor(QWidget* parent, const QColor& initial) override;
    int Execute(QDialog& dialog) override;
};

// "Bitmap Files (*.BMP)|*.BMP|All Files (*.*)|*.*" as Qt name filters.
QStringList QtNameFilters(const QString& filter);

// The editor's three file dialogs.
TFileDialogOptions BitmapOpenDialog();   // OpenDialog1
TFileDialogOptions LibrarySaveDialog();  // SaveDialog1
TFileDialogOptions LibraryOpenDialog();  // OpenDialog2
// Palette files of other tools, to import and to export.
TFileDialogOptions PaletteOpenDialog();
TFileDialogOptions PaletteSaveDialog();
// Filter descriptions of PaletteSaveDialog that choose a format of their own.
inline constexpr const char* kRiffPaletteFilter = "RIFF Palette (*.pal)";

// File names as the file layer takes them (the local 8-bit encoding).
std::string LocalFileName(const QString& name);

}  // namespace slideshelf
