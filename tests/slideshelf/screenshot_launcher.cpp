// Opens the editor with a library of three slides, the second one shown,
// for screenshots (scripts/screenshot.sh slideshelf). Test use only: the
// program itself reads no options or environment. An optional argument
// ends it after that many seconds.
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTimer>
#include <cmath>

#include "harness.h"
#include "slideshelf/ui/Application.h"
#include "slideshelf/ui/Controls.h"

namespace {

// A sunset-like picture: sky bands, sun, sea.
testbmp::BmpSpec Scene(int w, int h, int variant) {
    std::vector<testbmp::Rgb> table;
    for (int i = 0; i < 64; ++i)  // sky, warm
        table.push_back({static_cast<uint8_t>(255 - i), static_cast<uint8_t>(80 + i * 2), static_cast<uint8_t>(40 + i * 2 + variant * 20)});
    for (int i = 0; i < 32; ++i)  // sea
        table.push_back({static_cast<uint8_t>(10 + i), static_cast<uint8_t>(40 + i * 3), static_cast<uint8_t>(120 + i * 4)});
    table.push_back({255, 240, 120});  // sun
    std::vector<uint8_t> px(static_cast<size_t>(w * h));
    const double cx = w * (0.3 + 0.2 * variant), cy = h * 0.55, r = h * 0.18;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t v;
            if (y > h * 0.6)
                v = static_cast<uint8_t>(64 + ((y - h * 0.6) / (h * 0.4)) * 31 * 0.9 + ((x + y) % 7 == 0 ? 2 : 0));
            else if (std::hypot(x - cx, y - cy) < r)
                v = 96;
            else
                v = static_cast<uint8_t>(y * 63 / (h * 0.6 + 1));
            px[static_cast<size_t>(y * w + x)] = v;
        }
    return sstest::Bitmap(w, h, table, px);
}

}  // namespace

int main(int argc, char** argv) {
    slideshelf::TSlideshelfApplication app(argc, argv);
    sstest::TEditor ed;
    slideshelf::TfrmMain& f = ed.Main();
    const char* names[] = {"SUNSET01.BMP", "HARBOUR.BMP", "TITLE.BMP"};
    for (int i = 0; i < 3; ++i) {
        ed.ChooseTransition(i * 6 + 1);
        ed.TypeInto(f.SpeedSpin, QString::number(5 + i * 5));
        ed.TypeInto(f.HoldSpin, QString::number(2 + i));
        ed.AddBitmap(ed.WriteBitmap(names[i], Scene(320, 200, i)));
    }
    ed.Dialogs.SaveAnswers.push_back(ed.Path("INTRO.CRL"));
    ed.Trigger(f.mnuSaveLib);
    ed.Dialogs.OpenAnswers.push_back(ed.Path("INTRO.CRL"));
    ed.Trigger(f.mnuOpenLib);
    ed.ClickSlide(1);
    f.Images->setFocus();
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 0;
    if (seconds > 0) QTimer::singleShot(seconds * 1000, &app, &QApplication::quit);
    return app.exec();
}
