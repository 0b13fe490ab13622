// Shared set-up for the sound tests: a window that tests activate by hand,
// a device with its primary buffer in a chosen format, and buffer helpers.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/com/backend.h"
#include "platform/dsound/dsound.h"
#include "platform/dsound/headless/output.h"
#include "platform/winsys/headless/headless.h"

// A headless window that reports itself active until a test says otherwise.
class TestWindow : public winsys::headless::HeadlessWindow {
public:
    TestWindow() : HeadlessWindow("TTestForm", "Sound test", 320, 200) {}
};

inline WAVEFORMATEX Pcm(int rate, int channels, int bits) {
    WAVEFORMATEX w{};
    w.wFormatTag = WAVE_FORMAT_PCM;
    w.nChannels = static_cast<WORD>(channels);
    w.nSamplesPerSec = static_cast<DWORD>(rate);
    w.nBlockAlign = static_cast<WORD>(channels * bits / 8);
    w.nAvgBytesPerSec = static_cast<DWORD>(rate * w.nBlockAlign);
    w.wBitsPerSample = static_cast<WORD>(bits);
    return w;
}

constexpr DWORD kAllControls = DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME;

// Creates a secondary buffer and fills it with `bytes`.
inline ComPtr<IDirectSoundBuffer> MakeBuffer(IDirectSound* ds, WAVEFORMATEX format, const std::vector<uint8_t>& bytes,
                                             DWORD flags = DSBCAPS_STATIC | kAllControls) {
    DSBUFFERDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = flags;
    desc.dwBufferBytes = static_cast<DWORD>(bytes.size());
    desc.lpwfxFormat = &format;
    ComPtr<IDirectSoundBuffer> buffer;
    HRESULT hr = ds->CreateSoundBuffer(&desc, buffer.Put(), nullptr);
    EXPECT_EQ(hr, DS_OK);
    if (FAILED(hr)) return {};
    void *p1, *p2;
    DWORD n1, n2;
    EXPECT_EQ(buffer->Lock(0, desc.dwBufferBytes, &p1, &n1, &p2, &n2, 0), DS_OK);
    std::memcpy(p1, bytes.data(), n1);
    EXPECT_EQ(buffer->Unlock(p1, n1, p2, n2), DS_OK);
    return buffer;
}

inline std::vector<uint8_t> Bytes16(const std::vector<int16_t>& samples) {
    std::vector<uint8_t> b(samples.size() * 2);
    std::memcpy(b.data(), samples.data(), b.size());
    return b;
}

// A device on `window` at priority level with its primary buffer set to
// `primary`; the headless output renders it.
struct SoundRig {
    TestWindow window;
    ComPtr<IDirectSound> ds;
    ComPtr<IDirectSoundBuffer> primary;

    explicit SoundRig(WAVEFORMATEX primaryFormat = Pcm(44100, 2, 16), DWORD primaryFlags = 0) {
        EXPECT_EQ(DirectSoundCreate(nullptr, ds.Put(), nullptr), DS_OK);
        EXPECT_EQ(ds->SetCooperativeLevel(&window, DSSCL_PRIORITY), DS_OK);
        DSBUFFERDESC desc{};
        desc.dwSize = sizeof desc;
        desc.dwFlags = DSBCAPS_PRIMARYBUFFER | primaryFlags;
        EXPECT_EQ(ds->CreateSoundBuffer(&desc, primary.Put(), nullptr), DS_OK);
        EXPECT_EQ(primary->SetFormat(&primaryFormat), DS_OK);
    }
    dsound::headless::Output* Out() const { return dsound::headless::CurrentOutput(); }
};
