// Mixed output checked against values worked out from first principles:
// decibel arithmetic for volume and pan, the source waveform for looping,
// an analytic sine for resampling.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <unistd.h>

#include "sound_fixture.h"

namespace {

class MixGolden : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SelectBackend(platform::Backend::Headless);
        dsound::headless::ClearFaults();
    }
};

// Expected level of `value` after an attenuation in hundredths of a dB.
double Attenuated(double value, int hundredths) { return value * std::pow(10.0, hundredths / 2000.0); }

std::vector<int16_t> Constant(size_t frames, int channels, int16_t value) {
    return std::vector<int16_t>(frames * channels, value);
}

TEST_F(MixGolden, SameRateAtFullLevelReproducesTheSamples) {
    SoundRig rig;
    std::vector<int16_t> src;
    for (int i = 0; i < 200; ++i) {
        src.push_back(static_cast<int16_t>(i * 301 - 30000));
        src.push_back(static_cast<int16_t>(29000 - i * 277));
    }
    auto buf = MakeBuffer(rig.ds.Get(), Pcm(44100, 2, 16), Bytes16(src));
    ASSERT_EQ(buf->Play(0, 0, 0), DS_OK);
    auto out = rig.Out()->Render16(200);
    EXPECT_EQ(out, src);
}

TEST_F(MixGolden, EightBitMonoGoesToBothChannels) {
    SoundRig rig;
    std::vector<uint8_t> src = {0, 64, 128, 192, 255, 128, 1, 200};
    auto buf = MakeBuffer(rig.ds.Get(), Pcm(44100, 1, 8), src);
    ASSERT_EQ(buf->Play(0, 0, 0), DS_OK);
    auto out = rig.Out()->Render16(src.size());
    for (size_t i = 0; i < src.size(); ++i) {
        int expected = (src[i] - 128) * 256;
        EXPECT_EQ(out[2 * i], expected) << i;
        EXPECT_EQ(out[2 * i + 1], expected) << i;
    }
}

TEST_F(MixGolden, VolumeAttenuatesByHundredthsOfADecibel) {
    for (int volume : {0, -100, -600, -2000, -4000}) {
        SoundRig rig;
        auto buf = MakeBuffer(rig.ds.Get(), Pcm(44100, 1, 16), Bytes16(Constant(64, 1, 20000)));
        ASSERT_EQ(buf->SetVolume(volume), DS_OK);
        ASSERT_EQ(buf->Play(0, 0, 0), DS_OK);
        auto out = rig.Out()->Render16(64);
        double expected = Attenuated(20000, volume);
        EXPECT_NEAR(out[10], expected, 1.0) << volume;
        EXPECT_NEAR(out[11], expected, 1.0) << volume;
    }
}

TEST_F(MixGolden, MinimumVolumeIsSilence) {
    SoundRig rig;
    auto buf = MakeBuffer(rig.ds.Get(), Pcm(44100, 1, 16), Bytes16(Constant(64, 1, 32000)));
    ASSERT_EQ(buf->SetVolume(DSBVOLUME_MIN), DS_OK);
    ASSERT_EQ(buf->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    for (int16_t s : rig.Out()->Render16(256)) ASSERT_EQ(s, 0);
}

TEST_F(MixGolden, PanAttenuatesTheFarChannelOnly) {
    struct Case {
        LONG pan;
        double left, right;
    } cases[] = {
        {0, 16000, 16000},
        {DSBPAN_RIGHT, 0, 16000},
        {DSBPAN_LEFT, 16000, 0},
        {300, Attenuated(16000, -300), 16000},
        {-1200, 16000, Attenuated(16000, -1200)},
    };
    for (const Case& c : cases) {
        SoundRig rig;
        auto buf = MakeBuffer(rig.ds.Get(), Pcm(44100, 1, 16), Bytes16(Constant(32, 1, 16000)));
        ASSERT_EQ(buf->SetPan(c.pan), DS_OK);
        ASSERT_EQ(buf->Play(0, 0, 0), DS_OK);
        auto out = rig.Out()->Render16(32);
        EXPECT_NEAR(out[20], c.left, 1.0) << c.pan;
        EXPECT_NEAR(out[21], c.right, 1.0) << c.pan;
    }
}

TEST_F(MixGolden, VolumeAndPanCombine) {
    SoundRig rig;
    auto buf = MakeBuffer(rig.ds.Get(), Pcm(44100, 2, 16), Bytes16(Constant(32, 2, 10000)));
    ASSERT_EQ(buf->SetVolume(-500), DS_OK);
    ASSERT_EQ(buf->SetPan(-700), DS_OK);
    ASSERT_EQ(buf->Play(0, 0, 0), DS_OK);
    auto out = rig.Out()->Render16(32);
    EXPECT_NEAR(out[0], Attenuated(10000, -500), 1.0);
    EXPECT_NEAR(out[1], Attenuated(10000, -1200), 1.0);
}

TEST_F(MixGolden, LoopingRepeatsTheBufferSeamlessly) {
    SoundRig rig;
    std::vector<int16_t> src;
    for (int i = 0; i < 100; ++i) src.push_back(static_cast<int16_t>((i * 617) % 20000 - 10000));
    auto buf = MakeBuffer(rig.ds.Get(), Pcm(44100, 1, 16), Bytes16(src));
    ASSERT_EQ(buf->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    auto out = rig.Out()->Render16(1000);
    for (size_t i = 0; i < 1000; ++i) ASSERT_EQ(out[2 * i], src[i % 100]) << i;
    DWORD status = 0;
    ASSERT_EQ(buf->GetStatus(&status), DS_OK);
    EXPECT_EQ(status, DSBSTATUS_PLAYING | DSBSTATUS_LOOPING);
    DWORD play = 0;
    ASSERT_EQ(buf->GetCurrentPosition(&play, nullptr), DS_OK);
    EXPECT_EQ(play, 0u);  // 1000 frames are ten whole passes
}

TEST_F(MixGolden, OneShotEndsInSilenceAndRewinds) {
    SoundRig rig;
    auto buf = MakeBuffer(rig.ds.Get(), Pcm(44100, 1, 16), Bytes16(Constant(100, 1, 5000)));
    ASSERT_EQ(buf->Play(0, 0, 0), DS_OK);
    auto out = rig.Out()->Render16(300);
    for (size_t i = 0; i < 99; ++i) ASSERT_EQ(out[2 * i], 5000) << i;
    for (size_t i = 100; i < 300; ++i) ASSERT_EQ(out[2 * i], 0) << i;
    DWORD status = 1, play = 1;
    ASSERT_EQ(buf->GetStatus(&status), DS_OK);
    EXPECT_EQ(status, 0u);
    ASSERT_EQ(buf->GetCurrentPosition(&play, nullptr), DS_OK);
    EXPECT_EQ(play, 0u);
    // Playing again starts from the beginning.
    ASSERT_EQ(buf->Play(0, 0, 0), DS_OK);
    out = rig.Out()->Render16(10);
    EXPECT_EQ(out[0], 5000);
}

// A 441 Hz sine recorded at `rate` and played at 44100: the output is the
// same sine, up to the error of linear interpolation.
TEST_F(MixGolden, ResamplingKeepsThePitch) {
    for (int rate : {11025, 22050, 32000, 48000}) {
        SoundRig rig;
        const double f = 441.0, amp = 12000.0;
        std::vector<int16_t> src(rate);  // one second
        for (int i = 0; i < rate; ++i)
            src[i] = static_cast<int16_t>(std::lround(amp * std::sin(2 * std::numbers::pi * f * i / rate)));
        auto buf = MakeBuffer(rig.ds.Get(), Pcm(rate, 1, 16), Bytes16(src));
        ASSERT_EQ(buf->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
        auto out = rig.Out()->Render16(4410);
        double worst = 0;
        for (int i = 0; i < 4410; ++i) {
            double expected = amp * std::sin(2 * std::numbers::pi * f * i / 44100.0);
            worst = std::max(worst, std::abs(out[2 * i] - expected));
        }
        // Linear interpolation of a sine errs by at most amp * (pi f / rate)^2 / 2.
        double bound = amp * std::pow(std::numbers::pi * f / rate, 2) / 2 + 3;
        EXPECT_LE(worst, bound) << rate;
    }
}

TEST_F(MixGolden, SetFrequencyShiftsThePitch) {
    SoundRig rig;
    const double amp = 10000.0;
    std::vector<int16_t> src(44100);
    for (int i = 0; i < 44100; ++i)
        src[i] = static_cast<int16_t>(std::lround(amp * std::sin(2 * std::numbers::pi * 882.0 * i / 44100)));
    auto buf = MakeBuffer(rig.ds.Get(), Pcm(44100, 1, 16), Bytes16(src));
    ASSERT_EQ(buf->SetFrequency(22050), DS_OK);
    ASSERT_EQ(buf->Play(0, 0, 0), DS_OK);
    auto out = rig.Out()->Render16(2000);
    for (int i = 0; i < 2000; ++i) {
        double expected = amp * std::sin(2 * std::numbers::pi * 441.0 * i / 44100.0);
        // Interpolation error bound of an 882 Hz sine sampled at 44100 Hz.
        ASSERT_NEAR(out[2 * i], expected, amp * std::pow(std::numbers::pi * 882 / 44100, 2) / 2 + 3) << i;
    }
    // Back to the recorded rate: samples come out one for one again.
    ASSERT_EQ(buf->SetFrequency(DSBFREQUENCY_ORIGINAL), DS_OK);
    DWORD freq = 0;
    ASSERT_EQ(buf->GetFrequency(&freq), DS_OK);
    EXPECT_EQ(freq, 44100u);
}

TEST_F(MixGolden, VoicesAddAndClip) {
    SoundRig rig;
    auto a = MakeBuffer(rig.ds.Get(), Pcm(44100, 1, 16), Bytes16(Constant(16, 1, 30000)));
    auto b = MakeBuffer(rig.ds.Get(), Pcm(22050, 1, 8), std::vector<uint8_t>(16, 128 + 40));
    auto c = MakeBuffer(rig.ds.Get(), Pcm(44100, 1, 16), Bytes16(Constant(16, 1, -3000)));
    ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
    ASSERT_EQ(c->Play(0, 0, 0), DS_OK);
    auto out = rig.Out()->Render16(8);
    EXPECT_EQ(out[0], 40 * 256 - 3000);
    ASSERT_EQ(a->Play(0, 0, 0), DS_OK);
    out = rig.Out()->Render16(4);
    EXPECT_EQ(out[0], 32767);  // 30000 + 10240 - 3000 saturates
    auto d = MakeBuffer(rig.ds.Get(), Pcm(44100, 2, 16), Bytes16(Constant(16, 2, -32000)));
    auto e = MakeBuffer(rig.ds.Get(), Pcm(44100, 2, 16), Bytes16(Constant(16, 2, -32000)));
    ASSERT_EQ(a->Stop(), DS_OK);
    ASSERT_EQ(d->Play(0, 0, 0), DS_OK);
    ASSERT_EQ(e->Play(0, 0, 0), DS_OK);
    out = rig.Out()->Render16(2);
    EXPECT_EQ(out[1], -32768);
}

TEST_F(MixGolden, DefaultPrimaryIsEightBitStereoAt22050) {
    TestWindow window;
    ComPtr<IDirectSound> ds;
    ASSERT_EQ(DirectSoundCreate(nullptr, ds.Put(), nullptr), DS_OK);
    ASSERT_EQ(ds->SetCooperativeLevel(&window, DSSCL_NORMAL), DS_OK);
    WAVEFORMATEX f = dsound::headless::CurrentOutput()->Format();
    EXPECT_EQ(f.nSamplesPerSec, 22050u);
    EXPECT_EQ(f.wBitsPerSample, 8);
    EXPECT_EQ(f.nChannels, 2);
    // A 16-bit source reaches the 8-bit output as its top byte.
    auto buf = MakeBuffer(ds.Get(), Pcm(44100, 1, 16), Bytes16(Constant(64, 1, 12800)));
    ASSERT_EQ(buf->Play(0, 0, 0), DS_OK);
    auto out = dsound::headless::CurrentOutput()->Render(8);
    EXPECT_EQ(out[0], 128 + 50);
    EXPECT_EQ(out[1], 128 + 50);
}

TEST_F(MixGolden, MonoPrimaryAveragesTheChannels) {
    SoundRig rig(Pcm(44100, 1, 16));
    auto buf = MakeBuffer(rig.ds.Get(), Pcm(44100, 2, 16), Bytes16({1000, 3000, 1000, 3000}));
    ASSERT_EQ(buf->Play(0, 0, 0), DS_OK);
    auto out = rig.Out()->Render16(2);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0], 2000);
}

TEST_F(MixGolden, PrimaryVolumeAndPanActOnTheWholeMix) {
    SoundRig rig(Pcm(44100, 2, 16), DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPAN);
    auto buf = MakeBuffer(rig.ds.Get(), Pcm(44100, 1, 16), Bytes16(Constant(16, 1, 20000)));
    ASSERT_EQ(rig.primary->SetVolume(-600), DS_OK);
    ASSERT_EQ(rig.primary->SetPan(600), DS_OK);
    ASSERT_EQ(buf->Play(0, 0, 0), DS_OK);
    auto out = rig.Out()->Render16(4);
    EXPECT_NEAR(out[0], Attenuated(20000, -1200), 2.0);
    EXPECT_NEAR(out[1], Attenuated(20000, -600), 2.0);
}

// Buffers without global focus fall silent while the window is inactive
// and keep their place in time.
TEST_F(MixGolden, FocusMutesOrdinaryBuffersOnly) {
    SoundRig rig;
    std::vector<int16_t> ramp(1000);
    for (int i = 0; i < 1000; ++i) ramp[i] = static_cast<int16_t>(i * 10);
    auto local = MakeBuffer(rig.ds.Get(), Pcm(44100, 1, 16), Bytes16(ramp));
    auto global = MakeBuffer(rig.ds.Get(), Pcm(44100, 1, 16), Bytes16(Constant(1000, 1, 7)),
                             DSBCAPS_STATIC | DSBCAPS_GLOBALFOCUS);
    ASSERT_EQ(local->Play(0, 0, 0), DS_OK);
    ASSERT_EQ(global->Play(0, 0, 0), DS_OK);
    rig.window.SetActive(false);
    auto out = rig.Out()->Render16(100);
    EXPECT_EQ(out[0], 7);
    EXPECT_EQ(out[198], 7);
    rig.window.SetActive(true);
    out = rig.Out()->Render16(1);
    EXPECT_EQ(out[0], 1000 + 7);  // frame 100 of the ramp
}

TEST_F(MixGolden, RecordingWritesAPlayableWaveFile) {
    SoundRig rig;
    auto path = std::filesystem::temp_directory_path() / ("dsound_rec_" + std::to_string(::getpid()) + ".wav");
    ASSERT_TRUE(rig.Out()->RecordTo(path.string()));
    auto buf = MakeBuffer(rig.ds.Get(), Pcm(44100, 1, 16), Bytes16(Constant(50, 1, 1234)));
    ASSERT_EQ(buf->Play(0, 0, 0), DS_OK);
    auto a = rig.Out()->Render(30);
    auto b = rig.Out()->Render(30);
    rig.Out()->StopRecording();
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), {});
    std::filesystem::remove(path);
    ASSERT_EQ(file.size(), 44u + 240u);
    EXPECT_EQ(std::string(file.begin(), file.begin() + 4), "RIFF");
    EXPECT_EQ(std::string(file.begin() + 8, file.begin() + 16), "WAVEfmt ");
    auto u32 = [&](size_t o) { return file[o] | file[o + 1] << 8 | file[o + 2] << 16 | uint32_t(file[o + 3]) << 24; };
    EXPECT_EQ(u32(4), 36u + 240u);
    EXPECT_EQ(u32(24), 44100u);
    EXPECT_EQ(u32(40), 240u);
    std::vector<uint8_t> data(file.begin() + 44, file.end());
    a.insert(a.end(), b.begin(), b.end());
    EXPECT_EQ(data, a);
}

}  // namespace
