#include "metafile_player.h"

#include <QFontMetricsF>

#include "bmpcodec.h"

namespace tk::mf::detail {

GdiObject StockObject(uint32_t index) {
    GdiObject o;
    switch (index & 0x7FFFFFFF) {
        case 0: o.kind = GdiObject::Brush, o.color = Qt::white; break;
        case 1: o.kind = GdiObject::Brush, o.color = QColor(192, 192, 192); break;
        case 2: o.kind = GdiObject::Brush, o.color = QColor(128, 128, 128); break;
        case 3: o.kind = GdiObject::Brush, o.color = QColor(64, 64, 64); break;
        case 4: o.kind = GdiObject::Brush, o.color = Qt::black; break;
        case 5: o.kind = GdiObject::Brush, o.brushStyle = 1; break;
        case 6: o.kind = GdiObject::Pen, o.color = Qt::white; break;
        case 7: o.kind = GdiObject::Pen, o.color = Qt::black; break;
        case 8: o.kind = GdiObject::Pen, o.penStyle = 5; break;
        case 18: o.kind = GdiObject::Brush, o.color = Qt::white; break;
        case 19: o.kind = GdiObject::Pen, o.color = Qt::black; break;
        default:
            if ((index & 0x7FFFFFFF) >= 10 && (index & 0x7FFFFFFF) <= 17) o.kind = GdiObject::Font;
            break;
    }
    return o;
}

bool Finite(const QTransform& t) {
    return std::isfinite(t.m11()) && std::isfinite(t.m12()) && std::isfinite(t.m21()) && std::isfinite(t.m22()) &&
           std::isfinite(t.dx()) && std::isfinite(t.dy()) && std::isfinite(t.m13()) && std::isfinite(t.m23()) &&
           std::isfinite(t.m33());
}

void Player::Text(QPointF ref, const QString& s, const QRectF* opaque) {
    if (st_.textAlign & 1) ref = st_.pos;  // TA_UPDATECP
    const QTransform m = Mapping();
    if (!Finite(m)) return;
    if (opaque && Apply()) p_.fillRect(*opaque, st_.bkColor);
    if (s.isEmpty()) return;
    const LogFont& lf = st_.font.font;
    const double scale = std::hypot(m.m21(), m.m22());
    double px = lf.height == 0 ? 12 : std::fabs(double(lf.height)) * scale;
    if (lf.height > 0) px *= 0.8;  // a cell height holds the internal leading too
    px = std::clamp(px, 1.0, 4.0 * std::max(target_.width(), target_.height()) + 16);
    QFont font(lf.face.isEmpty() ? QStringLiteral("Sans Serif") : lf.face);
    font.setPixelSize(std::max(1, int(std::lround(px))));
    if (lf.weight > 0) font.setWeight(QFont::Weight(std::clamp(lf.weight, 100, 900)));
    font.setItalic(lf.italic);
    font.setUnderline(lf.underline);
    font.setStrikeOut(lf.strikeOut);
    QFontMetricsF fm(font);
    const double w = fm.horizontalAdvance(s);
    double dx = 0, dy = 0;
    switch (st_.textAlign & 6) {
        case 2: dx = -w; break;
        case 6: dx = -w / 2; break;
        default: break;
    }
    switch (st_.textAlign & 24) {
        case 0: dy = fm.ascent(); break;
        case 8: dy = -fm.descent(); break;
        default: break;
    }
    // Text keeps its upright orientation whatever the mapping's direction.
    p_.save();
    p_.setTransform(base_);
    p_.translate(m.map(ref));
    if (lf.escapement != 0) p_.rotate(-lf.escapement / 10.0);
    p_.setFont(font);
    if (st_.bkMode == 2 && !opaque) p_.fillRect(QRectF(dx, dy - fm.ascent(), w, fm.height()), st_.bkColor);
    p_.setPen(st_.textColor);
    p_.drawText(QPointF(dx, dy), s);
    p_.restore();
    if (st_.textAlign & 1) {
        const double sx = std::hypot(m.m11(), m.m12());
        if (sx > 0) st_.pos.setX(st_.pos.x() + w / sx);
    }
}

void Player::Image(const QRectF& dest, const QRectF* srcRect, uint32_t rop, const uint8_t* bmi, size_t bmiSize,
                   const uint8_t* bits, size_t bitsSize) {
    QImage img;
    try {
        img = bmp::DecodeDIB(bmi, bmiSize, bits, bitsSize).image;
    } catch (const Exception&) {
        return;  // a damaged bitmap is left out
    }
    if (img.isNull() || !Apply()) return;
    QRectF src(0, 0, img.width(), img.height());
    if (srcRect) {
        // Source rows count from the bottom of the device-independent bitmap.
        src = QRectF(srcRect->x(), img.height() - srcRect->y() - srcRect->height(), srcRect->width(),
                     srcRect->height());
        src = src.normalized().intersected(QRectF(0, 0, img.width(), img.height()));
        if (src.isEmpty()) return;
    }
    const QPainter::CompositionMode old = p_.compositionMode();
    switch (rop) {
        case 0x008800C6: p_.setCompositionMode(QPainter::RasterOp_SourceAndDestination); break;
        case 0x00EE0086: p_.setCompositionMode(QPainter::RasterOp_SourceOrDestination); break;
        case 0x00660046: p_.setCompositionMode(QPainter::RasterOp_SourceXorDestination); break;
        default: break;
    }
    p_.drawImage(dest.normalized(), img, src);
    p_.setCompositionMode(old);
}

}  // namespace tk::mf::detail
