#include "Main.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <QUndoStack>
#include <QUrl>
#include <QVBoxLayout>

#include "Application.h"
#include "toolkit/names.h"
#include "toolkit/propstream.h"
#include "toolkit/undo.h"
#include "undo_commands.h"

using hueshelf::TFileDialogKind;

// The glyphs live in the window library's resources, which a static
// library must register by hand.
static void InitGlyphResources() { Q_INIT_RESOURCE(hueshelf); }

namespace {

const char* const kCaption = "QVX HI-COLOR IMAGE LIBRARY EDITOR";
const char* const kSaveChanges = "You Have not saved the changes to the Image Library Save Changes ?";
constexpr int kLeft = 260, kTop = 168, kWidth = 696, kHeight = 480;

// Form data of the window's non-visual component: the library, empty, at
// its design position 208, 72 (which every saved library file carries).
const char kForm1Data[] =
    "TPF0"
    "\x06" "TForm1"
    "\x05" "Form1"
    "\x00"                                  // end of the form's properties
    "\x13" "TQVXHiColorImagelib"
    "\x13" "QVXHiColorImagelib1"
    "\x0e" "UseTransparent" "\x08"          // false
    "\x06" "Images" "\x0e" "\x00"           // empty collection
    "\x04" "Left" "\x03" "\xd0" "\x00"      // 208
    "\x03" "Top" "\x02" "\x48"              // 72
    "\x00"                                  // end of the library's properties
    "\x00"                                  // the library owns no components
    "\x00";                                 // end of the form's components

// Runs a command bound to a signal; what it raises goes to the
// application's exception handler and the command stops there.
template <class F>
void Guard(F&& command) {
    try {
        command();
    } catch (...) {
        hueshelf::THueshelfApplication::HandleException(std::current_exception());
    }
}

// 8-point "MS Sans Serif", or the nearest sans face where it is missing.
QFont FormFont() {
    QFont font;
    font.setFamilies({"MS Sans Serif", "Microsoft Sans Serif", "Liberation Sans", "Arial", "DejaVu Sans"});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(8);
    return font;
}

QFrame* MakePanel(QWidget* parent) {
    auto* panel = new QFrame(parent);
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setLineWidth(1);
    return panel;
}

QToolButton* MakeSpeedButton(QWidget* parent, const char* glyph, int left, int top, int width, int height,
                             bool flat) {
    auto* button = new QToolButton(parent);
    button->setGeometry(left, top, width, height);
    button->setIcon(hueshelf::LoadGlyph(QString(":/hueshelf/glyphs/") + glyph + ".png"));
    button->setIconSize(QSize(16, 16));
    button->setAutoRaise(flat);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

QStringList LocalFiles(const QMimeData* mime) {
    QStringList files;
    if (!mime || !mime->hasUrls()) return files;
    for (const QUrl& url : mime->urls())
        if (url.isLocalFile()) files << url.toLocalFile();
    return files;
}

}  // namespace

TForm1::TForm1(QWidget* parent) : QMainWindow(parent) {
    setObjectName("Form1");
    setWindowTitle(kCaption);
    setFont(FormFont());
    move(kLeft, kTop);
    resize(kWidth, kHeight);
    setAcceptDrops(true);
    UndoStack = new QUndoStack(this);
    CreateComponents();
    CreateMenu();
    CreateEditMenu();
    CreateControls();
    FormCreate();
}

TForm1::~TForm1() = default;

void TForm1::CreateComponents() {
    qvx::RegisterHiColorClasses();
    components_ = std::make_unique<tk::TDataModule>(nullptr);
    tk::ReadComponentData(std::vector<uint8_t>(kForm1Data, kForm1Data + sizeof kForm1Data - 1), *components_);
    QVXHiColorImagelib1 =
        dynamic_cast<qvx::TQVXHiColorImagelib*>(components_->FindComponent("QVXHiColorImagelib1"));

    OpenDialog1.Kind = TFileDialogKind::Open;
    OpenDialog1.Filter = "QVX HI-COLOR LIB FILES|*.HCL|QVX|*.QVX";
    OpenDialog1.DefaultExt = "HCL";
    OpenDialog1.Options = hueshelf::ofHideReadOnly | hueshelf::ofFileMustExist | hueshelf::ofEnableSizing;

    SaveDialog1.Kind = TFileDialogKind::Save;
    SaveDialog1.Filter = "QVX HI-COLOR LIB FILES|*.HCL|QVX FILES|*.QVX";
    SaveDialog1.DefaultExt = "HCL";
    SaveDialog1.Options = hueshelf::ofOverwritePrompt | hueshelf::ofHideReadOnly | hueshelf::ofEnableSizing;

    OpenPictureDialog1.Kind = TFileDialogKind::Open;
    OpenPictureDialog1.Filter =
        "All (*.jpg;*.jpeg;*.bmp)|*.jpg;*.jpeg;*.bmp|JPEG Image File (*.jpg)|*.jpg|"
        "JPEG Image File (*.jpeg)|*.jpeg|Bitmaps (*.bmp)|*.bmp";
    OpenPictureDialog1.Options = hueshelf::ofHideReadOnly | hueshelf::ofFileMustExist | hueshelf::ofEnableSizing;
    OpenPictureDialog1.Preview = true;
}

void TForm1::CreateMenu() {
    InitGlyphResources();
    ImageList1 = hueshelf::LoadImageList(":/hueshelf/glyphs/menuimages.png");
    auto icon = [this](size_t index) { return index < ImageList1.size() ? ImageList1[index] : QIcon(); };
    auto bind = [this](QAction* action, void (TForm1::*handler)()) {
        connect(action, &QAction::triggered, this, [this, handler] { Guard([&] { (this->*handler)(); }); });
    };

    File1 = menuBar()->addMenu("&File");
    New1 = File1->addAction(icon(3), "&New....");
    Load1 = File1->addAction(icon(2), "&Load...");
    Save1 = File1->addAction(icon(0), "&Save...");
    SaveAs1 = File1->addAction(icon(1), "Save &As ...");
    N1 = File1->addSeparator();
    Exit1 = File1->addAction("E&xit");
    Bitmap1 = menuBar()->addMenu("&Bitmap");
    Load2 = Bitmap1->addAction(icon(2), "&Load...");

    bind(New1, &TForm1::New1Click);
    bind(Load1, &TForm1::Load1Click);
    bind(Save1, &TForm1::Save1Click);
    bind(SaveAs1, &TForm1::SaveAs1Click);
    bind(Exit1, &TForm1::Exit1Click);
    bind(Load2, &TForm1::Load2Click);
    RebuildRecentMenu();
}

void TForm1::CreateEditMenu() {
    Edit2 = new QMenu("&Edit", this);
    menuBar()->insertMenu(Bitmap1->menuAction(), Edit2);
    const tk::TUndoActions actions = tk::MakeUndoActions(*UndoStack, this);
    Undo1 = actions.Undo;
    Redo1 = actions.Redo;
    Edit2->addAction(Undo1);
    Edit2->addAction(Redo1);
}

void TForm1::CreateControls() {
    auto* client = new QWidget(this);
    setCentralWidget(client);
    auto* clientLayout = new QVBoxLayout(client);
    clientLayout->setContentsMargins(0, 0, 0, 0);
    clientLayout->setSpacing(0);

    // Tool bar.
    Panel1 = MakePanel(client);
    Panel1->setFixedHeight(41);
    SpeedButton4 = MakeSpeedButton(Panel1, "new", 8, 8, 23, 22, true);
    SpeedButton5 = MakeSpeedButton(Panel1, "open", 32, 8, 23, 22, true);
    SpeedButton6 = MakeSpeedButton(Panel1, "save", 56, 8, 23, 22, true);
    SpeedButton7 = MakeSpeedButton(Panel1, "addpicture", 128, 8, 25, 25, true);
    clientLayout->addWidget(Panel1);

    auto* body = new QWidget(client);
    auto* bodyLayout = new QHBoxLayout(body);
    bodyLayout->setContentsMargins(0, 0, 0, 0);
    bodyLayout->setSpacing(0);
    clientLayout->addWidget(body, 1);

    // List column: the names above the list editing panel.
    Panel3 = MakePanel(body);
    Panel3->setFixedWidth(169);
    auto* column = new QVBoxLayout(Panel3);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    ListBox1 = new hueshelf::TListBox(Panel3);
    ListBox1->SetItemHeight(13);
    column->addWidget(ListBox1, 1);
    Panel4 = MakePanel(Panel3);
    Panel4->setFixedHeight(64);
    SpeedButton2 = MakeSpeedButton(Panel4, "handdown", 56, 8, 23, 22, false);
    SpeedButton1 = MakeSpeedButton(Panel4, "handup", 80, 8, 23, 22, false);
    SpeedButton3 = MakeSpeedButton(Panel4, "eraser", 104, 8, 23, 22, false);
    Label1 = new QLabel("Image name", Panel4);
    Label1->move(8, 40);
    Label1->adjustSize();
    Edit1 = new QLineEdit(Panel4);
    Edit1->setGeometry(80, 40, 81, 21);
    Edit1->setAcceptDrops(false);  // dropped files go to the window
    tk::LeaveUndoKeysToWindow(Edit1);
    column->addWidget(Panel4);
    bodyLayout->addWidget(Panel3);

    // Picture area with the status bar below.
    Panel2 = MakePanel(body);
    auto* area = new QVBoxLayout(Panel2);
    area->setContentsMargins(0, 0, 0, 0);
    area->setSpacing(0);
    Image1 = new hueshelf::TImage(Panel2);
    Image1->Stretch = true;
    area->addWidget(Image1, 1);
    StatusBar1 = new QStatusBar(Panel2);
    StatusBar1->setFixedHeight(19);
    StatusPanel0 = new QLabel(StatusBar1);
    StatusPanel0->setFixedWidth(200);
    StatusPanel0->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    StatusPanel1 = new QLabel(StatusBar1);
    StatusPanel1->setFixedWidth(50);
    StatusPanel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    StatusBar1->addWidget(StatusPanel0);
    StatusBar1->addWidget(StatusPanel1);
    area->addWidget(StatusBar1);
    bodyLayout->addWidget(Panel2, 1);

    auto bind = [this](QToolButton* button, void (TForm1::*handler)()) {
        connect(button, &QToolButton::clicked, this, [this, handler] { Guard([&] { (this->*handler)(); }); });
    };
    bind(SpeedButton4, &TForm1::New1Click);
    bind(SpeedButton5, &TForm1::Load1Click);
    bind(SpeedButton6, &TForm1::Save1Click);
    bind(SpeedButton7, &TForm1::Load2Click);
    bind(SpeedButton1, &TForm1::SpeedButton1Click);
    bind(SpeedButton2, &TForm1::SpeedButton2Click);
    bind(SpeedButton3, &TForm1::SpeedButton3Click);
    connect(ListBox1, &hueshelf::TListBox::Click, this, [this] { Guard([this] { ListBox1Click(); }); });
    connect(Edit1, &QLineEdit::textChanged, this, [this] { Guard([this] { Edit1Change(); }); });
}

// ---- Window events --------------------------------------------------------------

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (placed_) return;
    placed_ = true;
    // The size given is the outer one: once the frame is known, take it
    // off the client area.
    QTimer::singleShot(0, this, [this] {
        const QSize frame = frameGeometry().size() - geometry().size();
        if (frame.width() > 0 || frame.height() > 0) {
            resize(kWidth - frame.width(), kHeight - frame.height());
            move(kLeft, kTop);
        }
    });
}

void TForm1::closeEvent(QCloseEvent* event) {
    // Refused until FormCloseQuery agrees, so a failure in it keeps the
    // window open (the failure itself goes to the application's handler).
    event->ignore();
    bool canClose = true;
    FormCloseQuery(canClose);
    if (canClose) event->accept();
}

void TForm1::dragEnterEvent(QDragEnterEvent* event) {
    if (!LocalFiles(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void TForm1::dragMoveEvent(QDragMoveEvent* event) {
    if (!LocalFiles(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* event) {
    const QStringList files = LocalFiles(event->mimeData());
    if (files.isEmpty()) return;
    event->acceptProposedAction();
    Guard([&] {
        // A library among the files opens (the first of them); otherwise
        // the pictures are added in order, and one that fails stops the
        // drop with its message.
        for (const QString& file : files) {
            if (file.endsWith(".hcl", Qt::CaseInsensitive) || file.endsWith(".qvx", Qt::CaseInsensitive)) {
                OpenLibraryFile(file.toStdString());
                return;
            }
        }
        std::vector<std::string> pictures;
        for (const QString& file : files) pictures.push_back(file.toStdString());
        AddPictureFiles(pictures);
    });
}

// ---- Handlers -----------------------------------------------------------------------

void TForm1::FormCreate() {
    CurrentFile.clear();
    StartHistory();
}

bool TForm1::Modified() const {
    if (UndoStack->isClean()) return false;
    if (savedState_ != TSaved::Kept) return true;
    const qvx::TQVXCollection* images = QVXHiColorImagelib1->Images();
    if (static_cast<size_t>(images->Count()) != saved_.size()) return true;
    for (int i = 0; i < images->Count(); ++i) {
        const auto* item = images->Items(i);
        const auto& [name, picture] = saved_[static_cast<size_t>(i)];
        if (item->Name() != name || !item->Image().SameData(picture)) return true;
    }
    return false;
}

void TForm1::MarkSaved() {
    UndoStack->setClean();
    saved_.clear();
    savedState_ = TSaved::Pending;
}

void TForm1::BeforeChange() {
    if (savedState_ != TSaved::Pending) return;
    savedState_ = TSaved::Kept;
    const qvx::TQVXCollection* images = QVXHiColorImagelib1->Images();
    saved_.reserve(static_cast<size_t>(images->Count()));
    for (int i = 0; i < images->Count(); ++i) saved_.emplace_back(images->Items(i)->Name(), images->Items(i)->Image());
}

void TForm1::StartHistory() {
    UndoStack->clear();
    MarkSaved();
    ++typingSession_;
}

void TForm1::Push(std::unique_ptr<QUndoCommand> step) {
    // A change made without BeforeChange leaves nothing to compare with:
    // Modified then follows the steps alone.
    if (savedState_ == TSaved::Pending) savedState_ = TSaved::Unknown;
    UndoStack->push(step.release());
}

void TForm1::FormCloseQuery(bool& CanClose) {
    // The user asked to keep the library: if the save dialog is cancelled
    // (or the save raises), the window stays open.
    CanClose = false;
    CanClose = QuerySaveChanges();
}

bool TForm1::QuerySaveChanges() {
    if (!Modified()) return true;
    if (hueshelf::Dialogs().AskYesNo(this, "Information", kSaveChanges) == hueshelf::TMsgButton::Yes)
        return SaveLibrary();
    return true;
}

void TForm1::New1Click() {
    if (!QuerySaveChanges()) return;
    ListBox1->Clear();
    QVXHiColorImagelib1->Images()->Clear();
    Edit1->setText("");
    CurrentFile.clear();
    Image1->ClearPicture();
    StartHistory();
}

void TForm1::Load1Click() {
    if (!QuerySaveChanges()) return;
    if (!OpenDialog1.Execute(this)) return;
    LoadLibraryFile(OpenDialog1.FileName);
}

void TForm1::LoadLibraryFile(const std::string& fileName) {
    // Read into a fresh library that takes the current one's place only
    // once the file has loaded: a file that fails leaves the library, the
    // list, the current file and the undo steps as they were, so a later
    // Save cannot write a half-read library over the current file, and
    // unsaved changes stay marked as such.
    auto loaded = std::make_unique<qvx::TQVXHiColorImagelib>(nullptr);
    loaded->UseTransparent = QVXHiColorImagelib1->UseTransparent;
    loaded->Tag = QVXHiColorImagelib1->Tag;
    loaded->DesignLeft = QVXHiColorImagelib1->DesignLeft;
    loaded->DesignTop = QVXHiColorImagelib1->DesignTop;
    // Named as the library it replaces, so that a failure inside a property
    // names the library as usual.
    loaded->SetName(QVXHiColorImagelib1->Name());
    loaded->LoadFromFile(fileName);

    const std::string name = QVXHiColorImagelib1->Name();
    delete QVXHiColorImagelib1;  // its owner forgets it
    QVXHiColorImagelib1 = loaded.release();
    components_->InsertComponent(QVXHiColorImagelib1);
    QVXHiColorImagelib1->SetName(name);

    StartHistory();
    RebuildList();  // every entry replaced in one step
    if (ListBox1->Count() > 0) {
        ListBox1->SetItemIndex(0);
        ShowItem(0);
        Edit1->setText(tk::NameToText(QVXHiColorImagelib1->Images()->Items(0)->Name()));
    } else {
        Image1->ClearPicture();
    }
    CurrentFile = fileName;
    OpenDialog1.FileName = fileName;  // offered by the next File > Load
    Remember(fileName);
}

void TForm1::OpenLibraryFile(const std::string& fileName) {
    if (!QuerySaveChanges()) return;
    LoadLibraryFile(fileName);
}

void TForm1::OpenCommandLine(const QStringList& arguments) {
    if (arguments.isEmpty()) return;
    Guard([&] { OpenLibraryFile(arguments.first().toStdString()); });
}

// ---- Recent files -------------------------------------------------------------------

QStringList TForm1::RecentFiles() const { return recent_.Files(); }

void TForm1::Remember(const std::string& fileName) {
    recent_.Add(QString::fromStdString(fileName));
    RebuildRecentMenu();
}

void TForm1::RebuildRecentMenu() {
    // Entries may be rebuilt from inside one of their own handlers.
    for (QAction* action : recentMenu_) {
        File1->removeAction(action);
        action->deleteLater();
    }
    recentMenu_ = recent_.MakeActions(this, [this](const QString& file) { Guard([&] { OpenRecentFile(file); }); });
    File1->addActions(recentMenu_);
}

void TForm1::OpenRecentFile(const QString& fileName) {
    if (!QFileInfo::exists(fileName)) {
        recent_.Remove(fileName);
        RebuildRecentMenu();
        hueshelf::Dialogs().ShowInformation(
            this, QString("%1 no longer exists; it has been removed from the recent files.")
                      .arg(QDir::toNativeSeparators(fileName))
                      .toStdString());
        return;
    }
    OpenLibraryFile(fileName.toStdString());
}

void TForm1::Save1Click() { SaveLibrary(); }

bool TForm1::SaveLibrary() {
    if (!CurrentFile.empty()) {
        QVXHiColorImagelib1->SaveToFile(CurrentFile);
        MarkSaved();
        Remember(CurrentFile);
        return true;
    }
    if (!SaveDialog1.Execute(this)) return false;
    SaveLibraryAs(SaveDialog1.FileName);
    return true;
}

void TForm1::SaveAs1Click() {
    if (!SaveDialog1.Execute(this)) return;
    SaveLibraryAs(SaveDialog1.FileName);
}

void TForm1::SaveLibraryAs(const std::string& fileName) {
    QVXHiColorImagelib1->SaveToFile(fileName);
    CurrentFile = fileName;
    MarkSaved();
    Remember(fileName);
}

void TForm1::Exit1Click() { close(); }

void TForm1::ListBox1Click() {
    qvx::TQVXCollection* images = QVXHiColorImagelib1->Images();
    // Showing a name changes neither the selection nor the library, so the
    // selected entry is looked up once.
    const int selected = ListBox1->ItemIndex();
    if (selected >= 0 && selected < images->Count()) {
        // Found by name: with several items of the selected name, the last
        // of them is shown. The entry shows item `selected`'s name, so
        // names compare as the bytes they are.
        const std::string& name = images->Items(selected)->Name();
        int shown = selected;
        for (int i = 0; i < images->Count(); ++i)
            if (images->Items(i)->Name() == name) shown = i;
        ShowItem(shown);
        Edit1->setText(tk::NameToText(name));
    }
    ++typingSession_;  // typing now renames this entry in a step of its own
}

void TForm1::Edit1Change() {
    const int selected = ListBox1->ItemIndex();
    if (selected < 0) return;
    const QString text = Edit1->text();
    // Commands that show a name set the edit to the entry's own text; the
    // list then has nothing to redraw.
    if (ListBox1->Item(selected) != text) ListBox1->SetItem(selected, text);
    // Text that still shows the item's name keeps its bytes as stored, so
    // showing a name changes nothing.
    const qvx::TQVXImageItem* item = QVXHiColorImagelib1->Images()->Items(selected);
    std::string name = tk::NameFromText(text, item->Name(), tk::TNameEncoding::Utf8);
    if (name == item->Name()) return;
    BeforeChange();
    auto step = std::make_unique<hueshelf::TRenameImage>(*this, selected, item->Name(), std::move(name),
                                                         typingSession_);
    step->Forward();
    Push(std::move(step));
}

void TForm1::Load2Click() {
    if (!OpenPictureDialog1.Execute(this)) return;
    AddPictureFiles({OpenPictureDialog1.FileName});
}

void TForm1::AddPictureFiles(const std::vector<std::string>& fileNames) {
    const int first = QVXHiColorImagelib1->Count();
    const int selected = ListBox1->ItemIndex();
    // The images added before a file that fails stay, as one step.
    auto push = [&] {
        if (QVXHiColorImagelib1->Count() > first)
            Push(std::make_unique<hueshelf::TAddImages>(*this, first, selected));
    };
    try {
        for (const std::string& fileName : fileNames) AppendPicture(fileName);
    } catch (...) {
        push();
        throw;
    }
    push();
}

void TForm1::AppendPicture(const std::string& fileName) {
    tk::TPicture picture;
    picture.LoadFromFile(fileName);  // the kind comes from the extension
    BeforeChange();
    qvx::TQVXImageItem* item = QVXHiColorImagelib1->Images()->Add();
    item->SetImage(picture);
    item->SetName(tk::Format("Image%d", QVXHiColorImagelib1->Count()));
    ListBox1->Add(tk::NameToText(item->Name()));
    if (ListBox1->ItemIndex() >= 0) {
        ListBox1->SetItemIndex(ListBox1->Count() - 1);
        ShowItem(QVXHiColorImagelib1->Count() - 1);
    }
}

// A move that changes nothing (the first entry up, nothing selected) is no
// step and leaves the library unmodified.
void TForm1::SpeedButton1Click() {
    const int k = ListBox1->ItemIndex();
    if (ListBox1->Count() == 0 || k <= 0) return;
    BeforeChange();
    auto step = std::make_unique<hueshelf::TMoveImage>(*this, k - 1, k);
    step->Forward();
    RebuildList();
    ListBox1->SetItemIndex(k - 1);
    ShowItem(k - 1);
    Edit1->setText(ListBox1->Item(k - 1));
    Push(std::move(step));
}

void TForm1::SpeedButton2Click() {
    const int k = ListBox1->ItemIndex();
    if (ListBox1->Count() == 0 || k < 0 || k >= ListBox1->Count() - 1) return;
    BeforeChange();
    auto step = std::make_unique<hueshelf::TMoveImage>(*this, k, k);
    step->Forward();
    RebuildList();
    ListBox1->SetItemIndex(k + 1);
    ShowItem(k + 1);
    Edit1->setText(ListBox1->Item(k + 1));
    Push(std::move(step));
}

void TForm1::SpeedButton3Click() {
    const int k = ListBox1->ItemIndex();
    if (ListBox1->Count() == 0 || k < 0) return;
    // The entry shows item k's name; every item of that name goes (compared
    // as stored bytes), the others keep their order.
    BeforeChange();
    auto step = std::make_unique<hueshelf::TDeleteImages>(*this, QVXHiColorImagelib1->Images()->Items(k)->Name(), k);
    step->Forward();
    RebuildList();
    if (ListBox1->Count() == 0) {
        Image1->ClearPicture();
    } else {
        ListBox1->SetItemIndex(ListBox1->Count() - 1);
        ShowItem(ListBox1->Count() - 1);
    }
    Push(std::move(step));  // Edit1 keeps its text
}

// ---- Helpers ------------------------------------------------------------------------

void TForm1::RebuildList() {
    const qvx::TQVXCollection* images = QVXHiColorImagelib1->Images();
    QStringList names;
    names.reserve(images->Count());
    for (int i = 0; i < images->Count(); ++i) names << tk::NameToText(images->Items(i)->Name());
    ListBox1->SetItems(names);
}

void TForm1::ShowItem(int index) { Image1->SetPicture(QVXHiColorImagelib1->Images()->Items(index)->Image()); }

void TForm1::ShowAfterStep(int index) {
    RebuildList();
    if (index >= 0 && index < ListBox1->Count()) {
        ListBox1->SetItemIndex(index);
        ListBox1Click();
    } else {
        ListBox1->SetItemIndex(-1);
        Image1->ClearPicture();
        Edit1->setText("");
    }
    ++typingSession_;
}
