#include "mixer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace dsound {

WAVEFORMATEX PcmFormat::ToWave() const {
    WAVEFORMATEX w{};
    w.wFormatTag = WAVE_FORMAT_PCM;
    w.nChannels = static_cast<WORD>(channels);
    w.nSamplesPerSec = static_cast<DWORD>(rate);
    w.nBlockAlign = static_cast<WORD>(BlockAlign());
    w.nAvgBytesPerSec = static_cast<DWORD>(rate * BlockAlign());
    w.wBitsPerSample = static_cast<WORD>(bits);
    w.cbSize = 0;
    return w;
}

HRESULT CheckFormat(const WAVEFORMATEX* f, PcmFormat* out) {
    if (!f) return DSERR_INVALIDPARAM;
    if (f->wFormatTag != WAVE_FORMAT_PCM) return DSERR_BADFORMAT;
    if (f->nChannels < 1 || f->nChannels > 2) return DSERR_BADFORMAT;
    if (f->wBitsPerSample != 8 && f->wBitsPerSample != 16) return DSERR_BADFORMAT;
    if (f->nSamplesPerSec < DSBFREQUENCY_MIN || f->nSamplesPerSec > DSBFREQUENCY_MAX) return DSERR_BADFORMAT;
    // The block alignment decides how the bytes are read, so it must agree
    // with the sample layout; the average rate is informative only.
    if (f->nBlockAlign != f->nChannels * f->wBitsPerSample / 8) return DSERR_BADFORMAT;
    if (out) {
        out->rate = static_cast<int>(f->nSamplesPerSec);
        out->channels = f->nChannels;
        out->bits = f->wBitsPerSample;
    }
    return DS_OK;
}

double Amplitude(LONG hundredthsOfDb) {
    if (hundredthsOfDb <= DSBVOLUME_MIN) return 0.0;
    if (hundredthsOfDb >= 0) return 1.0;
    return std::pow(10.0, hundredthsOfDb / 2000.0);
}

void ChannelGains(LONG volume, LONG pan, int32_t* left, int32_t* right) {
    double v = Amplitude(volume);
    double l = v * (pan > 0 ? Amplitude(-pan) : 1.0);
    double r = v * (pan < 0 ? Amplitude(pan) : 1.0);
    *left = static_cast<int32_t>(std::lround(l * 32768.0));
    *right = static_cast<int32_t>(std::lround(r * 32768.0));
}

Mixer::Mixer(PcmFormat output) : output_(output) {}

void Mixer::Add(std::shared_ptr<Voice> voice) { voices_.push_back(std::move(voice)); }

void Mixer::Remove(const Voice* voice) {
    voices_.erase(std::remove_if(voices_.begin(), voices_.end(), [voice](auto& v) { return v.get() == voice; }),
                  voices_.end());
}

void Mixer::SetMaster(int32_t left, int32_t right) {
    masterLeft_ = left;
    masterRight_ = right;
}

void Mixer::Mix(void* out, size_t frames) {
    std::lock_guard lock(mutex_);
    MixLocked(out, frames);
}

namespace {

template <int Bits, int Channels>
inline int32_t SampleAt(const uint8_t* d, uint32_t frame, int channel) {
    size_t i = static_cast<size_t>(frame) * Channels + channel;
    if constexpr (Bits == 8) {
        return (static_cast<int32_t>(d[i]) - 128) * 256;
    } else {
        int16_t s;
        std::memcpy(&s, d + i * 2, 2);
        return s;
    }
}

// Linear interpolation between frames a and b with a Q15 fraction.
template <int Bits, int Channels>
inline void Interpolate(const uint8_t* d, uint32_t a, uint32_t b, int32_t frac, int32_t* l, int32_t* r) {
    int32_t l0 = SampleAt<Bits, Channels>(d, a, 0);
    int32_t l1 = SampleAt<Bits, Channels>(d, b, 0);
    *l = l0 + (((l1 - l0) * frac) >> 15);
    if constexpr (Channels == 2) {
        int32_t r0 = SampleAt<Bits, Channels>(d, a, 1);
        int32_t r1 = SampleAt<Bits, Channels>(d, b, 1);
        *r = r0 + (((r1 - r0) * frac) >> 15);
    } else {
        *r = *l;
    }
}

// Mixes `n` output frames of one voice into the stereo accumulator. Returns
// the new position; clears `playing` when a one-shot voice runs out.
template <int Bits, int Channels>
void MixTyped(Voice& v, int32_t* acc, size_t n, uint64_t step) {
    const uint8_t* d = v.data->data();
    const uint32_t frames = v.frames;
    const uint64_t end = static_cast<uint64_t>(frames) << 32;
    // Positions below `inner` have their next frame inside the buffer.
    const uint64_t inner = static_cast<uint64_t>(frames - 1) << 32;
    const int32_t gl = v.gainLeft, gr = v.gainRight;
    uint64_t pos = v.position;
    size_t i = 0;
    while (i < n) {
        if (pos < inner) {
            size_t run = static_cast<size_t>(std::min<uint64_t>(n - i, (inner - pos + step - 1) / step));
            int32_t* a = acc + 2 * i;
            for (size_t k = 0; k < run; ++k) {
                uint32_t idx = static_cast<uint32_t>(pos >> 32);
                int32_t frac = static_cast<int32_t>((pos >> 17) & 0x7FFF);
                int32_t l, r;
                Interpolate<Bits, Channels>(d, idx, idx + 1, frac, &l, &r);
                a[2 * k] += (l * gl) >> 15;
                a[2 * k + 1] += (r * gr) >> 15;
                pos += step;
            }
            i += run;
            continue;
        }
        if (pos >= end) {
            if (v.looping) {
                pos %= end;
                continue;
            }
            v.playing = false;
            pos = 0;
            break;
        }
        // The last frame leads into the first when looping and is held otherwise.
        uint32_t idx = frames - 1;
        int32_t frac = static_cast<int32_t>((pos >> 17) & 0x7FFF);
        int32_t l, r;
        Interpolate<Bits, Channels>(d, idx, v.looping ? 0 : idx, frac, &l, &r);
        acc[2 * i] += (l * gl) >> 15;
        acc[2 * i + 1] += (r * gr) >> 15;
        pos += step;
        ++i;
    }
    if (v.playing && pos >= end) {
        if (v.looping) {
            pos %= end;
        } else {
            v.playing = false;
            pos = 0;
        }
    }
    v.position = pos;
}

// Advances a voice that is not heard, with the same loop and end rules.
void Advance(Voice& v, size_t n, uint64_t step) {
    const uint64_t end = static_cast<uint64_t>(v.frames) << 32;
    uint64_t pos = v.position + step * n;
    if (pos >= end) {
        if (v.looping) {
            pos %= end;
        } else {
            v.playing = false;
            pos = 0;
        }
    }
    v.position = pos;
}

inline int32_t Clamp16(int64_t x) { return static_cast<int32_t>(std::clamp<int64_t>(x, -32768, 32767)); }

}  // namespace

void Mixer::MixVoice(Voice& v, int32_t* acc, size_t frames) {
    if (v.frames == 0 || !v.data) {
        v.playing = false;
        return;
    }
    const uint64_t step = (static_cast<uint64_t>(v.frequency) << 32) / static_cast<uint64_t>(output_.rate);
    if ((v.followsFocus && !focused_) || (v.gainLeft == 0 && v.gainRight == 0)) {
        Advance(v, frames, step);
        return;
    }
    const int key = v.format.bits * 10 + v.format.channels;
    switch (key) {
        case 81: MixTyped<8, 1>(v, acc, frames, step); break;
        case 82: MixTyped<8, 2>(v, acc, frames, step); break;
        case 161: MixTyped<16, 1>(v, acc, frames, step); break;
        case 162: MixTyped<16, 2>(v, acc, frames, step); break;
        default: v.playing = false; break;
    }
}

void Mixer::MixLocked(void* out, size_t frames) {
    constexpr size_t kChunk = 1024;
    auto* dst = static_cast<uint8_t*>(out);
    const int channels = output_.channels;
    const bool eight = output_.bits == 8;
    acc_.resize(2 * kChunk);
    while (frames > 0) {
        size_t n = std::min(frames, kChunk);
        std::fill(acc_.begin(), acc_.begin() + 2 * n, 0);
        for (auto& v : voices_)
            if (v->playing) MixVoice(*v, acc_.data(), n);
        for (size_t i = 0; i < n; ++i) {
            int32_t l = Clamp16((static_cast<int64_t>(acc_[2 * i]) * masterLeft_) >> 15);
            int32_t r = Clamp16((static_cast<int64_t>(acc_[2 * i + 1]) * masterRight_) >> 15);
            if (channels == 1) {
                int32_t m = (l + r) / 2;
                if (eight) {
                    *dst++ = static_cast<uint8_t>((m >> 8) + 128);
                } else {
                    int16_t s = static_cast<int16_t>(m);
                    std::memcpy(dst, &s, 2);
                    dst += 2;
                }
            } else if (eight) {
                *dst++ = static_cast<uint8_t>((l >> 8) + 128);
                *dst++ = static_cast<uint8_t>((r >> 8) + 128);
            } else {
                int16_t s[2] = {static_cast<int16_t>(l), static_cast<int16_t>(r)};
                std::memcpy(dst, s, 4);
                dst += 4;
            }
        }
        framesMixed_ += n;
        frames -= n;
    }
}

}  // namespace dsound
