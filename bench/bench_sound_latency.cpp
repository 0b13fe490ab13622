// Sound latency: the time from Play to the sound's first sample in the
// output, against one mixing period (the goal allows one period plus 1 ms).
// Measured twice in the same run:
// - a capture sink: a thread pulls the headless device's mixed output one
//   period at a time on the real-time clock, as an audio callback does, and
//   notes when the sound first appears (the goal is checked on this);
// - SDL's disk driver writing into a named pipe that a reader thread
//   timestamps. SDL writes that file through a stdio buffer of 4096 bytes,
//   so bytes leave it every second period: this figure includes up to one
//   period of SDL's own buffering and is printed for information.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "benchutil.h"
#include "platform/com/backend.h"
#include "platform/dsound/dsound.h"
#include "platform/dsound/headless/output.h"
#include "platform/winsys/headless/headless.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kRate = 44100;
constexpr int kPeriodFrames = 512;  // what the SDL sink asks its device for
constexpr int kTrials = 25;

struct Device {
    ComPtr<IDirectSound> ds;
    ComPtr<IDirectSoundBuffer> primary;
    ComPtr<IDirectSoundBuffer> sound;

    bool Open(winsys::Window* window) {
        if (DirectSoundCreate(nullptr, ds.Put(), nullptr) != DS_OK) return false;
        ds->SetCooperativeLevel(window, DSSCL_PRIORITY);
        DSBUFFERDESC pd{sizeof(DSBUFFERDESC), DSBCAPS_PRIMARYBUFFER, 0, 0, nullptr};
        ds->CreateSoundBuffer(&pd, primary.Put(), nullptr);
        WAVEFORMATEX f{WAVE_FORMAT_PCM, 2, kRate, kRate * 4, 4, 16, 0};
        primary->SetFormat(&f);
        WAVEFORMATEX mono{WAVE_FORMAT_PCM, 1, kRate, kRate * 2, 2, 16, 0};
        std::vector<int16_t> samples(kRate / 20, 12000);
        DSBUFFERDESC d{sizeof(DSBUFFERDESC), DSBCAPS_STATIC | DSBCAPS_CTRLVOLUME,
                       static_cast<DWORD>(samples.size() * 2), 0, &mono};
        if (ds->CreateSoundBuffer(&d, sound.Put(), nullptr) != DS_OK) return false;
        void *p1, *p2;
        DWORD n1, n2;
        sound->Lock(0, d.dwBufferBytes, &p1, &n1, &p2, &n2, 0);
        std::memcpy(p1, samples.data(), n1);
        sound->Unlock(p1, n1, p2, n2);
        return true;
    }
};

// What the output side reports: when sound was first heard while armed,
// and how much silence has passed since the last sound.
struct Listener {
    std::atomic<bool> armed{false};
    std::atomic<int64_t> heardAt{0};
    std::atomic<int64_t> silentRun{0};  // bytes
    std::atomic<int64_t> heardLate{0};  // how late the pulling thread woke for that period (ns)

    void Saw(const int16_t* s, size_t n, int64_t lateNs = 0) {
        const int64_t now = Clock::now().time_since_epoch().count();
        if (std::any_of(s, s + n, [](int16_t v) { return v != 0; })) {
            silentRun = 0;
            int64_t expected = 0;
            if (armed && heardAt.compare_exchange_strong(expected, now)) heardLate = lateNs;
        } else {
            silentRun += static_cast<int64_t>(n * 2);
        }
    }
};

struct Latencies {
    std::vector<double> raw;       // ms, sorted
    std::vector<double> onTime;    // ms, less the puller's late wake-ups, sorted
};

// Plays the sound kTrials times from different points of the period
// (empty when the sound never came).
Latencies Trials(IDirectSoundBuffer* b, Listener& l) {
    Latencies out;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    for (int t = 0; t < kTrials; ++t) {
        std::this_thread::sleep_for(std::chrono::microseconds(7919 * t % 11000));
        l.heardAt = 0;
        l.armed = true;
        const int64_t t0 = Clock::now().time_since_epoch().count();
        b->Play(0, 0, 0);
        for (auto end = Clock::now() + std::chrono::seconds(2); l.heardAt == 0 && Clock::now() < end;)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        l.armed = false;
        if (l.heardAt == 0) return {};
        out.raw.push_back((l.heardAt - t0) / 1e6);
        out.onTime.push_back((l.heardAt - t0 - l.heardLate) / 1e6);
        b->Stop();
        b->SetCurrentPosition(0);
        for (auto end = Clock::now() + std::chrono::seconds(2);
             l.silentRun < 4 * kPeriodFrames * 4 && Clock::now() < end;)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::sort(out.raw.begin(), out.raw.end());
    std::sort(out.onTime.begin(), out.onTime.end());
    return out;
}

// Reads the pipe for as long as the device writes it (reopening when the
// device is reopened) and tells the listener what arrives.
struct PipeReader {
    std::string path;
    std::atomic<bool> stop{false};
    Listener listener;

    void Run() {
        std::vector<int16_t> buf(4096);
        while (!stop) {
            int fd = open(path.c_str(), O_RDONLY);
            if (fd < 0) return;
            for (;;) {
                ssize_t n = read(fd, buf.data(), buf.size() * 2);
                if (n <= 0) break;
                listener.Saw(buf.data(), static_cast<size_t>(n / 2));
            }
            close(fd);
        }
    }
};

double Median(const std::vector<double>& v) { return v[v.size() / 2]; }

// The headless device pulled one period at a time on the real-time clock.
Latencies CaptureSinkLatencies(winsys::Window* window) {
    platform::SelectBackend(platform::Backend::Headless);
    Device dev;
    if (!dev.Open(window)) return {};
    dsound::headless::Output* out = dsound::headless::CurrentOutput();
    Listener listener;
    std::atomic<bool> stop{false};
    std::thread puller([&] {
        const auto period = std::chrono::nanoseconds(1000000000LL * kPeriodFrames / kRate);
        auto next = Clock::now();
        while (!stop) {
            next += period;
            std::this_thread::sleep_until(next);
            const int64_t late = (Clock::now() - next).count();
            std::vector<int16_t> s = out->Render16(kPeriodFrames);
            listener.Saw(s.data(), s.size(), late);
        }
    });
    Latencies result = Trials(dev.sound.Get(), listener);
    stop = true;
    puller.join();
    return result;
}

}  // namespace

int main() {
    char dir[] = "/tmp/qvx_latency_XXXXXX";
    if (!mkdtemp(dir)) return 1;
    PipeReader reader;
    reader.path = std::string(dir) + "/out.raw";
    if (mkfifo(reader.path.c_str(), 0600) != 0) return 1;
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", reader.path.c_str(), 1);
    std::thread thread([&] { reader.Run(); });

    winsys::headless::HeadlessWindow window("TBench", "bench", 1, 1);
    Latencies capture = CaptureSinkLatencies(&window);
    Latencies disk;
    platform::SelectBackend(platform::Backend::Real);
    {
        Device dev;
        if (dev.Open(&window)) disk = Trials(dev.sound.Get(), reader.listener);
    }
    reader.stop = true;
    // Wakes a reader waiting for the next writer.
    int fd = open(reader.path.c_str(), O_WRONLY | O_NONBLOCK);
    if (fd >= 0) close(fd);
    thread.join();
    unlink(reader.path.c_str());
    rmdir(dir);
    platform::SelectBackend(platform::Backend::Headless);

    if (capture.raw.empty() || disk.raw.empty()) {
        std::printf("the sound never reached the output\n");
        return 1;
    }
    const double period = 1000.0 * kPeriodFrames / kRate;
    std::printf("mixing period %.2f ms; Play to first sample, %d trials each:\n", period, kTrials);
    std::printf("  capture sink:    median %.2f ms, max %.2f ms; less late wake-ups of the output thread: max %.2f ms\n",
                Median(capture.raw), capture.raw.back(), capture.onTime.back());
    std::printf("  SDL disk driver: median %.2f ms, max %.2f ms (includes SDL's stdio buffering)\n",
                Median(disk.raw), disk.raw.back());
    bench::Report("capture sink: max latency on time / (period + 1 ms) (ratio)", capture.onTime.back() / (period + 1.0),
                  1.0);
    bench::Report("capture sink: median latency / (period + 1 ms) (ratio)", Median(capture.raw) / (period + 1.0), 1.0);
    return 0;
}
