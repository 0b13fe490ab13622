// Enhanced metafile records.
#include "metafile_player.h"

namespace tk::mf::detail {

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

}  // namespace tk::mf::detail
