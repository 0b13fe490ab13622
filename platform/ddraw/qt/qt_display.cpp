// The real DirectDraw backend: frames go to the Qt window the cooperative
// level or the clipper names, which converts them when it paints (scaled,
// letterboxed at an integer scale when one fits), and vertical-blank waits
// keep the screen's refresh rate.
#include "platform/ddraw/display.h"

namespace ddraw {

namespace {

class QtDisplayImpl : public Display {
public:
    void Present(winsys::Window* window, std::shared_ptr<const winsys::Frame> frame,
                 const tk::TRect& dest) override {
        if (window) window->PresentFrame(std::move(frame), dest);
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
