// The colour matcher, whole-picture matching against the per-pixel
// reference, and the palette grid.
#include <gtest/gtest.h>

#include <QImage>
#include <cstdlib>
#include <random>

#include "bmputil/bmputil.h"
#include "toolkit/cpufeatures.h"

using namespace bmputil;

namespace {

TLibPalette AllUsed(TLibPalEntry e) {
    TLibPalette p;
    e.Used = 1;
    p.fill(e);
    return p;
}

}  // namespace

TEST(MatchColor, ExactMatchesOnlyUsedEntries) {
    TLibPalette p{};
    p[3] = TLibPalEntry{10, 20, 30, 0};  // free: never compared
    p[7] = TLibPalEntry{10, 20, 30, 1};
    TMatchKind kind;
    EXPECT_EQ(MatchColor(p, 10, 20, 30, kind), 7);
    EXPECT_EQ(kind, mkExact);
    EXPECT_EQ(p[3].Used, 0);

    // Not present among used entries: the first free entry takes it.
    EXPECT_EQ(MatchColor(p, 1, 2, 3, kind), 1);
    EXPECT_EQ(kind, mkAdded);
    EXPECT_EQ(p[1], (TLibPalEntry{1, 2, 3, 1}));
    EXPECT_EQ(MatchColor(p, 1, 2, 3, kind), 1);
    EXPECT_EQ(kind, mkExact);
}

TEST(MatchColor, EntryZeroIsNeverExaminedOrChosen) {
    // A new library: black sits in entry 0 only, so black takes entry 10.
    TLibPalette p;
    ResetPalette(p, true);
    TMatchKind kind;
    EXPECT_EQ(MatchColor(p, 0, 0, 0, kind), 10);
    EXPECT_EQ(kind, mkAdded);
    EXPECT_EQ(MatchColor(p, 255, 0, 0, kind), 249);
    EXPECT_EQ(kind, mkExact);

    // Full palette: entry 0 equal to the colour is still not chosen.
    TLibPalette full = AllUsed({200, 200, 200, 1});
    full[0] = TLibPalEntry{5, 5, 5, 1};
    full[90] = TLibPalEntry{5, 5, 7, 1};
    EXPECT_EQ(MatchColor(full, 5, 5, 5, kind), 90);
    EXPECT_EQ(kind, mkNearest);
}

TEST(MatchColor, NearestTakesTheLowestIndexOnTies) {
    TLibPalette p = AllUsed({250, 250, 250, 1});
    p[40] = TLibPalEntry{103, 100, 100, 1};
    p[12] = TLibPalEntry{100, 97, 100, 1};
    TMatchKind kind;
    EXPECT_EQ(MatchColor(p, 100, 100, 100, kind), 12);
    EXPECT_EQ(kind, mkNearest);
    // Every entry at the largest distance, 765: entry 1 still qualifies.
    TLibPalette white = AllUsed({255, 255, 255, 1});
    EXPECT_EQ(MatchColor(white, 0, 0, 0, kind), 1);
    EXPECT_EQ(kind, mkNearest);
}

// ---- Whole-picture matching against the per-pixel reference -------------------

namespace {

struct Case {
    std::string what;
    TLibPalette palette;
    TBitmapInfo info{};
    std::vector<uint8_t> pixels;
    int width = 0, height = 0;
    std::optional<uint8_t> transparent;
};

TLibPalette RandomPalette(std::mt19937& rng, int mode) {
    TLibPalette p{};
    switch (mode) {
        case 0:
            break;  // empty: all free
        case 1:
            ResetPalette(p, true);
            break;  // new library
        case 2:     // partly used
            for (auto& e : p)
                e = TLibPalEntry{uint8_t(rng()), uint8_t(rng()), uint8_t(rng()),
                                 uint8_t(rng() % 3 == 0 ? 1 : 0)};
            break;
        case 3:  // full: nearest path from the start
            for (auto& e : p) e = TLibPalEntry{uint8_t(rng()), uint8_t(rng()), uint8_t(rng()), 1};
            break;
        case 4:  // few free entries: fills up part-way through the picture
            for (auto& e : p) e = TLibPalEntry{uint8_t(rng()), uint8_t(rng()), uint8_t(rng()), 1};
            for (int k = 0; k < 4; ++k) p[1 + rng() % 255].Used = 0;
            break;
        case 5:  // coarse colours: many equal distances
            for (auto& e : p)
                e = TLibPalEntry{uint8_t(rng() % 3 * 2), uint8_t(rng() % 3 * 2),
                                 uint8_t(rng() % 3 * 2), 1};
            p[1 + rng() % 255].Used = 0;
            break;
    }
    return p;
}

Case RandomCase(std::mt19937& rng, int paletteMode) {
    Case c;
    c.palette = RandomPalette(rng, paletteMode);
    c.what = "palette mode " + std::to_string(paletteMode);
    const int tableMode = static_cast<int>(rng() % 4);
    for (int i = 0; i < 256; ++i) {
        TRGBQuad& q = c.info.bmiColors[i];
        if (tableMode == 0) {
            q = TRGBQuad{uint8_t(rng()), uint8_t(rng()), uint8_t(rng()), 0};
        } else if (tableMode == 1) {  // few distinct colours, repeated entries
            uint8_t v = uint8_t(rng() % 4 * 60);
            q = TRGBQuad{v, uint8_t(255 - v), v, 0};
        } else if (tableMode == 2) {  // colours taken from the palette, entry 0 included
            const TLibPalEntry& e = c.palette[rng() % 256];
            q = TRGBQuad{e.Blue, e.Green, e.Red, 0};
        } else {  // odd coarse colours: ties against coarse palettes
            q = TRGBQuad{uint8_t(rng() % 3 * 2 + 1), uint8_t(rng() % 3 * 2 + 1),
                         uint8_t(rng() % 3 * 2), 0};
        }
    }
    c.info.bmiColors[rng() % 256] =
        TRGBQuad{c.palette[0].Blue, c.palette[0].Green, c.palette[0].Red, 0};
    // Now and then wide enough for whole 64-pixel chunks.
    c.width = static_cast<int>(rng() % 8 == 0 ? 64 + rng() % 200 : rng() % 37);
    c.height = static_cast<int>(rng() % 23);
    const bool bottomUp = rng() % 2;
    c.info.bmiHeader.biWidth = c.width;
    c.info.bmiHeader.biHeight = bottomUp ? c.height : -c.height;
    c.info.bmiHeader.biBitCount = 8;
    // Index range limited at times, so that parts of the table stay unused.
    const unsigned range = rng() % 2 ? 256 : 1 + rng() % 40;
    c.pixels.resize(static_cast<size_t>(BytesPerLine(c.width) * c.height));
    for (auto& v : c.pixels) v = static_cast<uint8_t>(rng() % range);
    switch (rng() % 3) {
        case 0:
            break;
        case 1:
            c.transparent = static_cast<uint8_t>(rng() % range);
            break;
        case 2:
            c.transparent = 0;
            break;
    }
    return c;
}

}  // namespace

// Run twice by ctest: as the processor chooses, and under each QVX_CPU_LIMIT.
TEST(MatchPixels, EqualsTheLiteralPerPixelLoop) {
    if (std::getenv("QVX_CPU_LIMIT")) {
        EXPECT_FALSE(tk::HasAvx512Vbmi()) << "the limit did not take";
    }
    std::mt19937 rng(20240601);
    int cases = 0;
    for (int round = 0; round < 300; ++round) {
        for (int mode = 0; mode < 6; ++mode) {
            Case c = RandomCase(rng, mode);
            TPixelSource src = SourceOf(c.info, c.pixels);
            const ptrdiff_t stride = static_cast<ptrdiff_t>(BytesPerLine(c.width));
            TLibPalette fastPal = c.palette, refPal = c.palette;
            std::vector<uint8_t> fast(c.pixels.size(), 0xCD), ref(c.pixels.size(), 0xCD);
            std::vector<int> fastRows, refRows;
            MatchPixels(fastPal, src, fast.data(), stride, c.transparent,
                        [&](int y) { fastRows.push_back(y); });
            MatchPixelsLiteral(refPal, src, ref.data(), stride, c.transparent,
                               [&](int y) { refRows.push_back(y); });
            ASSERT_EQ(fast, ref) << c.what << " round " << round;
            ASSERT_EQ(fastPal, refPal) << c.what << " round " << round;
            if (c.width > 0) {
                ASSERT_EQ(fastRows, refRows);
            }
            ++cases;
        }
    }
    EXPECT_EQ(cases, 1800);
}

TEST(MatchPixels, MatchesRowsFromTheTopAndLeavesTransparentColoursOut) {
    // Bottom-up block: the top row is stored last, and its colours must be
    // the first ones added.
    TBitmapInfo info{};
    info.bmiHeader.biWidth = 2;
    info.bmiHeader.biHeight = 2;  // bottom row first
    info.bmiHeader.biBitCount = 8;
    info.bmiColors[1] = TRGBQuad{0, 0, 1, 0};  // red 1
    info.bmiColors[2] = TRGBQuad{0, 0, 2, 0};
    info.bmiColors[3] = TRGBQuad{0, 0, 3, 0};
    std::vector<uint8_t> block = {3, 1, 0, 0,   // bottom row
                                  2, 3, 0, 0};  // top row
    TLibPalette p{};
    std::vector<uint8_t> out(8, 0);
    MatchPixels(p, SourceOf(info, block), out.data(), 4, uint8_t(1));
    EXPECT_EQ(out, (std::vector<uint8_t>{1, 2, 0, 0, 2, 0, 0, 0}));
    EXPECT_EQ(p[1].Red, 2);
    EXPECT_EQ(p[2].Red, 3);
    EXPECT_EQ(p[3].Used, 0);  // the transparent colour was never added

    std::vector<uint8_t> shortBlock(7);
    EXPECT_THROW(SourceOf(info, shortBlock), tk::Exception);
}

// ---- Palette grid -----------------------------------------------------------------

TEST(DrawPaletteGrid, PaintsSixteenBySixteenCellsWithGaps) {
    TLibPalette p{};
    for (int i = 0; i < 256; ++i)
        p[i] = TLibPalEntry{uint8_t(i), uint8_t(255 - i), uint8_t(i * 7), 0};
    QImage image(240, 240, QImage::Format_RGB32);
    const QRgb background = qRgb(1, 254, 3);  // in no cell
    image.fill(background);
    {
        tk::TCanvas canvas(&image);
        canvas.Brush.Style = tk::TBrushStyle::bsClear;
        DrawPaletteGrid(canvas, 3, 3, p, 14);
        EXPECT_TRUE(canvas.Handle()->SelectedPalette.empty());  // previous palette back
    }
    for (int i = 0; i < 256; ++i) {
        const int x = 3 + 14 * (i % 16), y = 3 + 14 * (i / 16);
        const QRgb c = qRgb(p[i].Red, p[i].Green, p[i].Blue);
        EXPECT_EQ(image.pixel(x, y), c) << i;
        EXPECT_EQ(image.pixel(x + 11, y + 11), c) << i;  // cell - 2 = 12 pixels
        EXPECT_EQ(image.pixel(x + 12, y + 5), background) << i;
        EXPECT_EQ(image.pixel(x + 5, y + 13), background) << i;
    }
    EXPECT_EQ(image.pixel(2, 2), background);
    EXPECT_EQ(image.pixel(3 + 14 * 16, 3), background);
}
