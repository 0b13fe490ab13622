// Main window of the intro screens library editor: the slide list on the
// left, the current picture on the right, the tool bar with the transition,
// speed and hold controls, and every menu and button command.
#pragma once

#include <QMainWindow>
#include <cstdint>
#include <memory>
#include <vector>

#include "Dialogs.h"
#include "bmputil/bmputil.h"
#include "qvx/intro/intro_library.h"
#include "toolkit/picture.h"
#include "toolkit/recentfiles.h"

class QAction;
class QComboBox;
class QFrame;
class QLabel;
class QMenu;
class QProgressBar;
class QToolButton;
class QUndoCommand;
class QUndoStack;

namespace slideshelf {

class TfrmRename;
class TListBox;
class TPaintBox;
class TSpinEdit;

class TfrmMain : public QMainWindow {
    Q_OBJECT
public:
    explicit TfrmMain(IDialogs& dialogs, QWidget* parent = nullptr);
    ~TfrmMain() override;

    // The rename dialog lives for the whole run; program start makes it
    // after the main window.
    void SetRenameDialog(TfrmRename* dialog) { frmRename_ = dialog; }

    // The library: header with the palette, file name, slides (list order).
    qvx::TIntroLibrary& Library() { return library_; }

    // Current bitmap: the 8-bit picture loaded last, until discarded.
    bool HasBitmap() const { return bitmapInfo_ != nullptr; }
    const bmputil::TBitmapInfo* BitmapInfo() const { return bitmapInfo_.get(); }
    const tk::TBytes& BitmapPixels() const { return pixels_; }
    uint8_t TransparentIndex() const { return transIndex_; }
    bool TransparentEnabled() const { return transEnabled_; }
    bool BatchMode() const { return batchMode_; }
    // What the next added slide gets.
    uint8_t CurrentTransition() const { return curTransition_; }
    int32_t CurrentSpeed() const { return curSpeed_; }
    int32_t CurrentHold() const { return curHold_; }
    // What the picture area shows.
    const tk::TBitmap& DisplayPicture() const { return display_; }

    QString PanelText(int panel) const;

    // ---- Controls ----
    QFrame* Bevel1;
    QFrame* Bevel2;
    QWidget* Panel1;
    QToolButton* SpeedButton1;
    QToolButton* sbOpenLib;
    QToolButton* sbSaveLib;
    QToolButton* sbEditPal;
    QFrame* Bevel3;
    QToolButton* sbOpenBitmap;
    QToolButton* sbBmpPal;
    QComboBox* ComboBox1;
    TSpinEdit* SpeedSpin;
    TSpinEdit* HoldSpin;
    QWidget* Panel2;
    QLabel* Panel3;  // the "Images" caption bar
    TListBox* Images;
    QWidget* Panel4;  // the button panel
    QToolButton* BtnAddImage;
    QToolButton* BtnRemoveImage;
    QToolButton* SpeedButton2;
    QToolButton* BtnMoveImageDown;
    QToolButton* BtnMoveImageUp;
    QProgressBar* ProgressBar1;
    QFrame* Panel5;  // the sunken picture panel
    TPaintBox* PaintBox1;
    std::vector<QLabel*> StatusPanels;

    // ---- Menus ----
    QMenu* File1;
    QAction* mnuNewLib;
    QAction* mnuOpenLib;
    QAction* mnuSaveLib;
    QAction* mnuSaveLibAs;
    QAction* Exit1;
    QMenu* Edit1;  // "&Edit", after "&File"
    QAction* mnuUndo;
    QAction* mnuRedo;
    QMenu* Library1;
    QAction* ViewPalette1;
    QAction* BlackPalette1;
    QAction* mnuAddImage;
    QAction* mnuRemoveImage;
    QAction* mnuImportPal;  // below a separator, after the items above
    QAction* mnuExportPal;
    QAction* mnuPlayIntro;          // below a separator: the intro played (intro_player_window.cpp)
    QAction* mnuPreviewTransition;
    QMenu* Bitmap1;
    QAction* mnuOpenBitmap;
    QAction* BatchAdd1;
    QAction* mnuEditBmpPal;
    QMenu* Options1;
    QAction* mnuStretch;
    QMenu* Help1;
    QAction* mnuAbout;
    QMenu* PopupMenu1;
    QAction* Remove1;
    QAction* Remove2;

    // ---- Handlers ----
    void FormActivate();
    void mnuNewLibClick();
    void mnuOpenLibClick();
    void mnuSaveLibClick();
    void mnuSaveLibAsClick();
    void Exit1Click();
    void ImagesClick();
    void btnRemoveImageClick();
    void BtnMoveImageUpClick();
    void BtnMoveImageDownClick();
    void Remove1Click();
    void SpeedButton2Click();
    void ComboBox1Change();
    void SpeedSpinChange();
    void HoldSpinChange();
    void PaintBox1Paint(tk::TCanvas& canvas);
    void mnuStretchClick();
    void mnuAboutClick();
    void mnuOpenBitmapClick();
    void mnuAddImageClick();
    void BatchAdd1Click();
    void ViewPalette1Click();
    void mnuEditBmpPalClick();
    void BlackPalette1Click();
    void mnuImportPalClick();
    void mnuExportPalClick();
    void mnuPlayIntroClick();
    void mnuPreviewTransitionClick();

    // Opens a library file as "&Open Library..." does with that file chosen
    // (from the command line, a drop or the recent files), after the same
    // question about unsaved changes.
    void OpenLibraryFile(const QString& fileName);
    // The recent library files as the File menu lists them, newest first.
    QStringList RecentFiles() const;
    void OpenRecentFile(const QString& fileName);
    QList<QAction*> RecentActions() const { return recentMenu_.mid(1); }

    // ---- Undo and unsaved changes ----
    // The library's changes, one step per command; its clean state is the
    // library as last opened or saved.
    QUndoStack* UndoStack;
    // The library differs from what was last opened or saved: at the
    // stack's clean state it does not; elsewhere it is compared with a
    // print of the file's contents taken at the last open or save (steps
    // that cancel each other leave it unmodified).
    bool Modified() const;
    // After an undo or redo: an entry (>= 0) selected and shown as a click
    // shows it, kShowNoEntry or kShowPalette (undo_commands.h).
    void ShowAfterStep(int show);

    // ---- Internal operations ----
    void ResetLibrary();
    void FreeSlide(int index);
    // False when the save dialog was cancelled.
    bool SaveLibrary();
    void OpenLibrary();
    void DiscardBitmap();
    void ShowSlide(int index);
    void AddCurrentImage();

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void BuildMenus();
    void BuildEditMenu();
    void BuildToolBar(QWidget* central);
    void BuildBody(QWidget* central);
    void BuildStatusBar();
    void Wire();
    void FormCreate();
    void FormDestroy();
    void SetPanel(int panel, const QString& text);
    void ClearPanels();                  // panels 0 to 4
    void ReadBitmap(const QString& file);  // ReadBitmapFile and AssignDIB
    void FillListFromLibrary();
    void EnableBitmapCommands(bool add, bool palette);
    void RepaintPicture();
    void LibraryOpened();  // the window follows a library that was just read
    void LoadLibraryFile(const QString& fileName);  // no question asked
    bool WriteLibrary();  // to its file, asking for a name when it has none; false when cancelled
    // The library palette becomes `palette`, as one step named `step`
    // (none when nothing changes).
    void SetPalette(const qvx::TLibPalette& palette, const QString& step);
    // The unsaved-changes question, asked before the library is closed or
    // replaced: true when the caller may go on (nothing unsaved, saved, or
    // "&No"); false when the save dialog was cancelled. A failed save raises.
    bool QuerySaveChanges();
    // A new or just opened library: nothing to undo, nothing unsaved.
    void StartHistory();
    void Push(std::unique_ptr<QUndoCommand> step);
    // Keeps the library as it now is as the one last opened or saved.
    void MarkSaved();
    // What Save would write, in short: the header, each slide's record and
    // a hash of its pixels.
    std::vector<uint8_t> Print() const;
    void Remember(const std::string& fileName);  // into the recent files
    void RebuildRecentMenu();

    IDialogs& dialogs_;
    qvx::TIntroLibrary library_;
    std::vector<uint8_t> savedPrint_;  // Print() at the last open or save
    TfrmRename* frmRename_ = nullptr;

    std::unique_ptr<bmputil::TBitmapInfo> bitmapInfo_;
    uint32_t bitmapInfoSize_ = 0;
    tk::TBytes pixels_;
    QString bitmapFile_;  // the current bitmap's file; slides added from it are named after it
    uint32_t pixelSize_ = 0;
    uint8_t transIndex_ = 0;
    bool transEnabled_ = false;
    bool batchMode_ = false;
    uint8_t curTransition_ = 0;
    int32_t curSpeed_ = 5;
    int32_t curHold_ = 0;
    tk::TBitmap display_;
    bool placed_ = false;
    tk::TRecentFiles recent_{QStringLiteral("slideshelf")};
    QList<QAction*> recentMenu_;  // the separator, then one entry a file
};

}  // namespace slideshelf
