#include "platform/com/backend.h"

namespace platform {

namespace {
Backend g_backend = Backend::Headless;
}

void SelectBackend(Backend backend) { g_backend = backend; }
Backend CurrentBackend() { return g_backend; }

}  // namespace platform
