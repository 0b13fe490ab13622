// The window as it opens: layout, menu, glyphs, dialogs and the library it
// carries from its form data.
#include <QFile>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>

#include "HueshelfFixture.h"

namespace {

QRect In(QWidget* w, QWidget* ancestor) { return QRect(w->mapTo(ancestor, QPoint(0, 0)), w->size()); }

}  // namespace

TEST_F(HueshelfTest, LayoutFollowsTheForm) {
    EXPECT_EQ(form->windowTitle(), "QVX HI-COLOR IMAGE LIBRARY EDITOR");
    EXPECT_EQ(form->frameGeometry(), QRect(260, 168, 696, 480));
    EXPECT_EQ(form->font().pointSize(), 8);
    EXPECT_TRUE(QFontDatabase::families().contains(QFontInfo(form->font()).family()));

    QWidget* client = form->centralWidget();
    EXPECT_EQ(In(form->Panel1, client), QRect(0, 0, client->width(), 41));
    EXPECT_EQ(form->SpeedButton4->geometry(), QRect(8, 8, 23, 22));
    EXPECT_EQ(form->SpeedButton5->geometry(), QRect(32, 8, 23, 22));
    EXPECT_EQ(form->SpeedButton6->geometry(), QRect(56, 8, 23, 22));
    EXPECT_EQ(form->SpeedButton7->geometry(), QRect(128, 8, 25, 25));
    EXPECT_TRUE(form->SpeedButton4->autoRaise());

    EXPECT_EQ(In(form->Panel3, client), QRect(0, 41, 169, client->height() - 41));
    // Inside the panels' bevels.
    const QRect column = form->Panel3->contentsRect();
    EXPECT_EQ(In(form->Panel4, form->Panel3), QRect(column.left(), column.bottom() + 1 - 64, column.width(), 64));
    EXPECT_EQ(In(form->ListBox1, form->Panel3),
              QRect(column.left(), column.top(), column.width(), column.height() - 64));
    EXPECT_EQ(form->SpeedButton2->geometry(), QRect(56, 8, 23, 22));
    EXPECT_EQ(form->SpeedButton1->geometry(), QRect(80, 8, 23, 22));
    EXPECT_EQ(form->SpeedButton3->geometry(), QRect(104, 8, 23, 22));
    EXPECT_EQ(form->Label1->text(), "Image name");
    EXPECT_EQ(form->Label1->pos(), QPoint(8, 40));
    EXPECT_EQ(form->Edit1->pos(), QPoint(80, 40));
    EXPECT_EQ(form->Edit1->width(), 81);

    // The picture fills the rest above the status bar and its two panels.
    EXPECT_EQ(In(form->Panel2, client), QRect(169, 41, client->width() - 169, client->height() - 41));
    EXPECT_EQ(In(form->Image1, form->Panel2).bottom() + 1, In(form->StatusBar1, form->Panel2).top());
    EXPECT_EQ(In(form->StatusBar1, form->Panel2).bottom(), form->Panel2->contentsRect().bottom());
    EXPECT_EQ(form->StatusBar1->height(), 19);
    EXPECT_EQ(form->StatusPanel0->width(), 200);
    EXPECT_EQ(form->StatusPanel1->width(), 50);
    EXPECT_TRUE(form->StatusPanel0->text().isEmpty());

    form->ListBox1->SetItems({"a", "b"});
    EXPECT_EQ(form->ListBox1->ItemRect(1).height(), 13);
    EXPECT_EQ(form->ListBox1->ItemRect(1).top(), 13);
}

TEST_F(HueshelfTest, MenuItemsCarryTheirTextsAndGlyphs) {
    const QList<QAction*> menus = form->menuBar()->actions();
    ASSERT_EQ(menus.size(), 3);
    EXPECT_EQ(menus[0]->text(), "&File");
    EXPECT_EQ(menus[1]->text(), "&Edit");
    EXPECT_EQ(menus[2]->text(), "&Bitmap");
    EXPECT_EQ(form->Edit2->actions(), (QList<QAction*>{form->Undo1, form->Redo1}));
    EXPECT_EQ(form->Undo1->text(), "&Undo");
    EXPECT_FALSE(form->Undo1->isEnabled());
    EXPECT_EQ(form->Redo1->text(), "&Redo");
    EXPECT_FALSE(form->Redo1->isEnabled());

    QStringList fileItems;
    for (QAction* a : form->File1->actions()) fileItems << (a->isSeparator() ? "-" : a->text());
    EXPECT_EQ(fileItems, QStringList({"&New....", "&Load...", "&Save...", "Save &As ...", "-", "E&xit"}));
    ASSERT_EQ(form->Bitmap1->actions().size(), 1);
    EXPECT_EQ(form->Load2->text(), "&Load...");

    ASSERT_EQ(form->ImageList1.size(), 4u);
    auto glyph = [&](QAction* a) {
        for (size_t i = 0; i < form->ImageList1.size(); ++i)
            if (a->icon().cacheKey() == form->ImageList1[i].cacheKey()) return int(i);
        return a->icon().isNull() ? -1 : -2;
    };
    EXPECT_EQ(glyph(form->New1), 3);
    EXPECT_EQ(glyph(form->Load1), 2);
    EXPECT_EQ(glyph(form->Save1), 0);
    EXPECT_EQ(glyph(form->SaveAs1), 1);
    EXPECT_EQ(glyph(form->Exit1), -1);
    EXPECT_EQ(glyph(form->Load2), 2);
}

TEST_F(HueshelfTest, GlyphsHaveNormalAndDisabledLooksWithTheirTransparentColour) {
    for (const char* name : {"new", "open", "save", "addpicture", "handdown", "handup", "eraser"}) {
        SCOPED_TRACE(name);
        const QString file = QString(":/hueshelf/glyphs/") + name + ".png";
        const QImage raw(file);
        ASSERT_EQ(raw.size(), QSize(32, 16));
        const QIcon icon = hueshelf::LoadGlyph(file);
        const QImage normal = icon.pixmap(16, 16, QIcon::Normal).toImage().convertToFormat(QImage::Format_ARGB32);
        const QImage disabled = icon.pixmap(16, 16, QIcon::Disabled).toImage().convertToFormat(QImage::Format_ARGB32);
        ASSERT_EQ(normal.size(), QSize(16, 16));
        EXPECT_EQ(qAlpha(normal.pixel(0, 15)), 0);
        EXPECT_EQ(qAlpha(disabled.pixel(0, 15)), 0);
        EXPECT_NE(normal, disabled);
        int opaque = 0;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) opaque += qAlpha(normal.pixel(x, y)) == 255;
        EXPECT_GT(opaque, 30);  // a picture, not an empty square
        EXPECT_LT(opaque, 256);
    }
    EXPECT_EQ(QImage(":/hueshelf/glyphs/menuimages.png").size(), QSize(64, 16));
    // The buttons carry those glyphs.
    EXPECT_FALSE(form->SpeedButton3->icon().isNull());
    EXPECT_EQ(form->SpeedButton3->iconSize(), QSize(16, 16));
}

TEST_F(HueshelfTest, DialogsHaveTheirFiltersAndOptions) {
    using namespace hueshelf;
    EXPECT_EQ(form->OpenDialog1.Filter, "QVX HI-COLOR LIB FILES|*.HCL|QVX|*.QVX");
    EXPECT_EQ(form->OpenDialog1.DefaultExt, "HCL");
    EXPECT_EQ(form->OpenDialog1.Options, unsigned(ofHideReadOnly | ofFileMustExist | ofEnableSizing));
    EXPECT_EQ(form->SaveDialog1.Kind, TFileDialogKind::Save);
    EXPECT_EQ(form->SaveDialog1.Filter, "QVX HI-COLOR LIB FILES|*.HCL|QVX FILES|*.QVX");
    EXPECT_EQ(form->SaveDialog1.DefaultExt, "HCL");
    EXPECT_EQ(form->SaveDialog1.Options, unsigned(ofOverwritePrompt | ofHideReadOnly | ofEnableSizing));
    EXPECT_EQ(form->OpenPictureDialog1.Filter,
              "All (*.jpg;*.jpeg;*.bmp)|*.jpg;*.jpeg;*.bmp|JPEG Image File (*.jpg)|*.jpg|"
              "JPEG Image File (*.jpeg)|*.jpeg|Bitmaps (*.bmp)|*.bmp");
    EXPECT_EQ(form->OpenPictureDialog1.Options, unsigned(ofHideReadOnly | ofFileMustExist | ofEnableSizing));
    EXPECT_TRUE(form->OpenPictureDialog1.Preview);

    EXPECT_EQ(QtNameFilters(form->OpenPictureDialog1.Filter),
              (std::vector<std::string>{"All (*.jpg *.jpeg *.bmp *.JPG *.JPEG *.BMP)", "JPEG Image File (*.jpg *.JPG)",
                                        "JPEG Image File (*.jpeg *.JPEG)", "Bitmaps (*.bmp *.BMP)"}));
    EXPECT_EQ(QtNameFilters(form->OpenDialog1.Filter),
              (std::vector<std::string>{"QVX HI-COLOR LIB FILES (*.hcl *.HCL)", "QVX (*.qvx *.QVX)"}));
}

TEST_F(HueshelfTest, EachDialogOffersTheNameItLastReturned) {
    const std::string a = MakePicture("a.bmp", 4, 3, Qt::red);
    AddPicture(a);
    dialogs.fileAnswers.push_back(std::nullopt);  // cancelled: nothing changes
    form->Load2->trigger();
    AddPicture(a);
    ASSERT_EQ(dialogs.fileDialogs.size(), 3u);
    EXPECT_EQ(dialogs.fileDialogs[0].FileName, "");
    EXPECT_EQ(dialogs.fileDialogs[1].FileName, a);
    EXPECT_EQ(dialogs.fileDialogs[2].FileName, a);
    EXPECT_EQ(form->OpenDialog1.FileName, "");  // each dialog keeps its own
}

TEST_F(HueshelfTest, LibraryComesFromTheFormDataAndEverySaveCarriesItsPosition) {
    qvx::TQVXHiColorImagelib* lib = form->QVXHiColorImagelib1;
    ASSERT_NE(lib, nullptr);
    EXPECT_EQ(lib->Name(), "QVXHiColorImagelib1");
    EXPECT_FALSE(lib->UseTransparent);
    EXPECT_EQ(lib->Count(), 0);
    EXPECT_EQ(lib->QVXScreen(), nullptr);

    dialogs.fileAnswers.push_back(Path("empty.HCL"));
    form->SaveAs1->trigger();
    QFile file(QString::fromStdString(Path("empty.HCL")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_TRUE(bytes.contains(QByteArray("\x13QVXHiColorImagelib1")));
    static const char kTail[] = "\x06Images\x0e\x00\x04Left\x03\xd0\x00\x03Top\x02\x48\x00\x00";
    const QByteArray tail(kTail, sizeof kTail - 1);
    EXPECT_TRUE(bytes.endsWith(tail));
}

// The menu works with the mouse: File opens, Load... asks for a library.
TEST_F(HueshelfTest, MouseThroughTheMenu) {
    QMenuBar* bar = form->menuBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(form->File1->menuAction()).center());
    QTRY_VERIFY(form->File1->isVisible());
    dialogs.fileAnswers.push_back(std::nullopt);
    QTest::mouseClick(form->File1, Qt::LeftButton, {}, form->File1->actionGeometry(form->Load1).center());
    QTRY_COMPARE(dialogs.fileDialogs.size(), size_t(1));
    EXPECT_EQ(dialogs.fileDialogs[0].Filter, form->OpenDialog1.Filter);
}

// The picture dialog (the real one) shows the selected picture beside the list.
TEST_F(HueshelfTest, PictureDialogPreviewsTheSelection) {
    const std::string pic = MakePicture("preview.bmp", 7, 5, Qt::green);
    hueshelf::SetDialogs(nullptr);
    form->OpenPictureDialog1.FileName = pic;
    QString caption;
    bool sawPreview = false;
    QTimer::singleShot(0, [&] {
        auto* dlg = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dlg) return;
        emit dlg->currentChanged(QString::fromStdString(pic));
        for (QLabel* label : dlg->findChildren<QLabel*>())
            if (label->text().startsWith("(")) caption = label->text();
        sawPreview = dlg->findChild<hueshelf::TImage*>() != nullptr;
        dlg->reject();
    });
    form->Load2Click();
    hueshelf::SetDialogs(&dialogs);
    EXPECT_TRUE(sawPreview);
    EXPECT_EQ(caption, "(7x5)");
    EXPECT_EQ(form->QVXHiColorImagelib1->Count(), 0);
}
