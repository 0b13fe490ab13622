#include <cstring>

#include <QFont>
#include <QFontMetrics>

#include "graphics.h"
#include "streams.h"

namespace tk {

int NearestPaletteIndex(std::span<const TPaletteEntry> palette, uint8_t r, uint8_t g, uint8_t b) {
    int best = 0;
    long bestDist = -1;
    for (size_t i = 0; i < palette.size(); ++i) {
        long dr = long(palette[i].peRed) - r, dg = long(palette[i].peGreen) - g, db = long(palette[i].peBlue) - b;
        long d = dr * dr + dg * dg + db * db;
        if (bestDist < 0 || d < bestDist) {
            bestDist = d;
            best = static_cast<int>(i);
            if (d == 0) break;
        }
    }
    return best;
}

TCanvas::TCanvas(QImage* image) : own_(std::make_unique<TImageDC>(image)) { dc_ = own_.get(); }

TCanvas::~TCanvas() { EndPainter(); }

void TCanvas::EndPainter() {
    if (painter_) {
        painter_->end();
        painter_.reset();
    }
}

TDeviceContext* TCanvas::Handle() {
    if (!dc_) CreateHandle();
    if (!dc_) throw EInvalidOperation(msg::SNoCanvasHandle);
    return dc_;
}

void TCanvas::SetHandle(TDeviceContext* dc) {
    if (dc == dc_) return;
    EndPainter();
    dc_ = dc;
}

QPainter& TCanvas::Painter() {
    TDeviceContext* dc = Handle();
    if (!painter_) {
        QImage* target = dc->Target();
        if (!target || target->isNull()) throw EInvalidOperation(msg::SNoCanvasHandle);
        painter_ = std::make_unique<QPainter>(target);
    }
    return *painter_;
}

QColor TCanvas::ToQColor(TColor c) {
    if ((c >> 24) == 0x02 && dc_ && !dc_->SelectedPalette.empty()) {
        const auto& pal = dc_->SelectedPalette;
        const auto& e = pal[static_cast<size_t>(NearestPaletteIndex(pal, GetRValue(c), GetGValue(c), GetBValue(c)))];
        return QColor(e.peRed, e.peGreen, e.peBlue);
    }
    return QColor(GetRValue(c), GetGValue(c), GetBValue(c));
}

static Qt::BrushStyle ToQt(TBrushStyle s) {
    switch (s) {
        case TBrushStyle::bsSolid: return Qt::SolidPattern;
        case TBrushStyle::bsClear: return Qt::NoBrush;
        case TBrushStyle::bsDiagCross: return Qt::DiagCrossPattern;
        case TBrushStyle::bsCross: return Qt::CrossPattern;
        case TBrushStyle::bsHorizontal: return Qt::HorPattern;
        case TBrushStyle::bsVertical: return Qt::VerPattern;
        case TBrushStyle::bsFDiagonal: return Qt::FDiagPattern;
        case TBrushStyle::bsBDiagonal: return Qt::BDiagPattern;
    }
    return Qt::SolidPattern;
}

TRect TCanvas::ClipRect() {
    QImage* t = Handle()->Target();
    if (painter_ && painter_->hasClipping()) {
        QRect r = painter_->clipBoundingRect().toAlignedRect();
        return TRect{r.left(), r.top(), r.right() + 1, r.bottom() + 1};
    }
    return TRect{0, 0, t ? t->width() : 0, t ? t->height() : 0};
}

void TCanvas::FillRect(const TRect& r) {
    QPainter& p = Painter();
    if (Brush.Style == TBrushStyle::bsClear) return;
    p.fillRect(r.ToQRect(), QBrush(ToQColor(Brush.Color), ToQt(Brush.Style)));
}

void TCanvas::FrameRect(const TRect& r) {
    QPainter& p = Painter();
    QColor c = ToQColor(Brush.Color);
    p.fillRect(QRect(r.Left, r.Top, r.Width(), 1), c);
    p.fillRect(QRect(r.Left, r.Bottom - 1, r.Width(), 1), c);
    p.fillRect(QRect(r.Left, r.Top, 1, r.Height()), c);
    p.fillRect(QRect(r.Right - 1, r.Top, 1, r.Height()), c);
}

static void ApplyPenBrush(TCanvas& c, QPainter& p) {
    if (c.Pen.Style == TPenStyle::psClear) {
        p.setPen(Qt::NoPen);
    } else {
        QPen pen(c.ToQColor(c.Pen.Color));
        pen.setWidth(c.Pen.Width);
        pen.setStyle(c.Pen.Style == TPenStyle::psDash  ? Qt::DashLine
                     : c.Pen.Style == TPenStyle::psDot ? Qt::DotLine
                                                       : Qt::SolidLine);
        p.setPen(pen);
    }
    p.setBrush(QBrush(c.ToQColor(c.Brush.Color), ToQt(c.Brush.Style)));
}

void TCanvas::Rectangle(const TRect& r) {
    QPainter& p = Painter();
    ApplyPenBrush(*this, p);
    p.drawRect(QRect(r.Left, r.Top, r.Width() - 1, r.Height() - 1));
}

void TCanvas::Ellipse(const TRect& r) {
    QPainter& p = Painter();
    ApplyPenBrush(*this, p);
    p.drawEllipse(QRect(r.Left, r.Top, r.Width() - 1, r.Height() - 1));
}

void TCanvas::MoveTo(int x, int y) { penPos_ = {x, y}; }

void TCanvas::LineTo(int x, int y) {
    QPainter& p = Painter();
    ApplyPenBrush(*this, p);
    p.drawLine(penPos_.X, penPos_.Y, x, y);
    penPos_ = {x, y};
}

static QFont ToQFont(const TFont& f) {
    QFont font(QString::fromStdString(f.Name));
    font.setPointSize(f.Size > 0 ? f.Size : 8);
    font.setBold(f.Bold);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

void TCanvas::TextOut(int x, int y, const std::string& text) {
    QPainter& p = Painter();
    QFont font = ToQFont(Font);
    p.setFont(font);
    QFontMetrics fm(font);
    QString s = QString::fromStdString(text);
    if (Brush.Style != TBrushStyle::bsClear)
        p.fillRect(QRect(x, y, fm.horizontalAdvance(s), fm.height()), ToQColor(Brush.Color));
    p.setPen(ToQColor(Font.Color));
    p.drawText(x, y + fm.ascent(), s);
    penPos_ = {x + fm.horizontalAdvance(s), y};
}

int TCanvas::TextWidth(const std::string& text) {
    return QFontMetrics(ToQFont(Font)).horizontalAdvance(QString::fromStdString(text));
}

int TCanvas::TextHeight(const std::string&) { return QFontMetrics(ToQFont(Font)).height(); }

void TCanvas::Draw(int x, int y, const TGraphic& graphic) {
    if (graphic.Empty()) return;
    graphic.Draw(*this, Bounds(x, y, graphic.Width(), graphic.Height()));
}

void TCanvas::StretchDraw(const TRect& r, const TGraphic& graphic) {
    if (graphic.Empty()) return;
    graphic.Draw(*this, r);
}

void TCanvas::DrawImage(const TRect& r, const QImage& image) {
    QPainter& p = Painter();
    if (r.Width() == image.width() && r.Height() == image.height())
        p.drawImage(QPoint(r.Left, r.Top), image);
    else
        p.drawImage(r.ToQRect(), image);
}

void TCanvas::SetPixel(int x, int y, TColor c) {
    QPainter& p = Painter();
    p.fillRect(QRect(x, y, 1, 1), ToQColor(c));
}

TColor TCanvas::GetPixel(int x, int y) {
    QImage* t = Handle()->Target();
    if (!t || x < 0 || y < 0 || x >= t->width() || y >= t->height()) return clNone;
    if (painter_) {
        // Make earlier drawing visible before reading back.
        painter_->end();
        painter_.reset();
    }
    QRgb v = t->pixel(x, y);
    return RGB(qRed(v), qGreen(v), qBlue(v));
}

void TGraphic::LoadFromFile(const std::string& fileName) {
    TFileStream f(fileName, fmOpenRead);
    LoadFromStream(f);
}

void TGraphic::SaveToFile(const std::string& fileName) const {
    TFileStream f(fileName, fmCreate);
    SaveToStream(f);
}

bool TGraphic::SameData(const TGraphic& other) const {
    if (this == &other) return true;
    if (std::strcmp(ClassName(), other.ClassName()) != 0) return false;
    TMemoryStream mine, theirs;
    WriteData(mine);
    other.WriteData(theirs);
    return mine.Bytes() == theirs.Bytes();
}

}  // namespace tk
