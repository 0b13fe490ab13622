// These tests read frames back and inject faults: headless unless a test
// chooses the real backend itself (a game application would otherwise
// choose it).
#include "platform/com/backend.h"

namespace {
const bool headless = (platform::SelectBackend(platform::Backend::Headless), true);
}
