// Loading and saving a large .HCL of JPEG images against plain reading and
// writing of the same bytes, and the peak memory of a load (measured in a
// fresh process so nothing inherited is counted).
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "benchjpeg.h"
#include "benchutil.h"
#include "qvx/hicolor/hicolor_library.h"
#include "toolkit/streams.h"

namespace {

// Peak RSS (KiB) of this program run again with `mode` and `file`.
long PeakOfFreshProcess(const char* mode, const std::string& file) {
    auto r = bench::InChild([&] {
        execl("/proc/self/exe", "bench_hcl", mode, file.c_str(), static_cast<char*>(nullptr));
        _exit(4);
    });
    return r.ok ? r.peakKiB : -1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--load") == 0) {
        qvx::TQVXHiColorImagelib l(nullptr);
        l.LoadFromFile(argv[2]);
        return l.Count() > 0 ? 0 : 1;
    }
    if (argc == 3 && std::strcmp(argv[1], "--noop") == 0) {
        qvx::TQVXHiColorImagelib l(nullptr);  // same libraries loaded, nothing read
        return 0;
    }
    int images = argc > 1 ? std::atoi(argv[1]) : 2000;
    const std::string dir = std::filesystem::temp_directory_path() / "bench_hcl";
    std::filesystem::create_directories(dir);
    const std::string file = dir + "/big.hcl", copy = dir + "/copy.bin", saved = dir + "/saved.hcl";

    // The file is made in a child so that this process stays small for
    // the memory measurement.
    auto makeLib = [&](qvx::TQVXHiColorImagelib& lib) {
        auto jpeg = bench::NoisyJpeg(420, 100 * 1024);
        lib.SetName("QVXHiColorImagelib1");
        for (int i = 0; i < images; ++i) {
            auto jp = std::make_unique<tk::TJPEGImage>();
            jp->SetBytes(tk::TBytes(jpeg));
            auto* item = lib.Images()->Add();
            item->Image().SetGraphic(std::move(jp));
            item->SetName("Image" + std::to_string(i + 1));
        }
    };
    bench::InChild([&] {
        qvx::TQVXHiColorImagelib lib(nullptr);
        makeLib(lib);
        lib.SaveToFile(file);
    });
    long base = PeakOfFreshProcess("--noop", file);
    long peak = PeakOfFreshProcess("--load", file);
    const size_t fileBytes = std::filesystem::file_size(file);
    const double fileMiB = double(fileBytes) / (1 << 20);
    std::printf("file: %d JPEG images, %.1f MiB\n", images, fileMiB);

    // Reference for reading: one read() of the whole file into a buffer that
    // is already allocated and touched (the cheapest way to have the bytes).
    std::vector<uint8_t> buffer(fileBytes, 1);
    double readBytes = bench::Best(7, [&] {
        int fd = ::open(file.c_str(), O_RDONLY);
        size_t done = 0;
        while (done < fileBytes) {
            ssize_t n = ::read(fd, buffer.data() + done, fileBytes - done);
            if (n <= 0) break;
            done += static_cast<size_t>(n);
        }
        ::close(fd);
    });
    double load = bench::Best(7, [&] {
        qvx::TQVXHiColorImagelib l(nullptr);
        l.LoadFromFile(file);
        if (l.Count() != images) std::exit(1);
    });
    // Writing: the same bytes to a new file, plainly and made durable (the
    // library's save syncs before it replaces the old file).
    double writeBytes = bench::Best(5, [&] { tk::WriteFileBytes(copy, buffer.data(), fileBytes); });
    double writeSynced = bench::Best(5, [&] {
        int fd = ::open(copy.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        size_t done = 0;
        while (done < fileBytes) {
            ssize_t n = ::write(fd, buffer.data() + done, fileBytes - done);
            if (n <= 0) break;
            done += static_cast<size_t>(n);
        }
        ::fsync(fd);
        ::close(fd);
    });
    buffer = {};
    qvx::TQVXHiColorImagelib lib(nullptr);
    makeLib(lib);
    double save = bench::Best(5, [&] { lib.SaveToFile(saved); });
    double peakMiB = double(peak - base) / 1024;

    std::printf("read bytes %.3f s, LoadFromFile %.3f s\n", readBytes, load);
    std::printf("write bytes %.3f s (with fsync %.3f s), SaveToFile %.3f s\n", writeBytes, writeSynced, save);
    bench::Report("LoadFromFile / reading the bytes", load / readBytes, 1.5);
    bench::Report("SaveToFile / writing the bytes (with fsync, as the save does)", save / writeSynced, 1.5);
    std::printf("%-60s %8.3f  (the save also syncs; see above)\n", "SaveToFile / writing the bytes (no fsync)",
                save / writeBytes);
    bench::Report("peak memory of a load above a fresh process / file size", peakMiB / fileMiB, 1.3);
    std::filesystem::remove_all(dir);
    return 0;
}
