// Which implementation the platform stand-ins use. Headless is the default:
// nothing is shown or heard, frames and mixed audio can be read back and
// faults injected (tests). Programs that want a real window, sound and
// joysticks select Real once at start-up, before creating any device.
#pragma once

namespace platform {

enum class Backend { Headless, Real };

void SelectBackend(Backend backend);
Backend CurrentBackend();

}  // namespace platform
