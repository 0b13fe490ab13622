#include "EditLibPal.h"

#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>

#include "Application.h"
#include "Controls.h"
#include "Dialogs.h"
#include "Forms.h"
#include "toolkit/graphics.h"

namespace slideshelf {

namespace {

constexpr int kGridLeft = 3, kGridTop = 3, kCell = 14;

// The application's style with a narrow gap between a check box and its text.
class NarrowCheckStyle : public QProxyStyle {
public:
    explicit NarrowCheckStyle(QObject* owner) : QProxyStyle() { setParent(owner); }
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override {
        if (metric == PM_CheckBoxLabelSpacing) return 3;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
};

}  // namespace

std::optional<int> StrToInt(const QString& text) {
    QString t = text;
    // Leading blanks are allowed, trailing ones are not.
    while (!t.isEmpty() && t.front().isSpace()) t.remove(0, 1);
    bool negative = false;
    if (!t.isEmpty() && (t.front() == '-' || t.front() == '+')) {
        negative = t.front() == '-';
        t.remove(0, 1);
    }
    int base = 10;
    if (t.startsWith('$')) {
        base = 16;
        t.remove(0, 1);
    } else if (t.startsWith(QStringLiteral("0x"), Qt::CaseInsensitive)) {
        base = 16;
        t.remove(0, 2);
    }
    if (t.isEmpty()) return std::nullopt;
    for (QChar c : t)
        if (!(base == 10 ? c.isDigit() && c.unicode() < 128 : QStringLiteral("0123456789abcdefABCDEF").contains(c)))
            return std::nullopt;
    bool ok = false;
    const qlonglong v = t.toLongLong(&ok, base);
    if (!ok) return std::nullopt;
    const qlonglong s = negative ? -v : v;
    if (s < INT32_MIN || s > INT32_MAX) return std::nullopt;
    return static_cast<int>(s);
}

// ---- TfrmEditLibPal ---------------------------------------------------------------

TfrmEditLibPal::TfrmEditLibPal(IDialogs& dialogs, QWidget* parent) : QDialog(parent), dialogs_(dialogs) {
    setObjectName(QStringLiteral("frmEditLibPal"));
    setWindowTitle(QStringLiteral("Edit Library Palette"));
    setFont(FormFont());
    setFixedSize(247, 273);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    PaintBox1 = new TPaintBox(this);
    PaintBox1->setObjectName(QStringLiteral("PaintBox1"));
    PaintBox1->setGeometry(8, 10, 230, 230);
    PaintBox1->OnPaint = [this](tk::TCanvas& c) { PaintBox1Paint(c); };
    PaintBox1->OnMouseDown = [this](Qt::MouseButton b, Qt::KeyboardModifiers s, int x, int y) {
        PaintBox1MouseDown(b, s, x, y);
    };
    PaintBox1->OnDblClick = [this] { PaintBox1DblClick(); };

    // The frame is drawn over the grid; clicks go through it to the grid.
    Bevel1 = new QFrame(this);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameStyle(QFrame::Box | QFrame::Sunken);
    Bevel1->setGeometry(11, 13, 16, 16);
    Bevel1->setAttribute(Qt::WA_TransparentForMouseEvents);

    Label1 = new QLabel(QStringLiteral("Index: 0"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(8, 243, 76, 14);

    UsedLab = new QLabel(QStringLiteral("(Transparent)"), this);
    UsedLab->setObjectName(QStringLiteral("UsedLab"));
    UsedLab->setGeometry(8, 258, 76, 14);
    QPalette navy = UsedLab->palette();
    navy.setColor(QPalette::WindowText, QColor(0, 0, 128));
    UsedLab->setPalette(navy);

    btnOK = new QPushButton(QStringLiteral("OK"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setGeometry(88, 245, 75, 25);
    btnOK->setDefault(true);
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);

    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setGeometry(164, 245, 75, 25);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    TfrmEditLibPal::FormCreate();
}

void TfrmEditLibPal::FormCreate() {
    selected_ = 0;
    PlaceFrame();
}

uint8_t TfrmEditLibPal::IndexAt(int x, int y) {
    // Integer division truncates toward zero, so x and y of 0 and 1 fall in
    // the first column and row.
    const int index = ((y - 2) / kCell) * 16 + ((x - 2) / kCell);
    return static_cast<uint8_t>(index & 0xFF);
}

void TfrmEditLibPal::PlaceFrame() {
    Bevel1->setGeometry(PaintBox1->x() + kCell * (selected_ % 16), PaintBox1->y() + kCell * (selected_ / 16), 18,
                        18);
}

void TfrmEditLibPal::PaintBox1Paint(tk::TCanvas& canvas) {
    bmputil::DrawPaletteGrid(canvas, kGridLeft, kGridTop, Palette, kCell);
}

void TfrmEditLibPal::PaintBox1MouseDown(Qt::MouseButton, Qt::KeyboardModifiers, int x, int y) {
    selected_ = IndexAt(x, y);
    Label1->setText(QStringLiteral("Index: %1").arg(selected_));
    if (selected_ == 0)
        UsedLab->setText(QStringLiteral("(Transparent)"));
    else
        UsedLab->setText(Palette[selected_].Used ? QStringLiteral("(Used)") : QStringLiteral("(Not Used)"));
    PlaceFrame();
}

void TfrmEditLibPal::PaintBox1DblClick() {
    bmputil::TLibPalEntry& e = Palette[selected_];
    const std::optional<QColor> c = dialogs_.ChooseColor(this, QColor(e.Red, e.Green, e.Blue));
    if (!c) return;
    e.Red = static_cast<uint8_t>(c->red());
    e.Green = static_cast<uint8_t>(c->green());
    e.Blue = static_cast<uint8_t>(c->blue());
    e.Used = 1;
    PaintBox1->update();
}

// ---- TfrmEditBmpPal ---------------------------------------------------------------

TfrmEditBmpPal::TfrmEditBmpPal(IDialogs& dialogs, QWidget* parent) : TfrmEditLibPal(dialogs, parent) {
    setObjectName(QStringLiteral("frmEditBmpPal"));
    setWindowTitle(QStringLiteral("Edit Bitmap Palette"));
    setFixedSize(392, 273);
    UsedLab->move(10, UsedLab->y());

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setGeometry(245, 10, 98, 259);

    GroupBox1 = new QGroupBox(Panel1);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(5, 8, 89, 113);

    Label2 = new QLabel(QStringLiteral("Transparent\nColor"), GroupBox1);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Label2->setGeometry(4, 8, 81, 28);

    CheckBox1 = new QCheckBox(QStringLiteral("Is transparent"), GroupBox1);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    CheckBox1->setLayoutDirection(Qt::RightToLeft);  // the text left of the box
    CheckBox1->setStyle(new NarrowCheckStyle(CheckBox1));  // fits the narrow group
    CheckBox1->setGeometry(1, 38, 87, 17);
    connect(CheckBox1, &QCheckBox::toggled, this, Guarded([this] { CheckBox1Click(); }));

    Label3 = new QLabel(QStringLiteral("Index"), GroupBox1);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setGeometry(6, 62, 30, 16);

    ebTransColor = new QLineEdit(QStringLiteral("<None>"), GroupBox1);
    ebTransColor->setObjectName(QStringLiteral("ebTransColor"));
    ebTransColor->setGeometry(36, 59, 47, 21);
    ebTransColor->setEnabled(false);
    Label3->setBuddy(ebTransColor);
    connect(ebTransColor, &QLineEdit::textChanged, this, Guarded([this] { ebTransColorChange(); }));

    Label4 = new QLabel(QStringLiteral("(Set with right\nmouse button)"), GroupBox1);
    Label4->setObjectName(QStringLiteral("Label4"));
    Label4->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Label4->setGeometry(4, 84, 81, 26);

    FormCreate();
}

void TfrmEditBmpPal::FormCreate() { UsedLab->hide(); }

void TfrmEditBmpPal::PaintBox1MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y) {
    TfrmEditLibPal::PaintBox1MouseDown(button, shift, x, y);
    if (button != Qt::RightButton) return;
    CheckBox1->setEnabled(true);
    CheckBox1->setChecked(true);  // CheckBox1Click runs if it was unchecked
    ebTransColor->setEnabled(true);
    ebTransColor->setText(QString::number(selected_));  // ebTransColorChange runs
    TransIndex = selected_;
}

void TfrmEditBmpPal::CheckBox1Click() {
    if (CheckBox1->isChecked())
        ebTransColor->setText(QString::number(TransIndex));
    else
        ebTransColor->setText(QStringLiteral("<None>"));
    ebTransColor->setEnabled(CheckBox1->isChecked());
}

void TfrmEditBmpPal::ebTransColorChange() {
    // Text that is not a number leaves the index as it is.
    if (std::optional<int> v = StrToInt(ebTransColor->text())) TransIndex = static_cast<uint8_t>(*v & 0xFF);
}

}  // namespace slideshelf
