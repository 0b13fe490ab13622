// Internal to the metafile renderer: GDI state and the player that draws
// records onto a QPainter. Enhanced and Windows metafile records are played
// in files of their own.
#pragma once

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <vector>

#include "sysutils.h"

namespace tk::mf::detail {

// Little-endian fields.
inline uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline int16_t I16(const uint8_t* p) { return static_cast<int16_t>(U16(p)); }
inline uint32_t U32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline int32_t I32(const uint8_t* p) { return static_cast<int32_t>(U32(p)); }
inline float F32(const uint8_t* p) {
    uint32_t v = U32(p);
    float f;
    std::memcpy(&f, &v, sizeof f);
    return f;
}

inline QColor ColorRef(uint32_t c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

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

GdiObject StockObject(uint32_t index);

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

bool Finite(const QTransform& t);

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

}  // namespace tk::mf::detail
