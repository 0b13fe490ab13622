// The palette dialogs: a 256-colour palette as a 16 x 16 grid of cells.
// TfrmEditLibPal edits the library palette; TfrmEditBmpPal the colour table
// of the current bitmap and which of its indices becomes transparent.
#pragma once

#include <QDialog>
#include <cstdint>

#include "bmputil/bmputil.h"

class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace slideshelf {

class IDialogs;
class TPaintBox;

class TfrmEditLibPal : public QDialog {
    Q_OBJECT
public:
    TfrmEditLibPal(IDialogs& dialogs, QWidget* parent = nullptr);

    // The colours being edited: copied in before showing, out after OK.
    bmputil::TLibPalette Palette{};
    uint8_t SelectedIndex() const { return selected_; }

    TPaintBox* PaintBox1;
    QFrame* Bevel1;
    QLabel* Label1;
    QLabel* UsedLab;
    QPushButton* btnOK;
    QPushButton* btnCancel;

    // The cell under a point of the paint box: every point maps to one.
    static uint8_t IndexAt(int x, int y);

    void PaintBox1Paint(tk::TCanvas& canvas);
    virtual void PaintBox1MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    void PaintBox1DblClick();
    void PlaceFrame();

protected:
    void FormCreate();
    IDialogs& dialogs_;
    uint8_t selected_ = 0;
};

class TfrmEditBmpPal : public TfrmEditLibPal {
    Q_OBJECT
public:
    TfrmEditBmpPal(IDialogs& dialogs, QWidget* parent = nullptr);

    // The colour index of the bitmap that is to become transparent.
    uint8_t TransIndex = 0;

    QFrame* Panel1;
    QGroupBox* GroupBox1;
    QLabel* Label2;
    QCheckBox* CheckBox1;
    QLabel* Label3;
    QLineEdit* ebTransColor;
    QLabel* Label4;

    void PaintBox1MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y) override;
    void CheckBox1Click();
    void ebTransColorChange();

private:
    void FormCreate();
};

// Reads an integer as the system's conversions do: optional sign, decimal
// digits or "$" and hex digits, nothing else; nullopt otherwise.
std::optional<int> StrToInt(const QString& text);

}  // namespace slideshelf
