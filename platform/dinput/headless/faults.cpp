#include "platform/com/faults.h"
#include "platform/dinput/headless/joysticks.h"
#include "platform/dinput/joysticks.h"

namespace dinput {
namespace {
platform::FaultPlan& Plan() {
    static platform::FaultPlan plan;
    return plan;
}
}  // namespace

HRESULT InjectedFault(const char* method) { return Plan().Take(method); }

namespace headless {
void FailCall(const std::string& method, int nth, HRESULT code) { Plan().Fail(method, nth, code); }
void ClearFaults() { Plan().Clear(); }
}  // namespace headless
}  // namespace dinput
