// Bitmap file reader: any bytes either fail with a message and leave nothing
// behind, or give a top-first 8-bit block of exactly the size the header
// describes. Small pictures are also matched into a new library both ways,
// which must agree.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "bmputil/bmputil.h"
#include "toolkit/streams.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace bmputil;
    tk::TPointerStream stream(data, static_cast<int64_t>(size));
    std::unique_ptr<TBitmapInfo> info;
    tk::TBytes pixels;
    size_t pixelSize = 0, infoSize = 0;
    try {
        ReadBitmapStream(stream, info, pixels, pixelSize, infoSize);
    } catch (const tk::Exception&) {
        if (info || !pixels.empty() || pixelSize != 0) std::abort();
        return 0;
    }
    if (!info) std::abort();
    const TBitmapInfoHeader& h = info->bmiHeader;
    const int64_t rows = -static_cast<int64_t>(h.biHeight);
    if (infoSize != kBitmapInfoSize || h.biHeight > 0 || h.biBitCount != 8 || h.biWidth < 0 ||
        pixelSize != pixels.size() ||
        static_cast<int64_t>(pixelSize) != BytesPerLine(h.biWidth) * rows || pixelSize > size)
        std::abort();

    if (h.biWidth > 0 && static_cast<int64_t>(h.biWidth) * rows <= 4096) {
        TLibPalette fastPal, refPal;
        ResetPalette(fastPal, true);
        if (size > 0 && data[size - 1] & 1) fastPal[1 + data[size - 1] % 255].Used = 0;
        refPal = fastPal;
        const TPixelSource src = SourceOf(*info, pixels);
        const std::optional<uint8_t> transparent =
            size > 0 && (data[0] & 2) ? std::optional<uint8_t>(data[size / 2]) : std::nullopt;
        std::vector<uint8_t> fast(pixels.size()), ref(pixels.size());
        const ptrdiff_t stride = static_cast<ptrdiff_t>(BytesPerLine(h.biWidth));
        MatchPixels(fastPal, src, fast.data(), stride, transparent);
        MatchPixelsLiteral(refPal, src, ref.data(), stride, transparent);
        if (fast != ref || fastPal != refPal) std::abort();
    }
    return 0;
}
