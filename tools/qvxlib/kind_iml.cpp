// qvxlib for palette image libraries (.IML, "IL10"): images come out as 8-bit
// .bmp files with the library palette.
#include <cstdio>

#include "kind_assets.h"
#include "qvx/assets/QVXILib.h"

namespace qvxlib {
namespace {

using namespace assets;

bool Detect(const std::vector<uint8_t>& head) {
    if (head.size() < 4) return false;
    for (int i = 0; i < 4; ++i)
        if (std::toupper(head[static_cast<size_t>(i)]) != "IL10"[i]) return false;
    return true;
}

std::string Sha(const qvx::TImgHdr& h) { return Sha256Hex(h.Bits, static_cast<size_t>(qvx::ImageBlockSize(h))); }

int Info(const Args& a, const std::string& file) {
    qvx::TQVXImages lib;
    lib.LoadFromFile(file);
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
        std::printf("%5d  %-11s  %7d  %7d  %s\n", i, qvx::ImageName(h).c_str(), h.Width, h.Height, Sha(h).c_str());
    }
    return kOk;
}

int Roundtrip(const Args&, const std::string& in, const std::string& out) {
    qvx::TQVXImages lib;
    lib.LoadFromFile(in);
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
    lib.LoadFromFile(in);
    for (int i = 0; i < lib.Count(); ++i) {
        qvx::TImgHdr h;
        lib.GetImageHeader(i, h);
        Bytes bmp = BitmapFile(h, lib.Palette());
        WriteSafely(PathIn(dir, ItemFileName(i, qvx::ImageName(h), ".bmp")),
                    [&](tk::TStream& s) { s.WriteBuffer(bmp.data(), static_cast<int64_t>(bmp.size())); });
    }
    std::printf("%d image%s written to %s\n", lib.Count(), lib.Count() == 1 ? "" : "s", dir.c_str());
    return kOk;
}

const bool registered = RegisterKind({
    "iml",
    "palette image libraries (.IML, \"IL10\")",
    Detect,
    Info,
    Roundtrip,
    Extract,
    nullptr,
    "create iml OUT BITMAP... [--name N]...",
});

}  // namespace
}  // namespace qvxlib
