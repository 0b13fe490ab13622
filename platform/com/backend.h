// Which implementation the platform stand-ins use. Headless: nothing is
// shown or heard, frames and mixed audio can be read back and faults
// injected (tests). Real: a Qt window, SDL2 sound and joysticks.
// Devices made before anything is chosen are headless. The game
// application (qvx::TApplication) chooses Real when the program chose
// nothing, so a game opens its window without a line of code for it; the
// environment variable QVX_BACKEND overrides every choice when the game
// application starts, so an unchanged game runs headless in CI.
#pragma once

#include <optional>

namespace platform {

enum class Backend { Headless, Real };

void SelectBackend(Backend backend);
Backend CurrentBackend();
// Whether the program has called SelectBackend.
bool BackendChosen();

// The backend QVX_BACKEND names: "headless" or "real", in any letter case;
// none when the variable is unset or empty. Any other value throws
// tk::Exception naming the variable and the values it takes.
std::optional<Backend> EnvironmentBackend();

}  // namespace platform
