// Real sound output: SDL2 opens the default audio device in the primary
// format and pulls mixed frames from its audio thread. SDL converts to
// whatever the hardware takes, so the mixer always sees the format asked for.
#include <SDL.h>

#include <cstring>

#include "platform/dsound/sink.h"

namespace dsound {
namespace {

int g_openDevices = 0;  // SDL devices open in this process

class SdlSink final : public Sink {
public:
    ~SdlSink() override { Close(); }

    HRESULT Open(Mixer* mixer) override {
        mixer_ = mixer;
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return DSERR_NODRIVER;
        subsystem_ = true;
        return OpenDevice(CurrentFormat());
    }

    HRESULT Reformat(const PcmFormat& format) override {
        // The audio thread must be stopped before the format it mixes in changes.
        CloseDevice();
        {
            std::lock_guard lock(mixer_->Mutex());
            mixer_->SetOutput(format);
        }
        return OpenDevice(format);
    }

    void Close() override {
        CloseDevice();
        if (subsystem_) {
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            subsystem_ = false;
        }
    }

    bool DeviceLost() override { return device_ == 0 || SDL_GetAudioDeviceStatus(device_) == SDL_AUDIO_STOPPED; }

    HRESULT Reopen() override {
        CloseDevice();
        if (!subsystem_) return DSERR_NODRIVER;
        return OpenDevice(CurrentFormat());
    }

private:
    PcmFormat CurrentFormat() {
        std::lock_guard lock(mixer_->Mutex());
        return mixer_->Output();
    }

    HRESULT OpenDevice(const PcmFormat& f) {
        SDL_AudioSpec want{};
        want.freq = f.rate;
        want.format = f.bits == 8 ? AUDIO_U8 : AUDIO_S16SYS;
        want.channels = static_cast<Uint8>(f.channels);
        want.samples = 512;
        want.callback = &SdlSink::Callback;
        want.userdata = this;
        SDL_AudioSpec have{};
        blockAlign_ = f.BlockAlign();
        device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
        // Some drivers take one client at a time: then the device is busy.
        if (device_ == 0) return g_openDevices > 0 ? DSERR_ALLOCATED : DSERR_NODRIVER;
        ++g_openDevices;
        SDL_PauseAudioDevice(device_, 0);
        return DS_OK;
    }

    void CloseDevice() {
        if (device_ != 0) {
            SDL_CloseAudioDevice(device_);
            device_ = 0;
            --g_openDevices;
        }
    }

    static void Callback(void* user, Uint8* stream, int len) {
        auto* self = static_cast<SdlSink*>(user);
        size_t frames = static_cast<size_t>(len) / static_cast<size_t>(self->blockAlign_);
        self->mixer_->Mix(stream, frames);
        size_t done = frames * self->blockAlign_;
        if (done < static_cast<size_t>(len)) std::memset(stream + done, 0, len - done);
    }

    Mixer* mixer_ = nullptr;
    SDL_AudioDeviceID device_ = 0;
    int blockAlign_ = 4;
    bool subsystem_ = false;
};

}  // namespace

std::unique_ptr<Sink> MakeSdlSink() { return std::make_unique<SdlSink>(); }

}  // namespace dsound
