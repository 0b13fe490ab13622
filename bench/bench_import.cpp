// Adding a 4096 x 4096 8-bit bitmap to a new intro library, against
//  - the literal loop (MatchColor for every pixel), which it must beat
//    at least 200 times, and
//  - a plain 256-entry table remap of the same pixels into a new block,
//    which it may trail by at most 1.5 times.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <random>
#include <vector>

#include "benchutil.h"
#include "bmputil/bmputil.h"
#include "qvx/intro/intro_library.h"

int main() {
    using namespace bmputil;
    constexpr int kSize = 4096;
    TBitmapInfo info{};
    info.bmiHeader.biSize = 40;
    info.bmiHeader.biWidth = kSize;
    info.bmiHeader.biHeight = -kSize;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 8;
    std::mt19937 rng(42);
    for (auto& q : info.bmiColors) q = TRGBQuad{uint8_t(rng()), uint8_t(rng()), uint8_t(rng()), 0};
    // A picture with some structure (bands of colour with noise), using all
    // 256 colours, so that the palette fills and later colours go nearest.
    std::vector<uint8_t> pixels(static_cast<size_t>(kSize) * kSize);
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x)
            pixels[static_cast<size_t>(y) * kSize + x] =
                static_cast<uint8_t>((x / 16 + y / 64 + rng() % 8) & 0xFF);
    const size_t n = pixels.size();

    // The import as the editor and qvxlib run it: a new library, one add.
    std::unique_ptr<qvx::TIntroLibrary> lib;
    auto add = [&] {
        lib.reset();
        lib = std::make_unique<qvx::TIntroLibrary>();
        lib->AddBitmap("BENCH", info, pixels, {}, std::nullopt);
    };

    // Reference: a plain table remap into a new block.
    uint8_t table[256];
    for (int i = 0; i < 256; ++i) table[i] = static_cast<uint8_t>(i * 7 + 1);
    std::vector<uint8_t> out;
    auto remapOnce = [&] {
        out.clear();
        out.shrink_to_fit();
        out.resize(n);
        const uint8_t* src = pixels.data();
        for (int y = 0; y < kSize; ++y) {
            const uint8_t* in = src + static_cast<size_t>(y) * kSize;
            uint8_t* o = out.data() + static_cast<size_t>(y) * kSize;
            for (int x = 0; x < kSize; ++x) o[x] = table[in[x]];
        }
    };

    // The two alternate, so that both meet the same machine load; the best
    // time of each counts.
    double fast = 1e300, remap = 1e300;
    for (int round = 0; round < 15; ++round) {
        fast = std::min(fast, bench::Seconds(add));
        remap = std::min(remap, bench::Seconds(remapOnce));
    }
    const tk::TBytes& fastPixels = lib->Slide(0)->Pixels;
    const TLibPalette& fastPalette = lib->Palette();

    // Reference: the literal per-pixel loop, once (it is slow).
    std::vector<uint8_t> literalPixels;
    TLibPalette literalPalette;
    const double literal = bench::Seconds([&] {
        qvx::TIntroLibrary fresh;
        literalPalette = fresh.Palette();
        literalPixels.assign(n, 0);
        MatchPixelsLiteral(literalPalette, SourceOf(info, pixels), literalPixels.data(), kSize,
                           std::nullopt);
    });

    const bool same = fastPixels == literalPixels && fastPalette == literalPalette;
    int used = 0;
    for (const auto& e : fastPalette) used += e.Used != 0;
    std::printf(
        "4096 x 4096 pixels, %d palette entries used afterwards; result equals the literal loop: "
        "%s\n",
        used, same ? "yes" : "NO");
    std::printf(
        "add (memoised matcher) %.1f ms, literal loop %.1f ms (%.0f ns a pixel), table remap %.1f "
        "ms\n",
        fast * 1e3, literal * 1e3, literal * 1e9 / double(n), remap * 1e3);
    bench::Report("literal per-pixel loop / add  (x faster)", literal / fast, 200, true);
    bench::Report("add / plain table remap  (x slower)", fast / remap, 1.5);
    return same ? 0 : 1;
}
