// The software mixer behind every sound device: secondary buffers ("voices")
// of 8- or 16-bit PCM, mono or stereo, at any rate, resampled by linear
// interpolation and summed with their volume and pan into the primary
// format. Integer arithmetic throughout, so results are exact and repeatable.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "dsound.h"

namespace dsound {

struct PcmFormat {
    int rate = 22050;
    int channels = 2;
    int bits = 8;
    int BlockAlign() const { return channels * bits / 8; }
    bool operator==(const PcmFormat&) const = default;
    WAVEFORMATEX ToWave() const;
};

// Checks a wave format a buffer can hold or the device can output: PCM, one
// or two channels, 8 or 16 bits, a rate in the frequency limits and a block
// alignment that matches. DSERR_INVALIDPARAM for a null format.
HRESULT CheckFormat(const WAVEFORMATEX* format, PcmFormat* out);

// Amplitude factor of an attenuation in hundredths of a decibel (0 is full
// level, -10000 and below silence).
double Amplitude(LONG hundredthsOfDb);

// Q15 channel gains (32768 is unity) of a volume and a pan as the platform
// defines them: volume attenuates both channels, a pan attenuates the far
// channel by its magnitude.
void ChannelGains(LONG volume, LONG pan, int32_t* left, int32_t* right);

// One playing source. Sample memory is shared with duplicates of a buffer.
struct Voice {
    std::shared_ptr<std::vector<uint8_t>> data;
    PcmFormat format;
    uint32_t frames = 0;     // whole frames held
    uint32_t frequency = 0;  // playback rate in frames per second
    uint64_t position = 0;   // 32.32 fixed point, in frames
    bool playing = false;
    bool looping = false;
    bool followsFocus = true;  // silent while the cooperative window is inactive
    int32_t gainLeft = 32768;
    int32_t gainRight = 32768;
};

class Mixer {
public:
    explicit Mixer(PcmFormat output = {});

    // Guards every voice and the settings below; the real backend mixes on
    // its audio thread.
    std::mutex& Mutex() { return mutex_; }

    // The following expect Mutex() held.
    const PcmFormat& Output() const { return output_; }
    void SetOutput(const PcmFormat& format) { output_ = format; }
    void Add(std::shared_ptr<Voice> voice);
    void Remove(const Voice* voice);
    void SetMaster(int32_t left, int32_t right);
    void SetFocused(bool focused) { focused_ = focused; }
    uint64_t FramesMixed() const { return framesMixed_; }
    // Fills `out` with `frames` frames in the output format.
    void MixLocked(void* out, size_t frames);

    // Takes the lock, then mixes.
    void Mix(void* out, size_t frames);

private:
    void MixVoice(Voice& voice, int32_t* acc, size_t frames);

    std::mutex mutex_;
    PcmFormat output_;
    std::vector<std::shared_ptr<Voice>> voices_;
    std::vector<int32_t> acc_;
    int32_t masterLeft_ = 32768;
    int32_t masterRight_ = 32768;
    bool focused_ = true;
    uint64_t framesMixed_ = 0;
};

}  // namespace dsound
