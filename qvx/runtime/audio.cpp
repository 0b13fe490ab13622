#include "audio.h"

#include <cstring>
#include <new>
#include <utility>

#include "forms.h"

namespace qvx {
namespace {

// The platform publishes DSBUFFERDESC as four DWORDs and the format pointer:
// 20 bytes where pointers are 32-bit. The size field must hold the size of
// that same structure as this build lays it out, so it is filled with
// sizeof (24 here); the fields before the pointer are the 20-byte layout's.
static_assert(offsetof(DSBUFFERDESC, lpwfxFormat) == 16);

DSBUFFERDESC BufferDesc(DWORD flags, DWORD bytes, WAVEFORMATEX* format) {
    DSBUFFERDESC desc{};
    desc.dwSize = sizeof(DSBUFFERDESC);
    desc.dwFlags = flags;
    desc.dwBufferBytes = bytes;
    desc.lpwfxFormat = format;
    return desc;
}

// The window of the form that owns `component`, or null.
winsys::HWND OwnerFormWindow(const tk::TComponent* component) {
    auto* form = dynamic_cast<TForm*>(component->Owner());
    return form ? form->Handle() : nullptr;
}

}  // namespace

// ---- TQVXSoundBuffer ----------------------------------------------------------

TQVXSoundBuffer::TQVXSoundBuffer(IDirectSound* directSound, const TSoundFormat& format, int32_t size,
                                 const uint8_t* data) {
    // The buffer is described by the 18-byte wave format at the start of the
    // sound's 20-byte format block.
    static_assert(sizeof(WAVEFORMATEX) <= sizeof(TSoundFormat));
    WAVEFORMATEX wave;
    std::memcpy(&wave, &format, sizeof wave);
    DSBUFFERDESC desc = BufferDesc(DSBCAPS_STATIC | DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME,
                                   static_cast<DWORD>(size), &wave);
    if (!directSound || size <= 0 || FAILED(directSound->CreateSoundBuffer(&desc, FBuffer.Put(), nullptr)) || !FBuffer)
        throw tk::Exception(msg::SCreateSoundBuffer);
    void* audio1 = nullptr;
    void* audio2 = nullptr;
    DWORD bytes1 = 0, bytes2 = 0;
    if (FAILED(FBuffer->Lock(0, static_cast<DWORD>(size), &audio1, &bytes1, &audio2, &bytes2, 0))) {
        FBuffer = nullptr;
        throw tk::Exception(msg::SSoundBufferLock);
    }
    // The whole buffer was asked for, so the first region holds all of it.
    if (data && audio1) std::memcpy(audio1, data, std::min<size_t>(bytes1, static_cast<size_t>(size)));
    FBuffer->Unlock(audio1, bytes1, audio2, bytes2);
    FSize = size;
    FChannels = format.nChannels;
    FBitsPerSample = format.wBitsPerSample;
}

TQVXSoundBuffer::~TQVXSoundBuffer() {
    if (FBuffer) {
        FBuffer->Stop();
        FBuffer = nullptr;
    }
}

void TQVXSoundBuffer::Stop() {
    if (FAILED(FBuffer->Stop())) throw tk::Exception(msg::SStopFailed);
}

void TQVXSoundBuffer::SetVolume(int32_t volume) {
    if (FAILED(FBuffer->SetVolume(volume))) throw tk::Exception(msg::SSetVolumeFailed);
}

void TQVXSoundBuffer::SetPan(int32_t pan) {
    if (FAILED(FBuffer->SetPan(pan))) throw tk::Exception(msg::SSetPanFailed);
}

bool TQVXSoundBuffer::Play(bool looping) {
    FBuffer->SetCurrentPosition(0);
    HRESULT hr = FBuffer->Play(0, 0, looping ? DSBPLAY_LOOPING : 0);
    if (hr == DSERR_BUFFERLOST) {
        // The handler may free this buffer: nothing of it is used afterwards.
        tk::TNotifyEvent handler = OnBufferLost;
        if (handler) handler(this);
        return false;
    }
    if (FAILED(hr)) throw tk::Exception(msg::SPlayFailed);
    return true;
}

void TQVXSoundBuffer::SetFrequency(uint32_t frequency) {
    if (FAILED(FBuffer->SetFrequency(frequency))) throw tk::Exception(msg::SSetFrequencyFailed);
}

bool TQVXSoundBuffer::Playing() const {
    DWORD status = 0;
    return SUCCEEDED(FBuffer->GetStatus(&status)) && (status & DSBSTATUS_PLAYING);
}

// ---- TQVXAudio ----------------------------------------------------------------

TQVXAudio::TQVXAudio(tk::TComponent* owner) : TQVXAudioBase(owner) {}

TQVXAudio::~TQVXAudio() {
    if (FWaitingForm) FWaitingForm->RemoveActivationListener(FActivationListener);
    if (FSoundLibrary) FSoundLibrary->RemoveFreeNotification(this);
    FreeBuffers();
    FPrimary = nullptr;
    FDirectSound = nullptr;
}

void TQVXAudio::GetProperties(tk::TPropList& props) {
    TQVXAudioBase::GetProperties(props);
    props.Component(
        "SoundLibrary", [this] { return static_cast<tk::TComponent*>(FSoundLibrary); },
        [this](tk::TComponent* c) {
            auto* lib = dynamic_cast<TQVXSoundLib*>(c);
            if (c && !lib) throw tk::EConvertError(tk::Format(tk::msg::SAssignError, c->ClassName(), "TQVXSoundLib"));
            SetSoundLibrary(lib);
        });
    props.Event("OnInitialize", OnInitialize);
}

void TQVXAudio::Loaded() {
    TQVXAudioBase::Loaded();
    if (OwnerHasScreen(Owner())) return;  // the screen starts audio after the display
    auto* form = dynamic_cast<TForm*>(Owner());
    if (!form || form->Handle() || HasState(tk::csDesigning)) {
        StartAudio();
        return;
    }
    // The form has no window yet to cooperate with: start when it is first
    // activated, whatever the game makes of the form's OnActivate.
    FWaitingForm = form;
    FActivationListener = form->AddActivationListener([this](tk::TObject*) { FormActivated(); });
}

void TQVXAudio::FormActivated() {
    TForm* form = std::exchange(FWaitingForm, nullptr);
    form->RemoveActivationListener(FActivationListener);
    StartAudio();
}

void TQVXAudio::Notification(tk::TComponent* component, tk::TOperation operation) {
    TQVXAudioBase::Notification(component, operation);
    if (operation == tk::TOperation::opRemove && component == FSoundLibrary && !HasState(tk::csDestroying))
        FSoundLibrary = nullptr;
}

void TQVXAudio::SetSoundLibrary(TQVXSoundLib* library) {
    FreeBuffers();
    FComplete = true;
    if (FSoundLibrary && FSoundLibrary != library) FSoundLibrary->RemoveFreeNotification(this);
    FSoundLibrary = library;
    if (library) library->FreeNotification(this);
    if (library && !HasState(tk::csDesigning) && FDirectSound) CreateBuffers();
}

void TQVXAudio::StartAudio() {
    // The first start's buffers would otherwise go on sounding, unowned.
    FreeBuffers();
    FPrimary = nullptr;
    FDirectSound = nullptr;
    if (FAILED(DirectSoundCreate(nullptr, FDirectSound.Put(), nullptr)) || !FDirectSound)
        throw tk::Exception(msg::SCreateDirectSound);
    if (FAILED(FDirectSound->SetCooperativeLevel(OwnerFormWindow(this), DSSCL_PRIORITY)))
        throw tk::Exception(msg::SSoundCooperativeLevel);
    DSBUFFERDESC desc = BufferDesc(DSBCAPS_PRIMARYBUFFER, 0, nullptr);
    if (FAILED(FDirectSound->CreateSoundBuffer(&desc, FPrimary.Put(), nullptr)) || !FPrimary)
        throw tk::Exception(msg::SSoundCooperativeLevel);
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = 44100;
    format.nAvgBytesPerSec = 176400;
    format.nBlockAlign = 4;
    format.wBitsPerSample = 16;
    format.cbSize = 0;
    FPrimary->SetFormat(&format);  // a device that keeps its own format still plays
    if (FSoundLibrary && !HasState(tk::csDesigning)) {
        CreateBuffers();
        if (OnInitialize) OnInitialize(this);
    }
}

void TQVXAudio::BuildInto(TBufferTable& table) {
    if (!FSoundLibrary) return;
    // Samples given to earlier buffers are read from the file again (or the
    // file's error raised); they are given up again once all are built.
    FSoundLibrary->Data().Need();
    TQVXSounds* sounds = FSoundLibrary->Sounds();
    const int count = sounds->Count();
    if (count == 0) return;
    try {
        table.reserve(static_cast<size_t>(count));
    } catch (const std::bad_alloc&) {
        throw tk::Exception(msg::SAllocSoundBuffers);
    } catch (const std::length_error&) {
        throw tk::Exception(msg::SAllocSoundBuffers);
    }
    for (int i = 0; i < count; ++i) {
        TSoundRec rec;
        sounds->GetSound(i, rec);
        auto buffer = std::make_unique<TQVXSoundBuffer>(FDirectSound.Get(), rec.Format, rec.Size, rec.Data);
        TQVXSoundBuffer* b = buffer.get();
        b->OnBufferLost = [this](tk::TObject* sender) { BufferLost(sender); };
        table.push_back(std::move(buffer));
        b->SetPan(rec.Pan);
        b->SetVolume(rec.Volume);
    }
    FSoundLibrary->Data().Built();
}

void TQVXAudio::CreateBuffers() {
    // A new table: buffers of an earlier call are replaced, never doubled.
    FreeBuffers();
    FComplete = false;
    BuildInto(FBuffers);
    FComplete = true;
}

void TQVXAudio::FreeBuffers() { FBuffers.clear(); }

void TQVXAudio::RebuildBuffers() {
    ++FRebuilds;
    // A sound device that went away comes back through a buffer's Restore;
    // refused, the build below fails (its buffers are lost at once).
    if (FPrimary) FPrimary->Restore();
    TBufferTable table;
    BuildInto(table);
    FBuffers.swap(table);  // the old buffers go with `table`
    FComplete = true;
}

void TQVXAudio::BufferLost(tk::TObject*) { RebuildBuffers(); }

TQVXSoundBuffer* TQVXAudio::Buffers(int index) const {
    if (index < 0 || index >= BufferCount()) throw tk::Exception(tk::Format(msg::SSoundIndex, index));
    return FBuffers[static_cast<size_t>(index)].get();
}

void TQVXAudio::Play(int index, bool looping) {
    // A build that failed (a fault, the library's file gone) is tried again;
    // its error is what Play raises while it keeps failing.
    if (!FComplete && FDirectSound) RebuildBuffers();
    const unsigned rebuilds = FRebuilds;
    if (Buffers(index)->Play(looping)) return;
    // The buffer was lost. Its OnBufferLost rebuilds the buffers; one left by
    // a build that failed part way has no handler yet, so rebuild here.
    if (FRebuilds == rebuilds) RebuildBuffers();
    if (!Buffers(index)->Play(looping)) throw tk::Exception(msg::SPlayFailed);
}

void TQVXAudio::Stop(int index) { Buffers(index)->Stop(); }

void TQVXAudio::StopAll() {
    for (auto& b : FBuffers) b->Stop();
}

void TQVXAudio::SetFrequency(int index, uint32_t frequency) { Buffers(index)->SetFrequency(frequency); }
void TQVXAudio::SetPan(int index, int32_t pan) { Buffers(index)->SetPan(pan); }
void TQVXAudio::SetVolume(int index, int32_t volume) { Buffers(index)->SetVolume(volume); }
bool TQVXAudio::Playing(int index) const { return Buffers(index)->Playing(); }

}  // namespace qvx
