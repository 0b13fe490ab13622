#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <map>
#include <optional>

#include "services.h"
#include "winsys.h"

namespace winsys {

namespace {

QImage Blank(int w, int h) {
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    return img;
}

// The cursor pictures, drawn once: black outlines around white, as the
// standard cursors look.
Cursor Make(int id) {
    Cursor c;
    c.id = id;
    switch (id) {
        case crCross: {
            c.image = Blank(19, 19);
            QPainter p(&c.image);
            p.fillRect(8, 0, 3, 19, Qt::white);
            p.fillRect(0, 8, 19, 3, Qt::white);
            p.fillRect(9, 0, 1, 19, Qt::black);
            p.fillRect(0, 9, 19, 1, Qt::black);
            c.hotX = c.hotY = 9;
            break;
        }
        case crIBeam: {
            c.image = Blank(9, 18);
            QPainter p(&c.image);
            p.fillRect(4, 1, 1, 16, Qt::black);
            p.fillRect(1, 0, 3, 1, Qt::black);
            p.fillRect(5, 0, 3, 1, Qt::black);
            p.fillRect(1, 17, 3, 1, Qt::black);
            p.fillRect(5, 17, 3, 1, Qt::black);
            c.hotX = 4;
            c.hotY = 8;
            break;
        }
        case crHourGlass: {
            c.image = Blank(13, 20);
            QPainter p(&c.image);
            QPolygon glass;
            glass << QPoint(1, 1) << QPoint(11, 1) << QPoint(6, 9) << QPoint(11, 18) << QPoint(1, 18)
                  << QPoint(6, 9);
            p.setPen(Qt::black);
            p.setBrush(Qt::white);
            p.drawPolygon(glass);
            p.fillRect(0, 0, 13, 2, Qt::black);
            p.fillRect(0, 18, 13, 2, Qt::black);
            c.hotX = 6;
            c.hotY = 10;
            break;
        }
        default: {  // the arrow, also for the hand and size cursors
            c.id = id == crDefault ? crArrow : id;
            c.image = Blank(12, 19);
            QPainter p(&c.image);
            QPolygon arrow;
            arrow << QPoint(0, 0) << QPoint(0, 16) << QPoint(4, 12) << QPoint(7, 18) << QPoint(9, 17)
                  << QPoint(6, 11) << QPoint(11, 11);
            p.setPen(Qt::black);
            p.setBrush(Qt::white);
            p.drawPolygon(arrow);
            break;
        }
    }
    return c;
}

HCURSOR g_current = nullptr;
bool g_currentSet = false;
std::optional<tk::TRect> g_clip;

}  // namespace

HCURSOR LoadStandardCursor(int id) {
    if (id == crNone) return nullptr;
    if (id == crDefault) id = crArrow;
    static std::map<int, Cursor> cache;
    auto it = cache.find(id);
    if (it == cache.end()) it = cache.emplace(id, Make(id)).first;
    return &it->second;
}

HCURSOR SetCursor(HCURSOR cursor) {
    HCURSOR old = GetCursor();
    g_current = cursor;
    g_currentSet = true;
    CurrentServices().CursorChanged(cursor);
    return old;
}

HCURSOR GetCursor() { return g_currentSet ? g_current : LoadStandardCursor(crArrow); }

bool DrawCursor(tk::TDeviceContext* dc, int x, int y, HCURSOR cursor) {
    if (!dc || !cursor || cursor->image.isNull()) return false;
    QImage* target = dc->Target();
    if (!target || target->isNull()) return false;
    QPainter p(target);
    p.drawImage(QPoint(x, y), cursor->image);
    return true;
}

tk::TPoint ConfinePoint(tk::TPoint p) {
    tk::TRect r = GetClipCursor();
    p.X = std::clamp(p.X, r.Left, std::max(r.Left, r.Right - 1));
    p.Y = std::clamp(p.Y, r.Top, std::max(r.Top, r.Bottom - 1));
    return p;
}

tk::TPoint GetCursorPos() { return DesktopFromNative(CurrentServices().CursorPos()); }

bool SetCursorPos(int x, int y) {
    CurrentServices().MoveCursor(NativeFromDesktop(ConfinePoint({x, y})));
    return true;
}

bool ClipCursor(const tk::TRect* rect) {
    if (!rect) {
        g_clip.reset();
        return true;
    }
    DesktopMode d = GetDesktopMode();
    tk::TRect r{std::max(rect->Left, 0), std::max(rect->Top, 0), std::min(rect->Right, d.width),
                std::min(rect->Bottom, d.height)};
    if (r.Right <= r.Left || r.Bottom <= r.Top) return false;
    g_clip = r;
    // The pointer moves inside at once.
    tk::TPoint now = GetCursorPos(), in = ConfinePoint(now);
    if (in.X != now.X || in.Y != now.Y) CurrentServices().MoveCursor(NativeFromDesktop(in));
    return true;
}

tk::TRect GetClipCursor() {
    if (g_clip) return *g_clip;
    DesktopMode d = GetDesktopMode();
    return tk::TRect{0, 0, d.width, d.height};
}

void MessageBeep(uint32_t type) { CurrentServices().Beep(type); }

}  // namespace winsys
