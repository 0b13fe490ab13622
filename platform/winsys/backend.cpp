#include "platform/com/backend.h"

#include <QByteArray>
#include <cstdlib>
#include <string>

#include "toolkit/sysutils.h"

namespace platform {

namespace {
Backend g_backend = Backend::Headless;
bool g_chosen = false;
}

void SelectBackend(Backend backend) {
    g_backend = backend;
    g_chosen = true;
}
Backend CurrentBackend() { return g_backend; }
bool BackendChosen() { return g_chosen; }

std::optional<Backend> EnvironmentBackend() {
    const char* value = std::getenv("QVX_BACKEND");
    if (!value || !*value) return std::nullopt;
    const QByteArray name = QByteArray(value).toLower();
    if (name == "headless") return Backend::Headless;
    if (name == "real") return Backend::Real;
    throw tk::Exception(std::string("QVX_BACKEND is \"") + value + "\"; it must be headless or real");
}

}  // namespace platform
