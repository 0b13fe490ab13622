#include "Controls.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTimer>

#include "Application.h"
#include "toolkit/graphics.h"

namespace hueshelf {

// ---- TListBox ------------------------------------------------------------------

namespace {

// Gives every entry the list's fixed item height.
class TFixedHeightDelegate : public QStyledItemDelegate {
public:
    TFixedHeightDelegate(TListBox* list) : QStyledItemDelegate(list), list_(list) {}
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize s = QStyledItemDelegate::sizeHint(option, index);
        s.setHeight(list_->ItemHeight());
        return s;
    }

private:
    TListBox* list_;
};

// Counts the user-input handlers running, also when one ends in an exception.
struct TDepth {
    explicit TDepth(int& d) : d_(d) { ++d_; }
    ~TDepth() { --d_; }
    int& d_;
};

}  // namespace

TListBox::TListBox(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    setItemDelegate(new TFixedHeightDelegate(this));
    connect(this, &QListWidget::itemSelectionChanged, this, &TListBox::SelectionChanged);
}

int TListBox::ItemIndex() const {
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void TListBox::SetItemIndex(int index) {
    if (index < 0 || index >= count()) {
        clearSelection();
        setCurrentRow(-1);
        return;
    }
    setCurrentRow(index, QItemSelectionModel::ClearAndSelect);
    scrollToItem(item(index));
}

void TListBox::SetItemHeight(int height) {
    itemHeight_ = height;
    doItemsLayout();
}

void TListBox::SetItems(const QStringList& names) {
    clear();
    addItems(names);
}

void TListBox::SelectionChanged() {
    if (userInput_ > 0) emit Click();
}

void TListBox::mousePressEvent(QMouseEvent* event) {
    // A press below the last entry keeps the selection, as list boxes do.
    if (!indexAt(event->position().toPoint()).isValid()) return;
    TDepth depth(userInput_);
    QListWidget::mousePressEvent(event);
}

void TListBox::mouseMoveEvent(QMouseEvent* event) {
    TDepth depth(userInput_);
    QListWidget::mouseMoveEvent(event);
}

void TListBox::mouseReleaseEvent(QMouseEvent* event) {
    TDepth depth(userInput_);
    QListWidget::mouseReleaseEvent(event);
}

void TListBox::keyPressEvent(QKeyEvent* event) {
    TDepth depth(userInput_);
    QListWidget::keyPressEvent(event);
}

// ---- TImage ----------------------------------------------------------------------

TImage::TImage(QWidget* parent) : QWidget(parent) {}

void TImage::SetPicture(const tk::TPicture& picture) {
    picture_ = picture;
    drawFailed_ = false;
    update();
}

void TImage::ClearPicture() {
    picture_.Clear();
    drawFailed_ = false;
    update();
}

QRect TImage::PictureRect(const QSize& control) const {
    const int w = picture_.Width(), h = picture_.Height();
    if (Stretch) return QRect(QPoint(0, 0), control);
    if (Proportional && w > 0 && h > 0) {
        QSize fit(w, h);
        if (w > control.width() || h > control.height()) fit.scale(control, Qt::KeepAspectRatio);
        fit = fit.expandedTo(QSize(1, 1));
        return QRect(QPoint((control.width() - fit.width()) / 2, (control.height() - fit.height()) / 2), fit);
    }
    return QRect(0, 0, w, h);
}

void TImage::paintEvent(QPaintEvent*) {
    if (picture_.Empty() || drawFailed_ || width() <= 0 || height() <= 0) return;
    QImage target(size(), QImage::Format_ARGB32_Premultiplied);
    target.fill(Qt::transparent);
    try {
        tk::TCanvas canvas(&target);
        const QRect r = PictureRect(size());
        canvas.StretchDraw(tk::Bounds(r.x(), r.y(), r.width(), r.height()), *picture_.Graphic());
    } catch (...) {
        // Report once, outside the paint, so the message box does not
        // repaint into the same failure.
        drawFailed_ = true;
        QTimer::singleShot(0, this, [error = std::current_exception()] {
            THueshelfApplication::HandleException(error);
        });
        return;
    }
    QPainter painter(this);
    painter.drawImage(0, 0, target);
}

// ---- Glyphs ------------------------------------------------------------------------

QImage WithTransparentColour(const QImage& image) {
    QImage out = image.convertToFormat(QImage::Format_ARGB32);
    if (out.isNull()) return out;
    const QRgb key = out.pixel(0, out.height() - 1);
    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x)
            if (line[x] == key) line[x] = qRgba(0, 0, 0, 0);
    }
    return out;
}

QIcon LoadGlyph(const QString& fileName) {
    const QImage glyph = WithTransparentColour(QImage(fileName));
    QIcon icon;
    if (glyph.isNull()) return icon;
    const int half = glyph.width() / 2;
    icon.addPixmap(QPixmap::fromImage(glyph.copy(0, 0, half, glyph.height())), QIcon::Normal);
    icon.addPixmap(QPixmap::fromImage(glyph.copy(half, 0, half, glyph.height())), QIcon::Disabled);
    return icon;
}

std::vector<QIcon> LoadImageList(const QString& fileName, int size) {
    const QImage strip = WithTransparentColour(QImage(fileName));
    std::vector<QIcon> icons;
    for (int x = 0; x + size <= strip.width(); x += size)
        icons.emplace_back(QPixmap::fromImage(strip.copy(x, 0, size, size)));
    return icons;
}

}  // namespace hueshelf
