#include "Controls.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <algorithm>

#include "Application.h"
#include "toolkit/graphics.h"

namespace hueshelf {

// ---- TListBox ------------------------------------------------------------------

namespace {

// Counts the user-input handlers running, also when one ends in an exception.
struct TDepth {
    explicit TDepth(int& d) : d_(d) { ++d_; }
    ~TDepth() { --d_; }
    int& d_;
};

}  // namespace

TListBox::TListBox(QWidget* parent) : QTableView(parent), model_(new QStringListModel(this)) {
    setModel(model_);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(false);
    setWordWrap(false);
    setTabKeyNavigation(false);
    horizontalHeader()->hide();
    horizontalHeader()->setStretchLastSection(true);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(itemHeight_);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, &TListBox::SelectionChanged);
}

int TListBox::Count() const { return model_->rowCount(); }

QString TListBox::Item(int index) const { return model_->data(model_->index(index)).toString(); }

void TListBox::SetItem(int index, const QString& text) { model_->setData(model_->index(index), text); }

void TListBox::Add(const QString& text) {
    const int row = model_->rowCount();
    model_->insertRows(row, 1);
    model_->setData(model_->index(row), text);
}

void TListBox::Clear() { model_->setStringList({}); }

void TListBox::SetItems(const QStringList& names) { model_->setStringList(names); }

QStringList TListBox::Items() const { return model_->stringList(); }

int TListBox::ItemIndex() const {
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void TListBox::SetItemIndex(int index) {
    if (index < 0 || index >= Count()) {
        selectionModel()->clear();
        return;
    }
    selectionModel()->setCurrentIndex(model_->index(index), QItemSelectionModel::ClearAndSelect);
    scrollTo(model_->index(index));
}

void TListBox::SetItemHeight(int height) {
    itemHeight_ = height;
    verticalHeader()->setDefaultSectionSize(height);
}

QRect TListBox::ItemRect(int index) const { return visualRect(model_->index(index)); }

void TListBox::ScrollTo(int index) { scrollTo(model_->index(index)); }

void TListBox::SelectionChanged() {
    if (userInput_ > 0) emit Click();
}

void TListBox::mousePressEvent(QMouseEvent* event) {
    // A press below the last entry keeps the selection, as list boxes do.
    if (!indexAt(event->position().toPoint()).isValid()) return;
    TDepth depth(userInput_);
    QTableView::mousePressEvent(event);
}

void TListBox::mouseMoveEvent(QMouseEvent* event) {
    TDepth depth(userInput_);
    QTableView::mouseMoveEvent(event);
}

void TListBox::mouseReleaseEvent(QMouseEvent* event) {
    TDepth depth(userInput_);
    QTableView::mouseReleaseEvent(event);
}

void TListBox::keyPressEvent(QKeyEvent* event) {
    TDepth depth(userInput_);
    QTableView::keyPressEvent(event);
}

// ---- TImage ----------------------------------------------------------------------

TImage::TImage(QWidget* parent) : QWidget(parent) {}

void TImage::SetPicture(const tk::TPicture& picture) {
    picture_ = picture;
    rendered_ = QImage();
    drawFailed_ = false;
    update();
}

void TImage::ClearPicture() {
    picture_.Clear();
    rendered_ = QImage();
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
    const QRect shown = PictureRect(size());
    if (shown.isEmpty()) return;
    // Never render larger than the picture itself; enlarging is left to
    // the painter below.
    const QSize renderSize(std::min(shown.width(), picture_.Width()), std::min(shown.height(), picture_.Height()));
    if (rendered_.size() != renderSize) {
        QImage target(renderSize, QImage::Format_ARGB32_Premultiplied);
        target.fill(Qt::transparent);
        try {
            tk::TCanvas canvas(&target);
            canvas.StretchDraw(tk::Bounds(0, 0, renderSize.width(), renderSize.height()), *picture_.Graphic());
        } catch (...) {
            // Report once, outside the paint, so the message box does not
            // repaint into the same failure.
            drawFailed_ = true;
            QTimer::singleShot(0, this, [error = std::current_exception()] {
                THueshelfApplication::HandleException(error);
            });
            return;
        }
        rendered_ = std::move(target);
    }
    QPainter painter(this);
    painter.drawImage(shown, rendered_);
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
