// Sound mixing cost: 32 looping voices of mixed formats (8/16-bit, mono and
// stereo, 11025 to 44100 Hz, each at its own playback rate, volume and pan)
// mixed into 44100 Hz 16-bit stereo, measured as the fraction of one core
// that real-time playback takes. Reference in the same run: a plain summing
// loop over 32 voices already in the output format (no resampling, no
// gains), the floor any mixer pays for touching the data.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "benchutil.h"
#include "platform/com/backend.h"
#include "platform/dsound/dsound.h"
#include "platform/dsound/headless/output.h"
#include "platform/winsys/headless/headless.h"

namespace {

constexpr int kVoices = 32;
constexpr int kSeconds = 20;
constexpr int kBlock = 1024;  // frames per pull, as an audio callback would ask

WAVEFORMATEX Pcm(int rate, int channels, int bits) {
    WAVEFORMATEX w{};
    w.wFormatTag = WAVE_FORMAT_PCM;
    w.nChannels = static_cast<WORD>(channels);
    w.nSamplesPerSec = static_cast<DWORD>(rate);
    w.nBlockAlign = static_cast<WORD>(channels * bits / 8);
    w.nAvgBytesPerSec = static_cast<DWORD>(rate * w.nBlockAlign);
    w.wBitsPerSample = static_cast<WORD>(bits);
    return w;
}

// One second of a tone in `format`.
std::vector<uint8_t> Tone(const WAVEFORMATEX& f, double hz) {
    size_t frames = f.nSamplesPerSec;
    std::vector<uint8_t> out(frames * f.nBlockAlign);
    for (size_t i = 0; i < frames; ++i) {
        double s = std::sin(2 * 3.141592653589793 * hz * i / f.nSamplesPerSec);
        for (int c = 0; c < f.nChannels; ++c) {
            if (f.wBitsPerSample == 8) {
                out[i * f.nChannels + c] = static_cast<uint8_t>(128 + std::lround(100 * s));
            } else {
                int16_t v = static_cast<int16_t>(std::lround(20000 * s));
                std::memcpy(&out[(i * f.nChannels + c) * 2], &v, 2);
            }
        }
    }
    return out;
}

}  // namespace

int main() {
    platform::SelectBackend(platform::Backend::Headless);
    winsys::headless::HeadlessWindow window("TBench", "bench", 1, 1);
    ComPtr<IDirectSound> ds;
    if (DirectSoundCreate(nullptr, ds.Put(), nullptr) != DS_OK) return 1;
    ds->SetCooperativeLevel(&window, DSSCL_PRIORITY);
    DSBUFFERDESC pd{sizeof(DSBUFFERDESC), DSBCAPS_PRIMARYBUFFER, 0, 0, nullptr};
    ComPtr<IDirectSoundBuffer> primary;
    ds->CreateSoundBuffer(&pd, primary.Put(), nullptr);
    WAVEFORMATEX cd = Pcm(44100, 2, 16);
    primary->SetFormat(&cd);

    const WAVEFORMATEX kinds[] = {Pcm(11025, 1, 8), Pcm(22050, 2, 8), Pcm(22050, 1, 16), Pcm(44100, 2, 16)};
    std::vector<ComPtr<IDirectSoundBuffer>> voices;
    for (int i = 0; i < kVoices; ++i) {
        WAVEFORMATEX f = kinds[i % 4];
        std::vector<uint8_t> data = Tone(f, 220.0 + 37.0 * i);
        DSBUFFERDESC d{sizeof(DSBUFFERDESC),
                       DSBCAPS_STATIC | DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME,
                       static_cast<DWORD>(data.size()), 0, &f};
        ComPtr<IDirectSoundBuffer> b;
        if (ds->CreateSoundBuffer(&d, b.Put(), nullptr) != DS_OK) return 1;
        void *p1, *p2;
        DWORD n1, n2;
        b->Lock(0, d.dwBufferBytes, &p1, &n1, &p2, &n2, 0);
        std::memcpy(p1, data.data(), n1);
        b->Unlock(p1, n1, p2, n2);
        b->SetFrequency(static_cast<DWORD>(f.nSamplesPerSec * (0.8 + 0.013 * i)));
        b->SetVolume(-40 * i);
        b->SetPan((i % 9 - 4) * 1500);
        b->Play(0, 0, DSBPLAY_LOOPING);
        voices.push_back(b);
    }
    auto* out = dsound::headless::CurrentOutput();
    const size_t blocks = static_cast<size_t>(44100) * kSeconds / kBlock;

    double mixer = bench::Best(5, [&] {
        for (size_t i = 0; i < blocks; ++i) out->Render(kBlock);
    });

    // Reference: 32 voices already at 44100 Hz 16-bit stereo, summed with
    // saturation into the same block size.
    // Each a whole number of blocks long, so the inner loop never wraps.
    std::vector<std::vector<int16_t>> plain(kVoices, std::vector<int16_t>(43 * kBlock * 2));
    for (int v = 0; v < kVoices; ++v)
        for (size_t i = 0; i < plain[v].size(); ++i) plain[v][i] = static_cast<int16_t>((i * (v + 3)) % 4000);
    std::vector<int32_t> acc(kBlock * 2);
    std::vector<int16_t> block(kBlock * 2);
    volatile int16_t sink = 0;
    double reference = bench::Best(5, [&] {
        size_t pos = 0;
        for (size_t b = 0; b < blocks; ++b) {
            std::fill(acc.begin(), acc.end(), 0);
            for (int v = 0; v < kVoices; ++v) {
                const int16_t* src = plain[v].data();
                const int16_t* from = src + pos;
                for (size_t i = 0; i < acc.size(); ++i) acc[i] += from[i];
            }
            for (size_t i = 0; i < acc.size(); ++i) block[i] = static_cast<int16_t>(std::clamp(acc[i], -32768, 32767));
            sink = block[b % block.size()];
            pos = (pos + acc.size()) % plain[0].size();
        }
    });
    (void)sink;

    std::printf("%d voices, %d s of 44100 Hz stereo: mixer %.3f s, plain sum %.3f s\n", kVoices, kSeconds, mixer,
                reference);
    bench::Report("mix 32 looping voices: fraction of one core", mixer / kSeconds, 0.05);
    bench::Report("mixer time / plain-sum reference (ratio)", mixer / reference, 4.0);
    return 0;
}
