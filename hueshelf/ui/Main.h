// Main window of the hi-colour library editor: the library being edited,
// its list of names, the selected picture and the file commands.
#pragma once

#include <QMainWindow>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "Controls.h"
#include "Dialogs.h"
#include "qvx/hicolor/hicolor_library.h"
#include "toolkit/recentfiles.h"

class QAction;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QStatusBar;
class QToolButton;
class QUndoCommand;
class QUndoStack;

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // Controls, named as in the form.
    QMenu* File1 = nullptr;
    QAction* New1 = nullptr;
    QAction* Load1 = nullptr;
    QAction* Save1 = nullptr;
    QAction* SaveAs1 = nullptr;
    QAction* N1 = nullptr;  // separator
    QAction* Exit1 = nullptr;
    QMenu* Edit2 = nullptr;  // "&Edit", after "&File"
    QAction* Undo1 = nullptr;
    QAction* Redo1 = nullptr;
    QMenu* Bitmap1 = nullptr;
    QAction* Load2 = nullptr;
    std::vector<QIcon> ImageList1;  // menu glyphs: 0 save, 1 save as, 2 open, 3 new

    QFrame* Panel1 = nullptr;
    QToolButton* SpeedButton4 = nullptr;
    QToolButton* SpeedButton5 = nullptr;
    QToolButton* SpeedButton6 = nullptr;
    QToolButton* SpeedButton7 = nullptr;
    QFrame* Panel3 = nullptr;
    hueshelf::TListBox* ListBox1 = nullptr;
    QFrame* Panel4 = nullptr;
    QToolButton* SpeedButton2 = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    QToolButton* SpeedButton3 = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QFrame* Panel2 = nullptr;
    hueshelf::TImage* Image1 = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QLabel* StatusPanel0 = nullptr;
    QLabel* StatusPanel1 = nullptr;

    hueshelf::TFileDialog OpenDialog1;
    hueshelf::TFileDialog SaveDialog1;
    hueshelf::TFileDialog OpenPictureDialog1;

    // The library being edited (owned by the window's component side).
    qvx::TQVXHiColorImagelib* QVXHiColorImagelib1 = nullptr;

    std::string CurrentFile;  // the .HCL file last opened or saved; empty for a new library

    // The library's changes, one step per command; its clean state is the
    // library as last loaded or saved.
    QUndoStack* UndoStack = nullptr;
    // The library differs from what was last loaded or saved: at the
    // stack's clean state it does not; elsewhere its names and pictures are
    // compared with those kept at the last load or save (steps that cancel
    // each other, such as a move down and back up, leave it unmodified).
    bool Modified() const;

    // Replaces the list's entries by the names of the library's items.
    void RebuildList();
    // Adds picture files as new images, as Bitmap > Load does with a file
    // chosen in its dialog; one undo step for them all. A file that fails
    // stops there, and the images added before it stay.
    void AddPictureFiles(const std::vector<std::string>& fileNames);
    // Loads a library file as File > Load does with that file chosen
    // (after its question).
    void LoadLibraryFile(const std::string& fileName);
    // Opens a library from the command line, a drop or the recent files:
    // asks about unsaved changes first, as File > Load does.
    void OpenLibraryFile(const std::string& fileName);
    // "Hueshelf FILE.HCL": `arguments` without the program's own name.
    void OpenCommandLine(const QStringList& arguments);
    // The recent library files as the File menu lists them, newest first.
    QStringList RecentFiles() const;
    void OpenRecentFile(const QString& fileName);
    QList<QAction*> RecentActions() const { return recentMenu_.mid(1); }
    // After an undo or redo: the list rebuilt, entry `index` selected and
    // shown as a click shows it (nothing selected or shown for -1).
    void ShowAfterStep(int index);
    // Called before every change to the library: the first change after a
    // load or save first keeps the names and pictures Modified compares
    // with (taken then rather than at the load, which stays quick).
    void BeforeChange();

public slots:
    void FormCreate();
    // Asks about unsaved changes; CanClose false keeps the window open.
    void FormCloseQuery(bool& CanClose);
    void New1Click();
    void Load1Click();
    void Save1Click();
    void SaveAs1Click();
    void Exit1Click();
    void ListBox1Click();
    void Edit1Change();
    void Load2Click();
    void SpeedButton1Click();  // move up
    void SpeedButton2Click();  // move down
    void SpeedButton3Click();  // delete

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void CreateMenu();
    void CreateEditMenu();
    void CreateControls();
    void CreateComponents();
    // Save1Click's steps; false when the save dialog was cancelled.
    bool SaveLibrary();
    // The unsaved-changes question, asked before the library is closed or
    // replaced: true when the caller may go on (nothing unsaved, saved, or
    // "&No"); false when the save dialog was cancelled. A failed save raises.
    bool QuerySaveChanges();
    // A new library or one just loaded: nothing to undo, nothing unsaved.
    void StartHistory();
    void Push(std::unique_ptr<QUndoCommand> step);
    // Keeps the library as it now is as the one last loaded or saved.
    void MarkSaved();
    void AppendPicture(const std::string& fileName);
    void Remember(const std::string& fileName);  // into the recent files
    void RebuildRecentMenu();
    void SaveLibraryAs(const std::string& fileName);
    void ShowItem(int index);

    std::unique_ptr<tk::TComponent> components_;  // owns QVXHiColorImagelib1
    bool placed_ = false;
    tk::TRecentFiles recent_{QStringLiteral("hueshelf")};
    QList<QAction*> recentMenu_;  // the separator, then one entry a file
    // Keystrokes in the name edit merge into one step while they belong to
    // one session; selecting an entry, undo and redo start a new one.
    int typingSession_ = 0;
    // Each image's name and picture at the last load or save, once the
    // library has changed since; the pictures share their data with the
    // library's, so keeping them costs no copy.
    std::vector<std::pair<std::string, tk::TPicture>> saved_;
    // Pending: saved_ is still to be taken (nothing changed since). Unknown:
    // a change came before it was taken, so Modified follows the steps.
    enum class TSaved { Pending, Kept, Unknown } savedState_ = TSaved::Pending;
};
