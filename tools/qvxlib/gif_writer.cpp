#include "gif_writer.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "toolkit/sysutils.h"

namespace qvxlib {

namespace {

[[noreturn]] void GifFailed(int error) {
    const char* text = GifErrorString(error);
    throw tk::Exception(std::string("GIF writing failed: ") + (text ? text : "unknown error"));
}

void PutLE16(std::vector<uint8_t>& out, int v) {
    out.push_back(static_cast<uint8_t>(v & 0xFF));
    out.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
}

int AppendTo(GifFileType* gif, const GifByteType* data, int n) {
    auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
    out->insert(out->end(), data, data + n);
    return n;
}

// giflib codes one picture into a GIF of its own, with `tableColours`
// (3 x a power of two bytes) as its colour table, whose size sets the
// code size; what stands between that GIF's colour table and its trailer
// is the picture's image block (descriptor and LZW data), placed here at
// (left, top).
std::vector<uint8_t> ImageBlock(const std::vector<uint8_t>& tableColours, int screenWidth, int screenHeight,
                                const uint8_t* pixels, int width, int height, int left, int top) {
    const int entries = static_cast<int>(tableColours.size() / 3);
    std::vector<GifColorType> table(static_cast<size_t>(entries));
    for (size_t i = 0; i < table.size(); ++i)
        table[i] = {tableColours[3 * i], tableColours[3 * i + 1], tableColours[3 * i + 2]};
    ColorMapObject* map = GifMakeMapObject(entries, table.data());
    if (!map) throw tk::Exception(tk::msg::SOutOfMemory);
    std::vector<uint8_t> gif;
    int error = 0;
    GifFileType* file = EGifOpen(&gif, AppendTo, &error);
    if (!file) {
        GifFreeMapObject(map);
        GifFailed(error);
    }
    bool ok = EGifPutScreenDesc(file, screenWidth, screenHeight, 8, 0, map) == GIF_OK &&
              EGifPutImageDesc(file, left, top, width, height, false, nullptr) == GIF_OK;
    for (int y = 0; ok && y < height; ++y)
        ok = EGifPutLine(file, const_cast<GifPixelType*>(pixels + static_cast<ptrdiff_t>(y) * width), width) ==
             GIF_OK;
    if (!ok) error = file->Error;
    GifFreeMapObject(map);
    if (EGifCloseFile(file, ok ? &error : nullptr) != GIF_OK && ok) GifFailed(error);
    if (!ok) GifFailed(error);
    const size_t before = 6 + 7 + tableColours.size();  // header, screen descriptor, colour table
    if (gif.size() <= before + 1) GifFailed(E_GIF_ERR_WRITE_FAILED);
    return std::vector<uint8_t>(gif.begin() + static_cast<ptrdiff_t>(before), gif.end() - 1);
}

// The picture coded against the global table (the whole palette, 8-bit
// codes), or, when it uses few colours, with a local table of just those
// (exact all the same) and shorter codes.
GifCodedImage Code(const std::vector<uint8_t>& colours, int screenWidth, int screenHeight, const std::vector<uint8_t>& pixels,
           int width, int height, int left, int top, int transparent) {
    int local[256];
    std::fill(std::begin(local), std::end(local), -1);
    int used = 0;
    for (uint8_t p : pixels)
        if (local[p] < 0) local[p] = used++;
    int bits = 1;
    while ((1 << bits) < used) ++bits;
    // A local table pays when its shorter codes save more than it costs.
    const size_t tableBytes = 3 * (size_t{1} << bits);
    if (bits >= 8 || tableBytes * 4 > pixels.size())
        return GifCodedImage{ImageBlock(colours, screenWidth, screenHeight, pixels.data(), width, height, left, top), transparent};
    std::vector<uint8_t> table(tableBytes, 0);
    for (int i = 0; i < 256; ++i)
        if (local[i] >= 0) std::copy_n(colours.begin() + 3 * i, 3, table.begin() + 3 * local[i]);
    std::vector<uint8_t> mapped(pixels.size());
    for (size_t i = 0; i < pixels.size(); ++i) mapped[i] = static_cast<uint8_t>(local[pixels[i]]);
    std::vector<uint8_t> block = ImageBlock(table, screenWidth, screenHeight, mapped.data(), width, height, left, top);
    // The descriptor (10 bytes) says a local table follows it.
    block[9] = static_cast<uint8_t>(0x80 | (bits - 1));
    block.insert(block.begin() + 10, table.begin(), table.end());
    return GifCodedImage{std::move(block), transparent >= 0 ? local[transparent] : -1};
}

}  // namespace

GifWriter::GifWriter(int width, int height, const qvx::TLibPalette& palette, bool loop, bool plain)
    : width_(width), height_(height), plain_(plain), shown_(width, height) {
    for (const auto& e : palette) colours_.insert(colours_.end(), {e.Red, e.Green, e.Blue});
    // Indices of one colour look alike: each becomes the first of them, so
    // that a pixel whose colour stays counts as unchanged.
    for (int i = 0; i < 256; ++i) {
        canonical_[i] = static_cast<uint8_t>(i);
        for (int j = 0; j < i; ++j)
            if (std::equal(colours_.begin() + 3 * j, colours_.begin() + 3 * j + 3, colours_.begin() + 3 * i)) {
                canonical_[i] = static_cast<uint8_t>(j);
                break;
            }
    }
    out_.insert(out_.end(), {'G', 'I', 'F', '8', '9', 'a'});
    PutLE16(out_, width);
    PutLE16(out_, height);
    out_.insert(out_.end(), {0xF7, 0, 0});  // a global table of 256 colours, 8 bits each
    out_.insert(out_.end(), colours_.begin(), colours_.end());
    if (loop) {
        static const char kApp[] = "NETSCAPE2.0";
        out_.insert(out_.end(), {0x21, 0xFF, 11});
        out_.insert(out_.end(), kApp, kApp + 11);
        out_.insert(out_.end(), {3, 1, 0, 0, 0});  // played over and over
    }
}

GifWriter::~GifWriter() = default;

void GifWriter::Add(const qvx::TIntroFrame& picture, int delay) {
    qvx::TIntroFrame frame = picture;
    for (uint8_t& p : frame.Pixels) p = canonical_[p];
    if (hasPending_ && frame == pending_) {
        pendingDelay_ += delay;
        return;
    }
    if (hasPending_) Write(pending_, pendingDelay_);
    pending_ = frame;
    pendingDelay_ = delay;
    hasPending_ = true;
}

std::vector<uint8_t> GifWriter::Finish() {
    if (hasPending_) Write(pending_, pendingDelay_);
    hasPending_ = false;
    out_.push_back(0x3B);
    return std::move(out_);
}

void GifWriter::Write(const qvx::TIntroFrame& frame, int delay) {
    // The rectangle that changed since the frame on show.
    int x0 = 0, y0 = 0, x1 = width_, y1 = height_;
    if (frames_ > 0 && !plain_) {
        auto rowDiffers = [&](int y) { return std::memcmp(frame.Row(y), shown_.Row(y), static_cast<size_t>(width_)) != 0; };
        while (y0 < height_ && !rowDiffers(y0)) ++y0;
        if (y0 == height_) y0 = 0, y1 = 1, x1 = 1;  // nothing changed: one pixel, as it is
        else {
            while (!rowDiffers(y1 - 1)) --y1;
            x0 = width_, x1 = 0;
            for (int y = y0; y < y1; ++y) {
                const uint8_t *a = frame.Row(y), *b = shown_.Row(y);
                int l = 0, r = width_;
                while (l < x0 && a[l] == b[l]) ++l;
                while (r > x1 && a[r - 1] == b[r - 1]) --r;
                x0 = std::min(x0, l);
                x1 = std::max(x1, r);
            }
        }
    }
    const int w = x1 - x0, h = y1 - y0;
    std::vector<uint8_t> pixels(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        std::memcpy(pixels.data() + static_cast<size_t>(y) * w, frame.Row(y0 + y) + x0, static_cast<size_t>(w));
    if (frames_ == 0 || plain_) {
        Put(GifCodedImage{ImageBlock(colours_, width_, height_, pixels.data(), w, h, x0, y0), -1}, delay);
    } else {
        // Candidates: the rectangle as it is; with every unchanged pixel
        // transparent (in an index no changed pixel uses); with each
        // unchanged pixel transparent or its own colour, whichever makes the
        // fewest runs in its row. A strip of rows chooses; the choice is
        // coded whole.
        int chosen = 0;  // 0: as it is; 1: all unchanged transparent; 2: fewest runs
        const int t = TransparentIndex(frame, x0, y0, w, h);
        if (t >= 0) {
            const int rows = std::min(h, std::max(16, 16384 / std::max(w, 1)));
            const int from = (h - rows) / 2;
            const std::vector<uint8_t> strip(pixels.begin() + static_cast<ptrdiff_t>(from) * w,
                                             pixels.begin() + static_cast<ptrdiff_t>(from + rows) * w);
            size_t best = SIZE_MAX;
            for (int c = 0; c < 3; ++c) {
                const std::vector<uint8_t> candidate =
                    c == 0 ? strip : Holes(x0, y0 + from, w, rows, strip, static_cast<uint8_t>(t), c == 2);
                const size_t size = Code(colours_, width_, height_, candidate, w, rows, x0, y0, c ? t : -1).block.size();
                if (size < best) best = size, chosen = c;
            }
        }
        if (chosen == 0)
            Put(Code(colours_, width_, height_, pixels, w, h, x0, y0, -1), delay);
        else
            Put(Code(colours_, width_, height_, Holes(x0, y0, w, h, pixels, static_cast<uint8_t>(t), chosen == 2), w, h,
                     x0, y0, t),
                delay);
    }
    for (int y = y0; y < y1; ++y) std::memcpy(shown_.Row(y) + x0, frame.Row(y) + x0, static_cast<size_t>(w));
    ++frames_;
}

int GifWriter::TransparentIndex(const qvx::TIntroFrame& frame, int x0, int y0, int w, int h) const {
    bool used[256] = {};
    bool unchanged = false;
    for (int y = 0; y < h; ++y) {
        const uint8_t *a = frame.Row(y0 + y) + x0, *b = shown_.Row(y0 + y) + x0;
        for (int x = 0; x < w; ++x) {
            if (a[x] == b[x])
                unchanged = true;
            else
                used[a[x]] = true;
        }
    }
    int free = 0;
    while (free < 256 && used[free]) ++free;
    return unchanged && free < 256 ? free : -1;
}

std::vector<uint8_t> GifWriter::Holes(int x0, int y0, int w, int h, const std::vector<uint8_t>& pixels, uint8_t t,
                                      bool fewestRuns) const {
    std::vector<uint8_t> out = pixels;
    std::vector<uint8_t> fromHole(static_cast<size_t>(w) * 2);
    for (int y = 0; y < h; ++y) {
        const uint8_t* b = shown_.Row(y0 + y) + x0;
        uint8_t* r = out.data() + static_cast<size_t>(y) * w;
        if (!fewestRuns) {
            for (int x = 0; x < w; ++x)
                if (r[x] == b[x]) r[x] = t;
            continue;
        }
        // Fewest runs: the best row so far ending in the pixel's own colour
        // and ending in t, and for each which way it came.
        constexpr int kNone = 1 << 30;
        int own = 1, hole = r[0] == b[0] ? 1 : kNone;
        for (int x = 1; x < w; ++x) {
            const int ownFromOwn = own + (r[x - 1] != r[x]), ownFromHole = hole + (t != r[x]);
            const int holeFromOwn = own + (r[x - 1] != t), holeFromHole = hole;
            fromHole[2 * x] = ownFromHole < ownFromOwn;
            fromHole[2 * x + 1] = holeFromHole <= holeFromOwn;
            own = std::min(ownFromOwn, ownFromHole);
            hole = r[x] == b[x] ? std::min(holeFromOwn, holeFromHole) : kNone;
        }
        bool inHole = hole <= own;
        for (int x = w - 1; x >= 0; --x) {
            const bool before = x > 0 && fromHole[2 * x + (inHole ? 1 : 0)];
            if (inHole) r[x] = t;
            inHole = before;
        }
    }
    return out;
}

void GifWriter::Put(const GifCodedImage& coded, int delay) {
    const int transparent = coded.transparent;
    const std::vector<uint8_t>& block = coded.block;

    // Graphic control: not disposed (the next frame draws over this one),
    // the delay, the transparent index if any.
    out_.insert(out_.end(), {0x21, 0xF9, 4, static_cast<uint8_t>((1 << 2) | (transparent >= 0 ? 1 : 0))});
    PutLE16(out_, std::clamp(delay, 0, 65535));
    out_.insert(out_.end(), {static_cast<uint8_t>(transparent >= 0 ? transparent : 0), 0});
    out_.insert(out_.end(), block.begin(), block.end());
}

}  // namespace qvxlib
