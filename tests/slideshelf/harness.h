// Test harness for the editor: scripted dialog answers, the program started
// as the real one starts, and bitmap files written to a temporary folder.
#pragma once

#include <QDialog>
#include <QStringList>
#include <QTemporaryDir>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "../bmputil/bmpfile.h"
#include "slideshelf/ui/Dialogs.h"
#include "slideshelf/ui/Main.h"
#include "slideshelf/ui/Program.h"

namespace sstest {

// Answers dialogs from queues and records what was asked. A dialog with no
// answer queued is a test failure and answers Cancel.
class TScriptedDialogs : public slideshelf::IDialogs {
public:
    std::deque<QString> OpenAnswers;          // OpenFile: "" cancels
    std::deque<QStringList> OpenManyAnswers;  // OpenFiles: {} cancels
    std::deque<QString> SaveAnswers;          // SaveFile: "" cancels
    std::deque<QString> SaveFilterAnswers;    // the filter chosen with a save answer ("" when none queued)
    std::deque<bool> ConfirmAnswers;  // Confirm and AskYesNo: true for Yes
    std::deque<std::optional<QColor>> ColorAnswers;
    // Each runs one modal window: drives it and returns its result.
    std::deque<std::function<int(QDialog&)>> ExecuteAnswers;

    std::vector<slideshelf::TFileDialogOptions> FileDialogs;  // every file dialog shown
    std::vector<std::pair<QString, QString>> Errors;       // caption, text
    std::vector<QString> Questions;                        // Confirm's and AskYesNo's texts
    std::vector<std::pair<QString, QString>> Notes;       // ShowInformation: caption, text
    std::vector<QColor> ColorInitials;
    std::vector<QString> ExecutedTitles;

    QString OpenFile(QWidget*, const slideshelf::TFileDialogOptions& options) override;
    QStringList OpenFiles(QWidget*, const slideshelf::TFileDialogOptions& options) override;
    QString SaveFile(QWidget*, const slideshelf::TFileDialogOptions& options) override;
    QString SaveFile(QWidget* parent, const slideshelf::TFileDialogOptions& options, QString& filter) override;
    void ShowError(QWidget*, const QString& caption, const QString& text) override;
    bool Confirm(QWidget*, const QString& caption, const QString& text) override;
    // Recorded as "caption|text" in Questions.
    bool AskYesNo(QWidget*, const QString& caption, const QString& text) override;
    void ShowInformation(QWidget*, const QString& caption, const QString& text) override;
    std::optional<QColor> ChooseColor(QWidget*, const QColor& initial) override;
    int Execute(QDialog& dialog) override;

    // The last error text, or "".
    QString LastError() const { return Errors.empty() ? QString() : Errors.back().second; }
};

// A bitmap file in memory: width x height indices (top row first) and a table.
testbmp::BmpSpec Bitmap(int width, int height, std::vector<testbmp::Rgb> table, std::vector<uint8_t> pixels,
                        bool topDown = false);
// Pseudo-random picture with `colours` table entries.
testbmp::BmpSpec RandomBitmap(int width, int height, int colours, unsigned seed);

// A file name as the file layer takes it.
inline std::string LocalName(const QString& name) { return slideshelf::LocalFileName(name); }

// The running program: main window shown offscreen, rename dialog made.
class TEditor {
public:
    TEditor();
    ~TEditor();

    slideshelf::TfrmMain& Main() { return *program_->frmMain; }
    slideshelf::TfrmRename& Rename() { return *program_->frmRename; }
    slideshelf::TProgram& Program() { return *program_; }
    TScriptedDialogs Dialogs;

    // Files in a folder of the test's own.
    QString Path(const QString& name) const;
    QString WriteBitmap(const QString& name, const testbmp::BmpSpec& bitmap);
    QString WriteBytes(const QString& name, const std::vector<uint8_t>& bytes);
    std::vector<uint8_t> ReadBytes(const QString& path) const;

    // User actions.
    void Trigger(QAction* action);  // a menu item, as chosen from its menu
    void Click(QWidget* button);    // a tool or panel button
    void ClickSlide(int row);       // a click on a list entry
    void ChooseTransition(int index);  // through the keyboard of the list
    void TypeInto(QWidget* edit, const QString& text);  // replaces the text
    void Activate();                 // the main window becomes active again
    // Files dragged from a file manager and dropped on the main window (a
    // drop the window refuses goes no further).
    void Drop(const QStringList& files);
    // Open a bitmap file through the menu; true when no error was shown.
    bool OpenBitmap(const QString& file);
    // Open and add one bitmap.
    void AddBitmap(const QString& file);
    QString Panel(int i) { return Main().PanelText(i); }
    QStringList ListTexts();

private:
    QTemporaryDir dir_;
    std::unique_ptr<slideshelf::TProgram> program_;
};

}  // namespace sstest
