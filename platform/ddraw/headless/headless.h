// The headless DirectDraw backend: frames are kept for tests to read,
// the vertical blank is simulated, and faults can be injected.
#pragma once

#include <QImage>
#include <string>

#include "platform/ddraw/ddraw.h"

namespace ddraw::headless {

enum class VBlank {
    Immediate,  // waits return at once (the default)
    Paced60Hz,  // waits sleep to the next tick of a 60 Hz clock
};
void SetVBlank(VBlank mode);
// Vertical-blank waits so far (WaitForVerticalBlank and flips).
long VBlankWaits();

// The last frame shown, as 32-bit RGB: in full screen the whole primary
// (display-mode size), windowed the window's client area part of it.
QImage LastFrame();
winsys::Window* LastFrameWindow();
int FrameCount();
void ResetFrames();

// Makes the `nth` call (1 = the next) of `method` (a method name such as
// "Blt", "CreateSurface", "SetCooperativeLevel", "DirectDrawCreate") fail
// with `code`, once. Counting starts now.
void InjectFault(const std::string& method, int nth, HRESULT code);
void ClearFaults();

// Loses every surface, as losing the display would.
void LoseSurfaces();

}  // namespace ddraw::headless
