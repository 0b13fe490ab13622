// What a DirectDraw backend does: show frames, pace to the vertical blank,
// and (headless) inject faults. The surfaces and blitters are shared.
#pragma once

#include <QImage>
#include <memory>

#include "ddraw.h"
#include "platform/winsys/frame.h"
#include "platform/winsys/winsys.h"

namespace ddraw {

class Display {
public:
    virtual ~Display() = default;
    // Shows `frame` in `window` (null when the primary has no window to
    // show in) at `dest`, client coordinates.
    virtual void Present(winsys::Window* window, std::shared_ptr<const winsys::Frame> frame,
                         const tk::TRect& dest) = 0;
    // Blocks until the next vertical blank begins.
    virtual void WaitForVerticalBlank() = 0;
    virtual bool InVerticalBlank() = 0;

    // Fault injection: DD_OK unless the call of `method` is to fail.
    HRESULT Fault(const char* method) { return faultsArmed_ ? FaultSlow(method) : DD_OK; }

protected:
    virtual HRESULT FaultSlow(const char*) { return DD_OK; }
    bool faultsArmed_ = false;
};

// The display of the selected backend (one per process, like the screen).
std::shared_ptr<Display> CurrentDisplay();
std::shared_ptr<Display> HeadlessDisplay();
std::shared_ptr<Display> QtDisplay();

// Where a frame goes in a client area (winsys, which maps the pointer back).
using winsys::Letterbox;

// Sleeps until the next vertical blank of a display refreshing `hz` times a
// second (ticks counted from a fixed start); true if inside a blank now.
void SleepToNextVBlank(int hz);
bool InVBlankNow(int hz);

// Makes every surface of every DirectDraw object lost (as losing the
// display does).
void LoseAllSurfaces();

}  // namespace ddraw
