#include "metafilecodec.h"

#include <QFontMetricsF>
#include <QPainterPath>
#include <QPolygonF>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <vector>

#include "bmpcodec.h"
#include "sysutils.h"

namespace tk::mf {

namespace {

constexpr uint32_t kEmfSignature = 0x464D4520;  // " EMF"
constexpr uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr int64_t kMaxSide = 100000;  // pixels; about 26 m at 96 dpi

[[noreturn]] void Invalid() { throw EInvalidGraphic(msg::SInvalidMetafile); }

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
int16_t I16(const uint8_t* p) { return static_cast<int16_t>(U16(p)); }
uint32_t U32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
int32_t I32(const uint8_t* p) { return static_cast<int32_t>(U32(p)); }
float F32(const uint8_t* p) {
    uint32_t v = U32(p);
    float f;
    std::memcpy(&f, &v, sizeof f);
    return f;
}

QColor ColorRef(uint32_t c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

bool IsEnhanced(const uint8_t* d, size_t n) { return n >= 88 && U32(d) == 1 && U32(d + 40) == kEmfSignature; }

uint16_t PlaceableChecksum(const uint8_t* d) {
    uint16_t sum = 0;
    for (int i = 0; i < 10; ++i) sum ^= U16(d + 2 * i);
    return sum;
}

int Side(int64_t units, double unitsPerInch) {
    const double px = std::llround(double(units < 0 ? -units : units) * 96.0 / unitsPerInch);
    if (px > double(kMaxSide)) Invalid();
    return static_cast<int>(px);
}

// ---- GDI state ----------------------------------------------------------------

struct LogFont {
    int height = 0;
    int weight = 0;
    int escapement = 0;  // tenths of a degree
    bool italic = false, underline = false, strikeOut = false;
    QString face;
};

struct GdiObject {
    enum Kind { None, Pen, Brush, Font, Other } kind = None;
    // Pen
    int penStyle = 0;
    double penWidth = 0;
    QColor color = Qt::black;
    // Brush
    int brushStyle = 0;
    int hatch = 0;
    LogFont font;
};

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

struct DCState {
    GdiObject pen = StockObject(7);
    GdiObject brush = StockObject(0);
    GdiObject font = StockObject(13);
    QColor textColor = Qt::black;
    QColor bkColor = Qt::white;
    int bkMode = 2;    // opaque
    int fillMode = 1;  // alternate
    uint32_t textAlign = 0;
    QPointF pos;
    int mapMode = 1;  // MM_TEXT
    QPointF winOrg, vpOrg;
    QSizeF winExt{1, 1}, vpExt{1, 1};
    QTransform world;
};

bool Finite(const QTransform& t) {
    return std::isfinite(t.m11()) && std::isfinite(t.m12()) && std::isfinite(t.m21()) && std::isfinite(t.m22()) &&
           std::isfinite(t.dx()) && std::isfinite(t.dy()) && std::isfinite(t.m13()) && std::isfinite(t.m23()) &&
           std::isfinite(t.m33());
}

class Player {
public:
    Player(QPainter& p, const QRect& target) : p_(p), target_(target), base_(p.transform()) {}

    void PlayEnhanced(const uint8_t* d, size_t n);
    void PlayWindows(const uint8_t* d, size_t n);

private:
    // ---- mapping ----
    QTransform Page() const {
        const DCState& s = st_;
        double sx = 1, sy = 1;
        switch (s.mapMode) {
            case 2: sx = pxPerMmX_ / 10, sy = -pxPerMmY_ / 10; break;            // 0.1 mm
            case 3: sx = pxPerMmX_ / 100, sy = -pxPerMmY_ / 100; break;          // 0.01 mm
            case 4: sx = pxPerMmX_ * 0.254, sy = -pxPerMmY_ * 0.254; break;     // 0.01 inch
            case 5: sx = pxPerMmX_ * 0.0254, sy = -pxPerMmY_ * 0.0254; break;   // 0.001 inch
            case 6: sx = pxPerMmX_ * 25.4 / 1440, sy = -pxPerMmY_ * 25.4 / 1440; break;  // twips
            case 7:
            case 8:
                sx = s.winExt.width() != 0 ? s.vpExt.width() / s.winExt.width() : 1;
                sy = s.winExt.height() != 0 ? s.vpExt.height() / s.winExt.height() : 1;
                if (s.mapMode == 7) {  // isotropic: the smaller scale both ways
                    const double m = std::min(std::fabs(sx), std::fabs(sy));
                    sx = std::copysign(m, sx), sy = std::copysign(m, sy);
                }
                break;
            default: break;
        }
        return QTransform(sx, 0, 0, sy, s.vpOrg.x() - s.winOrg.x() * sx, s.vpOrg.y() - s.winOrg.y() * sy);
    }
    QTransform Mapping() const { return st_.world * Page() * deviceToTarget_ * base_; }
    bool Apply() {
        const QTransform t = Mapping();
        if (!Finite(t) || !t.isInvertible()) return false;
        p_.setTransform(t);
        return true;
    }

    QPen MakePen(const QTransform& t) const {
        const GdiObject& o = st_.pen;
        const int style = o.penStyle & 0x0F;
        if (style == 5) return QPen(Qt::NoPen);
        QPen pen(o.color);
        double w = o.penWidth;
        // Keep absurd widths from making the stroker crawl.
        const double scale = std::sqrt(std::fabs(t.determinant()));
        const double limit = 4.0 * std::max(target_.width(), target_.height()) + 16;
        if (!std::isfinite(w) || w < 0) w = 0;
        if (scale > 0 && w * scale > limit) w = limit / scale;
        if (w <= 0) {
            pen.setWidth(0);
            pen.setCosmetic(true);
        } else {
            pen.setWidthF(w);
        }
        switch (style) {
            case 1: pen.setStyle(Qt::DashLine); break;
            case 2: pen.setStyle(Qt::DotLine); break;
            case 3: pen.setStyle(Qt::DashDotLine); break;
            case 4: pen.setStyle(Qt::DashDotDotLine); break;
            default: break;
        }
        const int cap = o.penStyle & 0x0F00, join = o.penStyle & 0xF000;
        pen.setCapStyle(cap == 0x100 ? Qt::SquareCap : cap == 0x200 ? Qt::FlatCap : Qt::RoundCap);
        pen.setJoinStyle(join == 0x1000 ? Qt::BevelJoin : join == 0x2000 ? Qt::MiterJoin : Qt::RoundJoin);
        return pen;
    }
    QBrush MakeBrush() const {
        const GdiObject& o = st_.brush;
        switch (o.brushStyle) {
            case 0: return QBrush(o.color);
            case 2: {
                static const Qt::BrushStyle hatch[] = {Qt::HorPattern, Qt::VerPattern, Qt::FDiagPattern,
                                                       Qt::BDiagPattern, Qt::CrossPattern, Qt::DiagCrossPattern};
                return QBrush(o.color, o.hatch >= 0 && o.hatch < 6 ? hatch[o.hatch] : Qt::SolidPattern);
            }
            case 1: return QBrush(Qt::NoBrush);
            default: return QBrush(QColor(128, 128, 128));  // pattern brushes: a neutral fill
        }
    }
    bool Prepare(bool fill) {
        if (!Apply()) return false;
        p_.setPen(MakePen(p_.transform()));
        p_.setBrush(fill ? MakeBrush() : QBrush(Qt::NoBrush));
        return true;
    }
    Qt::FillRule FillRule() const { return st_.fillMode == 2 ? Qt::WindingFill : Qt::OddEvenFill; }

    // ---- primitives (into the path while one is open) ----
    void Rectangle(const QRectF& r) {
        if (path_) return path_->addRect(r);
        if (Prepare(true)) p_.drawRect(r);
    }
    void Ellipse(const QRectF& r) {
        if (path_) return path_->addEllipse(r);
        if (Prepare(true)) p_.drawEllipse(r);
    }
    void RoundRect(const QRectF& r, double cw, double ch) {
        if (path_) return path_->addRoundedRect(r, cw / 2, ch / 2);
        if (Prepare(true)) p_.drawRoundedRect(r, cw / 2, ch / 2);
    }
    void Polygon(const QPolygonF& poly) {
        if (poly.size() < 2) return;
        if (path_) {
            path_->addPolygon(poly);
            path_->closeSubpath();
            return;
        }
        if (Prepare(true)) p_.drawPolygon(poly, FillRule());
    }
    void Polyline(const QPolygonF& poly) {
        if (poly.size() < 2) return;
        if (path_) {
            path_->moveTo(poly[0]);
            for (qsizetype i = 1; i < poly.size(); ++i) path_->lineTo(poly[i]);
            return;
        }
        if (Prepare(false)) p_.drawPolyline(poly);
    }
    void PolylineTo(const QPolygonF& poly) {
        if (poly.isEmpty()) return;
        QPolygonF all;
        all << st_.pos << poly;
        if (path_) {
            for (const QPointF& pt : poly) path_->lineTo(pt);
        } else {
            Polyline(all);
        }
        st_.pos = poly.back();
    }
    void Bezier(const QPolygonF& poly, bool fromCurrent) {
        QPainterPath local;
        QPainterPath& target = path_ ? *path_ : local;
        qsizetype i = 0;
        if (fromCurrent) {
            if (!path_) local.moveTo(st_.pos);
        } else {
            if (poly.isEmpty()) return;
            target.moveTo(poly[0]);
            i = 1;
        }
        if (path_ && target.elementCount() == 0) target.moveTo(st_.pos);
        for (; i + 3 <= poly.size(); i += 3) target.cubicTo(poly[i], poly[i + 1], poly[i + 2]);
        if (fromCurrent && !poly.isEmpty()) st_.pos = poly.back();
        if (!path_ && Prepare(false)) p_.drawPath(local);
    }
    void PolyPolygon(const std::vector<QPolygonF>& polys) {
        QPainterPath path;
        path.setFillRule(FillRule());
        for (const auto& poly : polys) {
            if (poly.size() < 2) continue;
            path.addPolygon(poly);
            path.closeSubpath();
        }
        if (path_) return path_->addPath(path);
        if (Prepare(true)) p_.drawPath(path);
    }
    void MoveTo(QPointF pt) {
        st_.pos = pt;
        if (path_) path_->moveTo(pt);
    }
    void LineTo(QPointF pt) {
        if (path_) {
            if (path_->elementCount() == 0) path_->moveTo(st_.pos);
            path_->lineTo(pt);
        } else if (Prepare(false)) {
            p_.drawLine(st_.pos, pt);
        }
        st_.pos = pt;
    }
    void FillRect(const QRectF& r, const QBrush& b) {
        if (!Apply()) return;
        p_.fillRect(r, b);
    }

    void Text(QPointF ref, const QString& s, const QRectF* opaque);
    void Image(const QRectF& dest, const QRectF* srcRect, uint32_t rop, const uint8_t* bmi, size_t bmiSize,
               const uint8_t* bits, size_t bitsSize);

    // ---- objects and saved states ----
    void Select(uint32_t index) {
        GdiObject o;
        if (index & 0x80000000u) {
            o = StockObject(index);
        } else if (index < objects_.size()) {
            o = objects_[index];
        }
        switch (o.kind) {
            case GdiObject::Pen: st_.pen = o; break;
            case GdiObject::Brush: st_.brush = o; break;
            case GdiObject::Font: st_.font = o; break;
            default: break;
        }
    }
    void Store(uint32_t index, GdiObject o) {
        if (index < objects_.size()) objects_[index] = std::move(o);
    }
    // Windows metafiles put a new object in the lowest free slot.
    void StoreFree(GdiObject o) {
        for (auto& slot : objects_)
            if (slot.kind == GdiObject::None) {
                slot = std::move(o);
                return;
            }
    }
    void Delete(uint32_t index) {
        if (index < objects_.size()) objects_[index] = GdiObject{};
    }
    void Save() {
        if (saved_.size() >= 1024) return;
        saved_.push_back(st_);
        p_.save();
    }
    void Restore(int32_t n) {
        size_t pops = 0;
        if (n < 0)
            pops = std::min<size_t>(size_t(-int64_t(n)), saved_.size());
        else if (n > 0 && size_t(n) <= saved_.size())
            pops = saved_.size() - size_t(n) + 1;
        for (size_t i = 0; i < pops; ++i) {
            st_ = saved_.back();
            saved_.pop_back();
            p_.restore();
        }
    }
    void IntersectClip(const QRectF& r) {
        if (Apply()) p_.setClipRect(r.normalized(), Qt::IntersectClip);
    }

public:
    void Finish() {
        while (!saved_.empty()) {
            saved_.pop_back();
            p_.restore();
        }
    }

private:
    QPainter& p_;
    QRect target_;
    QTransform base_;
    QTransform deviceToTarget_;
    double pxPerMmX_ = 96 / 25.4, pxPerMmY_ = 96 / 25.4;
    DCState st_;
    std::vector<DCState> saved_;
    std::vector<GdiObject> objects_;
    std::optional<QPainterPath> path_;
};

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

// ---- enhanced metafiles ---------------------------------------------------------

void Player::PlayEnhanced(const uint8_t* d, size_t n) {
    // The reference device: its size in pixels and millimetres.
    const int32_t devW = I32(d + 72), devH = I32(d + 76), mmW = I32(d + 80), mmH = I32(d + 84);
    if (devW > 0 && devH > 0 && mmW > 0 && mmH > 0) pxPerMmX_ = double(devW) / mmW, pxPerMmY_ = double(devH) / mmH;
    // The frame (0.01 mm) in device pixels is what fills the target.
    QRectF frame(QPointF(I32(d + 24) * pxPerMmX_ / 100, I32(d + 28) * pxPerMmY_ / 100),
                 QPointF(I32(d + 32) * pxPerMmX_ / 100, I32(d + 36) * pxPerMmY_ / 100));
    if (frame.width() <= 0 || frame.height() <= 0)
        frame = QRectF(QPointF(I32(d + 8), I32(d + 12)), QPointF(I32(d + 16) + 1.0, I32(d + 20) + 1.0));
    if (frame.width() <= 0 || frame.height() <= 0) return;
    deviceToTarget_ = QTransform::fromTranslate(-frame.left(), -frame.top()) *
                      QTransform::fromScale(target_.width() / frame.width(), target_.height() / frame.height()) *
                      QTransform::fromTranslate(target_.left(), target_.top());
    objects_.resize(U16(d + 56));

    size_t off = 0;
    while (off + 8 <= n) {
        const uint8_t* r = d + off;
        const uint32_t type = U32(r), size = U32(r + 4);
        if (size < 8 || size % 4 != 0 || size > n - off) break;  // damaged: stop here
        off += size;
        auto has = [&](size_t bytes) { return size >= bytes; };
        auto pt = [&](size_t at) { return QPointF(I32(r + at), I32(r + at + 4)); };
        auto rect = [&](size_t at) { return QRectF(pt(at), QPointF(I32(r + at + 8), I32(r + at + 12))); };
        // Points after a count: 32-bit (POINTL) or 16-bit (POINTS).
        auto points = [&](size_t at, uint32_t count, bool small, QPolygonF& out) {
            const size_t each = small ? 4 : 8;
            if (count > (size - std::min<size_t>(size, at)) / each) return false;
            out.reserve(count);
            for (uint32_t i = 0; i < count; ++i) {
                const uint8_t* q = r + at + size_t(i) * each;
                out << (small ? QPointF(I16(q), I16(q + 2)) : QPointF(I32(q), I32(q + 4)));
            }
            return true;
        };
        switch (type) {
            case 14: return;  // EOF
            case 9: if (has(16)) st_.winExt = QSizeF(I32(r + 8), I32(r + 12)); break;
            case 10: if (has(16)) st_.winOrg = pt(8); break;
            case 11: if (has(16)) st_.vpExt = QSizeF(I32(r + 8), I32(r + 12)); break;
            case 12: if (has(16)) st_.vpOrg = pt(8); break;
            case 17: if (has(12)) st_.mapMode = static_cast<int>(U32(r + 8)); break;
            case 18: if (has(12)) st_.bkMode = static_cast<int>(U32(r + 8)); break;
            case 19: if (has(12)) st_.fillMode = static_cast<int>(U32(r + 8)); break;
            case 22: if (has(12)) st_.textAlign = U32(r + 8); break;
            case 24: if (has(12)) st_.textColor = ColorRef(U32(r + 8)); break;
            case 25: if (has(12)) st_.bkColor = ColorRef(U32(r + 8)); break;
            case 27: if (has(16)) MoveTo(pt(8)); break;
            case 54: if (has(16)) LineTo(pt(8)); break;
            case 30: if (has(24)) IntersectClip(rect(8)); break;
            case 33: Save(); break;
            case 34: if (has(12)) Restore(I32(r + 8)); break;
            case 35:
            case 36: {  // SETWORLDTRANSFORM, MODIFYWORLDTRANSFORM
                if (!has(type == 35 ? 32 : 36)) break;
                float f[6];
                bool ok = true;
                for (int i = 0; i < 6; ++i) ok = ok && std::isfinite(f[i] = F32(r + 8 + 4 * i));
                if (!ok) break;
                const QTransform x(f[0], f[1], f[2], f[3], f[4], f[5]);
                const uint32_t mode = type == 35 ? 4 : U32(r + 32);
                if (mode == 1) st_.world = QTransform();
                else if (mode == 2) st_.world = x * st_.world;
                else if (mode == 3) st_.world = st_.world * x;
                else if (mode == 4) st_.world = x;
                break;
            }
            case 37: if (has(12)) Select(U32(r + 8)); break;
            case 40: if (has(12)) Delete(U32(r + 8)); break;
            case 38: {  // CREATEPEN
                if (!has(28)) break;
                GdiObject o;
                o.kind = GdiObject::Pen;
                o.penStyle = static_cast<int>(U32(r + 12));
                o.penWidth = I32(r + 16);
                o.color = ColorRef(U32(r + 24));
                Store(U32(r + 8), o);
                break;
            }
            case 95: {  // EXTCREATEPEN
                if (!has(44)) break;
                GdiObject o;
                o.kind = GdiObject::Pen;
                o.penStyle = static_cast<int>(U32(r + 28));
                o.penWidth = U32(r + 32);
                o.color = ColorRef(U32(r + 40));
                if ((o.penStyle & 0x000F0000) == 0) o.penWidth = 0;  // cosmetic pens are one pixel
                Store(U32(r + 8), o);
                break;
            }
            case 39: {  // CREATEBRUSHINDIRECT
                if (!has(24)) break;
                GdiObject o;
                o.kind = GdiObject::Brush;
                o.brushStyle = static_cast<int>(U32(r + 12));
                o.color = ColorRef(U32(r + 16));
                o.hatch = static_cast<int>(U32(r + 20));
                Store(U32(r + 8), o);
                break;
            }
            case 93:  // CREATEMONOBRUSH
            case 94: {  // CREATEDIBPATTERNBRUSHPT
                if (!has(12)) break;
                GdiObject o;
                o.kind = GdiObject::Brush;
                o.brushStyle = 3;
                Store(U32(r + 8), o);
                break;
            }
            case 82: {  // EXTCREATEFONTINDIRECTW
                if (!has(12 + 92)) break;
                GdiObject o;
                o.kind = GdiObject::Font;
                const uint8_t* lf = r + 12;
                o.font.height = I32(lf);
                o.font.escapement = I32(lf + 8);
                o.font.weight = I32(lf + 16);
                o.font.italic = lf[20], o.font.underline = lf[21], o.font.strikeOut = lf[22];
                char16_t face[32];
                int len = 0;
                for (; len < 32; ++len) {
                    face[len] = static_cast<char16_t>(U16(lf + 28 + 2 * len));
                    if (!face[len]) break;
                }
                o.font.face = QString::fromUtf16(face, len);
                Store(U32(r + 8), o);
                break;
            }
            case 42: if (has(24)) Ellipse(rect(8)); break;
            case 43: if (has(24)) Rectangle(rect(8)); break;
            case 44: if (has(32)) RoundRect(rect(8), I32(r + 24), I32(r + 28)); break;
            case 2: case 3: case 4: case 5: case 6:        // 32-bit point lists
            case 85: case 86: case 87: case 88: case 89: {  // 16-bit point lists
                if (!has(28)) break;
                const bool small = type >= 85;
                QPolygonF poly;
                if (!points(28, U32(r + 24), small, poly)) break;
                switch (small ? type - 83 : type) {
                    case 2: Bezier(poly, false); break;
                    case 3: Polygon(poly); break;
                    case 4: Polyline(poly); break;
                    case 5: Bezier(poly, true); break;
                    case 6: PolylineTo(poly); break;
                }
                break;
            }
            case 7: case 8: case 90: case 91: {  // POLYPOLYLINE, POLYPOLYGON (32/16)
                if (!has(32)) break;
                const bool small = type >= 90;
                const uint32_t nPolys = U32(r + 24), total = U32(r + 28);
                if (nPolys > (size - 32) / 4) break;
                const size_t at = 32 + size_t(nPolys) * 4;
                QPolygonF all;
                if (!points(at, total, small, all)) break;
                std::vector<QPolygonF> polys;
                qsizetype used = 0;
                bool ok = true;
                for (uint32_t i = 0; i < nPolys && ok; ++i) {
                    const uint32_t c = U32(r + 32 + 4 * i);
                    if (qsizetype(c) > all.size() - used) ok = false;
                    else polys.push_back(all.mid(used, c)), used += c;
                }
                if (!ok) break;
                if (type == 8 || type == 91) PolyPolygon(polys);
                else
                    for (const auto& poly : polys) Polyline(poly);
                break;
            }
            case 59: path_ = QPainterPath(); path_->moveTo(st_.pos); break;  // BEGINPATH
            case 60: break;  // ENDPATH: the path stays for the fill or stroke
            case 61: if (path_) path_->closeSubpath(); break;
            case 62: case 63: case 64: {  // FILLPATH, STROKEANDFILLPATH, STROKEPATH
                if (!path_) break;
                QPainterPath path = *path_;
                path_.reset();
                path.setFillRule(FillRule());
                if (!Apply()) break;
                p_.setPen(type == 62 ? QPen(Qt::NoPen) : MakePen(p_.transform()));
                p_.setBrush(type == 64 ? QBrush(Qt::NoBrush) : MakeBrush());
                p_.drawPath(path);
                break;
            }
            case 68: path_.reset(); break;  // ABORTPATH
            case 84: {  // EXTTEXTOUTW
                if (!has(76)) break;
                const uint32_t nChars = U32(r + 44), offString = U32(r + 48), options = U32(r + 52);
                if (offString > size || nChars > (size - offString) / 2) break;
                QString s;
                s.reserve(nChars);
                for (uint32_t i = 0; i < nChars; ++i) s.append(QChar(U16(r + offString + 2 * i)));
                const QRectF box = rect(56);
                Text(pt(36), s, (options & 2) ? &box : nullptr);
                break;
            }
            case 81: {  // STRETCHDIBITS
                if (!has(80)) break;
                const uint32_t offBmi = U32(r + 48), cbBmi = U32(r + 52), offBits = U32(r + 56), cbBits = U32(r + 60);
                if (offBmi > size || cbBmi > size - offBmi || offBits > size || cbBits > size - offBits || !cbBmi) break;
                const QRectF dest(I32(r + 24), I32(r + 28), I32(r + 72), I32(r + 76));
                const QRectF src(I32(r + 32), I32(r + 36), I32(r + 40), I32(r + 44));
                Image(dest, &src, U32(r + 68), r + offBmi, cbBmi, r + offBits, cbBits);
                break;
            }
            case 76: case 77: {  // BITBLT, STRETCHBLT
                if (!has(100) || (type == 77 && !has(108))) break;
                const QRectF dest(I32(r + 24), I32(r + 28), I32(r + 32), I32(r + 36));
                const uint32_t rop = U32(r + 40);
                const uint32_t offBmi = U32(r + 84), cbBmi = U32(r + 88), offBits = U32(r + 92), cbBits = U32(r + 96);
                if (cbBmi == 0) {  // no source: a pattern fill
                    if (rop == 0x00F00021) FillRect(dest, MakeBrush());
                    else if (rop == 0x00000042) FillRect(dest, Qt::black);
                    else if (rop == 0x00FF0062) FillRect(dest, Qt::white);
                    break;
                }
                if (offBmi > size || cbBmi > size - offBmi || offBits > size || cbBits > size - offBits) break;
                const QRectF src(I32(r + 44), I32(r + 48), type == 77 ? I32(r + 100) : dest.width(),
                                 type == 77 ? I32(r + 104) : dest.height());
                Image(dest, &src, rop, r + offBmi, cbBmi, r + offBits, cbBits);
                break;
            }
            default: break;  // comments, palettes, regions and the rest are passed over
        }
    }
}

// ---- placeable Windows metafiles ----------------------------------------------------

void Player::PlayWindows(const uint8_t* d, size_t n) {
    const QRectF box(QPointF(I16(d + 6), I16(d + 8)), QPointF(I16(d + 10), I16(d + 12)));
    // The bounding box fills the target; records may set their own window.
    st_.mapMode = 8;
    st_.winOrg = box.topLeft();
    st_.winExt = box.size();
    st_.vpOrg = target_.topLeft();
    st_.vpExt = target_.size();
    const size_t headerWords = U16(d + 22 + 2);
    objects_.resize(U16(d + 22 + 10));
    size_t off = 22 + headerWords * 2;
    while (off + 6 <= n) {
        const uint8_t* r = d + off;
        const uint64_t bytes = uint64_t(U32(r)) * 2;
        const uint16_t fn = U16(r + 4);
        if (bytes < 6 || bytes > n - off) break;
        off += static_cast<size_t>(bytes);
        const size_t params = static_cast<size_t>((bytes - 6) / 2);
        const uint8_t* a = r + 6;
        auto P = [&](size_t i) { return I16(a + 2 * i); };
        auto W = [&](size_t i) { return U16(a + 2 * i); };
        auto Pt = [&](size_t yi) { return QPointF(P(yi + 1), P(yi)); };  // y first, then x
        auto Box = [&](size_t i) { return QRectF(QPointF(P(i + 3), P(i + 2)), QPointF(P(i + 1), P(i))); };
        auto points = [&](size_t at, size_t count, QPolygonF& out) {
            if (at > params || count > (params - at) / 2) return false;
            for (size_t i = 0; i < count; ++i) out << QPointF(P(at + 2 * i), P(at + 2 * i + 1));
            return true;
        };
        switch (fn) {
            case 0x0000: return;
            case 0x020B: if (params >= 2) st_.winOrg = Pt(0); break;
            case 0x020C: if (params >= 2) st_.winExt = QSizeF(P(1), P(0)); break;
            case 0x0102: if (params >= 1) st_.bkMode = W(0); break;
            case 0x0106: if (params >= 1) st_.fillMode = W(0); break;
            case 0x012E: if (params >= 1) st_.textAlign = W(0); break;
            case 0x0201: if (params >= 2) st_.bkColor = ColorRef(W(0) | (uint32_t(W(1)) << 16)); break;
            case 0x0209: if (params >= 2) st_.textColor = ColorRef(W(0) | (uint32_t(W(1)) << 16)); break;
            case 0x0214: if (params >= 2) MoveTo(Pt(0)); break;
            case 0x0213: if (params >= 2) LineTo(Pt(0)); break;
            case 0x041B: if (params >= 4) Rectangle(Box(0)); break;
            case 0x0418: if (params >= 4) Ellipse(Box(0)); break;
            case 0x061C: if (params >= 6) RoundRect(Box(2), P(1), P(0)); break;
            case 0x0416: if (params >= 4) IntersectClip(Box(0)); break;
            case 0x001E: Save(); break;
            case 0x0127: if (params >= 1) Restore(P(0)); break;
            case 0x012D: if (params >= 1) Select(W(0)); break;
            case 0x01F0: if (params >= 1) Delete(W(0)); break;
            case 0x0324:
            case 0x0325: {
                if (params < 1) break;
                QPolygonF poly;
                if (!points(1, W(0), poly)) break;
                if (fn == 0x0324) Polygon(poly);
                else Polyline(poly);
                break;
            }
            case 0x0538: {
                if (params < 1) break;
                const size_t nPolys = W(0);
                if (nPolys > params - 1) break;
                size_t at = 1 + nPolys;
                std::vector<QPolygonF> polys;
                bool ok = true;
                for (size_t i = 0; i < nPolys && ok; ++i) {
                    QPolygonF poly;
                    ok = points(at, W(1 + i), poly);
                    at += size_t(W(1 + i)) * 2;
                    polys.push_back(poly);
                }
                if (ok) PolyPolygon(polys);
                break;
            }
            case 0x02FA: {  // CREATEPENINDIRECT
                if (params < 5) break;
                GdiObject o;
                o.kind = GdiObject::Pen;
                o.penStyle = W(0);
                o.penWidth = P(1);
                o.color = ColorRef(W(3) | (uint32_t(W(4)) << 16));
                StoreFree(o);
                break;
            }
            case 0x02FC: {  // CREATEBRUSHINDIRECT
                if (params < 4) break;
                GdiObject o;
                o.kind = GdiObject::Brush;
                o.brushStyle = W(0);
                o.color = ColorRef(W(1) | (uint32_t(W(2)) << 16));
                o.hatch = W(3);
                StoreFree(o);
                break;
            }
            case 0x02FB: {  // CREATEFONTINDIRECT
                if (params < 9) break;
                GdiObject o;
                o.kind = GdiObject::Font;
                o.font.height = P(0);
                o.font.escapement = P(2);
                o.font.weight = P(4);
                const uint8_t* b = a + 10;
                o.font.italic = b[0], o.font.underline = b[1], o.font.strikeOut = b[2];
                const size_t faceMax = std::min<size_t>(32, params * 2 - 18);
                size_t len = 0;
                while (len < faceMax && a[18 + len]) ++len;
                o.font.face = QString::fromLatin1(reinterpret_cast<const char*>(a + 18), static_cast<qsizetype>(len));
                StoreFree(o);
                break;
            }
            case 0x00F7: case 0x01F9: case 0x0142: case 0x06FF: {  // palette, pattern brushes, region
                GdiObject o;
                o.kind = (fn == 0x01F9 || fn == 0x0142) ? GdiObject::Brush : GdiObject::Other;
                o.brushStyle = 3;
                StoreFree(o);
                break;
            }
            case 0x0521: {  // TEXTOUT
                if (params < 1) break;
                const size_t count = W(0), words = (count + 1) / 2;
                if (params < 1 + words + 2) break;
                const QString s = QString::fromLatin1(reinterpret_cast<const char*>(a + 2), static_cast<qsizetype>(count));
                Text(Pt(1 + words), s, nullptr);
                break;
            }
            case 0x0A32: {  // EXTTEXTOUT
                if (params < 4) break;
                const size_t count = W(2);
                const uint16_t options = W(3);
                size_t at = 4;
                QRectF box;
                const bool hasRect = options & 6;
                if (hasRect) {
                    if (params < 8) break;
                    box = QRectF(QPointF(P(4), P(5)), QPointF(P(6), P(7)));
                    at = 8;
                }
                if (count > (params - at) * 2) break;
                const QString s = QString::fromLatin1(reinterpret_cast<const char*>(a + 2 * at), static_cast<qsizetype>(count));
                Text(Pt(0), s, (options & 2) ? &box : nullptr);
                break;
            }
            case 0x061D: {  // PATBLT
                if (params < 6) break;
                const uint32_t rop = W(0) | (uint32_t(W(1)) << 16);
                const QRectF dest(P(5), P(4), P(3), P(2));
                if (rop == 0x00F00021) FillRect(dest, MakeBrush());
                else if (rop == 0x00000042) FillRect(dest, Qt::black);
                else if (rop == 0x00FF0062) FillRect(dest, Qt::white);
                break;
            }
            case 0x0F43: {  // STRETCHDIB
                if (params < 11) break;
                const uint32_t rop = W(0) | (uint32_t(W(1)) << 16);
                const QRectF src(P(6), P(5), P(4), P(3)), dest(P(10), P(9), P(8), P(7));
                Image(dest, &src, rop, a + 22, (params - 11) * 2, nullptr, 0);
                break;
            }
            case 0x0B41: {  // DIBSTRETCHBLT
                if (params < 10) break;
                const uint32_t rop = W(0) | (uint32_t(W(1)) << 16);
                const QRectF src(P(5), P(4), P(3), P(2)), dest(P(9), P(8), P(7), P(6));
                Image(dest, &src, rop, a + 20, (params - 10) * 2, nullptr, 0);
                break;
            }
            case 0x0940: {  // DIBBITBLT
                if (params < 8) break;
                const uint32_t rop = W(0) | (uint32_t(W(1)) << 16);
                const QRectF dest(P(7), P(6), P(5), P(4)), src(P(3), P(2), P(5), P(4));
                Image(dest, &src, rop, a + 16, (params - 8) * 2, nullptr, 0);
                break;
            }
            default: break;
        }
    }
}

}  // namespace

Info Parse(const uint8_t* d, size_t n) {
    Info info;
    if (IsEnhanced(d, n)) {
        const uint32_t recSize = U32(d + 4);
        if (recSize < 88 || recSize > n || recSize % 4 != 0) Invalid();
        const int64_t fw = int64_t(I32(d + 32)) - I32(d + 24), fh = int64_t(I32(d + 36)) - I32(d + 28);
        if (fw < 0 || fh < 0) Invalid();
        info.enhanced = true;
        info.width = Side(fw, 2540.0);  // the frame is in 0.01 mm
        info.height = Side(fh, 2540.0);
        return info;
    }
    if (n >= 22 + 18 && U32(d) == kPlaceableKey) {
        if (PlaceableChecksum(d) != U16(d + 20)) Invalid();
        const uint16_t inch = U16(d + 14);
        if (inch == 0) Invalid();
        const uint16_t type = U16(d + 22), headerWords = U16(d + 24);
        if ((type != 1 && type != 2) || headerWords != 9) Invalid();
        info.width = Side(int64_t(I16(d + 10)) - I16(d + 6), inch);
        info.height = Side(int64_t(I16(d + 12)) - I16(d + 8), inch);
        return info;
    }
    Invalid();
}

void Render(QPainter& painter, const QRect& target, const uint8_t* data, size_t size) {
    if (target.isEmpty()) return;
    Info info;
    try {
        info = Parse(data, size);
    } catch (const Exception&) {
        return;
    }
    painter.save();
    painter.setClipRect(target, Qt::IntersectClip);
    painter.setRenderHint(QPainter::Antialiasing, true);
    Player player(painter, target);
    if (info.enhanced)
        player.PlayEnhanced(data, size);
    else
        player.PlayWindows(data, size);
    player.Finish();
    painter.restore();
}

}  // namespace tk::mf
