#include "Main.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>
#include <QFrame>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QScreen>
#include <QStatusBar>
#include <QToolButton>
#include <QUndoStack>
#include <QVBoxLayout>
#include <QWindow>
#include <cstdlib>

#include "About.h"
#include "Application.h"
#include "Controls.h"
#include "EditLibPal.h"
#include "Forms.h"
#include "Rename.h"
#include "qvx/intro/palette_file.h"
#include "toolkit/graphics.h"
#include "toolkit/names.h"
#include "toolkit/streams.h"
#include "toolkit/undo.h"

namespace slideshelf {

namespace {

constexpr int kStatusWidths[6] = {50, 50, 120, 110, 75, 50};

QIcon Glyph(const char* name) {
    return QIcon(QStringLiteral(":/slideshelf/icons/%1.png").arg(QLatin1String(name)));
}

QToolButton* MakeButton(QWidget* parent, const char* name, const char* glyph, const char* hint, int left, int top,
                        bool flat) {
    auto* b = new QToolButton(parent);
    b->setObjectName(QLatin1String(name));
    b->setIcon(Glyph(glyph));
    b->setIconSize(QSize(16, 16));
    b->setToolTip(QLatin1String(hint));
    b->setAutoRaise(flat);
    b->setGeometry(left, top, 25, 25);
    return b;
}

QAction* MakeAction(QMenu* menu, const char* name, const char* text) {
    QAction* a = menu->addAction(QLatin1String(text));
    a->setObjectName(QLatin1String(name));
    return a;
}

}  // namespace

// ---- Construction -------------------------------------------------------------------

TfrmMain::TfrmMain(IDialogs& dialogs, QWidget* parent)
    : QMainWindow(parent), dialogs_(dialogs) {
    EnsureResources();
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("QVX Intro Screens Library Editor"));
    setWindowIcon(Glyph("program"));
    setFont(FormFont());
    resize(506, 374);
    setAcceptDrops(true);

    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    setCentralWidget(central);

    BuildMenus();
    BuildEditMenu();
    BuildToolBar(central);
    BuildBody(central);
    BuildStatusBar();
    FormCreate();
    Wire();
}

TfrmMain::~TfrmMain() { FormDestroy(); }

void TfrmMain::BuildMenus() {
    QMenuBar* bar = menuBar();
    File1 = bar->addMenu(QStringLiteral("&File"));
    File1->setObjectName(QStringLiteral("File1"));
    mnuNewLib = MakeAction(File1, "mnuNewLib", "&New Library...");
    File1->addSeparator();
    mnuOpenLib = MakeAction(File1, "mnuOpenLib", "&Open Library...");
    mnuSaveLib = MakeAction(File1, "mnuSaveLib", "&Save Library");
    mnuSaveLibAs = MakeAction(File1, "mnuSaveLibAs", "Save Library &As...");
    File1->addSeparator();
    Exit1 = MakeAction(File1, "Exit1", "E&xit");

    Library1 = bar->addMenu(QStringLiteral("&Library"));
    Library1->setObjectName(QStringLiteral("Library1"));
    ViewPalette1 = MakeAction(Library1, "ViewPalette1", "&Edit Palette...");
    BlackPalette1 = MakeAction(Library1, "BlackPalette1", "Black Palette");
    Library1->addSeparator();
    mnuAddImage = MakeAction(Library1, "mnuAddImage", "&Add Image");
    mnuAddImage->setEnabled(false);
    mnuRemoveImage = MakeAction(Library1, "mnuRemoveImage", "&Remove Image");
    mnuRemoveImage->setEnabled(false);
    Library1->addSeparator();
    mnuImportPal = MakeAction(Library1, "mnuImportPal", "&Import Palette...");
    mnuExportPal = MakeAction(Library1, "mnuExportPal", "E&xport Palette...");
    Library1->addSeparator();
    mnuPlayIntro = MakeAction(Library1, "mnuPlayIntro", "&Play Intro");
    mnuPlayIntro->setShortcut(Qt::Key_F5);
    mnuPreviewTransition = MakeAction(Library1, "mnuPreviewTransition", "Pre&view Transition");

    Bitmap1 = bar->addMenu(QStringLiteral("&Bitmap"));
    Bitmap1->setObjectName(QStringLiteral("Bitmap1"));
    mnuOpenBitmap = MakeAction(Bitmap1, "mnuOpenBitmap", "&Open...");
    BatchAdd1 = MakeAction(Bitmap1, "BatchAdd1", "&Batch Add...");
    Bitmap1->addSeparator();
    mnuEditBmpPal = MakeAction(Bitmap1, "mnuEditBmpPal", "&Edit Palette...");
    mnuEditBmpPal->setEnabled(false);

    Options1 = bar->addMenu(QStringLiteral("&Options"));
    Options1->setObjectName(QStringLiteral("Options1"));
    mnuStretch = MakeAction(Options1, "mnuStretch", "&Stretch Image");
    mnuStretch->setCheckable(true);
    mnuStretch->setChecked(true);

    Help1 = bar->addMenu(QStringLiteral("&Help"));
    Help1->setObjectName(QStringLiteral("Help1"));
    mnuAbout = MakeAction(Help1, "mnuAbout", "&About...");

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    Remove1 = MakeAction(PopupMenu1, "Remove1", "R&ename...");
    PopupMenu1->addSeparator();
    Remove2 = MakeAction(PopupMenu1, "Remove2", "&Remove");

    RebuildRecentMenu();
}

void TfrmMain::BuildToolBar(QWidget* central) {
    auto* column = static_cast<QVBoxLayout*>(central->layout());
    auto line = [&](const char* name) {
        auto* f = new QFrame(central);
        f->setObjectName(QLatin1String(name));
        f->setFrameStyle(QFrame::HLine | QFrame::Sunken);
        f->setFixedHeight(2);
        column->addWidget(f);
        return f;
    };
    Bevel1 = line("Bevel1");

    Panel1 = new QWidget(central);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFixedHeight(28);
    column->addWidget(Panel1);

    SpeedButton1 = MakeButton(Panel1, "SpeedButton1", "new", "New Image Library", 3, 1, true);
    sbOpenLib = MakeButton(Panel1, "sbOpenLib", "open", "Open Image Library", 28, 1, true);
    sbSaveLib = MakeButton(Panel1, "sbSaveLib", "save", "Save Image Library", 53, 1, true);
    sbEditPal = MakeButton(Panel1, "sbEditPal", "palette", "Edit Image Library Palette", 78, 1, true);
    Bevel3 = new QFrame(Panel1);
    Bevel3->setObjectName(QStringLiteral("Bevel3"));
    Bevel3->setFrameStyle(QFrame::VLine | QFrame::Sunken);
    Bevel3->setGeometry(109, 2, 2, 24);
    sbOpenBitmap = MakeButton(Panel1, "sbOpenBitmap", "openbitmap", "Open Bitmap Image", 115, 1, true);
    sbBmpPal = MakeButton(Panel1, "sbBmpPal", "bitmappalette", "Edit Bitmap Palette", 140, 1, true);
    sbBmpPal->setEnabled(false);

    ComboBox1 = new QComboBox(Panel1);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setToolTip(QStringLiteral("Transition Effect"));
    for (const char* name : qvx::TransitionNames) ComboBox1->addItem(QLatin1String(name));
    ComboBox1->setMaxVisibleItems(12);
    ComboBox1->setGeometry(170, 3, 145, 22);

    SpeedSpin = new TSpinEdit(Panel1);
    SpeedSpin->setObjectName(QStringLiteral("SpeedSpin"));
    SpeedSpin->setToolTip(QStringLiteral("Set Transition Speed"));
    SpeedSpin->SetRange(1, 100);
    SpeedSpin->SetValue(5);
    SpeedSpin->setGeometry(321, 3, 45, 22);

    HoldSpin = new TSpinEdit(Panel1);
    HoldSpin->setObjectName(QStringLiteral("HoldSpin"));
    HoldSpin->setToolTip(QStringLiteral("Set Time To Hold Slide"));
    HoldSpin->SetRange(0, 100);
    HoldSpin->SetValue(0);
    HoldSpin->setGeometry(371, 3, 43, 22);
    tk::LeaveUndoKeysToWindow(SpeedSpin);
    tk::LeaveUndoKeysToWindow(HoldSpin);

    Bevel2 = line("Bevel2");
}

void TfrmMain::BuildBody(QWidget* central) {
    auto* body = new QWidget(central);
    body->setObjectName(QStringLiteral("Body"));
    auto* row = new QHBoxLayout(body);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    static_cast<QVBoxLayout*>(central->layout())->addWidget(body, 1);

    Panel2 = new QWidget(body);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setFixedWidth(123);
    auto* left = new QVBoxLayout(Panel2);
    left->setContentsMargins(0, 0, 0, 0);
    left->setSpacing(0);
    row->addWidget(Panel2);

    Panel3 = new QLabel(QStringLiteral("Images"), Panel2);
    Panel3->setObjectName(QStringLiteral("Panel3"));
    Panel3->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel3->setAlignment(Qt::AlignCenter);
    Panel3->setFixedHeight(19);
    left->addWidget(Panel3);

    Images = new TListBox(Panel2);
    Images->setObjectName(QStringLiteral("Images"));
    Images->SetItemHeight(13);
    Images->setContextMenuPolicy(Qt::CustomContextMenu);
    left->addWidget(Images, 1);

    Panel4 = new QWidget(Panel2);
    Panel4->setObjectName(QStringLiteral("Panel4"));
    Panel4->setFixedHeight(76);
    left->addWidget(Panel4);
    BtnAddImage = MakeButton(Panel4, "BtnAddImage", "add", "Add Current Image To Library", 14, 12, false);
    BtnAddImage->setEnabled(false);
    BtnRemoveImage =
        MakeButton(Panel4, "BtnRemoveImage", "remove", "Remove Current Image From Library", 45, 12, false);
    BtnRemoveImage->setEnabled(false);
    SpeedButton2 = MakeButton(Panel4, "SpeedButton2", "update", "Update Transition Properties", 76, 11, false);
    BtnMoveImageDown = MakeButton(Panel4, "BtnMoveImageDown", "down", "Move Current Slide Down One", 29, 39, false);
    BtnMoveImageUp = MakeButton(Panel4, "BtnMoveImageUp", "up", "Move Current Slide Up One", 60, 39, false);
    ProgressBar1 = new QProgressBar(Panel4);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setGeometry(0, 76 - 9, 123, 9);

    Panel5 = new QFrame(body);
    Panel5->setObjectName(QStringLiteral("Panel5"));
    Panel5->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    auto* pic = new QVBoxLayout(Panel5);
    const int fw = Panel5->frameWidth();
    pic->setContentsMargins(fw, fw, fw, fw);
    PaintBox1 = new TPaintBox(Panel5);
    PaintBox1->setObjectName(QStringLiteral("PaintBox1"));
    pic->addWidget(PaintBox1);
    row->addWidget(Panel5, 1);
}

void TfrmMain::BuildStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar1"));
    // No grip: its room goes to the last panel (the window frame resizes).
    bar->setSizeGripEnabled(false);
    // The panels sit side by side with narrow gaps, in a row of their own.
    auto* row = new QWidget(bar);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    for (int i = 0; i < 6; ++i) {
        auto* panel = new QLabel(row);
        panel->setObjectName(QStringLiteral("Panel%1").arg(i));
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->setTextFormat(Qt::PlainText);
        if (i < 5) {
            panel->setFixedWidth(kStatusWidths[i]);
            layout->addWidget(panel);
        } else {
            // The last panel takes the rest of the bar, so its text is not cut.
            panel->setMinimumWidth(kStatusWidths[i]);
            layout->addWidget(panel, 1);
        }
        StatusPanels.push_back(panel);
    }
    bar->addWidget(row, 1);
}

void TfrmMain::Wire() {
    auto on = [this](QAction* a, void (TfrmMain::*handler)()) {
        connect(a, &QAction::triggered, this, Guarded([this, handler] { (this->*handler)(); }));
    };
    auto onButton = [this](QToolButton* b, void (TfrmMain::*handler)()) {
        connect(b, &QToolButton::clicked, this, Guarded([this, handler] { (this->*handler)(); }));
    };
    on(mnuNewLib, &TfrmMain::mnuNewLibClick);
    on(mnuOpenLib, &TfrmMain::mnuOpenLibClick);
    on(mnuSaveLib, &TfrmMain::mnuSaveLibClick);
    on(mnuSaveLibAs, &TfrmMain::mnuSaveLibAsClick);
    on(Exit1, &TfrmMain::Exit1Click);
    on(ViewPalette1, &TfrmMain::ViewPalette1Click);
    on(BlackPalette1, &TfrmMain::BlackPalette1Click);
    on(mnuAddImage, &TfrmMain::mnuAddImageClick);
    on(mnuRemoveImage, &TfrmMain::btnRemoveImageClick);
    on(mnuOpenBitmap, &TfrmMain::mnuOpenBitmapClick);
    on(BatchAdd1, &TfrmMain::BatchAdd1Click);
    on(mnuEditBmpPal, &TfrmMain::mnuEditBmpPalClick);
    on(mnuStretch, &TfrmMain::mnuStretchClick);
    on(mnuAbout, &TfrmMain::mnuAboutClick);
    on(Remove1, &TfrmMain::Remove1Click);
    on(Remove2, &TfrmMain::btnRemoveImageClick);
    on(mnuImportPal, &TfrmMain::mnuImportPalClick);
    on(mnuExportPal, &TfrmMain::mnuExportPalClick);
    on(mnuPlayIntro, &TfrmMain::mnuPlayIntroClick);
    on(mnuPreviewTransition, &TfrmMain::mnuPreviewTransitionClick);

    onButton(SpeedButton1, &TfrmMain::mnuNewLibClick);
    onButton(sbOpenLib, &TfrmMain::mnuOpenLibClick);
    onButton(sbSaveLib, &TfrmMain::mnuSaveLibClick);
    onButton(sbEditPal, &TfrmMain::ViewPalette1Click);
    onButton(sbOpenBitmap, &TfrmMain::mnuOpenBitmapClick);
    onButton(sbBmpPal, &TfrmMain::mnuEditBmpPalClick);
    onButton(BtnAddImage, &TfrmMain::mnuAddImageClick);
    onButton(BtnRemoveImage, &TfrmMain::btnRemoveImageClick);
    onButton(SpeedButton2, &TfrmMain::SpeedButton2Click);
    onButton(BtnMoveImageDown, &TfrmMain::BtnMoveImageDownClick);
    onButton(BtnMoveImageUp, &TfrmMain::BtnMoveImageUpClick);

    // The user's choice only: setting the item from code runs nothing.
    connect(ComboBox1, &QComboBox::activated, this, Guarded([this] { ComboBox1Change(); }));
    connect(SpeedSpin, &QLineEdit::textChanged, this, Guarded([this] { SpeedSpinChange(); }));
    connect(HoldSpin, &QLineEdit::textChanged, this, Guarded([this] { HoldSpinChange(); }));
    connect(Images, &TListBox::Click, this, Guarded([this] { ImagesClick(); }));
    connect(Images, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { PopupMenu1->popup(Images->viewport()->mapToGlobal(pos)); });
    PaintBox1->OnPaint = [this](tk::TCanvas& c) { PaintBox1Paint(c); };
}

// ---- Lifecycle ----------------------------------------------------------------------

void TfrmMain::FormCreate() {
    bitmapInfo_.reset();
    pixels_ = tk::TBytes();
    bitmapInfoSize_ = 0;
    pixelSize_ = 0;
    transIndex_ = 0;
    transEnabled_ = false;
    display_ = tk::TBitmap();
    curSpeed_ = 5;
    curTransition_ = 0;
    curHold_ = 0;
    ResetLibrary();
}

void TfrmMain::FormDestroy() {
    DiscardBitmap();
    display_ = tk::TBitmap();
    library_.ResetLibrary();
}

void TfrmMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (placed_) return;
    placed_ = true;
    // 506 x 374 outside, frame included, in the middle of the screen.
    QMargins frame = windowHandle() ? windowHandle()->frameMargins() : QMargins();
    resize(506 - frame.left() - frame.right(), 374 - frame.top() - frame.bottom());
    if (QScreen* s = screen()) {
        const QRect area = s->availableGeometry();
        move(area.left() + (area.width() - 506) / 2, area.top() + (area.height() - 374) / 2);
    }
}

void TfrmMain::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) RunGuarded([this] { FormActivate(); });
}

void TfrmMain::FormActivate() {
    // Only the list's text: the current transition keeps its value.
    ComboBox1->setCurrentIndex(0);
}

// ---- Status bar and picture ---------------------------------------------------------

QString TfrmMain::PanelText(int panel) const { return StatusPanels.at(static_cast<size_t>(panel))->text(); }

void TfrmMain::SetPanel(int panel, const QString& text) { StatusPanels.at(static_cast<size_t>(panel))->setText(text); }

void TfrmMain::ClearPanels() {
    for (int i = 0; i < 5; ++i) SetPanel(i, QString());
}

void TfrmMain::RepaintPicture() { PaintBox1->repaint(); }

void TfrmMain::PaintBox1Paint(tk::TCanvas& canvas) {
    const tk::TRect all = tk::Rect(0, 0, PaintBox1->width(), PaintBox1->height());
    if (!batchMode_) {
        canvas.Brush.Color = tk::clBlack;
        canvas.Brush.Style = tk::TBrushStyle::bsDiagCross;
        canvas.FillRect(all);
    }
    if (display_.Empty()) return;
    if (mnuStretch->isChecked())
        canvas.StretchDraw(all, display_);
    else
        canvas.Draw(0, 0, display_);
}

void TfrmMain::mnuStretchClick() {
    // The action flips its own check mark when chosen.
    RepaintPicture();
}

void TfrmMain::EnableBitmapCommands(bool add, bool palette) {
    BtnAddImage->setEnabled(add);
    mnuAddImage->setEnabled(add);
    mnuEditBmpPal->setEnabled(palette);
    sbBmpPal->setEnabled(palette);
}

// ---- Library ------------------------------------------------------------------------

void TfrmMain::ResetLibrary() {
    library_.ResetLibrary();
    StartHistory();
    Images->clear();
    ClearPanels();
    mnuEditBmpPal->setEnabled(false);
    sbBmpPal->setEnabled(false);
}

void TfrmMain::FreeSlide(int index) { library_.FreeSlide(index); }

void TfrmMain::FillListFromLibrary() {
    Images->clear();
    for (int i = 0; i < library_.SlideCount(); ++i) {
        const qvx::TIntroSlide* s = library_.Slide(i);
        const std::string name = s ? s->NameText() : std::string();
        Images->addItem(tk::NameToText(name));
    }
}

void TfrmMain::LibraryOpened() {
    StartHistory();
    Images->clear();
    ClearPanels();
    mnuEditBmpPal->setEnabled(false);
    sbBmpPal->setEnabled(false);
    FillListFromLibrary();
    // No slide is selected any more: a slide that was shown goes (a
    // loaded bitmap stays, as after New), and nothing is left to remove.
    BtnRemoveImage->setEnabled(false);
    mnuRemoveImage->setEnabled(false);
    if (!HasBitmap()) {
        display_ = tk::TBitmap();
        RepaintPicture();
    }
}

void TfrmMain::OpenLibrary() {
    if (!QuerySaveChanges()) return;
    const QString file = dialogs_.OpenFile(this, LibraryOpenDialog());
    if (file.isEmpty()) return;
    LoadLibraryFile(file);
}

void TfrmMain::OpenLibraryFile(const QString& fileName) {
    if (!QuerySaveChanges()) return;
    LoadLibraryFile(fileName);
}

void TfrmMain::LoadLibraryFile(const QString& fileName) {
    // The library is emptied before the file is read, so the window follows
    // it also when reading fails.
    qvx::TLoadResult result = qvx::TLoadResult::Loaded;
    try {
        result = library_.LoadFromFile(LocalFileName(fileName));
    } catch (...) {
        LibraryOpened();
        throw;
    }
    LibraryOpened();
    if (result == qvx::TLoadResult::InvalidMagic) {
        dialogs_.ShowError(this, QStringLiteral("Error"), QString::fromLatin1(qvx::SInvalidLibrary));
        return;
    }
    Remember(library_.FileName());
}

// ---- Recent files and drops ---------------------------------------------------------

QStringList TfrmMain::RecentFiles() const { return recent_.Files(); }

void TfrmMain::Remember(const std::string& fileName) {
    if (fileName.empty()) return;
    recent_.Add(QFile::decodeName(QByteArray::fromStdString(fileName)));
    RebuildRecentMenu();
}

void TfrmMain::RebuildRecentMenu() {
    // Entries may be rebuilt from inside one of their own handlers.
    for (QAction* a : recentMenu_) {
        File1->removeAction(a);
        a->deleteLater();
    }
    recentMenu_ = recent_.MakeActions(this, [this](const QString& file) { RunGuarded([&] { OpenRecentFile(file); }); });
    File1->addActions(recentMenu_);
}

void TfrmMain::OpenRecentFile(const QString& fileName) {
    if (!QFileInfo::exists(fileName)) {
        recent_.Remove(fileName);
        RebuildRecentMenu();
        dialogs_.ShowInformation(this, QStringLiteral("Information"),
                           QStringLiteral("%1 no longer exists; it has been removed from the recent files.")
                               .arg(QDir::toNativeSeparators(fileName)));
        return;
    }
    OpenLibraryFile(fileName);
}

namespace {

// The first intro library among dropped files, or "".
QString DroppedLibrary(const QMimeData* mime) {
    if (!mime || !mime->hasUrls()) return QString();
    for (const QUrl& url : mime->urls())
        if (url.isLocalFile() && url.toLocalFile().endsWith(QStringLiteral(".crl"), Qt::CaseInsensitive))
            return url.toLocalFile();
    return QString();
}

}  // namespace

void TfrmMain::dragEnterEvent(QDragEnterEvent* event) {
    if (!DroppedLibrary(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void TfrmMain::dropEvent(QDropEvent* event) {
    const QString file = DroppedLibrary(event->mimeData());
    if (file.isEmpty()) return;
    event->acceptProposedAction();
    RunGuarded([this, file] { OpenLibraryFile(file); });
}

bool TfrmMain::WriteLibrary() {
    // A library without a name asks for one first; cancelled, nothing is written.
    if (library_.FileName().empty()) {
        const QString name = dialogs_.SaveFile(this, LibrarySaveDialog());
        if (name.isEmpty()) return false;
        library_.SetFileName(LocalFileName(name));
    }
    library_.SaveToFile(library_.FileName());
    return true;
}

bool TfrmMain::SaveLibrary() {
    if (!WriteLibrary()) return false;
    MarkSaved();
    Remember(library_.FileName());
    return true;
}

void TfrmMain::mnuNewLibClick() {
    if (!QuerySaveChanges()) return;
    ResetLibrary();
    Images->clear();
    display_ = tk::TBitmap();
    RepaintPicture();
}

void TfrmMain::mnuOpenLibClick() { OpenLibrary(); }

void TfrmMain::mnuSaveLibClick() { SaveLibrary(); }

void TfrmMain::mnuSaveLibAsClick() {
    // The dialog always runs; cancelling it keeps the name the library had.
    const std::string previous = library_.FileName();
    library_.SetFileName(std::string());
    bool saved = false;
    try {
        saved = WriteLibrary();
    } catch (...) {
        if (library_.FileName().empty()) library_.SetFileName(previous);
        throw;
    }
    if (!saved) {
        library_.SetFileName(previous);
        return;
    }
    MarkSaved();
    Remember(library_.FileName());
}

void TfrmMain::Exit1Click() {
    // Closing asks about unsaved changes first, and may be refused.
    if (close()) QCoreApplication::quit();
}

void TfrmMain::mnuAboutClick() {
    TAboutBox box(this);
    dialogs_.Execute(box);
}

}  // namespace slideshelf
