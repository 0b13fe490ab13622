// Presenting 640 x 480 frames to the Qt window (windowed at 16 and 32 bits,
// full screen at 8 bits with a palette) against Qt's own QPainter::drawImage
// of an already converted frame of the same size, both painted and flushed
// through a window's backing store; and 8-bit to 32-bit palette expansion
// against a plain 256-entry table remap. Rounds of the two sides alternate.
#include <QGuiApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QRasterWindow>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <functional>
#include <vector>

#include "benchutil.h"
#include "platform/com/backend.h"
#include "platform/ddraw/ddraw.h"
#include "platform/ddraw/pixels.h"
#include "platform/winsys/window.h"
#include "toolkit/cpufeatures.h"

namespace {

constexpr int kW = 640, kH = 480, kFrames = 200, kRuns = 7;

QWindow* FindWindow(const QString& title) {
    for (QWindow* w : QGuiApplication::topLevelWindows())
        if (w->title() == title) return w;
    return nullptr;
}

// Paints and flushes at once, as the window system's expose would.
void PaintNow(QWindow* w) {
    QPaintEvent e(QRect(0, 0, w->width(), w->height()));
    QCoreApplication::sendEvent(w, &e);
}

// Qt's own: a window that draws a ready RGB32 image.
class ReferenceWindow : public QRasterWindow {
public:
    explicit ReferenceWindow(QImage image) : image_(std::move(image)) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.drawImage(QPoint(0, 0), image_);
    }

private:
    QImage image_;
};

double Rounds(const std::function<void()>& frame) {
    return bench::Seconds([&] {
        for (int i = 0; i < kFrames; ++i) frame();
    });
}

// Runs under a QVX_CPU_LIMIT say so.
const char* PathsNote() {
    switch (tk::CpuLimit()) {
        case tk::TCpuLimit::Baseline: return " (baseline CPU)";
        case tk::TCpuLimit::Avx2: return " (AVX2 CPU)";
        default: return "";
    }
}

void Report(const char* what, double ours, double reference, double limit) {
    std::printf("  %s: ours %.2f ms a frame, drawImage %.2f ms a frame\n", what, ours * 1e3 / kFrames,
                reference * 1e3 / kFrames);
    char line[96];
    std::snprintf(line, sizeof line, "present %s%s: ours / drawImage", what, PathsNote());
    bench::Report(line, ours / reference, limit);
}

// A 640 x 480 picture of the format: stripes and a gradient, so no two
// neighbouring rows are alike.
std::vector<uint8_t> Picture(int bits) {
    int bytes = bits / 8;
    std::vector<uint8_t> px(size_t(kW) * kH * size_t(bytes));
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            uint32_t v = static_cast<uint32_t>((x * 7 + y * 3) ^ (y << 9) ^ (x << 17));
            std::memcpy(&px[(size_t(y) * kW + size_t(x)) * size_t(bytes)], &v, size_t(bytes));
        }
    return px;
}

struct Palette {
    PALETTEENTRY e[256];
    Palette() {
        for (int i = 0; i < 256; ++i)
            e[i] = PALETTEENTRY{static_cast<BYTE>(i), static_cast<BYTE>(255 - i), static_cast<BYTE>(i * 3), 0};
    }
};

// Windowed: the part of the desktop under the window, as the DirectDraw
// primary hands it over, shown unscaled.
double WindowedRound(winsys::Window* window, QWindow* handle, int bits, const std::vector<uint8_t>& px) {
    ddraw::PixelFormat f;
    ddraw::FormatForBits(bits, &f);
    ddraw::PixelView v{const_cast<uint8_t*>(px.data()), kW * f.Bytes(), kW, kH, f.Bytes()};
    return Rounds([&] {
        window->PresentFrame(ddraw::MakeFrame(v, f, nullptr, nullptr), tk::Bounds(0, 0, kW, kH));
        PaintNow(handle);
    });
}

// Full screen through DirectDraw itself: a 640 x 480 x 8 mode with a
// palette, a flip per frame, shown centred in the full-screen window.
struct FullScreen8 {
    ComPtr<IDirectDraw4> dd;
    ComPtr<IDirectDrawSurface4> front, back;
    ComPtr<IDirectDrawPalette> palette;
    QWindow* handle;
    bool ok = false;

    FullScreen8(winsys::Window* window, QWindow* h, const std::vector<uint8_t>& px) : handle(h) {
        IDirectDraw* one = nullptr;
        if (DirectDrawCreate(nullptr, &one, nullptr) != DD_OK) return;
        ComPtr<IDirectDraw> first;
        first.Attach(one);
        first->QueryInterface(IID_IDirectDraw4, dd.PutVoid());
        dd->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN);
        if (dd->SetDisplayMode(kW, kH, 8, 0, 0) != DD_OK) return;
        DDSURFACEDESC2 d;
        std::memset(&d, 0, sizeof d);
        d.dwSize = sizeof d;
        d.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
        d.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
        d.dwBackBufferCount = 1;
        if (dd->CreateSurface(&d, front.Put(), nullptr) != DD_OK) return;
        DDSCAPS2 caps{};
        caps.dwCaps = DDSCAPS_BACKBUFFER;
        front->GetAttachedSurface(&caps, back.Put());
        Palette pal;
        dd->CreatePalette(DDPCAPS_8BIT | DDPCAPS_ALLOW256, pal.e, palette.Put(), nullptr);
        front->SetPalette(palette.Get());
        for (IDirectDrawSurface4* s : {front.Get(), back.Get()}) {
            std::memset(&d, 0, sizeof d);
            d.dwSize = sizeof d;
            s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr);
            for (int y = 0; y < kH; ++y)
                std::memcpy(static_cast<uint8_t*>(d.lpSurface) + y * d.lPitch, &px[size_t(y) * kW], kW);
            s->Unlock(nullptr);
        }
        ok = true;
    }
    ~FullScreen8() {
        if (dd) dd->RestoreDisplayMode();
    }
    double Round() {
        return Rounds([&] {
            front->Flip(nullptr, DDFLIP_WAIT | DDFLIP_NOVSYNC);
            PaintNow(handle);
        });
    }
};

void PaletteExpansion() {
    std::vector<uint8_t> in = Picture(8);
    std::vector<uint32_t> out(in.size());
    Palette pal;
    uint32_t table[256];
    ddraw::PaletteTable(pal.e, table);
    const int reps = 400;
    double ours = 1e300, plain = 1e300;
    for (int run = 0; run < kRuns; ++run) {
        ours = std::min(ours, bench::Seconds([&] {
                            for (int r = 0; r < reps; ++r) {
                                uint32_t t[256];
                                ddraw::PaletteTable(pal.e, t);
                                ddraw::ExpandPalette(in.data(), static_cast<int>(in.size()), t, out.data());
                                asm volatile("" : : "r"(out.data()) : "memory");
                            }
                        }));
        plain = std::min(plain, bench::Seconds([&] {
                             for (int r = 0; r < reps; ++r) {
                                 for (size_t i = 0; i < in.size(); ++i) out[i] = table[in[i]];
                                 asm volatile("" : : "r"(out.data()) : "memory");
                             }
                         }));
    }
    std::printf("%d 640x480 palette expansions: ours %.1f ms, plain table remap %.1f ms\n", reps, ours * 1e3,
                plain * 1e3);
    char line[96];
    std::snprintf(line, sizeof line, "8-bit to 32-bit palette expansion%s: ours / table remap", PathsNote());
    bench::Report(line, ours / plain, 1.2);
}

}  // namespace

int main(int argc, char** argv) {
    // Off screen unless told otherwise, so that the figures do not depend
    // on a display server.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    platform::SelectBackend(platform::Backend::Real);

    auto windowed = winsys::CreateTopLevelWindow("TForm1", "present-windowed", kW, kH);
    auto full = winsys::CreateTopLevelWindow("TForm1", "present-fullscreen", kW, kH);
    std::vector<uint8_t> px32 = Picture(32), px16 = Picture(16), px8 = Picture(8);
    ddraw::PixelFormat f32;
    ddraw::FormatForBits(32, &f32);
    ReferenceWindow reference(ddraw::ToImage(ddraw::PixelView{px32.data(), kW * 4, kW, kH, 4}, f32, nullptr));
    reference.resize(kW, kH);
    reference.show();
    QWindow* wh = FindWindow("present-windowed");
    QWindow* fh = FindWindow("present-fullscreen");
    FullScreen8 fs(full.get(), fh, px8);
    QCoreApplication::processEvents();
    if (!wh || !fh || !fs.ok) {
        std::printf("no window to present to\n");
        return 1;
    }

    std::printf("%d frames of 640x480 presented and painted, best of %d (%s)\n", kFrames, kRuns,
                qPrintable(QGuiApplication::platformName()));
    double ours16 = 1e300, ours32 = 1e300, ours8 = 1e300, ref = 1e300;
    for (int run = 0; run < kRuns; ++run) {
        ours32 = std::min(ours32, WindowedRound(windowed.get(), wh, 32, px32));
        ref = std::min(ref, Rounds([&] { PaintNow(&reference); }));
        ours16 = std::min(ours16, WindowedRound(windowed.get(), wh, 16, px16));
        ours8 = std::min(ours8, fs.Round());
    }
    Report("windowed 32-bit", ours32, ref, 1.5);
    Report("windowed 16-bit", ours16, ref, 1.5);
    Report("full-screen 8-bit", ours8, ref, 1.5);
    PaletteExpansion();
    // A processor with wider vectors measures the narrower paths too, each
    // in a run of its own: the choice is made once a process.
    if (tk::CpuLimit() == tk::TCpuLimit::None) {
        const std::string self = std::filesystem::canonical("/proc/self/exe").string();
        for (const char* limit : {"avx2", "baseline"}) {
            if (std::strcmp(limit, "avx2") == 0 && !tk::HasAvx512()) continue;
            if (std::strcmp(limit, "baseline") == 0 && !tk::HasAvx2()) continue;
            std::fflush(stdout);
            setenv("QVX_CPU_LIMIT", limit, 1);
            if (std::system(("'" + self + "'").c_str()) != 0) return 1;
        }
    }
    return 0;
}
