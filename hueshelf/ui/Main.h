// Main window of the hi-colour library editor: the library being edited,
// its list of names, the selected picture and the file commands.
#pragma once

#include <QMainWindow>
#include <memory>
#include <string>
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
    bool Modified = false;    // unsaved changes exist

    // Replaces the list's entries by the names of the library's items.
    void RebuildList();
    // Adds a picture file as a new image, as Bitmap > Load does with the
    // file chosen in its dialog.
    void AddPictureFile(const std::string& fileName);
    // Loads a library file as File > Load does with that file chosen.
    void LoadLibraryFile(const std::string& fileName);
    // Opens a library dropped on the window or chosen from the recent
    // files: asks about unsaved changes first, as closing would.
    void OpenLibraryFile(const std::string& fileName);
    // "Hueshelf FILE.HCL": `arguments` without the program's own name.
    void OpenCommandLine(const QStringList& arguments);
    // The recent library files as the File menu lists them, newest first.
    QStringList RecentFiles() const;
    void OpenRecentFile(const QString& fileName);
    QList<QAction*> RecentActions() const { return recentMenu_.mid(1); }

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
    void CreateControls();
    void CreateComponents();
    // Save1Click's steps; false when the save dialog was cancelled.
    bool SaveLibrary();
    // The close question: true when the caller may go on (saved, or "&No").
    bool QuerySaveChanges();
    void Remember(const std::string& fileName);  // into the recent files
    void RebuildRecentMenu();
    void SaveLibraryAs(const std::string& fileName);
    // Exchanges the names and pictures of library items a and b.
    void ExchangeItems(int a, int b);
    void ShowItem(int index);

    std::unique_ptr<tk::TComponent> components_;  // owns QVXHiColorImagelib1
    bool placed_ = false;
    tk::TRecentFiles recent_{QStringLiteral("hueshelf")};
    QList<QAction*> recentMenu_;  // the separator, then one entry a file
};
