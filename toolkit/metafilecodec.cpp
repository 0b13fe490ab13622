#include "metafilecodec.h"

#include "metafile_player.h"

namespace tk::mf {

using namespace detail;

namespace {

constexpr uint32_t kEmfSignature = 0x464D4520;  // " EMF"
constexpr uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr int64_t kMaxSide = 100000;  // pixels; about 26 m at 96 dpi

[[noreturn]] void Invalid() { throw EInvalidGraphic(msg::SInvalidMetafile); }

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
