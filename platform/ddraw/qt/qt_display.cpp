// The real DirectDraw backend: frames go to the Qt window the cooperative
// level or the clipper names (the window scales them, letterboxed at an
// integer scale when one fits), and vertical-blank waits keep the screen's
// refresh rate.
#include "platform/ddraw/display.h"

namespace ddraw {

namespace {

class QtDisplayImpl : public Display {
public:
    void Present(winsys::Window* window, const QImage& frame, const tk::TRect& dest) override {
        if (window) window->Present(frame, dest);
    }
    void WaitForVerticalBlank() override { SleepToNextVBlank(winsys::GetDesktopMode().refreshHz); }
    bool InVerticalBlank() override { return InVBlankNow(winsys::GetDesktopMode().refreshHz); }
};

}  // namespace

std::shared_ptr<Display> QtDisplay() {
    static auto d = std::make_shared<QtDisplayImpl>();
    return d;
}

}  // namespace ddraw
