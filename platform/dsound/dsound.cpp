// The sound device and its buffers over the software mixer. The backend
// (headless or SDL2) only moves mixed frames out; everything a program can
// observe through the interfaces is decided here, so both behave alike.
#include "dsound.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "mixer.h"
#include "platform/com/backend.h"
#include "sink.h"

namespace dsound {
namespace {

#define DS_FAULT(name)                                         \
    do {                                                       \
        if (HRESULT injected_ = InjectedFault(name); injected_) \
            return injected_;                                  \
    } while (0)

constexpr PcmFormat kDefaultPrimary{22050, 2, 8};

class BufferImpl;

// What a device and its buffers share. Buffers keep it alive, so a buffer
// released after its device still answers (and is simply not heard).
struct DeviceState {
    Mixer mixer{kDefaultPrimary};
    std::unique_ptr<Sink> sink;
    DWORD level = 0;
    winsys::HWND window = nullptr;
    std::weak_ptr<const void> windowAlive;
    int focusListener = 0;
    bool open = true;
    std::vector<BufferImpl*> buffers;
    BufferImpl* primary = nullptr;

    void LoseAll();
    // Notices an output device that went away: its buffers are lost.
    void CheckDevice() {
        if (open && sink && sink->DeviceLost()) LoseAll();
    }
};

class BufferImpl final : public TUnknownImpl<IDirectSoundBuffer> {
public:
    // Primary buffer.
    BufferImpl(std::shared_ptr<DeviceState> state, DWORD flags) : state_(std::move(state)), flags_(flags), primary_(true) {
        state_->buffers.push_back(this);
    }
    // Secondary buffer over `voice`.
    BufferImpl(std::shared_ptr<DeviceState> state, DWORD flags, std::shared_ptr<Voice> voice, DWORD bytes)
        : state_(std::move(state)), flags_(flags), primary_(false), voice_(std::move(voice)), bytes_(bytes) {
        state_->buffers.push_back(this);
        std::lock_guard lock(state_->mixer.Mutex());
        state_->mixer.Add(voice_);
    }

    ~BufferImpl() override {
        auto& list = state_->buffers;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
        if (primary_) {
            if (state_->primary == this) state_->primary = nullptr;
            std::lock_guard lock(state_->mixer.Mutex());
            state_->mixer.SetMaster(32768, 32768);
        } else {
            std::lock_guard lock(state_->mixer.Mutex());
            state_->mixer.Remove(voice_.get());
        }
    }

    bool IsPrimary() const { return primary_; }
    DeviceState* State() const { return state_.get(); }

    void MarkLost() {
        lost_ = true;
        primaryPlaying_ = false;
        if (voice_) {
            std::lock_guard lock(state_->mixer.Mutex());
            voice_->playing = false;
        }
    }

    // A new secondary buffer sharing this one's samples and settings.
    BufferImpl* Duplicate() {
        auto v = std::make_shared<Voice>();
        {
            std::lock_guard lock(state_->mixer.Mutex());
            *v = *voice_;
        }
        v->playing = false;
        v->looping = false;
        v->position = 0;
        auto* copy = new BufferImpl(state_, flags_, std::move(v), bytes_);
        copy->volume_ = volume_;
        copy->pan_ = pan_;
        return copy;
    }

    HRESULT QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (riid == IID_IUnknown || riid == IID_IDirectSoundBuffer) {
            AddRef();
            *out = static_cast<IDirectSoundBuffer*>(this);
            return S_OK;
        }
        return DSERR_NOINTERFACE;
    }

    HRESULT GetCaps(DSBCAPS* caps) override {
        DS_FAULT("IDirectSoundBuffer::GetCaps");
        if (!caps || caps->dwSize != sizeof(DSBCAPS)) return DSERR_INVALIDPARAM;
        caps->dwFlags = (flags_ & ~DSBCAPS_LOCHARDWARE) | DSBCAPS_LOCSOFTWARE;
        caps->dwBufferBytes = primary_ ? PrimaryBytes() : bytes_;
        caps->dwUnlockTransferRate = 0;
        caps->dwPlayCpuOverhead = 0;
        return DS_OK;
    }

    HRESULT GetCurrentPosition(DWORD* play, DWORD* write) override {
        DS_FAULT("IDirectSoundBuffer::GetCurrentPosition");
        if (!play && !write) return DSERR_INVALIDPARAM;
        std::lock_guard lock(state_->mixer.Mutex());
        DWORD p, w;
        if (primary_) {
            const PcmFormat& f = state_->mixer.Output();
            DWORD frames = PrimaryBytes() / f.BlockAlign();
            p = static_cast<DWORD>(state_->mixer.FramesMixed() % frames) * f.BlockAlign();
            w = (p + LatencyBytes(f)) % PrimaryBytes();
        } else {
            const int align = voice_->format.BlockAlign();
            p = static_cast<DWORD>(voice_->position >> 32) * align;
            w = voice_->playing ? (p + LatencyBytes(voice_->format)) % UsableBytes() : p;
        }
        if (play) *play = p;
        if (write) *write = w;
        return DS_OK;
    }

    HRESULT GetFormat(WAVEFORMATEX* format, DWORD sizeAllocated, DWORD* sizeWritten) override {
        DS_FAULT("IDirectSoundBuffer::GetFormat");
        if (!format) {
            if (!sizeWritten) return DSERR_INVALIDPARAM;
            *sizeWritten = sizeof(WAVEFORMATEX);
            return DS_OK;
        }
        if (sizeAllocated < sizeof(WAVEFORMATEX)) return DSERR_INVALIDPARAM;
        if (primary_) {
            std::lock_guard lock(state_->mixer.Mutex());
            *format = state_->mixer.Output().ToWave();
        } else {
            *format = voice_->format.ToWave();
        }
        if (sizeWritten) *sizeWritten = sizeof(WAVEFORMATEX);
        return DS_OK;
    }

    HRESULT GetVolume(LONG* volume) override {
        DS_FAULT("IDirectSoundBuffer::GetVolume");
        if (!volume) return DSERR_INVALIDPARAM;
        if (!(flags_ & DSBCAPS_CTRLVOLUME)) return DSERR_CONTROLUNAVAIL;
        *volume = volume_;
        return DS_OK;
    }

    HRESULT GetPan(LONG* pan) override {
        DS_FAULT("IDirectSoundBuffer::GetPan");
        if (!pan) return DSERR_INVALIDPARAM;
        if (!(flags_ & DSBCAPS_CTRLPAN)) return DSERR_CONTROLUNAVAIL;
        *pan = pan_;
        return DS_OK;
    }

    HRESULT GetFrequency(DWORD* frequency) override {
        DS_FAULT("IDirectSoundBuffer::GetFrequency");
        if (!frequency) return DSERR_INVALIDPARAM;
        if (primary_ || !(flags_ & DSBCAPS_CTRLFREQUENCY)) return DSERR_CONTROLUNAVAIL;
        std::lock_guard lock(state_->mixer.Mutex());
        *frequency = voice_->frequency;
        return DS_OK;
    }

    HRESULT GetStatus(DWORD* status) override {
        DS_FAULT("IDirectSoundBuffer::GetStatus");
        if (!status) return DSERR_INVALIDPARAM;
        state_->CheckDevice();
        if (lost_) {
            *status = DSBSTATUS_BUFFERLOST;
            return DS_OK;
        }
        if (primary_) {
            *status = primaryPlaying_ ? DSBSTATUS_PLAYING | DSBSTATUS_LOOPING : 0;
            return DS_OK;
        }
        std::lock_guard lock(state_->mixer.Mutex());
        DWORD s = 0;
        if (voice_->playing) s |= DSBSTATUS_PLAYING | (voice_->looping ? DSBSTATUS_LOOPING : 0);
        *status = s;
        return DS_OK;
    }

    HRESULT Lock(DWORD offset, DWORD bytes, void** audio1, DWORD* bytes1, void** audio2, DWORD* bytes2,
                 DWORD flags) override {
        if (audio1) *audio1 = nullptr;
        if (bytes1) *bytes1 = 0;
        if (audio2) *audio2 = nullptr;
        if (bytes2) *bytes2 = 0;
        DS_FAULT("IDirectSoundBuffer::Lock");
        if (!audio1 || !bytes1) return DSERR_INVALIDPARAM;
        state_->CheckDevice();
        if (primary_) return DSERR_PRIOLEVELNEEDED;
        if (lost_) return DSERR_BUFFERLOST;
        if (flags & DSBLOCK_FROMWRITECURSOR) GetCurrentPosition(nullptr, &offset);
        if (flags & DSBLOCK_ENTIREBUFFER) bytes = bytes_;
        if (offset >= bytes_ || bytes == 0 || bytes > bytes_) return DSERR_INVALIDPARAM;
        uint8_t* base = voice_->data->data();
        DWORD first = std::min(bytes, bytes_ - offset);
        *audio1 = base + offset;
        *bytes1 = first;
        // The part past the end wraps to the start of the buffer.
        if (audio2 && bytes2 && bytes > first) {
            *audio2 = base;
            *bytes2 = bytes - first;
        }
        ++locks_;
        return DS_OK;
    }

    HRESULT Play(DWORD reserved1, DWORD /*priority*/, DWORD flags) override {
        DS_FAULT("IDirectSoundBuffer::Play");
        if (reserved1 != 0) return DSERR_INVALIDPARAM;
        state_->CheckDevice();
        if (lost_) return DSERR_BUFFERLOST;
        if (state_->level == 0) return DSERR_PRIOLEVELNEEDED;
        if (primary_) {
            if (!(flags & DSBPLAY_LOOPING)) return DSERR_INVALIDPARAM;
            primaryPlaying_ = true;
            return DS_OK;
        }
        std::lock_guard lock(state_->mixer.Mutex());
        voice_->playing = true;
        voice_->looping = (flags & DSBPLAY_LOOPING) != 0;
        return DS_OK;
    }

    HRESULT SetCurrentPosition(DWORD position) override {
        DS_FAULT("IDirectSoundBuffer::SetCurrentPosition");
        if (primary_) return DSERR_INVALIDCALL;
        if (position >= bytes_) return DSERR_INVALIDPARAM;
        std::lock_guard lock(state_->mixer.Mutex());
        uint64_t frame = position / voice_->format.BlockAlign();
        voice_->position = std::min<uint64_t>(frame, voice_->frames - 1) << 32;
        return DS_OK;
    }

    HRESULT SetFormat(const WAVEFORMATEX* format) override {
        DS_FAULT("IDirectSoundBuffer::SetFormat");
        if (!primary_) return DSERR_INVALIDCALL;
        if (state_->level < DSSCL_PRIORITY) return DSERR_PRIOLEVELNEEDED;
        PcmFormat f;
        if (HRESULT hr = CheckFormat(format, &f); FAILED(hr)) return hr;
        if (!state_->open) {
            std::lock_guard lock(state_->mixer.Mutex());
            state_->mixer.SetOutput(f);
            return DS_OK;
        }
        return state_->sink->Reformat(f);
    }

    HRESULT SetVolume(LONG volume) override {
        DS_FAULT("IDirectSoundBuffer::SetVolume");
        if (!(flags_ & DSBCAPS_CTRLVOLUME)) return DSERR_CONTROLUNAVAIL;
        if (volume < DSBVOLUME_MIN || volume > DSBVOLUME_MAX) return DSERR_INVALIDPARAM;
        volume_ = volume;
        UpdateGains();
        return DS_OK;
    }

    HRESULT SetPan(LONG pan) override {
        DS_FAULT("IDirectSoundBuffer::SetPan");
        if (!(flags_ & DSBCAPS_CTRLPAN)) return DSERR_CONTROLUNAVAIL;
        if (pan < DSBPAN_LEFT || pan > DSBPAN_RIGHT) return DSERR_INVALIDPARAM;
        pan_ = pan;
        UpdateGains();
        return DS_OK;
    }

    HRESULT SetFrequency(DWORD frequency) override {
        DS_FAULT("IDirectSoundBuffer::SetFrequency");
        if (primary_ || !(flags_ & DSBCAPS_CTRLFREQUENCY)) return DSERR_CONTROLUNAVAIL;
        if (frequency != DSBFREQUENCY_ORIGINAL && (frequency < DSBFREQUENCY_MIN || frequency > DSBFREQUENCY_MAX))
            return DSERR_INVALIDPARAM;
        std::lock_guard lock(state_->mixer.Mutex());
        voice_->frequency = frequency == DSBFREQUENCY_ORIGINAL ? static_cast<uint32_t>(voice_->format.rate) : frequency;
        return DS_OK;
    }

    HRESULT Stop() override {
        DS_FAULT("IDirectSoundBuffer::Stop");
        if (primary_) {
            primaryPlaying_ = false;
            return DS_OK;
        }
        std::lock_guard lock(state_->mixer.Mutex());
        voice_->playing = false;
        return DS_OK;
    }

    HRESULT Unlock(void* audio1, DWORD bytes1, void* audio2, DWORD bytes2) override {
        DS_FAULT("IDirectSoundBuffer::Unlock");
        if (primary_) return DSERR_PRIOLEVELNEEDED;
        if (locks_ == 0) return DSERR_INVALIDCALL;
        uint8_t* base = voice_->data->data();
        auto inside = [&](void* p, DWORD n) {
            auto* b = static_cast<uint8_t*>(p);
            return b >= base && b <= base + bytes_ && n <= static_cast<DWORD>(base + bytes_ - b);
        };
        if (!audio1 || !inside(audio1, bytes1)) return DSERR_INVALIDPARAM;
        if (audio2 && !inside(audio2, bytes2)) return DSERR_INVALIDPARAM;
        --locks_;
        return DS_OK;
    }

    HRESULT Restore() override {
        DS_FAULT("IDirectSoundBuffer::Restore");
        if (!lost_) return DS_OK;
        if (state_->open && state_->sink->DeviceLost() && FAILED(state_->sink->Reopen())) return DSERR_BUFFERLOST;
        // The sample memory has to be filled again, as after a real loss.
        if (voice_) {
            std::lock_guard lock(state_->mixer.Mutex());
            std::fill(voice_->data->begin(), voice_->data->end(), voice_->format.bits == 8 ? 0x80 : 0x00);
            voice_->position = 0;
        }
        lost_ = false;
        return DS_OK;
    }

private:
    // Bytes holding whole frames.
    DWORD UsableBytes() const { return voice_->frames * voice_->format.BlockAlign(); }

    // The primary buffer is reported as a ring of a tenth of a second.
    DWORD PrimaryBytes() const {
        const PcmFormat& f = state_->mixer.Output();
        return static_cast<DWORD>(std::max(1, f.rate / 10) * f.BlockAlign());
    }

    // How far ahead of the play cursor it is safe to write: 10 ms.
    static DWORD LatencyBytes(const PcmFormat& f) { return static_cast<DWORD>(std::max(1, f.rate / 100) * f.BlockAlign()); }

    void UpdateGains() {
        int32_t l, r;
        ChannelGains(volume_, pan_, &l, &r);
        std::lock_guard lock(state_->mixer.Mutex());
        if (primary_) {
            state_->mixer.SetMaster(l, r);
        } else {
            voice_->gainLeft = l;
            voice_->gainRight = r;
        }
    }

    std::shared_ptr<DeviceState> state_;
    DWORD flags_;
    bool primary_;
    std::shared_ptr<Voice> voice_;
    DWORD bytes_ = 0;
    LONG volume_ = 0;
    LONG pan_ = 0;
    bool lost_ = false;
    bool primaryPlaying_ = false;
    int locks_ = 0;
};

void DeviceState::LoseAll() {
    for (BufferImpl* b : buffers) b->MarkLost();
}

class DeviceImpl final : public TUnknownImpl<IDirectSound> {
public:
    explicit DeviceImpl(std::shared_ptr<DeviceState> state) : state_(std::move(state)) {}

    ~DeviceImpl() override {
        DetachWindow();
        state_->open = false;
        state_->sink->Close();
    }

    HRESULT QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (riid == IID_IUnknown || riid == IID_IDirectSound) {
            AddRef();
            *out = static_cast<IDirectSound*>(this);
            return S_OK;
        }
        return DSERR_NOINTERFACE;
    }

    HRESULT CreateSoundBuffer(const DSBUFFERDESC* desc, IDirectSoundBuffer** buffer, IUnknown* outer) override {
        if (!buffer) return DSERR_INVALIDPARAM;
        *buffer = nullptr;
        if (outer) return DSERR_NOAGGREGATION;
        DS_FAULT("IDirectSound::CreateSoundBuffer");
        if (!desc || desc->dwSize != sizeof(DSBUFFERDESC)) return DSERR_INVALIDPARAM;
        const DWORD flags = desc->dwFlags;
        if ((flags & DSBCAPS_LOCHARDWARE) && (flags & DSBCAPS_LOCSOFTWARE)) return DSERR_INVALIDPARAM;
        if (flags & DSBCAPS_LOCHARDWARE) return DSERR_UNSUPPORTED;  // all mixing is in software
        if (flags & DSBCAPS_CTRL3D) return DSERR_CONTROLUNAVAIL;
        if (flags & DSBCAPS_PRIMARYBUFFER) {
            if (desc->dwBufferBytes != 0 || desc->lpwfxFormat) return DSERR_INVALIDPARAM;
            if (flags & (DSBCAPS_STATIC | DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPOSITIONNOTIFY)) return DSERR_INVALIDPARAM;
            // There is one primary buffer; asking again gives it again.
            if (state_->primary) {
                state_->primary->AddRef();
                *buffer = state_->primary;
                return DS_OK;
            }
            auto* p = new BufferImpl(state_, flags);
            state_->primary = p;
            *buffer = p;
            return DS_OK;
        }
        PcmFormat format;
        if (HRESULT hr = CheckFormat(desc->lpwfxFormat, &format); FAILED(hr)) return hr;
        const DWORD bytes = desc->dwBufferBytes;
        if (bytes < DSBSIZE_MIN || bytes > DSBSIZE_MAX || bytes < static_cast<DWORD>(format.BlockAlign()))
            return DSERR_INVALIDPARAM;
        auto voice = std::make_shared<Voice>();
        try {
            voice->data = std::make_shared<std::vector<uint8_t>>(bytes, format.bits == 8 ? 0x80 : 0x00);
        } catch (const std::bad_alloc&) {
            return DSERR_OUTOFMEMORY;
        }
        voice->format = format;
        voice->frames = bytes / format.BlockAlign();
        voice->frequency = static_cast<uint32_t>(format.rate);
        voice->followsFocus = !(flags & (DSBCAPS_GLOBALFOCUS | DSBCAPS_STICKYFOCUS));
        *buffer = new BufferImpl(state_, flags, std::move(voice), bytes);
        return DS_OK;
    }

    HRESULT DuplicateSoundBuffer(IDirectSoundBuffer* original, IDirectSoundBuffer** duplicate) override {
        if (!duplicate) return DSERR_INVALIDPARAM;
        *duplicate = nullptr;
        DS_FAULT("IDirectSound::DuplicateSoundBuffer");
        auto* impl = dynamic_cast<BufferImpl*>(original);
        if (!impl || impl->State() != state_.get()) return DSERR_INVALIDPARAM;
        if (impl->IsPrimary()) return DSERR_INVALIDCALL;
        *duplicate = impl->Duplicate();
        return DS_OK;
    }

    HRESULT SetCooperativeLevel(winsys::HWND window, DWORD level) override {
        DS_FAULT("IDirectSound::SetCooperativeLevel");
        if (!window || level < DSSCL_NORMAL || level > DSSCL_WRITEPRIMARY) return DSERR_INVALIDPARAM;
        // Programs never write the primary buffer themselves here: the mixer owns it.
        if (level == DSSCL_WRITEPRIMARY) return DSERR_UNSUPPORTED;
        if (window != state_->window) {
            DetachWindow();
            state_->window = window;
            state_->windowAlive = window->Lifetime();
            DeviceState* s = state_.get();
            state_->focusListener = window->OnActivate([s](bool active) {
                std::lock_guard lock(s->mixer.Mutex());
                s->mixer.SetFocused(active);
            });
            std::lock_guard lock(state_->mixer.Mutex());
            state_->mixer.SetFocused(window->IsActive());
        }
        state_->level = level;
        return DS_OK;
    }

private:
    void DetachWindow() {
        // A window destroyed first took its listeners with it.
        if (state_->window && state_->focusListener && !state_->windowAlive.expired())
            state_->window->RemoveListener(state_->focusListener);
        state_->window = nullptr;
        state_->focusListener = 0;
    }

    std::shared_ptr<DeviceState> state_;
};

}  // namespace
}  // namespace dsound

HRESULT DirectSoundCreate(const GUID* device, IDirectSound** out, IUnknown* outer) {
    using namespace dsound;
    if (!out) return DSERR_INVALIDPARAM;
    *out = nullptr;
    if (outer) return DSERR_NOAGGREGATION;
    DS_FAULT("DirectSoundCreate");
    // Only the default device exists; a null GUID names it too.
    if (device && !(*device == GUID{})) return DSERR_NODRIVER;
    auto state = std::make_shared<DeviceState>();
    state->sink = platform::CurrentBackend() == platform::Backend::Real ? MakeSdlSink() : MakeHeadlessSink();
    DeviceState* raw = state.get();
    state->sink->loseBuffers = [raw] { raw->LoseAll(); };
    if (HRESULT hr = state->sink->Open(&state->mixer); FAILED(hr)) return hr;
    *out = new DeviceImpl(std::move(state));
    return DS_OK;
}
