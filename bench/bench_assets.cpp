// Asset libraries: loading a 200 MB .IML and a 200 MB .SDL against reading
// the same bytes into memory (time, and peak memory against the file size);
// building preview bitmaps against building the same indexed images directly.
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "benchutil.h"
#include "qvx/assets/image_library.h"
#include "qvx/assets/sound_library.h"
#include "toolkit/picture.h"
#include "toolkit/streams.h"

namespace {

constexpr int64_t kTarget = 200ll * 1024 * 1024;

void Put32(std::vector<uint8_t>& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// Images of assorted sizes (tiles to screens), or 16 x 16 tiles only (the
// most records per byte), until the file holds 200 MB.
int64_t WriteIml(const std::string& path, int32_t& count, bool tilesOnly) {
    std::mt19937 rng(7);
    tk::TFileStream f(path, tk::fmCreate);
    std::vector<uint8_t> header(1036, 0);
    std::memcpy(header.data(), "IL10", 4);
    f.WriteBuffer(header.data(), 1036);
    count = 0;
    int64_t size = 1036;
    std::vector<uint8_t> entry;
    while (size < kTarget) {
        int w = 8 + static_cast<int>(rng() % 633), h = 8 + static_cast<int>(rng() % 473);
        if (rng() % 2) w = h = 16 << (rng() % 3);  // many tiles of 16, 32, 64
        if (tilesOnly) w = h = 16;
        int stride = (w * 8 + 31) / 32 * 4;
        entry.clear();
        Put32(entry, static_cast<uint32_t>(w));
        Put32(entry, static_cast<uint32_t>(h));
        entry.push_back(4);
        for (char c : std::string("tile") + std::string(7, '\0')) entry.push_back(static_cast<uint8_t>(c));
        size_t at = entry.size();
        entry.resize(at + static_cast<size_t>(stride) * h);
        for (size_t k = at; k < entry.size(); ++k) entry[k] = static_cast<uint8_t>(k * 31 + count);
        f.WriteBuffer(entry.data(), static_cast<int64_t>(entry.size()));
        size += static_cast<int64_t>(entry.size());
        ++count;
    }
    f.SetPosition(4);
    f.WriteBuffer(&count, 4);
    return size;
}

// Sounds from short effects to long loops until the file holds 200 MB.
int64_t WriteSdl(const std::string& path, int32_t& count) {
    std::mt19937 rng(11);
    tk::TFileStream f(path, tk::fmCreate);
    count = 0;
    f.WriteBuffer("SL10\0\0\0\0", 8);
    int64_t size = 8;
    std::vector<uint8_t> entry;
    while (size < kTarget) {
        uint32_t bytes = 2000 + rng() % (rng() % 4 == 0 ? 4000000 : 200000);
        entry.assign(44, 0);
        entry[0] = 1, entry[2] = 2;                                    // PCM, stereo
        uint32_t rate = 22050, avg = rate * 4;
        std::memcpy(&entry[4], &rate, 4);
        std::memcpy(&entry[8], &avg, 4);
        entry[12] = 4, entry[14] = 16;                                 // 16-bit
        entry[20] = 3, entry[21] = 's', entry[22] = 'f', entry[23] = 'x';
        std::memcpy(&entry[40], &bytes, 4);
        size_t at = entry.size();
        entry.resize(at + bytes);
        for (size_t k = at; k < entry.size(); ++k) entry[k] = static_cast<uint8_t>(k * 17 + count);
        f.WriteBuffer(entry.data(), static_cast<int64_t>(entry.size()));
        size += static_cast<int64_t>(entry.size());
        ++count;
    }
    f.SetPosition(4);
    f.WriteBuffer(&count, 4);
    return size;
}

// The reference: the file's bytes read into one block of memory.
std::unique_ptr<uint8_t[]> ReadBytes(const std::string& path) {
    tk::TFileStream f(path, tk::fmOpenRead);
    int64_t n = f.Size();
    std::unique_ptr<uint8_t[]> block(new uint8_t[static_cast<size_t>(n)]);
    f.ReadBuffer(block.get(), n);
    return block;
}

// Runs fn in a child process and returns the child's own timing of it, so
// every run starts from the same fresh heap; also reports the peak memory.
struct Run {
    double seconds = 0;
    long peakKiB = 0;
};
Run Fresh(const std::function<void()>& fn) {
    auto* shared = static_cast<double*>(
        mmap(nullptr, sizeof(double), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
    bench::ChildResult r = bench::InChild([&] { *shared = bench::Seconds(fn); });
    if (!r.ok) std::printf("  (a child run failed)\n");
    Run run{*shared, r.peakKiB};
    munmap(shared, sizeof(double));
    return run;
}

Run BestOf(int n, const std::function<void()>& fn) {
    Run best{1e300, 0};
    for (int i = 0; i < n; ++i) {
        Run r = Fresh(fn);
        best.seconds = std::min(best.seconds, r.seconds);
        best.peakKiB = std::max(best.peakKiB, r.peakKiB);
    }
    return best;
}

template <class Lib>
void LoadBench(const char* what, const std::string& path, int64_t fileSize, int32_t items) {
    // Each run is a child process that exits holding what it read, so
    // neither side's timing includes freeing it.
    auto load = [&] {
        auto lib = std::make_unique<Lib>();
        lib->LoadFromFile(path);
        if (lib->Count() == 0) std::abort();
        (void)lib.release();
    };
    auto read = [&] { (void)ReadBytes(path).release(); };
    ReadBytes(path);  // warm the page cache
    const long base = bench::BaselineKiB();
    Run ref = BestOf(5, read);
    Run mem = BestOf(5, load);
    const double t = mem.seconds;
    double mb = static_cast<double>(fileSize) / (1024 * 1024);
    std::printf("%s: %.0f MB file of %d items; read bytes %.1f ms, load %.1f ms; peak above baseline: read %.0f MB, load %.0f MB\n",
                what, mb, items, ref.seconds * 1e3, t * 1e3, (ref.peakKiB - base) / 1024.0, (mem.peakKiB - base) / 1024.0);
    std::string label = std::string(what) + " load time / reading the bytes";
    bench::Report(label.c_str(), t / ref.seconds, 1.5);
    label = std::string(what) + " load peak memory / file size";
    bench::Report(label.c_str(), (mem.peakKiB - base) * 1024.0 / static_cast<double>(fileSize), 1.3);
}

// 1,000 images of 64 x 64: CreateBitmaps against making the same indexed
// images directly (an 8-bit image with the colour table, rows copied).
void PreviewBench() {
    constexpr int kImages = 1000, kSide = 64;
    std::vector<uint8_t> file(1036, 0);
    std::memcpy(file.data(), "IL10", 4);
    std::memcpy(file.data() + 4, &kImages, 4);
    for (int i = 0; i < 256; ++i) {
        file[12 + 4 * i] = static_cast<uint8_t>(i);
        file[13 + 4 * i] = static_cast<uint8_t>(255 - i);
        file[14 + 4 * i] = static_cast<uint8_t>(i * 7);
    }
    for (int n = 0; n < kImages; ++n) {
        Put32(file, kSide);
        Put32(file, kSide);
        for (int k = 0; k < 12; ++k) file.push_back(0);
        for (int k = 0; k < kSide * kSide; ++k) file.push_back(static_cast<uint8_t>(k * 13 + n));
    }
    qvx::TQVXImageLib lib(nullptr);
    tk::TPointerStream in(file.data(), static_cast<int64_t>(file.size()));
    lib.Images()->LoadFromStream(in);

    auto direct = [&] {
        QList<QRgb> colors(256);
        const tk::TPaletteEntry* pal = lib.Images()->Palette();
        for (int i = 1; i < 256; ++i) colors[i] = qRgb(pal[i].peRed, pal[i].peGreen, pal[i].peBlue);
        colors[0] = qRgb(0, 0, 0);
        std::vector<QImage> images(kImages);
        for (int n = 0; n < kImages; ++n) {
            qvx::TImgHdr h;
            lib.Images()->GetImageHeader(n, h);
            QImage img(h.Width, h.Height, QImage::Format_Indexed8);
            img.setColorTable(colors);
            const int stride = (h.Width * 8 + 31) / 32 * 4;
            for (int y = 0; y < h.Height; ++y) std::memcpy(img.scanLine(y), h.Bits + y * stride, h.Width);
            images[n] = std::move(img);
        }
    };
    auto cache = [&] {
        lib.FreeBitmaps();
        lib.CreateBitmaps();
    };
    double ref = bench::Best(5, direct), t = bench::Best(5, cache);
    std::printf("CreateBitmaps, %d images of %dx%d: %.0f images/s; building the indexed images directly: %.0f images/s\n",
                kImages, kSide, kSide, kImages / t, kImages / ref);
    std::printf("%-60s %8.3f  (reported, no goal)\n", "CreateBitmaps time / building the images directly", t / ref);
}

}  // namespace

int main() {
    auto dir = std::filesystem::temp_directory_path() / ("bench_assets_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string iml = (dir / "big.iml").string(), sdl = (dir / "big.sdl").string();
    int32_t items = 0;
    int64_t imlSize = WriteIml(iml, items, false);
    LoadBench<qvx::TQVXImages>("IML", iml, imlSize, items);
    imlSize = WriteIml(iml, items, true);
    LoadBench<qvx::TQVXImages>("IML (16x16 tiles)", iml, imlSize, items);
    std::filesystem::remove(iml);
    int64_t sdlSize = WriteSdl(sdl, items);
    LoadBench<qvx::TQVXSounds>("SDL", sdl, sdlSize, items);
    std::filesystem::remove_all(dir);
    PreviewBench();
    return 0;
}
