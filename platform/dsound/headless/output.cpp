#include "platform/dsound/headless/output.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "platform/dsound/sink.h"

namespace dsound {
namespace {

void PutU32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
void PutU16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

// A PCM WAV file whose sizes are filled in when it is finished.
class WavWriter {
public:
    bool Open(const std::string& path, const PcmFormat& f) {
        Close();
        file_ = std::fopen(path.c_str(), "wb");
        if (!file_) return false;
        format_ = f;
        dataBytes_ = 0;
        uint8_t header[44] = {};
        WriteHeader(header);
        return std::fwrite(header, 1, sizeof header, file_) == sizeof header;
    }
    bool IsOpen() const { return file_ != nullptr; }
    const PcmFormat& Format() const { return format_; }
    void Append(const uint8_t* data, size_t bytes) {
        if (!file_) return;
        dataBytes_ += static_cast<uint32_t>(std::fwrite(data, 1, bytes, file_));
    }
    void Close() {
        if (!file_) return;
        uint8_t header[44] = {};
        WriteHeader(header);
        std::fseek(file_, 0, SEEK_SET);
        std::fwrite(header, 1, sizeof header, file_);
        std::fclose(file_);
        file_ = nullptr;
    }
    ~WavWriter() { Close(); }

private:
    void WriteHeader(uint8_t* h) const {
        std::memcpy(h, "RIFF", 4);
        PutU32(h + 4, 36 + dataBytes_);
        std::memcpy(h + 8, "WAVEfmt ", 8);
        PutU32(h + 16, 16);
        PutU16(h + 20, WAVE_FORMAT_PCM);
        PutU16(h + 22, static_cast<uint16_t>(format_.channels));
        PutU32(h + 24, static_cast<uint32_t>(format_.rate));
        PutU32(h + 28, static_cast<uint32_t>(format_.rate * format_.BlockAlign()));
        PutU16(h + 32, static_cast<uint16_t>(format_.BlockAlign()));
        PutU16(h + 34, static_cast<uint16_t>(format_.bits));
        std::memcpy(h + 36, "data", 4);
        PutU32(h + 40, dataBytes_);
    }

    std::FILE* file_ = nullptr;
    PcmFormat format_;
    uint32_t dataBytes_ = 0;
};

class HeadlessSink;
std::mutex g_registryMutex;
std::vector<HeadlessSink*> g_open;  // open devices, oldest first

class HeadlessSink final : public Sink, public headless::Output {
public:
    ~HeadlessSink() override { Close(); }

    HRESULT Open(Mixer* mixer) override {
        mixer_ = mixer;
        std::lock_guard lock(g_registryMutex);
        g_open.push_back(this);
        return DS_OK;
    }

    HRESULT Reformat(const PcmFormat& format) override {
        std::lock_guard lock(mixer_->Mutex());
        mixer_->SetOutput(format);
        return DS_OK;
    }

    void Close() override {
        wav_.Close();
        std::lock_guard lock(g_registryMutex);
        g_open.erase(std::remove(g_open.begin(), g_open.end(), this), g_open.end());
    }

    WAVEFORMATEX Format() const override {
        std::lock_guard lock(mixer_->Mutex());
        return mixer_->Output().ToWave();
    }

    std::vector<uint8_t> Render(size_t frames) override {
        std::lock_guard lock(mixer_->Mutex());
        const PcmFormat& f = mixer_->Output();
        std::vector<uint8_t> out(frames * f.BlockAlign());
        mixer_->MixLocked(out.data(), frames);
        // A recording keeps one format; a change of primary format ends it.
        if (wav_.IsOpen()) {
            if (wav_.Format() == f)
                wav_.Append(out.data(), out.size());
            else
                wav_.Close();
        }
        return out;
    }

    bool RecordTo(const std::string& path) override {
        std::lock_guard lock(mixer_->Mutex());
        return wav_.Open(path, mixer_->Output());
    }

    void StopRecording() override { wav_.Close(); }

    void LoseBuffers() override {
        if (loseBuffers) loseBuffers();
    }

private:
    Mixer* mixer_ = nullptr;
    WavWriter wav_;
};

}  // namespace

std::unique_ptr<Sink> MakeHeadlessSink() { return std::make_unique<HeadlessSink>(); }

namespace headless {

std::vector<int16_t> Output::Render16(size_t frames) {
    const bool eight = Format().wBitsPerSample == 8;
    std::vector<uint8_t> bytes = Render(frames);
    std::vector<int16_t> samples(eight ? bytes.size() : bytes.size() / 2);
    if (eight) {
        for (size_t i = 0; i < bytes.size(); ++i) samples[i] = static_cast<int16_t>((bytes[i] - 128) * 256);
    } else {
        std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    }
    return samples;
}

Output* CurrentOutput() {
    std::lock_guard lock(g_registryMutex);
    return g_open.empty() ? nullptr : g_open.back();
}

}  // namespace headless
}  // namespace dsound
