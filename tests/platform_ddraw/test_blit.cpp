// The fast blitters against the reference blitter on random pictures, and
// small golden pictures worked out by hand.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <vector>

#include "platform/ddraw/blit.h"
#include "platform/ddraw/pixels.h"
#include "toolkit/cpufeatures.h"

using namespace ddraw;

namespace {

struct Pic {
    Pic(int w, int h, int bytes) : v{nullptr, (w * bytes + 3) & ~3, w, h, bytes}, mem(size_t(v.pitch) * h + 8, 0) {
        v.bits = mem.data();
    }
    PixelView v;
    std::vector<uint8_t> mem;
    void Random(std::mt19937& rng, int distinct) {
        // Few distinct values, so colour keys hit often.
        for (int y = 0; y < v.height; ++y)
            for (int x = 0; x < v.width; ++x) refblit::PutPixel(v, x, y, rng() % distinct * 0x010203u);
    }
    bool operator==(const Pic& o) const {
        for (int y = 0; y < v.height; ++y)
            for (int x = 0; x < v.width; ++x)
                if (refblit::GetPixel(v, x, y) != refblit::GetPixel(o.v, x, y)) return false;
        return true;
    }
};

PixelFormat Fmt(int bits) {
    PixelFormat f;
    FormatForBits(bits, &f);
    return f;
}

class BlitDepth : public ::testing::TestWithParam<int> {};

TEST_P(BlitDepth, FastMatchesReferenceOnRandomPictures) {
    int bits = GetParam(), bytes = bits / 8;
    PixelFormat f = Fmt(bits);
    std::mt19937 rng(bits);
    for (int round = 0; round < 60; ++round) {
        int sw = 1 + int(rng() % 70), sh = 1 + int(rng() % 40);
        int dw = 1 + int(rng() % 90), dh = 1 + int(rng() % 50);
        Pic src(sw, sh, bytes), a(dw, dh, bytes), b(dw, dh, bytes);
        src.Random(rng, 4);
        a.Random(rng, 200);
        b.mem = a.mem;
        b.v.bits = b.mem.data();
        RECT sr{int(rng() % sw), int(rng() % sh), 0, 0};
        sr.right = sr.left + 1 + int(rng() % (sw - sr.left));
        sr.bottom = sr.top + 1 + int(rng() % (sh - sr.top));
        ColourKey key;
        key.on = rng() % 2;
        key.low = key.high = f.bits == 8 ? 0x00 : refblit::GetPixel(src.v, sr.left, sr.top) & f.ColourMask();
        int op = round % 3;
        if (op == 0) {  // fill
            RECT r{int(rng() % dw), int(rng() % dh), 0, 0};
            r.right = r.left + int(rng() % (dw - r.left + 1));
            r.bottom = r.top + int(rng() % (dh - r.top + 1));
            uint32_t value = rng() & (bits == 32 ? 0xFFFFFFFFu : (1u << bits) - 1);
            blit::Fill(a.v, r, value);
            refblit::Fill(b.v, r, value);
        } else if (op == 1) {  // copy, keyed or not, placed inside the destination
            int w = std::min<int>(sr.right - sr.left, dw), h = std::min<int>(sr.bottom - sr.top, dh);
            sr.right = sr.left + w;
            sr.bottom = sr.top + h;
            int dx = int(rng() % (dw - w + 1)), dy = int(rng() % (dh - h + 1));
            blit::CopyKeyed(a.v, dx, dy, src.v, sr, key, f);
            refblit::CopyKeyed(b.v, dx, dy, src.v, sr, key, f);
        } else {  // stretch with a clip inside the destination rectangle
            RECT dr{int(rng() % dw), int(rng() % dh), 0, 0};
            dr.right = dr.left + 1 + int(rng() % (dw - dr.left));
            dr.bottom = dr.top + 1 + int(rng() % (dh - dr.top));
            RECT clip{dr.left + int(rng() % (dr.right - dr.left)), dr.top, dr.right, dr.bottom};
            blit::Stretch(a.v, dr, clip, src.v, sr, key, f);
            refblit::Stretch(b.v, dr, clip, src.v, sr, key, f);
        }
        ASSERT_TRUE(a == b) << "bits " << bits << " round " << round << " op " << op;
    }
}

TEST_P(BlitDepth, KeyRangesMatchReference) {
    int bits = GetParam(), bytes = bits / 8;
    PixelFormat f = Fmt(bits);
    std::mt19937 rng(100 + bits);
    Pic src(37, 9, bytes), a(40, 12, bytes), b(40, 12, bytes);
    src.Random(rng, 7);
    b.mem = a.mem;
    b.v.bits = b.mem.data();
    ColourKey key{true, bits == 8 ? 0x02u : 0x020406u & f.ColourMask(), bits == 8 ? 0x06u : 0x0A0C0Eu & f.ColourMask()};
    blit::CopyKeyed(a.v, 2, 1, src.v, RECT{0, 0, 37, 9}, key, f);
    refblit::CopyKeyed(b.v, 2, 1, src.v, RECT{0, 0, 37, 9}, key, f);
    EXPECT_TRUE(a == b);
}

INSTANTIATE_TEST_SUITE_P(Depths, BlitDepth, ::testing::Values(8, 16, 24, 32));

// Golden: a 4x3 sprite with key 0 blitted at (1, 1) onto a 6x5 surface
// filled with 9, at 16 bits.
TEST(BlitGolden, KeyedSpriteLeavesBackgroundWhereKeyed) {
    Pic src(4, 3, 2), dst(6, 5, 2);
    const uint16_t sprite[3][4] = {{0, 1, 1, 0}, {1, 0, 0, 1}, {0, 1, 1, 0}};
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) refblit::PutPixel(src.v, x, y, sprite[y][x]);
    blit::Fill(dst.v, RECT{0, 0, 6, 5}, 9);
    ColourKey key{true, 0, 0};
    blit::CopyKeyed(dst.v, 1, 1, src.v, RECT{0, 0, 4, 3}, key, Fmt(16));
    const uint16_t want[5][6] = {{9, 9, 9, 9, 9, 9},
                                 {9, 9, 1, 1, 9, 9},
                                 {9, 1, 9, 9, 1, 9},
                                 {9, 9, 1, 1, 9, 9},
                                 {9, 9, 9, 9, 9, 9}};
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 6; ++x) EXPECT_EQ(refblit::GetPixel(dst.v, x, y), want[y][x]) << x << "," << y;
}

// Golden: 2x2 stretched to 5x3 takes columns 0,0,0,1,1 and rows 0,0,1.
TEST(BlitGolden, StretchPicksNearestSourcePixels) {
    Pic src(2, 2, 4), dst(5, 3, 4);
    refblit::PutPixel(src.v, 0, 0, 0xA);
    refblit::PutPixel(src.v, 1, 0, 0xB);
    refblit::PutPixel(src.v, 0, 1, 0xC);
    refblit::PutPixel(src.v, 1, 1, 0xD);
    blit::Stretch(dst.v, RECT{0, 0, 5, 3}, RECT{0, 0, 5, 3}, src.v, RECT{0, 0, 2, 2}, ColourKey{}, Fmt(32));
    const uint32_t want[3][5] = {{0xA, 0xA, 0xA, 0xB, 0xB}, {0xA, 0xA, 0xA, 0xB, 0xB}, {0xC, 0xC, 0xC, 0xD, 0xD}};
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) EXPECT_EQ(refblit::GetPixel(dst.v, x, y), want[y][x]);
}

// 24-bit fills write three bytes a pixel and nothing past the rectangle.
TEST(BlitGolden, Fill24WritesExactBytes) {
    Pic dst(3, 1, 3);
    blit::Fill(dst.v, RECT{1, 0, 3, 1}, 0x123456);
    const uint8_t want[] = {0, 0, 0, 0x56, 0x34, 0x12, 0x56, 0x34, 0x12, 0, 0, 0};
    EXPECT_EQ(std::vector<uint8_t>(dst.mem.begin(), dst.mem.begin() + 12), std::vector<uint8_t>(want, want + 12));
}

// The 32-bit key compares colour bits only: the unused top byte is ignored.
TEST(BlitGolden, ThirtyTwoBitKeyIgnoresTopByte) {
    Pic src(1, 1, 4), dst(1, 1, 4);
    refblit::PutPixel(src.v, 0, 0, 0xFF000000);
    refblit::PutPixel(dst.v, 0, 0, 0x00123456);
    blit::CopyKeyed(dst.v, 0, 0, src.v, RECT{0, 0, 1, 1}, ColourKey{true, 0, 0}, Fmt(32));
    EXPECT_EQ(refblit::GetPixel(dst.v, 0, 0), 0x00123456u);
}

TEST(BlitOverlap, CopyWithinOneSurfaceBehavesAsThroughATemporary) {
    for (int down : {0, 1}) {
        Pic a(8, 8, 1), b(8, 8, 1);
        std::mt19937 rng(7);
        a.Random(rng, 250);
        b.mem = a.mem;
        b.v.bits = b.mem.data();
        RECT sr = down ? RECT{0, 0, 6, 6} : RECT{2, 2, 8, 8};
        int d = down ? 2 : 0;
        blit::Copy(a.v, d, d, a.v, sr);
        refblit::Copy(b.v, d, d, b.v, sr);
        EXPECT_TRUE(a == b);
    }
}

// The fast expansion (vector lookups where the processor has them) against
// plain lookups, at every length around its block size, with one alpha for
// all entries and with alphas that differ. Run twice by ctest: as the
// processor chooses, and under each QVX_CPU_LIMIT.
TEST(PaletteExpansion, MatchesTableLookupAtEveryLength) {
    if (std::getenv("QVX_CPU_LIMIT")) {
        EXPECT_FALSE(tk::HasAvx512Vbmi()) << "the limit did not take";
    }
    std::mt19937 rng(3);
    std::vector<uint8_t> in(700);
    for (auto& i : in) i = static_cast<uint8_t>(rng());
    for (bool sameAlpha : {true, false}) {
        uint32_t table[256];
        for (auto& t : table) t = sameAlpha ? 0xFF000000u | (rng() & 0xFFFFFF) : static_cast<uint32_t>(rng());
        PaletteExpander expander(table);
        for (int n : {0, 1, 7, 63, 64, 127, 128, 129, 191, 255, 256, 300, 640, 700}) {
            std::vector<uint32_t> out(static_cast<size_t>(n) + 1, 0xDEADBEEF);
            expander.Expand(in.data(), n, out.data());
            for (int i = 0; i < n; ++i) ASSERT_EQ(out[size_t(i)], table[in[size_t(i)]]) << n << " at " << i;
            EXPECT_EQ(out[size_t(n)], 0xDEADBEEF) << "wrote past " << n;
        }
    }
}

// 16-bit rows to 32-bit against the per-pixel unpacking, every value, at
// lengths around the vector width. Run both ways like the expansion.
TEST(RowConversion, SixteenBitRowsMatchThePixelUnpacking) {
    PixelFormat f;
    ASSERT_TRUE(FormatForBits(16, &f));
    std::vector<uint16_t> all(65536);
    for (int v = 0; v < 65536; ++v) all[size_t(v)] = static_cast<uint16_t>(v * 40503);  // every value, scrambled
    for (int n : {0, 1, 7, 8, 9, 15, 16, 17, 33, 65536}) {
        std::vector<uint32_t> out(static_cast<size_t>(n) + 1, 0xDEADBEEF);
        ConvertRow(reinterpret_cast<const uint8_t*>(all.data()), n, f, nullptr, out.data());
        for (int i = 0; i < n; ++i)
            ASSERT_EQ(out[size_t(i)], UnpackRGB(f, all[size_t(i)], nullptr) | 0xFF000000u) << n << " at " << i;
        EXPECT_EQ(out[size_t(n)], 0xDEADBEEF) << "wrote past " << n;
    }
}

}  // namespace
