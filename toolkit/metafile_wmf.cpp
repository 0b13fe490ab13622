// Placeable Windows metafile records.
#include "metafile_player.h"

namespace tk::mf::detail {

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

}  // namespace tk::mf::detail
