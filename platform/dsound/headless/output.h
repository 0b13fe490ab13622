// The headless sound device as tests see it: nothing is played; the mixed
// frames are rendered on request (and can be kept in a WAV file), buffers
// can be lost on demand, and any call can be made to fail.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/dsound/dsound.h"

namespace dsound::headless {

class Output {
public:
    virtual ~Output() = default;
    // The primary format, in which frames are rendered.
    virtual WAVEFORMATEX Format() const = 0;
    // Mixes the next `frames` frames: the bytes as the primary format lays
    // them out. Time moves only by rendering.
    virtual std::vector<uint8_t> Render(size_t frames) = 0;
    // Render as interleaved 16-bit samples (8-bit primaries are widened).
    std::vector<int16_t> Render16(size_t frames);
    // From now on rendered frames are also written to a WAV file, completed
    // by StopRecording or when the device closes. False if it cannot be made.
    virtual bool RecordTo(const std::string& path) = 0;
    virtual void StopRecording() = 0;
    // Loses every buffer of the device, as when another program takes it.
    virtual void LoseBuffers() = 0;
};

// The most recently created headless device still open, or null.
Output* CurrentOutput();

// Makes the n-th call (counting from 1, from now) of `method` return `code`
// instead of running. Methods are named "DirectSoundCreate",
// "IDirectSound::CreateSoundBuffer", "IDirectSoundBuffer::Lock" and so on.
void FailCall(const std::string& method, int nth, HRESULT code);
void ClearFaults();

}  // namespace dsound::headless
