// A sound all the way to SDL2's output: SDL's "disk" audio driver writes the
// mixed stream to a file, which is read back here.
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "sound_fixture.h"

namespace {

using Clock = std::chrono::steady_clock;

std::vector<int16_t> ReadRaw(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

uintmax_t FileSize(const std::string& path) {
    std::error_code ec;
    uintmax_t n = std::filesystem::file_size(path, ec);
    return ec ? 0 : n;
}

class SdlDiskOutput : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = (std::filesystem::temp_directory_path() / ("qvx_disk_" + std::to_string(getpid()) + ".raw")).string();
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", path_.c_str(), 1);
        platform::SelectBackend(platform::Backend::Real);
    }
    void TearDown() override {
        platform::SelectBackend(platform::Backend::Headless);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        std::remove(path_.c_str());
    }
    std::string path_;
};

TEST_F(SdlDiskOutput, PlayedSoundArrivesWithPanAndVolumeAndStopsWhenStopped) {
    TestWindow window;
    ComPtr<IDirectSound> ds;
    ASSERT_EQ(DirectSoundCreate(nullptr, ds.Put(), nullptr), DS_OK);
    ASSERT_EQ(ds->SetCooperativeLevel(&window, DSSCL_PRIORITY), DS_OK);
    DSBUFFERDESC pdesc{sizeof(DSBUFFERDESC), DSBCAPS_PRIMARYBUFFER, 0, 0, nullptr};
    ComPtr<IDirectSoundBuffer> primary;
    ASSERT_EQ(ds->CreateSoundBuffer(&pdesc, primary.Put(), nullptr), DS_OK);
    WAVEFORMATEX out = Pcm(44100, 2, 16);
    ASSERT_EQ(primary->SetFormat(&out), DS_OK);

    // A mono ramp that is never zero, so its first frame marks where it starts.
    constexpr int kFrames = 4410;
    std::vector<int16_t> sound(kFrames);
    for (int i = 0; i < kFrames; ++i) sound[i] = static_cast<int16_t>(1000 + (i * 37) % 20000);
    auto buffer = MakeBuffer(ds.Get(), Pcm(44100, 1, 16), Bytes16(sound));
    ASSERT_TRUE(buffer);
    ASSERT_EQ(buffer->SetVolume(-600), DS_OK);  // both channels -6 dB
    ASSERT_EQ(buffer->SetPan(1000), DS_OK);     // left a further -10 dB

    ASSERT_EQ(buffer->Play(0, 0, 0), DS_OK);
    DWORD status = DSBSTATUS_PLAYING;
    for (auto end = Clock::now() + std::chrono::seconds(5); (status & DSBSTATUS_PLAYING) && Clock::now() < end;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_EQ(buffer->GetStatus(&status), DS_OK);
    }
    ASSERT_FALSE(status & DSBSTATUS_PLAYING) << "the one-shot sound never finished";

    // Then looping, stopped while it plays.
    ASSERT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    ASSERT_EQ(buffer->Stop(), DS_OK);
    const uintmax_t atStop = FileSize(path_);
    constexpr uintmax_t kPeriodBytes = 512 * 4;  // one mixing period of the sink
    for (auto end = Clock::now() + std::chrono::seconds(5);
         FileSize(path_) < atStop + 10 * kPeriodBytes && Clock::now() < end;)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    buffer = nullptr;
    primary = nullptr;
    ds = nullptr;  // closes the device and its file

    std::vector<int16_t> mixed = ReadRaw(path_);
    ASSERT_GE(mixed.size() * 2, atStop + 10 * kPeriodBytes) << "the device stopped writing";
    size_t first = 0;
    while (first < mixed.size() && mixed[first] == 0) ++first;
    ASSERT_EQ(first % 2, 0u);
    ASSERT_GE(mixed.size(), first + 2 * kFrames);
    const double right = std::pow(10.0, -600 / 2000.0), left = right * std::pow(10.0, -1000 / 2000.0);
    for (int i = 0; i < kFrames; ++i) {
        ASSERT_NEAR(mixed[first + 2 * i], sound[i] * left, 2.0) << "frame " << i;
        ASSERT_NEAR(mixed[first + 2 * i + 1], sound[i] * right, 2.0) << "frame " << i;
    }
    // The looping run followed; after the stop (and the period in flight) all is silence.
    const size_t silentFrom = static_cast<size_t>((atStop + 2 * kPeriodBytes) / 2);
    EXPECT_GT(silentFrom, first + 2 * kFrames);
    for (size_t i = silentFrom; i < mixed.size(); ++i) ASSERT_EQ(mixed[i], 0) << "sample " << i << " after Stop";
}

}  // namespace
