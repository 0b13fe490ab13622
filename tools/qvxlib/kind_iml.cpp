// qvxlib for palette image libraries (.IML, "IL10"): images come out as 8-bit
// .bmp files with the library palette.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "bmputil/bmputil.h"
#include "kind_assets.h"
#include "toolkit/names.h"
#include "qvx/assets/image_library.h"
#include "toolkit/picture.h"

namespace qvxlib {
namespace {

using namespace assets;

bool Detect(const std::vector<uint8_t>& head) {
    if (head.size() < 4) return false;
    for (int i = 0; i < 4; ++i)
        if (std::toupper(head[static_cast<size_t>(i)]) != "IL10"[i]) return false;
    return true;
}

void Load(qvx::TQVXImages& lib, const std::string& file);

std::string Sha(const qvx::TImgHdr& h) { return Sha256Hex(h.Bits, static_cast<size_t>(qvx::ImageBlockSize(h))); }

int Info(const Args& a, const std::string& file) {
    qvx::TQVXImages lib;
    Load(lib, file);
    if (a.Flag("json")) {
        Json j;
        j.BeginObject().Key("kind").Str("iml").Key("count").Int(lib.Count()).Key("palette").BeginArray();
        for (int i = 0; i < 256; ++i) {
            const tk::TPaletteEntry& e = lib.Palette()[i];
            j.BeginArray().Int(e.peRed).Int(e.peGreen).Int(e.peBlue).Int(e.peFlags).EndArray();
        }
        j.EndArray().Key("items").BeginArray();
        for (int i = 0; i < lib.Count(); ++i) {
            qvx::TImgHdr h;
            lib.GetImageHeader(i, h);
            j.BeginObject()
                .Key("index").Int(i)
                .Key("name").Str(qvx::ImageName(h))
                .Key("width").Int(h.Width)
                .Key("height").Int(h.Height)
                .Key("pixels_sha256").Str(Sha(h))
                .EndObject();
        }
        j.EndArray().EndObject();
        std::printf("%s\n", j.Text().c_str());
        return kOk;
    }
    std::printf("palette image library, %d image%s\n", lib.Count(), lib.Count() == 1 ? "" : "s");
    if (lib.Count() > 0) std::printf("%5s  %-11s  %7s  %7s  %s\n", "index", "name", "width", "height", "pixels sha256");
    for (int i = 0; i < lib.Count(); ++i) {
        qvx::TImgHdr h;
        lib.GetImageHeader(i, h);
        std::printf("%5d  %-11s  %7d  %7d  %s\n", i, Shown(qvx::ImageName(h)).c_str(), h.Width,
                    h.Height, Sha(h).c_str());
    }
    return kOk;
}

int Roundtrip(const Args&, const std::string& in, const std::string& out) {
    qvx::TQVXImages lib;
    Load(lib, in);
    WriteSafely(out, [&](tk::TStream& s) { lib.SaveToStream(s); });
    return kOk;
}

// An 8-bit bitmap file of one image: the library palette as colour table
// (entry 0 as stored), rows bottom to top as bitmap files usually hold them,
// each row with its stored pad bytes.
Bytes BitmapFile(const qvx::TImgHdr& h, const tk::TPaletteEntry* palette) {
    const int64_t stride = qvx::ImageBlockSize(h) / h.Height;
    const uint32_t offBits = 14 + 40 + 1024;
    const uint64_t image = static_cast<uint64_t>(qvx::ImageBlockSize(h));
    Bytes b;
    b.reserve(offBits + image);
    PutBytes(b, "BM", 2);
    Put32(b, static_cast<uint32_t>(offBits + image));
    Put32(b, 0);
    Put32(b, offBits);
    Put32(b, 40);
    Put32(b, static_cast<uint32_t>(h.Width));
    Put32(b, static_cast<uint32_t>(h.Height));
    Put16(b, 1);
    Put16(b, 8);
    Put32(b, 0);  // uncompressed
    Put32(b, static_cast<uint32_t>(image));
    Put32(b, 2835);  // 72 dots per inch
    Put32(b, 2835);
    Put32(b, 256);
    Put32(b, 0);
    for (int i = 0; i < 256; ++i) {
        b.push_back(palette[i].peBlue);
        b.push_back(palette[i].peGreen);
        b.push_back(palette[i].peRed);
        b.push_back(0);
    }
    for (int64_t y = h.Height - 1; y >= 0; --y) PutBytes(b, h.Bits + y * stride, static_cast<size_t>(stride));
    return b;
}

int Extract(const Args&, const std::string& in, const std::string& dir) {
    qvx::TQVXImages lib;
    Load(lib, in);
    for (int i = 0; i < lib.Count(); ++i) {
        qvx::TImgHdr h;
        lib.GetImageHeader(i, h);
        Bytes bmp = BitmapFile(h, lib.Palette());
        const std::string path = PathIn(dir, ItemFileName(i, qvx::ImageName(h), ".bmp"));
        WriteSafely(path, [&](tk::TStream& s) {
            s.WriteBuffer(bmp.data(), static_cast<int64_t>(bmp.size()));
        });
        PrintWritten(path);
    }
    return kOk;
}

constexpr size_t kImageNameChars = 11;

// A new library from 8-bit bitmaps: every colour matched into one shared
// palette that starts all free. Colour index 0 stays 0, the game library's
// transparent index; palette entry 0 takes the first bitmap's colour 0.
int Create(const Args& a, const std::string& out, const std::vector<std::string>& inputs) {
    if (inputs.empty()) throw UsageError{"missing BITMAP"};
    const auto& names = a.Options("name");
    if (!names.empty() && names.size() != inputs.size())
        throw UsageError{"give --name once per BITMAP, or not at all"};
    bmputil::TLibPalette palette{};
    Bytes images;
    for (size_t i = 0; i < inputs.size(); ++i) {
        std::unique_ptr<bmputil::TBitmapInfo> info;
        tk::TBytes pixels;
        size_t pixelSize = 0, infoSize = 0;
        About(inputs[i],
              [&] { bmputil::ReadBitmapFile(inputs[i], info, pixels, pixelSize, infoSize); });
        const int32_t width = info->bmiHeader.biWidth;
        const int64_t height = std::abs(static_cast<int64_t>(info->bmiHeader.biHeight));
        if (width <= 0 || height == 0) throw tk::Exception(inputs[i] + ": the bitmap has no pixels");
        if (i == 0) {
            palette[0].Red = info->bmiColors[0].rgbRed;
            palette[0].Green = info->bmiColors[0].rgbGreen;
            palette[0].Blue = info->bmiColors[0].rgbBlue;
        }
        // Pad bytes are kept as the bitmap has them; pixels are matched.
        const int64_t stride = bmputil::BytesPerLine(width);
        std::vector<uint8_t> block(pixels.begin(), pixels.begin() + stride * height);
        bmputil::MatchPixels(palette, bmputil::SourceOf(*info, pixels), block.data(), stride, uint8_t{0});
        Put32(images, static_cast<uint32_t>(width));
        Put32(images, static_cast<uint32_t>(height));
        PutName(images, names.empty() ? NameFromFile(inputs[i], kImageNameChars) : names[i], 12);
        PutBytes(images, block.data(), block.size());
    }
    Bytes file;
    PutBytes(file, "IL10", 4);
    Put32(file, static_cast<uint32_t>(inputs.size()));
    Put32(file, 0);
    for (const bmputil::TLibPalEntry& e : palette) {
        file.push_back(e.Red);
        file.push_back(e.Green);
        file.push_back(e.Blue);
        file.push_back(0);  // flags: the Used marks are not stored
    }
    file.insert(file.end(), images.begin(), images.end());
    // Through the library classes, as a game would read and write it.
    qvx::TQVXImages lib;
    tk::TPointerStream in(file.data(), static_cast<int64_t>(file.size()));
    lib.LoadFromStream(in);
    WriteSafely(out, [&](tk::TStream& s) { lib.SaveToStream(s); });
    PrintCount(lib.Count(), "image", out);
    return kOk;
}

// Walks the stored image entries: each image's size against the pixel
// block that follows, naming the image where the file goes wrong.
void WalkImages(const Bytes& bytes, Problems& problems) {
    if (bytes.size() < sizeof(qvx::TImageLibHeader) || !Detect(bytes)) return;
    const int32_t count = static_cast<int32_t>(Get32(&bytes[4]));
    size_t at = sizeof(qvx::TImageLibHeader);
    for (int32_t i = 0; i < count; ++i) {
        if (bytes.size() - at < static_cast<size_t>(qvx::kImgRecordSize)) {
            problems.push_back(
                {{},
                 i,
                 {},
                 tk::Format("The file ends in the image's record (offset %d); the header "
                            "promises %d images",
                            static_cast<int>(at), count)});
            return;
        }
        qvx::TImgHdr h{};
        std::memcpy(&h, &bytes[at], qvx::kImgRecordSize);
        at += qvx::kImgRecordSize;
        const std::string name = qvx::ImageName(h);
        if (h.Name[0] > 11)
            problems.push_back(
                {{}, i, name, tk::Format("Name length %d is more than 11", h.Name[0])});
        if (h.Width <= 0 || h.Height <= 0) {
            problems.push_back(
                {{}, i, name, tk::Format("No pixels (width %d, height %d)", h.Width, h.Height)});
            return;  // the reader stops here: what follows cannot be placed
        }
        const uint64_t size = static_cast<uint64_t>(qvx::ImageBlockSize(h));
        if (size > bytes.size() - at) {
            problems.push_back(
                {{},
                 i,
                 name,
                 tk::Format("The pixel block of %d x %d needs %llu bytes; %d remain at offset %d",
                            h.Width, h.Height, static_cast<unsigned long long>(size),
                            static_cast<int>(bytes.size() - at), static_cast<int>(at))});
            return;
        }
        at += static_cast<size_t>(size);
    }
}

// Loads through the library classes; a failure names the image.
void Load(qvx::TQVXImages& lib, const std::string& file) {
    LoadNamingItem(
        file, "image", [&] { lib.LoadFromFile(file); },
        [&](Problems& found) { WalkImages(tk::ReadFileBytes(file), found); });
}

void Verify(const std::string& file, Problems& problems) {
    const Bytes bytes = tk::ReadFileBytes(file);
    const size_t before = problems.size();
    WalkImages(bytes, problems);
    const bool walkFound = problems.size() > before;

    qvx::TQVXImageLib lib(nullptr);
    try {
        lib.LoadFromFile(file);
    } catch (const tk::Exception& e) {
        if (!walkFound) problems.push_back({{}, -1, {}, e.Message()});
        return;
    }
    // Each image as the game would draw it.
    for (int i = 0; i < lib.Count(); ++i) {
        qvx::TImgHdr h;
        lib.Images()->GetImageHeader(i, h);
        try {
            std::unique_ptr<tk::TBitmap> preview = lib.CreatePreview(i);
            if (!preview || preview->Width() != h.Width || preview->Height() != h.Height)
                problems.push_back({{}, i, qvx::ImageName(h), "The image does not decode to its size"});
        } catch (const tk::Exception& e) {
            problems.push_back({{}, i, qvx::ImageName(h), e.Message()});
        }
    }
}

const bool registered = RegisterKind({
    "iml",
    "palette image library (.IML)",
    Detect,
    Info,
    Roundtrip,
    Extract,
    Create,
    "create iml OUT BITMAP... [--name N]...",
    Verify,
});

}  // namespace
}  // namespace qvxlib
