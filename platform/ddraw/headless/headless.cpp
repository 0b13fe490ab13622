#include "headless.h"

#include <vector>

#include "platform/com/faults.h"
#include "platform/ddraw/display.h"

namespace ddraw::headless {

namespace {

class HeadlessDisplayImpl : public Display {
public:
    void Present(winsys::Window* window, std::shared_ptr<const winsys::Frame> frame,
                 const tk::TRect& dest) override {
        // Converted at once: tests read frames back as they were presented.
        last = frame->ToImage();
        lastWindow = window;
        ++frames;
        if (window) window->Present(last, dest);
    }
    void WaitForVerticalBlank() override {
        ++waits;
        if (mode == VBlank::Paced60Hz) SleepToNextVBlank(60);
    }
    bool InVerticalBlank() override { return mode == VBlank::Immediate || InVBlankNow(60); }

    HRESULT FaultSlow(const char* method) override { return faults.Take(method); }
    void Arm(bool on) { faultsArmed_ = on; }

    VBlank mode = VBlank::Immediate;
    long waits = 0;
    QImage last;
    winsys::Window* lastWindow = nullptr;
    int frames = 0;
    platform::FaultPlan faults;
};

std::shared_ptr<HeadlessDisplayImpl> Shared() {
    static auto d = std::make_shared<HeadlessDisplayImpl>();
    return d;
}

HeadlessDisplayImpl& Impl() { return *Shared(); }

}  // namespace

void SetVBlank(VBlank mode) { Impl().mode = mode; }
long VBlankWaits() { return Impl().waits; }
QImage LastFrame() { return Impl().last; }
winsys::Window* LastFrameWindow() { return Impl().lastWindow; }
int FrameCount() { return Impl().frames; }
void ResetFrames() {
    Impl().last = QImage();
    Impl().lastWindow = nullptr;
    Impl().frames = 0;
}

void InjectFault(const std::string& method, int nth, HRESULT code) {
    Impl().faults.Fail(method, nth, code);
    Impl().Arm(true);
}

void ClearFaults() {
    Impl().faults.Clear();
    Impl().Arm(false);
}

void LoseSurfaces() { LoseAllSurfaces(); }

}  // namespace ddraw::headless

namespace ddraw {
std::shared_ptr<Display> HeadlessDisplay() { return headless::Shared(); }
}  // namespace ddraw
