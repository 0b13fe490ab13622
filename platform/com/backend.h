// Which implementation the platform stand-ins use. Headless is the default:
// nothing is shown or heard, frames and mixed audio can be read back and
// faults injected (tests). Programs that want a real window, sound and
// joysticks select Real once at start-up, before creating any device.
// The environment variable QVX_BACKEND overrides that choice when the game
// application starts (qvx::TApplication), so an unchanged game runs
// headless in CI.
#pragma once

#include <optional>

namespace platform {

enum class Backend { Headless, Real };

void SelectBackend(Backend backend);
Backend CurrentBackend();

// The backend QVX_BACKEND names: "headless" or "real", in any letter case;
// none when the variable is unset or empty. Any other value throws
// tk::Exception naming the variable and the values it takes.
std::optional<Backend> EnvironmentBackend();

}  // namespace platform
