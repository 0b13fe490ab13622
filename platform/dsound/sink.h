// Where a sound device's mixed frames go: the backend half of a device.
#pragma once

#include <functional>
#include <memory>

#include "mixer.h"

namespace dsound {

class Sink {
public:
    virtual ~Sink() = default;
    // Starts taking frames from `mixer`, in the mixer's output format.
    virtual HRESULT Open(Mixer* mixer) = 0;
    // Switches the output to `format` (the primary buffer's new format).
    virtual HRESULT Reformat(const PcmFormat& format) = 0;
    // Stops taking frames; the device is being released.
    virtual void Close() = 0;
    // True when the output device went away (unplugged, taken by the system).
    virtual bool DeviceLost() { return false; }
    // Opens the output again after DeviceLost.
    virtual HRESULT Reopen() { return DS_OK; }

    // Set by the device: marks every one of its buffers lost.
    std::function<void()> loseBuffers;
};

std::unique_ptr<Sink> MakeHeadlessSink();
std::unique_ptr<Sink> MakeSdlSink();

// The result a test asked the n-th call of `method` to give, or DS_OK.
HRESULT InjectedFault(const char* method);

}  // namespace dsound
