// Writes the demo's sound effects as PCM WAV files (16-bit mono, 22050 Hz)
// into the folder given: 000_bounce.wav, a short decaying tone, and
// 001_fire.wav, a falling zap. The build turns them into the demo's .SDL.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 22050;

void Put(std::FILE* f, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) std::fputc(static_cast<int>((v >> (8 * i)) & 0xFF), f);
}

bool WriteWav(const std::string& path, const std::vector<int16_t>& samples) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const auto data = static_cast<uint32_t>(samples.size() * 2);
    std::fputs("RIFF", f);
    Put(f, 36 + data, 4);
    std::fputs("WAVEfmt ", f);
    Put(f, 16, 4);
    Put(f, 1, 2);  // PCM
    Put(f, 1, 2);  // mono
    Put(f, kRate, 4);
    Put(f, kRate * 2, 4);
    Put(f, 2, 2);
    Put(f, 16, 2);
    std::fputs("data", f);
    Put(f, data, 4);
    for (int16_t s : samples) Put(f, static_cast<uint16_t>(s), 2);
    return std::fclose(f) == 0;
}

// `seconds` of a tone whose frequency moves from `from` to `to` Hz while it
// dies away.
std::vector<int16_t> Tone(double seconds, double from, double to, double decay) {
    std::vector<int16_t> out(static_cast<size_t>(seconds * kRate));
    double phase = 0;
    for (size_t i = 0; i < out.size(); ++i) {
        double t = static_cast<double>(i) / kRate;
        double hz = from + (to - from) * t / seconds;
        phase += 2 * M_PI * hz / kRate;
        double level = std::exp(-decay * t) * std::min(1.0, t * 400);  // 2.5 ms attack, no click
        out[i] = static_cast<int16_t>(std::lround(14000 * level * std::sin(phase)));
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_sounds FOLDER\n");
        return 2;
    }
    const std::string dir = argv[1];
    bool ok = WriteWav(dir + "/000_bounce.wav", Tone(0.12, 660, 440, 30)) &&
              WriteWav(dir + "/001_fire.wav", Tone(0.25, 1800, 300, 12));
    return ok ? 0 : 1;
}
