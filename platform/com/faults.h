// Fault injection for the headless backends: "the n-th call of a named
// method, counted from now, fails with this code". Each DirectX stand-in
// keeps one plan; its methods ask Take() on entry.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "platform/com/com.h"

namespace platform {

class FaultPlan {
public:
    // nth below 1 counts as 1 (the next call).
    void Fail(const std::string& method, int nth, HRESULT code) {
        std::lock_guard lock(mutex_);
        rules_.push_back({method, nth < 1 ? 1 : nth, code});
        armed_ = true;
    }
    void Clear() {
        std::lock_guard lock(mutex_);
        rules_.clear();
        armed_ = false;
    }
    // The code this call of `method` must fail with, or S_OK. Every rule for
    // the method counts the call; when several fall due at once the first
    // given wins.
    HRESULT Take(const char* method) {
        if (!armed_) return S_OK;
        std::lock_guard lock(mutex_);
        HRESULT result = S_OK;
        for (auto it = rules_.begin(); it != rules_.end();) {
            if (it->method == method && --it->remaining == 0) {
                if (result == S_OK) result = it->code;
                it = rules_.erase(it);
            } else {
                ++it;
            }
        }
        armed_ = !rules_.empty();
        return result;
    }

private:
    struct Rule {
        std::string method;
        int remaining;
        HRESULT code;
    };
    std::mutex mutex_;
    std::vector<Rule> rules_;
    std::atomic<bool> armed_{false};
};

}  // namespace platform
