#include "transitions.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <stdexcept>

#include "bmputil/bmputil.h"
#include "intro_library.h"
#include "toolkit/cpufeatures.h"

namespace qvx {

TIntroFrame::TIntroFrame(int width, int height)
    : Width(std::max(width, 0)),
      Height(std::max(height, 0)),
      Pixels(static_cast<size_t>(Width) * static_cast<size_t>(Height), 0) {}

TIntroFrame SlideFrame(const TIntroSlide& slide, int width, int height) {
    TIntroFrame frame(width, height);
    const int w = slide.Width, h = slide.Height;
    if (w <= 0 || h <= 0) return frame;
    const int64_t stride = bmputil::BytesPerLine(w);
    if (static_cast<int64_t>(slide.Pixels.size()) < stride * h) return frame;
    // Centred: the slide's column sx lands on frame column sx + left.
    const int left = (frame.Width - w) / 2, top = (frame.Height - h) / 2;
    const int x0 = std::max(left, 0), x1 = std::min(left + w, frame.Width);
    const int y0 = std::max(top, 0), y1 = std::min(top + h, frame.Height);
    for (int y = y0; y < y1 && x1 > x0; ++y)
        std::memcpy(frame.Row(y) + x0, slide.Pixels.data() + (y - top) * stride + (x0 - left),
                    static_cast<size_t>(x1 - x0));
    return frame;
}

namespace {

using u8 = uint8_t;

// Progress in 16.16 fixed point: 0 .. kOne.
constexpr int64_t kOne = 65536;

enum Effect {
    kNone,
    kSlideRight,
    kSlideLeft,
    kSlideDown,
    kSlideUp,
    kZoomOpen,
    kCurtains,
    kShutters,
    kQuarters,
    kVerticalLines,
    kHorizontalLines,
    kUpDownLines,
    kLeftRightLines,
    kScrollRight,
    kScrollLeft,
    kScrollUp,
    kScrollDown,
    kDrip,
    kHorizontalOpenOut,
    kVerticalOpenOut,
    kDiagonalTopLeft,
    kDiagonalTopRight,
    kDiagonalBottomLeft,
    kDiagonalBottomRight,
    kVerticalStripes,
    kHorizontalStripes,
    kLargeVerticalStripes,
    kLargeHorizontalStripes,
    kFollowMe,
};

constexpr int kStripe = 16;      // width or height of the small stripes
constexpr int kDrop = 8;         // width of a drip
constexpr int kShutterSlats = 10;
constexpr int kLargeStripes = 8;
constexpr int kFollowBands = 8;

// The part of n that progress q has reached: 0 at q = 0, n at q = kOne,
// never falling as q grows.
inline int Part(int64_t n, int64_t q) { return static_cast<int>(n * q >> 16); }

// The effects are inlined into one function built for three processor
// levels (chosen at run time, tk::CpuLimit): the wider the vectors, the
// closer a frame comes to a plain copy.
#define QVX_INLINE __attribute__((always_inline)) inline

typedef u8 Vec64 __attribute__((vector_size(64)));

// out[i] = m[i] ? b[i] : a[i] for 64 pixels, masks of 0 or 0xFF.
QVX_INLINE void Select64(const u8* a, const u8* b, const Vec64& vm, u8* out) {
    Vec64 va, vb;
    std::memcpy(&va, a, 64);
    std::memcpy(&vb, b, 64);
    const Vec64 r = (va & ~vm) | (vb & vm);
    std::memcpy(out, &r, 64);
}

QVX_INLINE void Select64(const u8* a, const u8* b, const u8* m, u8* out) {
    Vec64 vm;
    std::memcpy(&vm, m, 64);
    Select64(a, b, vm, out);
}

// The last n % 64 pixels of a row of n >= 64: one more step of 64 that ends
// with the row, over pixels done already (the result does not change).
QVX_INLINE void SelectTail(const u8* a, const u8* b, const u8* m, u8* out, int n) {
    if (n % 64 != 0) Select64(a + n - 64, b + n - 64, m + n - 64, out + n - 64);
}

QVX_INLINE void SelectShort(const u8* a, const u8* b, const u8* m, u8* out, int n) {
    for (int i = 0; i < n; ++i) out[i] = static_cast<u8>((a[i] & ~m[i]) | (b[i] & m[i]));
}

// out[i] = m[i] ? b[i] : a[i] over a row, 64 pixels a step.
QVX_INLINE void SelectRow(const u8* a, const u8* b, const u8* m, u8* out, int n) {
    if (n < 64) return SelectShort(a, b, m, out, n);
    for (int i = 0; i + 64 <= n; i += 64) Select64(a + i, b + i, m + i, out + i);
    SelectTail(a, b, m, out, n);
}

// What a mask holds in one step of 64 columns.
enum : u8 { kChunkOld, kChunkNew, kChunkMixed };

QVX_INLINE void Copy64(const u8* src, u8* out) {
    Vec64 v;
    std::memcpy(&v, src, 64);
    std::memcpy(out, &v, 64);
}

// SelectRow for a row whose steps' kinds are known: steps that are all old
// or all new are copied from one slide, and only the mixed ones read both.
QVX_INLINE void SelectRowByChunks(const u8* a, const u8* b, const u8* m, const u8* kinds, u8* out, int n) {
    if (n < 64) return SelectShort(a, b, m, out, n);
    for (int i = 0, c = 0; i + 64 <= n; i += 64, ++c) {
        if (kinds[c] == kChunkOld)
            Copy64(a + i, out + i);
        else if (kinds[c] == kChunkNew)
            Copy64(b + i, out + i);
        else
            Select64(a + i, b + i, m + i, out + i);
    }
    SelectTail(a, b, m, out, n);
}

// The same with a mask that repeats every 64 columns, kept in a register.
QVX_INLINE void SelectRowRepeating(const u8* a, const u8* b, const u8* m, u8* out, int n) {
    if (n < 64) return SelectShort(a, b, m, out, n);
    Vec64 vm;
    std::memcpy(&vm, m, 64);
    for (int i = 0; i + 64 <= n; i += 64) Select64(a + i, b + i, vm, out + i);
    SelectTail(a, b, m, out, n);
}

// A mask over the columns of a row (0xFF where the new slide shows), with
// what makes drawing it cheap: its runs when there are few, or, for each of
// its two parts (columns before `split` and from it on), whether the part
// repeats every 64 columns.
struct RowMask {
    static constexpr size_t kFewRuns = 2;  // longer spans copy faster than a blend
    std::vector<u8> bytes;
    std::vector<std::pair<int, int>> runs;  // [x0, x1) shown new, when few
    bool fewRuns = false;
    int split = 0;  // set before Plan: where the second part starts
    bool repeating[2] = {false, false};
    std::vector<u8> kinds[2];  // each whole step of 64 columns of each part
    int on = 0;

    explicit RowMask(int width) : bytes(static_cast<size_t>(width), 0) {}
    // After the bytes (and split) are set. The runs are found with memchr,
    // a run at a time, only while they are few.
    void Plan() {
        const int w = static_cast<int>(bytes.size());
        const u8* m = bytes.data();
        runs.clear();
        fewRuns = true;
        for (int x = 0; x < w;) {
            const auto* start = static_cast<const u8*>(std::memchr(m + x, 0xFF, static_cast<size_t>(w - x)));
            if (!start) break;
            if (runs.size() == kFewRuns) {
                fewRuns = false;
                break;
            }
            const int x0 = static_cast<int>(start - m);
            const auto* stop = static_cast<const u8*>(std::memchr(start, 0, static_cast<size_t>(w - x0)));
            x = stop ? static_cast<int>(stop - m) : w;
            runs.push_back({x0, x});
        }
        on = 0;
        split = std::clamp(split, 0, w);
        if (fewRuns) {
            for (auto [x0, x1] : runs) on += x1 - x0;
            return;  // drawn from the runs: nothing more is needed
        }
        for (int x = 0; x < w; ++x) on += m[x] & 1;
        for (int part = 0; part < 2; ++part) {
            const int from = part ? split : 0, whole = ((part ? w : split) - from) / 64 * 64;
            repeating[part] =
                whole >= 64 && std::memcmp(m + from, m + from + 64, static_cast<size_t>(whole - 64)) == 0;
            kinds[part].resize(static_cast<size_t>(whole / 64));
            for (int c = 0; c < whole / 64; ++c) {
                const u8* step = m + from + c * 64;
                int shown = 0;
                for (int k = 0; k < 64; ++k) shown += step[k] & 1;
                kinds[part][static_cast<size_t>(c)] = shown == 0 ? kChunkOld : shown == 64 ? kChunkNew : kChunkMixed;
            }
        }
    }
};

// Copies n bytes in 64-byte steps: the first and the last may overlap the
// others, and those between start on a 64-byte boundary of the target, so
// no store is split across two cache lines. Inlined into the effects (built
// for each processor level), the short spans of a row cost no call.
QVX_INLINE void CopySpan(u8* dst, const u8* src, int n) {
    if (n < 64) {
        if (n > 0) std::memcpy(dst, src, static_cast<size_t>(n));
        return;
    }
    Copy64(src, dst);
    for (int i = 64 - static_cast<int>(reinterpret_cast<uintptr_t>(dst) & 63); i + 64 < n; i += 64) Copy64(src + i, dst + i);
    Copy64(src + n - 64, dst + n - 64);
}

class Painter {
public:
    Painter(const TIntroFrame& from, const TIntroFrame& to, TFrameTarget out)
        : a_(from.Pixels.data()), b_(to.Pixels.data()), out_(out), w_(from.Width), h_(from.Height) {}
    ~Painter() { Flush(); }
    Painter(const Painter&) = delete;
    Painter& operator=(const Painter&) = delete;

    int W() const { return w_; }
    int H() const { return h_; }
    const u8* A(int y) const { return a_ + static_cast<ptrdiff_t>(y) * w_; }
    const u8* B(int y) const { return b_ + static_cast<ptrdiff_t>(y) * w_; }

    // Columns [x, x + n) of row y from `src` starting at its column sx.
    QVX_INLINE void Put(int y, int x, const u8* src, int sx, int n) {
        Flush();
        CopySpan(Out(y) + x, src + sx, n);
    }
    // Row y whole from `src`. Whole rows that follow each other in the
    // source and in the target go out in one copy.
    QVX_INLINE void RowFrom(int y, const u8* src) {
        if (runRows_ > 0 && y == runY_ + runRows_ && src == runSrc_ + static_cast<ptrdiff_t>(runRows_) * w_ &&
            out_.Pitch == w_) {
            ++runRows_;
            return;
        }
        Flush();
        runY_ = y;
        runSrc_ = src;
        runRows_ = 1;
    }
    // Row y: the old slide with columns [x0, x1) of the new one.
    QVX_INLINE void Window(int y, int x0, int x1) {
        x0 = std::clamp(x0, 0, w_);
        x1 = std::clamp(x1, x0, w_);
        if (x0 == 0 && x1 == w_) return RowFrom(y, B(y));
        if (x0 == x1) return RowFrom(y, A(y));
        Put(y, 0, A(y), 0, x0);
        Put(y, x0, B(y), x0, x1 - x0);
        Put(y, x1, A(y), x1, w_ - x1);
    }
    QVX_INLINE void Select(int y, const u8* mask) {
        Flush();
        SelectRow(A(y), B(y), mask, Out(y), w_);
    }
    QVX_INLINE void Select(int y, const RowMask& mask) {
        if (mask.on == 0) return RowFrom(y, A(y));
        if (mask.on == w_) return RowFrom(y, B(y));
        if (mask.fewRuns) {
            int x = 0;
            for (auto [x0, x1] : mask.runs) {
                Put(y, x, A(y), x, x0 - x);
                Put(y, x0, B(y), x0, x1 - x0);
                x = x1;
            }
            return Put(y, x, A(y), x, w_ - x);
        }
        Flush();
        for (int part = 0; part < 2; ++part) {
            const int from = part ? mask.split : 0, n = (part ? w_ : mask.split) - from;
            const u8* m = mask.bytes.data() + from;
            if (n <= 0) continue;
            if (!mask.repeating[part]) {
                SelectRowByChunks(A(y) + from, B(y) + from, m, mask.kinds[part].data(), Out(y) + from, n);
                continue;
            }
            SelectRowRepeating(A(y) + from, B(y) + from, m, Out(y) + from, n);
        }
    }
    // Rows y0..y1 with one mask: one pass over them all when the rows lie
    // end to end and the mask repeats along them; otherwise, when every row
    // blends, each row straight by the mask's steps.
    QVX_INLINE void Select(int y0, int y1, const RowMask& mask) {
        const bool blendAlike = y1 - y0 > 1 && !mask.fewRuns && mask.on > 0 && mask.on < w_ && mask.split == 0;
        if (blendAlike && mask.repeating[1] && out_.Pitch == w_ && w_ % 64 == 0) {
            Flush();
            return SelectRowRepeating(A(y0), B(y0), mask.bytes.data(), Out(y0), (y1 - y0) * w_);
        }
        if (blendAlike && !mask.repeating[1]) {
            // Every row blends by the same steps: straight to them.
            Flush();
            for (int y = y0; y < y1; ++y) SelectRowByChunks(A(y), B(y), mask.bytes.data(), mask.kinds[1].data(), Out(y), w_);
            return;
        }
        for (int y = y0; y < y1; ++y) Select(y, mask);
    }
    // Row y from the old slide, the new one or the mask between them, by
    // how many of the mask's `parts` are on.
    QVX_INLINE void Masked(int y, const u8* mask, int on, int parts) {
        if (on <= 0)
            RowFrom(y, A(y));
        else if (on >= parts)
            RowFrom(y, B(y));
        else
            Select(y, mask);
    }
    QVX_INLINE void Flush() {
        if (runRows_ == 0) return;
        if (runRows_ == 1)
            CopySpan(Out(runY_), runSrc_, w_);
        else
            std::memcpy(Out(runY_), runSrc_, static_cast<size_t>(runRows_) * static_cast<size_t>(w_));
        runRows_ = 0;
    }

private:
    u8* Out(int y) const { return out_.Bits + static_cast<ptrdiff_t>(y) * out_.Pitch; }

    const u8* a_;
    const u8* b_;
    TFrameTarget out_;
    int w_, h_;
    // Whole rows waiting to go out together.
    int runY_ = 0, runRows_ = 0;
    const u8* runSrc_ = nullptr;
};

// ---- Moving slides -------------------------------------------------------

// The new slide enters from one side over the old one (push: the old one
// leaves on the other side at the same pace).
QVX_INLINE void Horizontal(Painter& p, int64_t q, bool fromLeft, bool push) {
    const int w = p.W(), d = Part(w, q);
    for (int y = 0; y < p.H(); ++y) {
        if (fromLeft) {
            p.Put(y, 0, p.B(y), w - d, d);
            if (push)
                p.Put(y, d, p.A(y), 0, w - d);
            else
                p.Put(y, d, p.A(y), d, w - d);
        } else {
            if (push)
                p.Put(y, 0, p.A(y), d, w - d);
            else
                p.Put(y, 0, p.A(y), 0, w - d);
            p.Put(y, w - d, p.B(y), 0, d);
        }
    }
}

QVX_INLINE void Vertical(Painter& p, int64_t q, bool fromTop, bool push) {
    const int h = p.H(), d = Part(h, q);
    for (int y = 0; y < h; ++y) {
        if (fromTop)
            p.RowFrom(y, y < d ? p.B(y + h - d) : p.A(push ? y - d : y));
        else
            p.RowFrom(y, y >= h - d ? p.B(y - (h - d)) : p.A(push ? y + d : y));
    }
}

// Eight bands, each sliding in (alternately from the left and the right)
// once the band above is a quarter of its way.
QVX_INLINE void FollowMe(Painter& p, int64_t q) {
    const int h = p.H(), w = p.W(), bands = std::min(kFollowBands, h);
    for (int k = 0; k < bands; ++k) {
        const int64_t local = std::clamp<int64_t>((q * (bands + 3) - k * kOne) / 4, 0, kOne);
        const int d = Part(w, local);
        for (int y = k * h / bands; y < (k + 1) * h / bands; ++y) {
            if (k % 2 == 0) {
                p.Put(y, 0, p.B(y), w - d, d);
                p.Put(y, d, p.A(y), d, w - d);
            } else {
                p.Put(y, 0, p.A(y), 0, w - d);
                p.Put(y, w - d, p.B(y), 0, d);
            }
        }
    }
}

// The old slide split at the vertical middle, each half moving out by d;
// the new slide shows between them. Returns nothing; draws row y.
QVX_INLINE void PartedRow(Painter& p, int y, const u8* oldRow, int d) {
    const int w = p.W(), left = w / 2;
    const int gap0 = std::max(left - d, 0), gap1 = std::min(left + d, w);
    p.Put(y, 0, oldRow, d, gap0);
    p.Put(y, gap0, p.B(y), gap0, gap1 - gap0);
    p.Put(y, gap1, oldRow, left, w - gap1);
}

QVX_INLINE void Curtains(Painter& p, int64_t q) {
    const int d = Part(p.W() - p.W() / 2, q);
    for (int y = 0; y < p.H(); ++y) PartedRow(p, y, p.A(y), d);
}

QVX_INLINE void Quarters(Painter& p, int64_t q) {
    const int h = p.H(), top = h / 2;
    const int dx = Part(p.W() - p.W() / 2, q), dy = Part(h - top, q);
    for (int y = 0; y < h; ++y) {
        if (y < top - dy)
            PartedRow(p, y, p.A(y + dy), dx);
        else if (y >= top + dy)
            PartedRow(p, y, p.A(y - dy), dx);
        else
            p.RowFrom(y, p.B(y));
    }
}

// ---- Reveals in place ----------------------------------------------------

// A centred rectangle of the new slide, dw x dh.
QVX_INLINE void Opening(Painter& p, int dw, int dh) {
    const int left = (p.W() - dw) / 2, top = (p.H() - dh) / 2;
    for (int y = 0; y < p.H(); ++y) {
        if (y >= top && y < top + dh)
            p.Window(y, left, left + dw);
        else
            p.RowFrom(y, p.A(y));
    }
}

QVX_INLINE void Shutters(Painter& p, int64_t q) {
    const int h = p.H(), slats = std::min(kShutterSlats, h);
    for (int k = 0; k < slats; ++k) {
        const int y0 = k * h / slats, y1 = (k + 1) * h / slats, open = Part(y1 - y0, q);
        const int top = y0 + (y1 - y0 - open) / 2;
        for (int y = y0; y < y1; ++y) p.RowFrom(y, y >= top && y < top + open ? p.B(y) : p.A(y));
    }
}

// The k-th of the 16 classes of lines in the interlaced order: k's four
// bits reversed.
constexpr int InterlacedClass(int k) { return ((k & 1) << 3) | ((k & 2) << 1) | ((k & 4) >> 1) | ((k & 8) >> 3); }

// Lines 0 .. n-1 in an interlaced order: by their class (line % 16) in the
// interlaced order first, then from the start. ranks[i] is line i's turn.
std::vector<int> InterlacedRanks(int n) {
    std::vector<int> ranks(static_cast<size_t>(n));
    int turn = 0;
    for (int k = 0; k < 16; ++k) {
        const int r = InterlacedClass(k);
        for (int i = r; i < n; i += 16) ranks[static_cast<size_t>(i)] = turn++;
    }
    return ranks;
}

// Every 16th column makes a class; the classes come in the interlaced
// order, each wiping down from the top.
QVX_INLINE void VerticalLines(Painter& p, int64_t q) {
    const int w = p.W(), h = p.H(), classes = std::min(16, w);
    const int64_t reached = q * classes;  // classes shown, in 16.16
    const int whole = static_cast<int>(reached >> 16), rows = Part(h, reached & (kOne - 1));
    RowMask shown(w);
    for (int k = 0, turn = 0; k < 16 && turn <= whole; ++k) {
        const int r = InterlacedClass(k);
        if (r >= w) continue;  // a class with no column
        if (turn == whole) {  // the class coming in: down to `rows`
            RowMask coming = shown;
            for (int x = r; x < w; x += 16) coming.bytes[static_cast<size_t>(x)] = 0xFF;
            coming.Plan();
            p.Select(0, rows, coming);
            break;
        }
        for (int x = r; x < w; x += 16) shown.bytes[static_cast<size_t>(x)] = 0xFF;
        ++turn;
    }
    shown.Plan();
    p.Select(rows, h, shown);
}

QVX_INLINE void HorizontalLines(Painter& p, int64_t q) {
    const int h = p.H(), shown = Part(h, q);
    std::vector<int> ranks = InterlacedRanks(h);
    for (int y = 0; y < h; ++y) p.RowFrom(y, ranks[static_cast<size_t>(y)] < shown ? p.B(y) : p.A(y));
}

// Columns in two classes: the first class (the columns `markFirst` sets to
// 0xFF in a mask of zeros) wipes down from the top, the other up from the
// bottom. Only the masks some rows use are planned.
template <class MarkFirst>
QVX_INLINE void DownAndUp(Painter& p, int64_t q, MarkFirst markFirst) {
    const int w = p.W(), h = p.H(), d = Part(h, q);
    // Rows change their kind only at d and h - d.
    const int cuts[] = {0, std::min(d, h - d), std::max(d, h - d), h};
    RowMask first(w);
    markFirst(first.bytes.data());
    bool firstPlanned = false;
    std::optional<RowMask> second;
    auto mask = [&](bool ofFirst) -> const RowMask& {
        if (ofFirst) {
            if (!firstPlanned) first.Plan();
            firstPlanned = true;
            return first;
        }
        if (!second) {
            second.emplace(w);
            for (int x = 0; x < w; ++x) second->bytes[static_cast<size_t>(x)] = static_cast<u8>(~first.bytes[static_cast<size_t>(x)]);
            second->Plan();
        }
        return *second;
    };
    for (int i = 0; i < 3; ++i) {
        const int y0 = cuts[i], y1 = cuts[i + 1];
        if (y0 >= y1) continue;
        const bool down = y0 < d, up = y0 >= h - d;
        if (down && up)
            for (int y = y0; y < y1; ++y) p.RowFrom(y, p.B(y));
        else if (down || up)
            p.Select(y0, y1, mask(down));
        else
            for (int y = y0; y < y1; ++y) p.RowFrom(y, p.A(y));
    }
}

// Rows in two classes: the first wipes in from the left, the other from
// the right.
template <class Class>
QVX_INLINE void RightAndLeft(Painter& p, int64_t q, Class firstClass) {
    const int w = p.W(), d = Part(w, q);
    for (int y = 0; y < p.H(); ++y) {
        if (firstClass(y))
            p.Window(y, 0, d);
        else
            p.Window(y, w - d, w);
    }
}

// Drops kDrop pixels wide, each starting at its own time in the first half
// and then running down faster and faster. The mask of the drops still
// reaching a row changes only where a drop ends, so it is kept up to date
// row by row.
QVX_INLINE void Drip(Painter& p, int64_t q) {
    const int w = p.W(), h = p.H(), drops = (w + kDrop - 1) / kDrop;
    std::vector<int> reach(static_cast<size_t>(drops));
    for (int j = 0; j < drops; ++j) {
        uint32_t x = static_cast<uint32_t>(j) * 0x9E3779B9u;
        x ^= x >> 16;
        x *= 0x7FEB352Du;
        x ^= x >> 15;
        const int64_t start = x & 0x7FFF;  // up to half the way
        const int64_t s = q <= start ? 0 : (q - start) * kOne / (kOne - start);
        reach[static_cast<size_t>(j)] = static_cast<int>(h * s * s >> 32);
    }
    std::vector<int> order(static_cast<size_t>(drops));
    for (int j = 0; j < drops; ++j) order[static_cast<size_t>(j)] = j;
    std::sort(order.begin(), order.end(),
              [&](int i, int j) { return reach[static_cast<size_t>(i)] < reach[static_cast<size_t>(j)]; });
    std::vector<u8> mask(static_cast<size_t>(w), 0xFF);
    size_t next = 0;  // drops in `order` before this one end above the row
    for (int y = 0; y < h; ++y) {
        while (next < order.size() && reach[static_cast<size_t>(order[next])] <= y) {
            const int x = order[next] * kDrop;
            std::memset(mask.data() + x, 0, static_cast<size_t>(std::min(kDrop, w - x)));
            ++next;
        }
        p.Masked(y, mask.data(), drops - static_cast<int>(next), drops);
    }
}

// A diagonal edge from the corner at (right ? right : left, bottom ? bottom
// : top): pixel (x, y), counted from that corner, shows the new slide once
// (x + 1) * H + (y + 1) * W <= the progress's share of 2 * W * H.
QVX_INLINE void Diagonal(Painter& p, int64_t q, bool right, bool bottom) {
    const int64_t w = p.W(), h = p.H(), reach = 2 * w * h * q >> 16;
    for (int y = 0; y < h; ++y) {
        const int64_t v = bottom ? h - 1 - y : y;
        const int64_t room = reach - (v + 1) * w;
        const int n = room < 0 ? 0 : static_cast<int>(std::min<int64_t>(room / h, w));
        if (right)
            p.Window(y, static_cast<int>(w) - n, static_cast<int>(w));
        else
            p.Window(y, 0, n);
    }
}

QVX_INLINE void VerticalStripes(Painter& p, int64_t q) {
    const int w = p.W();
    RowMask mask(w);
    for (int x0 = 0; x0 < w; x0 += kStripe)
        std::memset(mask.bytes.data() + x0, 0xFF, static_cast<size_t>(Part(std::min(kStripe, w - x0), q)));
    mask.Plan();
    p.Select(0, p.H(), mask);
}

QVX_INLINE void HorizontalStripes(Painter& p, int64_t q) {
    const int h = p.H();
    for (int y0 = 0; y0 < h; y0 += kStripe) {
        const int n = Part(std::min(kStripe, h - y0), q);
        for (int y = y0; y < std::min(y0 + kStripe, h); ++y) p.RowFrom(y, y < y0 + n ? p.B(y) : p.A(y));
    }
}

// Every effect; inlined into each processor level's Draw below.
QVX_INLINE void DrawEffects(const TIntroFrame& from, const TIntroFrame& to, int effect, int64_t q, TFrameTarget out) {
    Painter p(from, to, out);
    const int w = p.W(), h = p.H();
    switch (static_cast<Effect>(effect)) {
        case kSlideRight: Horizontal(p, q, true, false); break;
        case kSlideLeft: Horizontal(p, q, false, false); break;
        case kSlideDown: Vertical(p, q, true, false); break;
        case kSlideUp: Vertical(p, q, false, false); break;
        case kScrollRight: Horizontal(p, q, true, true); break;
        case kScrollLeft: Horizontal(p, q, false, true); break;
        case kScrollDown: Vertical(p, q, true, true); break;
        case kScrollUp: Vertical(p, q, false, true); break;
        case kZoomOpen: Opening(p, Part(w, q), Part(h, q)); break;
        case kHorizontalOpenOut: Opening(p, Part(w, q), h); break;
        case kVerticalOpenOut: Opening(p, w, Part(h, q)); break;
        case kCurtains: Curtains(p, q); break;
        case kShutters: Shutters(p, q); break;
        case kQuarters: Quarters(p, q); break;
        case kVerticalLines: VerticalLines(p, q); break;
        case kHorizontalLines: HorizontalLines(p, q); break;
        case kUpDownLines:
            DownAndUp(p, q, [w](u8* m) {
                for (int x = 0; x < w; x += 2) m[x] = 0xFF;
            });
            break;
        case kLeftRightLines: RightAndLeft(p, q, [](int y) { return y % 2 == 0; }); break;
        case kDrip: Drip(p, q); break;
        case kDiagonalTopLeft: Diagonal(p, q, false, false); break;
        case kDiagonalTopRight: Diagonal(p, q, true, false); break;
        case kDiagonalBottomLeft: Diagonal(p, q, false, true); break;
        case kDiagonalBottomRight: Diagonal(p, q, true, true); break;
        case kVerticalStripes: VerticalStripes(p, q); break;
        case kHorizontalStripes: HorizontalStripes(p, q); break;
        case kLargeVerticalStripes: {
            // Stripe k covers columns [k * w / stripes, (k + 1) * w / stripes),
            // rounded up; the even ones are the first class.
            const int stripes = std::min(kLargeStripes, w);
            DownAndUp(p, q, [w, stripes](u8* m) {
                for (int k = 0; k < stripes; k += 2) {
                    const int64_t x0 = (k * int64_t{w} + stripes - 1) / stripes;
                    const int64_t x1 = ((k + 1) * int64_t{w} + stripes - 1) / stripes;
                    std::memset(m + x0, 0xFF, static_cast<size_t>(x1 - x0));
                }
            });
            break;
        }
        case kLargeHorizontalStripes: {
            const int bands = std::min(kLargeStripes, h);
            RightAndLeft(p, q, [h, bands](int y) { return (static_cast<int64_t>(y) * bands / h) % 2 == 0; });
            break;
        }
        case kFollowMe: FollowMe(p, q); break;
        case kNone: break;
    }
}

using DrawFn = void (*)(const TIntroFrame&, const TIntroFrame&, int, int64_t, TFrameTarget);

void DrawBaseline(const TIntroFrame& from, const TIntroFrame& to, int effect, int64_t q, TFrameTarget out) {
    DrawEffects(from, to, effect, q, out);
}

#if defined(__x86_64__)
__attribute__((target("avx2"))) void DrawAvx2(const TIntroFrame& from, const TIntroFrame& to, int effect, int64_t q,
                                              TFrameTarget out) {
    DrawEffects(from, to, effect, q, out);
}
__attribute__((target("arch=x86-64-v4"))) void DrawV4(const TIntroFrame& from, const TIntroFrame& to, int effect,
                                                      int64_t q, TFrameTarget out) {
    DrawEffects(from, to, effect, q, out);
}
#endif

DrawFn Draw() {
#if defined(__x86_64__)
    static const DrawFn fn = tk::HasAvx512() ? DrawV4 : tk::HasAvx2() ? DrawAvx2 : DrawBaseline;
    return fn;
#else
    return DrawBaseline;
#endif
}

#undef QVX_INLINE

}  // namespace

void RenderTransition(const TIntroFrame& from, const TIntroFrame& to, int effect, double progress,
                      TFrameTarget out) {
    if (from.Width != to.Width || from.Height != to.Height)
        throw std::invalid_argument("RenderTransition: frames of different sizes");
    if (from.Width == 0 || from.Height == 0) return;
    const int64_t q = !(progress > 0) ? 0 : progress >= 1 ? kOne : std::llround(progress * kOne);
    if (q == 0 || q == kOne || effect <= kNone || effect > kLastTransitionEffect) {
        const TIntroFrame& whole = q == kOne ? to : from;
        Painter p(from, to, out);
        for (int y = 0; y < p.H(); ++y) p.RowFrom(y, whole.Row(y));
        return;
    }
    Draw()(from, to, effect, q, out);
}

TIntroFrame RenderTransition(const TIntroFrame& from, const TIntroFrame& to, int effect, double progress) {
    TIntroFrame out(from.Width, from.Height);
    RenderTransition(from, to, effect, progress, TFrameTarget{out.Pixels.data(), out.Width});
    return out;
}

}  // namespace qvx
