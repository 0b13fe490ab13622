// Loading and saving a large .HCL of JPEG images against plain reading and
// writing of the same bytes, and the peak memory of a load.
#include <QBuffer>
#include <QImage>
#include <QRandomGenerator>
#include <cstdio>
#include <filesystem>

#include "benchutil.h"
#include "qvx/hicolor/QVX.h"
#include "toolkit/streams.h"

namespace {

std::vector<uint8_t> NoisyJpeg(int targetBytes) {
    QImage img(420, 420, QImage::Format_RGB32);
    QRandomGenerator rng(7);
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) img.setPixel(x, y, rng.generate());
    for (int q = 95; q > 10; q -= 5) {
        QByteArray out;
        QBuffer buf(&out);
        buf.open(QIODevice::WriteOnly);
        img.save(&buf, "JPG", q);
        if (out.size() <= targetBytes) return std::vector<uint8_t>(out.begin(), out.end());
    }
    return {};
}

}  // namespace

int main(int argc, char** argv) {
    int images = argc > 1 ? std::atoi(argv[1]) : 2000;
    const std::string dir = std::filesystem::temp_directory_path() / "bench_hcl";
    std::filesystem::create_directories(dir);
    const std::string file = dir + "/big.hcl", copy = dir + "/copy.bin", saved = dir + "/saved.hcl";

    auto jpeg = NoisyJpeg(100 * 1024);
    qvx::TQVXHiColorImagelib lib(nullptr);
    lib.SetName("QVXHiColorImagelib1");
    for (int i = 0; i < images; ++i) {
        auto jp = std::make_unique<tk::TJPEGImage>();
        jp->SetBytes(jpeg);
        auto* item = lib.Images()->Add();
        item->Image().SetGraphic(std::move(jp));
        item->SetName("Image" + std::to_string(i + 1));
    }
    lib.SaveToFile(file);
    const double fileMiB = double(std::filesystem::file_size(file)) / (1 << 20);
    std::printf("file: %d JPEG images, %.1f MiB\n", images, fileMiB);

    // Reading: the bytes alone, then the library.
    double readBytes = bench::Best(5, [&] { auto b = tk::ReadFileBytes(file); });
    double load = bench::Best(5, [&] {
        qvx::TQVXHiColorImagelib l(nullptr);
        l.LoadFromFile(file);
    });
    std::vector<uint8_t> bytes = tk::ReadFileBytes(file);
    double writeBytes = bench::Best(5, [&] { tk::WriteFileBytes(copy, bytes.data(), bytes.size()); });
    double save = bench::Best(5, [&] { lib.SaveToFile(saved); });
    bytes.clear();
    bytes.shrink_to_fit();

    long base = bench::BaselineKiB();
    auto child = bench::InChild([&] {
        qvx::TQVXHiColorImagelib l(nullptr);
        l.LoadFromFile(file);
    });
    double peakMiB = double(child.peakKiB - base) / 1024;

    std::printf("read bytes %.3f s, LoadFromFile %.3f s; write bytes %.3f s, SaveToFile %.3f s\n", readBytes, load,
                writeBytes, save);
    bench::Report("LoadFromFile / reading the bytes", load / readBytes, 1.5);
    bench::Report("SaveToFile / writing the bytes", save / writeBytes, 1.5);
    bench::Report("peak memory of a load above baseline / file size", peakMiB / fileMiB, 1.3);
    std::filesystem::remove_all(dir);
    return 0;
}
