// Picture data as the property stream holds it (kind name, then the
// kind's data), for every kind, and drawing what loads: icons through Qt's
// reader, metafiles through our renderer.
#include <QGuiApplication>
#include <QImage>
#include <cstdint>

#include "toolkit/picture.h"
#include "toolkit/streams.h"

namespace {
void EnsureApplication() {
    // Made once and never destroyed: tearing it down during exit races
    // Qt's own static clean-up.
    static QGuiApplication* app = nullptr;
    if (app) return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "fuzz_picdata";
    static char* argv[] = {name, nullptr};
    app = new QGuiApplication(argc, argv);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    EnsureApplication();
    tk::TPointerStream s(data, static_cast<int64_t>(size));
    tk::TPicture p;
    try {
        p.ReadPictureData(s, static_cast<int64_t>(size));
        if (p.Empty() || dynamic_cast<tk::TJPEGImage*>(p.Graphic())) return 0;  // JPEG has its own target
        QImage target(48, 48, QImage::Format_RGB32);
        target.fill(Qt::white);
        tk::TCanvas c(&target);
        c.StretchDraw(tk::Rect(0, 0, 48, 48), *p.Graphic());
        c.Draw(5, 5, *p.Graphic());
    } catch (const tk::Exception&) {
    }
    return 0;
}
