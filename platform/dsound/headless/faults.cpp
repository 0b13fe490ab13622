#include <mutex>
#include <string>
#include <vector>

#include "platform/dsound/headless/output.h"
#include "platform/dsound/sink.h"

namespace dsound {
namespace {

struct Rule {
    std::string method;
    int remaining;
    HRESULT code;
};

std::mutex g_mutex;
std::vector<Rule> g_rules;

}  // namespace

HRESULT InjectedFault(const char* method) {
    std::lock_guard lock(g_mutex);
    HRESULT result = DS_OK;
    for (auto it = g_rules.begin(); it != g_rules.end();) {
        if (it->method == method && --it->remaining == 0) {
            if (result == DS_OK) result = it->code;
            it = g_rules.erase(it);
        } else {
            ++it;
        }
    }
    return result;
}

namespace headless {

void FailCall(const std::string& method, int nth, HRESULT code) {
    if (nth < 1) return;
    std::lock_guard lock(g_mutex);
    g_rules.push_back({method, nth, code});
}

void ClearFaults() {
    std::lock_guard lock(g_mutex);
    g_rules.clear();
}

}  // namespace headless
}  // namespace dsound
