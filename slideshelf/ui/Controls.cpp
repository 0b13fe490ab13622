#include "Controls.h"

#include <QKeyEvent>
#include <algorithm>
#include <QPainter>
#include <QRegularExpressionValidator>
#include <QStyledItemDelegate>
#include <QToolButton>
#include <QWheelEvent>

#include "Application.h"
#include "toolkit/graphics.h"

namespace slideshelf {

// ---- TSpinEdit --------------------------------------------------------------------

namespace {
constexpr int kSpinButtonWidth = 15;
}

TSpinEdit::TSpinEdit(QWidget* parent) : QLineEdit(parent) {
    // Digits and signs only, as an integer edit takes them.
    setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[-+0-9]*")), this));
    up_ = new QToolButton(this);
    down_ = new QToolButton(this);
    up_->setObjectName(QStringLiteral("UpButton"));
    down_->setObjectName(QStringLiteral("DownButton"));
    for (QToolButton* b : {up_, down_}) {
        b->setFocusPolicy(Qt::NoFocus);
        b->setAutoRepeat(true);
        b->setCursor(Qt::ArrowCursor);
    }
    up_->setArrowType(Qt::UpArrow);
    down_->setArrowType(Qt::DownArrow);
    connect(up_, &QToolButton::clicked, this, Guarded([this] { UpClick(); }));
    connect(down_, &QToolButton::clicked, this, Guarded([this] { DownClick(); }));
    setTextMargins(0, 0, kSpinButtonWidth, 0);
    setText(QStringLiteral("0"));
}

void TSpinEdit::SetRange(int min, int max) {
    min_ = min;
    max_ = max;
}

int TSpinEdit::CheckValue(int value) const {
    if (max_ == min_) return value;  // no range set
    return std::clamp(value, min_, max_);
}

int TSpinEdit::Value() const {
    bool ok = false;
    const int v = text().toInt(&ok, 10);
    return ok ? v : min_;
}

void TSpinEdit::SetValue(int value) { setText(QString::number(CheckValue(value))); }

void TSpinEdit::UpClick() {
    if (!isReadOnly()) SetValue(Value() + increment_);
}

void TSpinEdit::DownClick() {
    if (!isReadOnly()) SetValue(Value() - increment_);
}

void TSpinEdit::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Up) {
        RunGuarded([this] { UpClick(); });
        return;
    }
    if (event->key() == Qt::Key_Down) {
        RunGuarded([this] { DownClick(); });
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void TSpinEdit::wheelEvent(QWheelEvent* event) {
    const int steps = event->angleDelta().y();
    if (steps > 0) RunGuarded([this] { UpClick(); });
    if (steps < 0) RunGuarded([this] { DownClick(); });
    event->accept();
}

void TSpinEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    // A number typed outside the range is clamped when the box is left.
    RunGuarded([this] {
        const int v = Value();
        if (CheckValue(v) != v) SetValue(v);
    });
}

void TSpinEdit::resizeEvent(QResizeEvent* event) {
    QLineEdit::resizeEvent(event);
    const int h = height() / 2;
    up_->setGeometry(width() - kSpinButtonWidth - 1, 1, kSpinButtonWidth, h - 1);
    down_->setGeometry(width() - kSpinButtonWidth - 1, h, kSpinButtonWidth, height() - h - 1);
}

// ---- TPaintBox --------------------------------------------------------------------

TPaintBox::TPaintBox(QWidget* parent) : QWidget(parent) {}

QImage TPaintBox::Render() {
    QImage image(size(), QImage::Format_RGB32);
    // The box itself has no background: the parent's colour shows.
    image.fill(palette().color(backgroundRole()));
    if (OnPaint) {
        tk::TCanvas canvas(&image);
        RunGuarded([&] { OnPaint(canvas); });
    }
    return image;
}

QImage TPaintBox::Snapshot() { return Render(); }

void TPaintBox::paintEvent(QPaintEvent*) {
    if (width() <= 0 || height() <= 0) return;
    const QImage image = Render();
    QPainter p(this);
    p.drawImage(0, 0, image);
}

void TPaintBox::mousePressEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    if (OnMouseDown) RunGuarded([&] { OnMouseDown(event->button(), event->modifiers(), pos.x(), pos.y()); });
}

void TPaintBox::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double click: the double-click handler first,
    // then the press, as the window system reports them.
    if (event->button() == Qt::LeftButton && OnDblClick) RunGuarded([&] { OnDblClick(); });
    mousePressEvent(event);
}

// ---- TListBox ---------------------------------------------------------------------

namespace {

class FixedHeightDelegate : public QStyledItemDelegate {
public:
    FixedHeightDelegate(TListBox* list) : QStyledItemDelegate(list), list_(list) {}
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize s = QStyledItemDelegate::sizeHint(option, index);
        s.setHeight(list_->ItemHeight());
        return s;
    }

private:
    TListBox* list_;
};

}  // namespace

TListBox::TListBox(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    setItemDelegate(new FixedHeightDelegate(this));
    connect(this, &QListWidget::clicked, this, [this](const QModelIndex& index) {
        // The click selects the row it lands on (a second click on the
        // selected row keeps it selected).
        if (index.isValid()) {
            SetItemIndex(index.row());
            emit Click();
        }
    });
}

void TListBox::SetItemHeight(int height) {
    itemHeight_ = height;
    doItemsLayout();
}

int TListBox::ItemIndex() const {
    const int row = currentRow();
    if (row < 0 || !item(row) || !item(row)->isSelected()) return -1;
    return row;
}

void TListBox::SetItemIndex(int row) {
    if (row < 0 || row >= count()) {
        clearSelection();
        setCurrentRow(-1);
        return;
    }
    setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
}

void TListBox::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->accept();
        return;
    }
    QListWidget::mousePressEvent(event);
}

void TListBox::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->accept();
        return;
    }
    QListWidget::mouseReleaseEvent(event);
}

void TListBox::keyPressEvent(QKeyEvent* event) {
    const int before = ItemIndex();
    QListWidget::keyPressEvent(event);
    const int after = currentRow();
    if (after >= 0 && after != before) {
        SetItemIndex(after);
        emit Click();
    }
}

}  // namespace slideshelf
