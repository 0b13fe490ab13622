#include "headless.h"

#include <vector>

#include "platform/ddraw/display.h"

namespace ddraw::headless {

namespace {

struct FaultPlan {
    std::string method;
    int remaining;
    HRESULT code;
};

class HeadlessDisplayImpl : public Display {
public:
    void Present(winsys::Window* window, const QImage& frame, const tk::TRect& dest) override {
        last = frame;
        lastWindow = window;
        ++frames;
        if (window) window->Present(frame, dest);
    }
    void WaitForVerticalBlank() override {
        ++waits;
        if (mode == VBlank::Paced60Hz) SleepToNextVBlank(60);
    }
    bool InVerticalBlank() override { return mode == VBlank::Immediate || InVBlankNow(60); }

    HRESULT FaultSlow(const char* method) override {
        for (size_t i = 0; i < faults.size(); ++i) {
            if (faults[i].method != method) continue;
            if (--faults[i].remaining > 0) continue;
            HRESULT code = faults[i].code;
            faults.erase(faults.begin() + static_cast<ptrdiff_t>(i));
            faultsArmed_ = !faults.empty();
            return code;
        }
        return DD_OK;
    }
    void Arm() { faultsArmed_ = !faults.empty(); }

    VBlank mode = VBlank::Immediate;
    long waits = 0;
    QImage last;
    winsys::Window* lastWindow = nullptr;
    int frames = 0;
    std::vector<FaultPlan> faults;
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
    Impl().faults.push_back(FaultPlan{method, nth < 1 ? 1 : nth, code});
    Impl().Arm();
}

void ClearFaults() {
    Impl().faults.clear();
    Impl().Arm();
}

void LoseSurfaces() { LoseAllSurfaces(); }

}  // namespace ddraw::headless

namespace ddraw {
std::shared_ptr<Display> HeadlessDisplay() { return headless::Shared(); }
}  // namespace ddraw
