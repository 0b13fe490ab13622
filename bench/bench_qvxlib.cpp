// qvxlib's roundtrip, info --json and create crl on large inputs, each
// against the least any tool must do with the same bytes, measured side by
// side in this run: reading into fresh memory and saving safely (write to a
// temporary file, fsync, rename), and `openssl dgst -sha256` for hashing.
// Each command runs as its own process; its peak memory is counted above
// the same program doing nothing (`qvxlib --help`).
// Usage: bench_qvxlib [JPEGS=2000] [BITMAP SIDE=8192] [RUNS=5]
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QRandomGenerator>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "benchjpeg.h"
#include "benchutil.h"

namespace {

namespace fs = std::filesystem;

// Wall time and peak RSS of a program run to completion.
bench::ChildResult Run(const std::vector<std::string>& argv, bool quiet = true) {
    return bench::InChild([&] {
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        if (quiet) {
            int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 1);
        }
        ::execv(args[0], args.data());
        _exit(4);
    });
}

// One run of a program; exits the bench when it fails.
bench::ChildResult Once(const std::vector<std::string>& argv) {
    auto r = Run(argv);
    if (!r.ok) {
        std::fprintf(stderr, "failed: %s %s\n", argv[0].c_str(), argv.size() > 1 ? argv[1].c_str() : "");
        std::exit(1);
    }
    return r;
}

// The floor for a loader that saves: the file's bytes read into fresh
// memory, written to a temporary file beside the target, synced and renamed
// into place. With `hugePages` the memory is asked for on huge pages, as
// qvxlib does for a large block (for information beside the floor).
double FloorOnce(const std::string& in, const std::string& out, bool hugePages = false) {
    return bench::InChild([&] {
               int fd = ::open(in.c_str(), O_RDONLY);
               struct stat st;
               ::fstat(fd, &st);
               const size_t size = static_cast<size_t>(st.st_size);
               uint8_t* bytes = nullptr;
               if (hugePages) {
                   const size_t whole = (size + (2u << 20) - 1) & ~size_t((2u << 20) - 1);
                   bytes = static_cast<uint8_t*>(std::aligned_alloc(2u << 20, whole));
                   ::madvise(bytes, whole, MADV_HUGEPAGE);
               } else {
                   bytes = new uint8_t[size];
               }
               for (size_t done = 0; done < size;) {
                   ssize_t n = ::read(fd, bytes + done, size - done);
                   if (n <= 0) _exit(1);
                   done += static_cast<size_t>(n);
               }
               ::close(fd);
               const std::string temp = out + ".floor.tmp";
               int wd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
               for (size_t done = 0; done < size;) {
                   ssize_t n = ::write(wd, bytes + done, size - done);
                   if (n <= 0) _exit(1);
                   done += static_cast<size_t>(n);
               }
               ::fsync(wd);
               ::close(wd);
               ::rename(temp.c_str(), out.c_str());
           })
        .seconds;
}

// A command and its reference, run in turns so that both meet the same
// conditions (disk and other load); the best time of each, and the largest
// peak memory of the command.
struct Pair {
    bench::ChildResult command;
    double reference = 1e300;
};
Pair Alternate(int runs, const std::vector<std::string>& command, const std::function<double()>& reference) {
    Pair p;
    p.command.seconds = 1e300;
    for (int i = 0; i < runs; ++i) {
        p.reference = std::min(p.reference, reference());
        const auto r = Once(command);
        p.command.seconds = std::min(p.command.seconds, r.seconds);
        p.command.peakKiB = std::max(p.command.peakKiB, r.peakKiB);
    }
    return p;
}

// An 8-bit bottom-up BMP of side x side pixels using all 256 colours.
void WriteBitmap(const std::string& path, int side) {
    const uint32_t stride = (static_cast<uint32_t>(side) + 3) & ~3u;
    const uint32_t offset = 14 + 40 + 256 * 4, size = offset + stride * static_cast<uint32_t>(side);
    std::vector<uint8_t> h(offset, 0);
    auto put32 = [&](size_t at, uint32_t v) { std::memcpy(h.data() + at, &v, 4); };
    h[0] = 'B', h[1] = 'M';
    put32(2, size), put32(10, offset), put32(14, 40), put32(18, static_cast<uint32_t>(side));
    put32(22, static_cast<uint32_t>(side));
    h[26] = 1, h[28] = 8;
    put32(34, stride * static_cast<uint32_t>(side));
    for (int i = 0; i < 256; ++i) {
        h[54 + 4 * i] = static_cast<uint8_t>(i);
        h[55 + 4 * i] = static_cast<uint8_t>(255 - i);
        h[56 + 4 * i] = static_cast<uint8_t>(i * 7);
    }
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(h.data()), static_cast<std::streamsize>(h.size()));
    std::vector<uint8_t> row(stride);
    QRandomGenerator rng(11);
    for (int y = 0; y < side; ++y) {
        for (auto& b : row) b = static_cast<uint8_t>(rng.generate());
        out.write(reinterpret_cast<const char*>(row.data()), static_cast<std::streamsize>(row.size()));
    }
}

}  // namespace

int main(int argc, char** argv) {
    const int images = argc > 1 ? std::atoi(argv[1]) : 2000;
    const int side = argc > 2 ? std::atoi(argv[2]) : 8192;
    const std::string tool = QVXLIB_PATH;
    const fs::path dir = fs::temp_directory_path() / ("bench_qvxlib." + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string hcl = dir / "big.hcl", copy = dir / "copy.hcl", floorOut = dir / "floor.out";
    const std::string bmp = dir / "big.bmp", crl = dir / "big.crl", jpg = dir / "picture.jpg";

    // Inputs: a library of `images` JPEGs of about 143 KB, built by the tool
    // itself, and one 8-bit bitmap.
    {
        const auto jpeg = bench::NoisyJpeg(480, 143 * 1024);
        std::ofstream(jpg, std::ios::binary)
            .write(reinterpret_cast<const char*>(jpeg.data()), static_cast<std::streamsize>(jpeg.size()));
        std::vector<std::string> create = {tool, "create", "hcl", hcl};
        for (int i = 0; i < images; ++i) create.push_back(jpg);
        if (!Run(create).ok) return 1;
        WriteBitmap(bmp, side);
    }
    const double hclMiB = double(fs::file_size(hcl)) / (1 << 20);
    const double bmpMiB = double(fs::file_size(bmp)) / (1 << 20);
    std::printf("inputs: .HCL of %d JPEGs, %.1f MiB; %dx%d 8-bit bitmap, %.1f MiB\n", images, hclMiB, side, side,
                bmpMiB);
    const long baseKiB = Once({tool, "--help"}).peakKiB;
    auto above = [&](const bench::ChildResult& r) { return double(r.peakKiB - baseKiB) / 1024; };
    const int runs = argc > 3 ? std::atoi(argv[3]) : 5;

    // Warm the page cache so every contender reads from memory.
    Run({"/bin/cat", hcl});
    Run({"/bin/cat", bmp});

    const Pair rt = Alternate(runs, {tool, "roundtrip", hcl, copy}, [&] { return FloorOnce(hcl, floorOut); });
    const Pair info = Alternate(runs, {tool, "info", hcl, "--json"},
                                [&] { return Once({"/usr/bin/openssl", "dgst", "-sha256", hcl}).seconds; });
    const Pair create = Alternate(runs, {tool, "create", "crl", crl, bmp}, [&] { return FloorOnce(bmp, floorOut); });
    double hugeFloor = 1e300;
    for (int i = 0; i < runs; ++i) hugeFloor = std::min(hugeFloor, FloorOnce(bmp, floorOut, true));

    std::printf("roundtrip %.3f s, floor %.3f s\n", rt.command.seconds, rt.reference);
    std::printf("info --json %.3f s, openssl dgst -sha256 %.3f s\n", info.command.seconds, info.reference);
    std::printf("create crl %.3f s, floor %.3f s (on huge pages %.3f s)\n", create.command.seconds, create.reference,
                hugeFloor);
    bench::Report("roundtrip / (read + write + fsync + rename)", rt.command.seconds / rt.reference, 1.2);
    bench::Report("roundtrip peak memory / file", above(rt.command) / hclMiB, 1.15);
    bench::Report("info --json / openssl dgst -sha256", info.command.seconds / info.reference, 1.5);
    bench::Report("create crl / (read bitmap + write + fsync + rename)", create.command.seconds / create.reference, 1.3);
    bench::Report("create crl peak memory / bitmap", above(create.command) / bmpMiB, 1.2);
    std::printf("for information: create crl / floor on huge pages %.3f\n", create.command.seconds / hugeFloor);
    fs::remove_all(dir);
    return 0;
}
