// qvxlib render: an intro library played as an animated GIF, as an 8-bit
// bitmap of every frame, or as one picture of every transition.
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "gif_writer.h"
#include "kind_crl.h"
#include "qvx/intro/intro_timeline.h"
#include "qvxlib.h"
#include "toolkit/streams.h"

namespace qvxlib {

const char* kRenderUsage =
    "usage: qvxlib render IN.CRL OUT.GIF [--fps N] [--scale K] [--from I] [--to J] [--loop|--once] [--plain]\n"
    "       qvxlib render IN.CRL --frames DIR [--fps N] [--scale K] [--from I] [--to J]\n"
    "       qvxlib render IN.CRL --sheet OUT.PNG [--scale K]\n"
    "Plays the intro library (slides I to J, all by default) as an animated GIF\n"
    "whose colour table is the library palette: N frames a second (1 to 50,\n"
    "default 25), each pixel K x K (1 to 8, default 1). A transition lasts\n"
    "5 s / speed, a slide holds for its hold in seconds; the frame delays add up\n"
    "to the intro's length. The GIF plays over and over (--loop, the default)\n"
    "or once (--once). Each frame after the first keeps only the rectangle that\n"
    "changed; --plain keeps every frame whole, for other tools to work on.\n"
    "--frames writes every frame as an 8-bit bitmap DIR/frame_NNNN.bmp instead.\n"
    "--sheet writes one PNG of every transition at a quarter, half and three\n"
    "quarters of the way, from the library's first slide to its second, each\n"
    "picture K times the frame, reduced to fit 160 x 120 when larger.\n";

namespace {

using qvx::TIntroFrame;

int Ranged(const Args& a, const char* option, int def, int lo, int hi) {
    const int v = a.IntOption(option, def);
    if (v < lo || v > hi) throw UsageError{tk::Format("--%s must be from %d to %d, not %d", option, lo, hi, v)};
    return v;
}

TIntroFrame Scaled(const TIntroFrame& f, int k) {
    if (k == 1) return f;
    TIntroFrame out(f.Width * k, f.Height * k);
    for (int y = 0; y < f.Height; ++y) {
        uint8_t* row = out.Row(y * k);
        for (int x = 0; x < f.Width; ++x) std::fill_n(row + x * k, k, f.Row(y)[x]);
        for (int i = 1; i < k; ++i) std::copy_n(row, out.Width, out.Row(y * k + i));
    }
    return out;
}

// Hundredths of a second, rounded: frame delays are differences of these,
// so they add up to the whole length.
int64_t Centis(int64_t micros) { return (micros + 5000) / 10000; }

// The frames of the intro at `fps`: the moments k / fps before its end,
// then the end (the last slide). `put` gets each frame and its delay.
template <class Put>
void Play(qvx::TIntroLibrary& lib, const qvx::TIntroTimeline& timeline, int fps, int scale, Put put) {
    qvx::TIntroFrames frames(lib);
    const int64_t length = timeline.Length();
    for (int64_t k = 0;; ++k) {
        const int64_t t = k * qvx::kMicrosPerSecond / fps;
        if (t >= length && k > 0) break;
        const int64_t next = std::min((k + 1) * qvx::kMicrosPerSecond / fps, length);
        if (t >= length) {  // an intro of no length: its end only
            put(Scaled(frames.Draw(timeline.At(length)), scale), 0);
            return;
        }
        put(Scaled(frames.Draw(timeline.At(t)), scale), static_cast<int>(Centis(next) - Centis(t)));
    }
    put(Scaled(frames.Draw(timeline.At(length)), scale), 0);
}

void Sheet(qvx::TIntroLibrary& lib, const std::string& out, int scale) {
    // Labels need fonts, which need a (window-less) GUI application.
    std::unique_ptr<QGuiApplication> gui;
    if (!QGuiApplication::instance()) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        // Its notes about the session (no runtime folder, say) are no concern here.
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
            if (type == QtCriticalMsg || type == QtFatalMsg) std::fprintf(stderr, "%s\n", qPrintable(text));
        });
        static int argc = 1;
        static char name[] = "qvxlib";
        static char* argv[] = {name, nullptr};
        gui = std::make_unique<QGuiApplication>(argc, argv);
    }
    int first = -1, second = -1;
    for (int i = 0; i < lib.SlideCount() && second < 0; ++i)
        if (lib.Slide(i)) (first < 0 ? first : second) = i;
    if (first < 0) throw tk::Exception("The library has no slides");
    qvx::TIntroFrames frames(lib);
    // From the first slide to the second; with one slide, from the bare frame.
    const TIntroFrame from = second >= 0 ? frames.Slide(first) : TIntroFrame(frames.Width(), frames.Height());
    const TIntroFrame to = frames.Slide(second >= 0 ? second : first);

    // Each picture K times the frame, reduced to fit a cell when larger.
    QSize picture(frames.Width() * scale, frames.Height() * scale);
    if (picture.width() > 160 || picture.height() > 120) picture.scale(160, 120, Qt::KeepAspectRatio);
    const int fw = std::max(1, picture.width()), fh = std::max(1, picture.height());
    constexpr int kGap = 6, kLabel = 18, kColumns = 2;
    const int cellW = 3 * fw + 2 * kGap, cellH = kLabel + fh;
    const int rows = (qvx::kLastTransitionEffect + kColumns - 1) / kColumns;
    QImage sheet(kGap + kColumns * (cellW + 2 * kGap), kGap + rows * (cellH + kGap), QImage::Format_RGB32);
    if (sheet.isNull()) throw tk::Exception(tk::Format("The sheet would be too large (%d x %d)", sheet.width(), sheet.height()));
    sheet.fill(qRgb(48, 48, 48));
    QVector<QRgb> table(256);
    for (int i = 0; i < 256; ++i) table[i] = qRgb(lib.Palette()[i].Red, lib.Palette()[i].Green, lib.Palette()[i].Blue);
    QPainter painter(&sheet);
    QFont font = painter.font();
    font.setPixelSize(12);
    painter.setFont(font);
    painter.setPen(Qt::white);
    for (int effect = 1; effect <= qvx::kLastTransitionEffect; ++effect) {
        const int cx = kGap + ((effect - 1) % kColumns) * (cellW + 2 * kGap);
        const int cy = kGap + ((effect - 1) / kColumns) * (cellH + kGap);
        painter.drawText(QRect(cx, cy, cellW, kLabel), Qt::AlignLeft | Qt::AlignVCenter,
                         QString("%1  %2").arg(effect).arg(qvx::TransitionNames[effect]));
        for (int i = 0; i < 3; ++i) {
            const TIntroFrame f = qvx::RenderTransition(from, to, effect, (i + 1) / 4.0);
            QImage shot(f.Pixels.data(), f.Width, f.Height, f.Width, QImage::Format_Indexed8);
            shot.setColorTable(table);
            painter.setRenderHint(QPainter::SmoothPixmapTransform, fw < f.Width);
            painter.drawImage(QRect(cx + i * (fw + kGap), cy + kLabel, fw, fh), shot);
        }
    }
    painter.end();
    if (!sheet.save(QString::fromStdString(out), "PNG", 0))  // compressed the most
        throw tk::Exception(tk::Format(tk::msg::SFCreateError, out.c_str()));
}

}  // namespace

int RenderCommand(const Args& a) {
    if (a.positional.empty()) throw UsageError{"missing IN.CRL"};
    if (a.positional.size() > 2) throw UsageError{"unexpected argument \"" + a.positional[2] + "\""};
    const std::optional<std::string> framesDir = a.Option("frames"), sheet = a.Option("sheet");
    const int outputs = (a.positional.size() == 2) + framesDir.has_value() + sheet.has_value();
    if (outputs != 1) throw UsageError{"give one of OUT.GIF, --frames DIR and --sheet OUT.PNG"};
    if (a.Flag("loop") && a.Flag("once")) throw UsageError{"give --loop or --once, not both"};
    const int fps = Ranged(a, "fps", 25, 1, 50);
    const int scale = Ranged(a, "scale", 1, 1, 8);

    qvx::TIntroLibrary lib;
    LoadIntroLibrary(lib, a.positional[0]);
    if (sheet) {
        Sheet(lib, *sheet, scale);
        return kOk;
    }
    if (lib.SlideCount() == 0) throw tk::Exception("The library has no slides");
    const int first = Ranged(a, "from", 0, 0, lib.SlideCount() - 1);
    const int last = Ranged(a, "to", lib.SlideCount() - 1, first, lib.SlideCount() - 1);
    const qvx::TIntroTimeline timeline(lib, first, last);

    if (framesDir) {
        std::filesystem::create_directories(*framesDir);
        int n = 0;
        Play(lib, timeline, fps, scale, [&](const TIntroFrame& f, int) {
            qvx::TIntroSlide picture;
            picture.Width = f.Width;
            picture.Height = f.Height;
            const int stride = bmputil::BytesPerLine(f.Width);
            picture.Pixels = tk::TBytes::Uninitialized(static_cast<size_t>(stride) * f.Height);
            std::fill(picture.Pixels.data(), picture.Pixels.data() + picture.Pixels.size(), uint8_t(0));
            for (int y = 0; y < f.Height; ++y) std::copy_n(f.Row(y), f.Width, picture.Pixels.data() + y * stride);
            const std::vector<uint8_t> bytes = SlideBitmapFile(picture, lib.Palette());
            const std::string path = (std::filesystem::path(*framesDir) / tk::Format("frame_%04d.bmp", n++)).string();
            SaveOutput(path, [&](tk::TStream& out) {
                out.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
            });
        });
        std::printf("%d frames\n", n);
        return kOk;
    }

    qvx::TIntroFrames sizes(lib);
    if (sizes.Width() * scale > 65535 || sizes.Height() * scale > 65535)
        throw tk::Exception(tk::Format("The GIF would be %d x %d pixels; a GIF is at most 65535 a side",
                                       sizes.Width() * scale, sizes.Height() * scale));
    GifWriter gif(sizes.Width() * scale, sizes.Height() * scale, lib.Palette(), !a.Flag("once"), a.Flag("plain"));
    Play(lib, timeline, fps, scale, [&](const TIntroFrame& f, int delay) { gif.Add(f, delay); });
    const std::vector<uint8_t> bytes = gif.Finish();
    SaveOutput(a.positional[1], [&](tk::TStream& file) {
        file.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    });
    return kOk;
}

}  // namespace qvxlib
