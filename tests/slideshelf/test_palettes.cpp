// The palette dialogs: grid clicks, the frame, colour editing, the
// bitmap dialog's transparency controls, and "Black Palette".
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <algorithm>
#include <cstring>

#include "harness.h"
#include "slideshelf/ui/Controls.h"
#include "slideshelf/ui/EditLibPal.h"

using namespace slideshelf;
using namespace qvx;
using sstest::TEditor;

namespace {

int Press(QDialog& d, const char* button) {
    QPushButton* b = d.findChild<QPushButton*>(button);
    EXPECT_NE(b, nullptr) << button;
    QTest::mouseClick(b, Qt::LeftButton);
    return d.result();
}

void ClickCell(TfrmEditLibPal& d, int x, int y, Qt::MouseButton button = Qt::LeftButton) {
    QTest::mouseClick(d.PaintBox1, button, {}, QPoint(x, y));
}

// A double click as the window system reports it: a click, then the
// second press as a double click.
void DoubleClick(TfrmEditLibPal& d, QPoint at) {
    QTest::mouseClick(d.PaintBox1, Qt::LeftButton, {}, at);
    QTest::mouseDClick(d.PaintBox1, Qt::LeftButton, {}, at);
}

// The centre of cell `index` in paint-box coordinates.
QPoint Cell(int index) { return QPoint(3 + 14 * (index % 16) + 6, 3 + 14 * (index / 16) + 6); }

// Runs the library palette dialog with `drive`, which returns its result.
void WithLibraryDialog(TEditor& ed, std::function<int(TfrmEditLibPal&)> drive) {
    ed.Dialogs.ExecuteAnswers.push_back([drive](QDialog& d) {
        auto* pal = dynamic_cast<TfrmEditLibPal*>(&d);
        EXPECT_NE(pal, nullptr);
        return pal ? drive(*pal) : int(QDialog::Rejected);
    });
}

testbmp::BmpSpec Coloured() {
    std::vector<testbmp::Rgb> table;
    for (int i = 0; i < 32; ++i)
        table.push_back({static_cast<uint8_t>(i * 8), static_cast<uint8_t>(255 - i * 8), static_cast<uint8_t>(i * 3)});
    std::vector<uint8_t> px;
    for (int i = 0; i < 8 * 4; ++i) px.push_back(static_cast<uint8_t>(i % 32));
    return sstest::Bitmap(8, 4, table, px);
}

}  // namespace

TEST(Palettes, LibraryDialogLayout) {
    TEditor ed;
    TfrmEditLibPal d(ed.Dialogs, &ed.Main());
    EXPECT_EQ(d.windowTitle(), "Edit Library Palette");
    EXPECT_EQ(d.size(), QSize(247, 273));
    EXPECT_EQ(d.PaintBox1->geometry(), QRect(8, 10, 230, 230));
    EXPECT_EQ(d.Bevel1->geometry(), QRect(8, 10, 18, 18));  // around cell 0
    EXPECT_EQ(d.Label1->text(), "Index: 0");
    EXPECT_EQ(d.Label1->pos(), QPoint(8, 243));
    EXPECT_EQ(d.UsedLab->text(), "(Transparent)");
    EXPECT_EQ(d.UsedLab->pos(), QPoint(8, 258));
    EXPECT_EQ(d.UsedLab->palette().color(QPalette::WindowText), QColor(0, 0, 128));
    EXPECT_EQ(d.btnOK->geometry(), QRect(88, 245, 75, 25));
    EXPECT_EQ(d.btnCancel->geometry(), QRect(164, 245, 75, 25));
    EXPECT_EQ(d.btnOK->text(), "OK");
    EXPECT_EQ(d.btnCancel->text(), "Cancel");
}

TEST(Palettes, BitmapDialogLayout) {
    TEditor ed;
    TfrmEditBmpPal d(ed.Dialogs, &ed.Main());
    EXPECT_EQ(d.windowTitle(), "Edit Bitmap Palette");
    EXPECT_EQ(d.size(), QSize(392, 273));
    EXPECT_TRUE(d.UsedLab->isHidden());
    EXPECT_EQ(d.UsedLab->x(), 10);
    EXPECT_EQ(d.Panel1->geometry(), QRect(245, 10, 98, 259));
    EXPECT_EQ(d.GroupBox1->size(), QSize(89, 113));
    EXPECT_EQ(d.Label2->text(), "Transparent\nColor");
    EXPECT_EQ(d.CheckBox1->text(), "Is transparent");
    EXPECT_EQ(d.CheckBox1->layoutDirection(), Qt::RightToLeft);
    EXPECT_EQ(d.Label3->text(), "Index");
    EXPECT_EQ(d.ebTransColor->width(), 47);
    EXPECT_FALSE(d.ebTransColor->isEnabled());
    EXPECT_EQ(d.ebTransColor->text(), "<None>");
    EXPECT_EQ(d.Label4->text(), "(Set with right\nmouse button)");
}

TEST(Palettes, ClicksMapToCellsAndMoveTheFrame) {
    TEditor ed;
    TfrmEditLibPal d(ed.Dialogs, &ed.Main());
    d.Palette = ed.Main().Library().Palette();
    d.show();
    ClickCell(d, 50, 35);
    EXPECT_EQ(d.SelectedIndex(), 35);
    EXPECT_EQ(d.Label1->text(), "Index: 35");
    EXPECT_EQ(d.Bevel1->geometry(), QRect(8 + 42, 10 + 28, 18, 18));

    // x of 0 and 1 fall in column 0.
    ClickCell(d, 0, 40);
    EXPECT_EQ(d.SelectedIndex(), 32);
    ClickCell(d, 1, 40);
    EXPECT_EQ(d.SelectedIndex(), 32);
    // x from 226 to 229 in row r: the first cell of row r + 1.
    for (int x = 226; x <= 229; ++x) {
        ClickCell(d, x, 40);
        EXPECT_EQ(d.SelectedIndex(), 48) << x;
    }
    // y from 226 to 229: a cell of row 0.
    for (int y = 226; y <= 229; ++y) {
        ClickCell(d, 100, y);
        EXPECT_EQ(d.SelectedIndex(), 7) << y;
    }
    // The last cell.
    ClickCell(d, 225, 225);
    EXPECT_EQ(d.SelectedIndex(), 255);
    EXPECT_EQ(d.Bevel1->geometry(), QRect(8 + 210, 10 + 210, 18, 18));
    // Other buttons select as well.
    ClickCell(d, Cell(77).x(), Cell(77).y(), Qt::RightButton);
    EXPECT_EQ(d.SelectedIndex(), 77);
}

TEST(Palettes, UsedLabelsFollowTheLibraryAndBlackPalette) {
    TEditor ed;
    auto states = [&]() {
        QStringList out;
        WithLibraryDialog(ed, [&](TfrmEditLibPal& d) {
            for (int i : {0, 5, 100}) {
                ClickCell(d, Cell(i).x(), Cell(i).y());
                out << d.UsedLab->text();
            }
            return Press(d, "btnCancel");
        });
        ed.Click(ed.Main().sbEditPal);
        return out;
    };
    EXPECT_EQ(states(), (QStringList{"(Transparent)", "(Used)", "(Not Used)"}));

    // "No" keeps the palette.
    ed.Dialogs.ConfirmAnswers.push_back(false);
    ed.Trigger(ed.Main().BlackPalette1);
    EXPECT_EQ(ed.Dialogs.Questions.back(), "Clear the palette");
    EXPECT_EQ(ed.Main().Library().Palette()[5].Used, 1);

    ed.Dialogs.ConfirmAnswers.push_back(true);
    ed.Trigger(ed.Main().BlackPalette1);
    for (const auto& e : ed.Main().Library().Palette()) EXPECT_EQ(e, bmputil::TLibPalEntry{});
    EXPECT_EQ(states(), (QStringList{"(Transparent)", "(Not Used)", "(Not Used)"}));
}

TEST(Palettes, TheGridShowsThePalettesColours) {
    TEditor ed;
    TfrmEditLibPal d(ed.Dialogs, &ed.Main());
    d.Palette = ed.Main().Library().Palette();
    d.Palette[100] = {12, 34, 56, 1};
    const QImage img = d.PaintBox1->Snapshot();
    for (int i : {1, 7, 100, 249, 255}) {
        const auto& e = d.Palette[static_cast<size_t>(i)];
        EXPECT_EQ(img.pixel(Cell(i)) & 0xFFFFFF, qRgb(e.Red, e.Green, e.Blue) & 0xFFFFFF) << i;
    }
    // The gap between cells is not painted.
    EXPECT_NE(img.pixel(3 + 14 * 6 + 12, Cell(100).y()) & 0xFFFFFF, qRgb(12, 34, 56) & 0xFFFFFF);
}

TEST(Palettes, DoubleClickEditsAColourAndOnlyOKKeepsIt) {
    TEditor ed;
    TfrmMain& f = ed.Main();
    const auto before = f.Library().Palette();

    // Cancel discards an edited colour.
    WithLibraryDialog(ed, [&](TfrmEditLibPal& d) {
        ed.Dialogs.ColorAnswers.push_back(QColor(1, 2, 3));
        DoubleClick(d, Cell(40));
        EXPECT_EQ(d.Palette[40], (bmputil::TLibPalEntry{1, 2, 3, 1}));
        return Press(d, "btnCancel");
    });
    ed.Trigger(f.ViewPalette1);
    EXPECT_EQ(f.Library().Palette(), before);
    EXPECT_EQ(ed.Dialogs.ColorInitials.back(), QColor(0, 0, 0));

    // OK keeps it; the colour dialog starts from the entry's colour and its
    // Cancel changes nothing. Entry 0 can be given a colour too.
    WithLibraryDialog(ed, [&](TfrmEditLibPal& d) {
        ed.Dialogs.ColorAnswers.push_back(QColor(200, 100, 50));
        DoubleClick(d, Cell(40));
        ed.Dialogs.ColorAnswers.push_back(std::nullopt);
        DoubleClick(d, Cell(249));
        ed.Dialogs.ColorAnswers.push_back(QColor(9, 8, 7));
        DoubleClick(d, Cell(0));
        // The label keeps its text from the click until the next one.
        EXPECT_EQ(d.UsedLab->text(), "(Transparent)");
        return Press(d, "btnOK");
    });
    ed.Trigger(f.ViewPalette1);
    EXPECT_EQ(ed.Dialogs.ColorInitials[ed.Dialogs.ColorInitials.size() - 2], QColor(255, 0, 0));
    auto want = before;
    want[40] = {200, 100, 50, 1};
    want[0] = {9, 8, 7, 1};
    EXPECT_EQ(f.Library().Palette(), want);
}

TEST(Palettes, RightClickChoosesTheTransparentIndex) {
    TEditor ed;
    TfrmMain& f = ed.Main();
    ASSERT_TRUE(ed.OpenBitmap(ed.WriteBitmap("c.bmp", Coloured())));
    ed.Dialogs.ExecuteAnswers.push_back([&](QDialog& dlg) {
        auto& d = dynamic_cast<TfrmEditBmpPal&>(dlg);
        // The bitmap's colours, none marked used.
        EXPECT_EQ(d.Palette[3], (bmputil::TLibPalEntry{24, 231, 9, 0}));
        EXPECT_FALSE(d.CheckBox1->isChecked());
        EXPECT_EQ(d.ebTransColor->text(), "<None>");
        ClickCell(d, Cell(17).x(), Cell(17).y(), Qt::RightButton);
        EXPECT_TRUE(d.CheckBox1->isChecked());
        EXPECT_TRUE(d.ebTransColor->isEnabled());
        EXPECT_EQ(d.ebTransColor->text(), "17");
        EXPECT_EQ(d.TransIndex, 17);
        EXPECT_EQ(d.Label1->text(), "Index: 17");
        // Typed: the low 8 bits; not a number: ignored.
        ed.TypeInto(d.ebTransColor, "300");
        EXPECT_EQ(d.TransIndex, 44);
        ed.TypeInto(d.ebTransColor, "x");
        EXPECT_EQ(d.TransIndex, 44);
        ed.TypeInto(d.ebTransColor, "300");
        // Unchecking shows "<None>" and keeps the index.
        QTest::mouseClick(d.CheckBox1, Qt::LeftButton);
        EXPECT_FALSE(d.CheckBox1->isChecked());
        EXPECT_EQ(d.ebTransColor->text(), "<None>");
        EXPECT_FALSE(d.ebTransColor->isEnabled());
        EXPECT_EQ(d.TransIndex, 44);
        // A left click changes no transparency.
        ClickCell(d, Cell(20).x(), Cell(20).y());
        EXPECT_FALSE(d.CheckBox1->isChecked());
        return Press(d, "btnOK");
    });
    ed.Click(f.sbBmpPal);
    EXPECT_EQ(f.TransparentIndex(), 44);
    EXPECT_FALSE(f.TransparentEnabled());

    // Shown again with the bitmap's settings; Cancel keeps them.
    ed.Dialogs.ExecuteAnswers.push_back([&](QDialog& dlg) {
        auto& d = dynamic_cast<TfrmEditBmpPal&>(dlg);
        EXPECT_EQ(d.TransIndex, 44);
        ClickCell(d, Cell(5).x(), Cell(5).y(), Qt::RightButton);
        return Press(d, "btnCancel");
    });
    ed.Trigger(f.mnuEditBmpPal);
    EXPECT_EQ(f.TransparentIndex(), 44);
    EXPECT_FALSE(f.TransparentEnabled());

    ed.Dialogs.ExecuteAnswers.push_back([&](QDialog& dlg) {
        auto& d = dynamic_cast<TfrmEditBmpPal&>(dlg);
        ClickCell(d, Cell(5).x(), Cell(5).y(), Qt::RightButton);
        return Press(d, "btnOK");
    });
    ed.Trigger(f.mnuEditBmpPal);
    EXPECT_EQ(f.TransparentIndex(), 5);
    EXPECT_TRUE(f.TransparentEnabled());
    // Adding turns index 5's pixels into the transparent 0.
    ed.Click(f.BtnAddImage);
    const TIntroSlide* s = f.Library().Slide(0);
    EXPECT_EQ(s->Pixels[5], 0);
    EXPECT_EQ(std::count(s->Pixels.begin(), s->Pixels.end(), 0), 1);
}

TEST(Palettes, BitmapColoursChangeOnOKExceptEntryZero) {
    TEditor ed;
    TfrmMain& f = ed.Main();
    ASSERT_TRUE(ed.OpenBitmap(ed.WriteBitmap("c.bmp", Coloured())));
    const bmputil::TBitmapInfo before = *f.BitmapInfo();
    ed.Dialogs.ExecuteAnswers.push_back([&](QDialog& dlg) {
        auto& d = dynamic_cast<TfrmEditBmpPal&>(dlg);
        ed.Dialogs.ColorAnswers.push_back(QColor(1, 1, 1));
        DoubleClick(d, Cell(0));
        ed.Dialogs.ColorAnswers.push_back(QColor(250, 0, 250));
        DoubleClick(d, Cell(1));
        return Press(d, "btnCancel");
    });
    ed.Click(f.sbBmpPal);
    EXPECT_EQ(std::memcmp(f.BitmapInfo(), &before, sizeof before), 0);

    ed.Dialogs.ExecuteAnswers.push_back([&](QDialog& dlg) {
        auto& d = dynamic_cast<TfrmEditBmpPal&>(dlg);
        ed.Dialogs.ColorAnswers.push_back(QColor(1, 1, 1));
        DoubleClick(d, Cell(0));
        ed.Dialogs.ColorAnswers.push_back(QColor(250, 0, 250));
        DoubleClick(d, Cell(1));
        return Press(d, "btnOK");
    });
    ed.Click(f.sbBmpPal);
    const bmputil::TBitmapInfo& after = *f.BitmapInfo();
    EXPECT_EQ(after.bmiColors[0].rgbRed, before.bmiColors[0].rgbRed);
    EXPECT_EQ(after.bmiColors[0].rgbGreen, before.bmiColors[0].rgbGreen);
    EXPECT_EQ(after.bmiColors[1].rgbRed, 250);
    EXPECT_EQ(after.bmiColors[1].rgbGreen, 0);
    EXPECT_EQ(after.bmiColors[1].rgbBlue, 250);
    // The picture shows the new colour (pixel 1 uses index 1).
    EXPECT_EQ(f.DisplayPicture().Image().pixel(1, 0) & 0xFFFFFF, qRgb(250, 0, 250) & 0xFFFFFF);
    // And adding matches the edited colour into the library.
    ed.Click(f.BtnAddImage);
    const uint8_t idx = f.Library().Slide(0)->Pixels[1];
    EXPECT_EQ(f.Library().Palette()[idx], (bmputil::TLibPalEntry{250, 0, 250, 1}));
}
