// DirectSound for games: TQVXAudio opens the sound device, sets up a 16-bit
// stereo 44100 Hz primary buffer and turns every sound of its sound library
// into one static TQVXSoundBuffer with the sound's pan and volume. Games play
// the sounds by their index in the library.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/dsound/dsound.h"
#include "qvx/assets/sound_library.h"
#include "qvx/runtime/gameparts.h"
#include "toolkit/classes.h"

namespace qvx {

class TForm;

namespace msg {
inline constexpr const char* SCreateDirectSound = "Failed to Create DirectSound";
inline constexpr const char* SSoundCooperativeLevel = "Failed to set directsound copoperative level";
inline constexpr const char* SAllocSoundBuffers = "Failed to allocate memory for Sound Buffers";
inline constexpr const char* SCreateSoundBuffer = "CreateSoundBuffer Failed";
inline constexpr const char* SSoundBufferLock = "DirectSoundSurface Lock Failed";
inline constexpr const char* SStopFailed = "Stop Failed";
inline constexpr const char* SSetVolumeFailed = "SetVolume Failed";
inline constexpr const char* SSetPanFailed = "SetPan Failed";
inline constexpr const char* SPlayFailed = "Play Failed";
inline constexpr const char* SSetFrequencyFailed = "SetFrequency Failed";
inline constexpr const char* SSoundIndex = "Sound index out of range (%d)";
}  // namespace msg

/// One sound in a static secondary buffer with frequency, pan and volume
/// control. Owned by the audio component's buffer table.
class TQVXSoundBuffer : public tk::TObject {
public:
    TK_CLASSNAME(TQVXSoundBuffer)
    // Creates the buffer for `size` bytes in `format` and copies `data` in.
    // Raises "CreateSoundBuffer Failed" or "DirectSoundSurface Lock Failed".
    TQVXSoundBuffer(IDirectSound* directSound, const TSoundFormat& format, int32_t size, const uint8_t* data);
    ~TQVXSoundBuffer() override;
    TQVXSoundBuffer(const TQVXSoundBuffer&) = delete;
    TQVXSoundBuffer& operator=(const TQVXSoundBuffer&) = delete;

    void Stop();                     // "Stop Failed"
    void SetVolume(int32_t volume);  // hundredths of a dB of attenuation; "SetVolume Failed"
    void SetPan(int32_t pan);        // -10000 left .. 10000 right; "SetPan Failed"

    // Plays from the start, once or looping. Returns false when the platform
    // reports the buffer lost: OnBufferLost has then been called, and it may
    // have destroyed this buffer (the audio component rebuilds its table).
    // Other failures raise "Play Failed".
    bool Play(bool looping);
    // Playback rate in samples per second; 0 goes back to the sound's own.
    void SetFrequency(uint32_t frequency);  // "SetFrequency Failed"
    bool Playing() const;

    int32_t Size() const { return FSize; }
    int32_t Channels() const { return FChannels; }
    int32_t BitsPerSample() const { return FBitsPerSample; }
    IDirectSoundBuffer* Buffer() const { return FBuffer.Get(); }

    tk::TNotifyEvent OnBufferLost;

private:
    ComPtr<IDirectSoundBuffer> FBuffer;
    int32_t FSize = 0;
    int32_t FChannels = 0;
    int32_t FBitsPerSample = 0;
};

/// Sound for a game: linked to a TQVXSoundLib, it opens the sound device on
/// the form's window and makes one buffer per sound of the library (the
/// screen starts it, or it starts itself on a form without a screen). The
/// game plays sounds by their index: Play(i), Play(i, true) to loop, Stop,
/// SetPan, SetVolume, SetFrequency. Lost buffers are rebuilt by Play.
class TQVXAudio : public TQVXAudioBase {
public:
    TK_CLASSNAME(TQVXAudio)
    explicit TQVXAudio(tk::TComponent* owner);
    ~TQVXAudio() override;

    TQVXSoundLib* SoundLibrary() const { return FSoundLibrary; }
    // Frees the buffers, keeps the new library and, while DirectSound is
    // open (and not designing), builds the buffers again.
    void SetSoundLibrary(TQVXSoundLib* library);
    tk::TNotifyEvent OnInitialize;

    // Opens DirectSound on the owner form's window and builds the buffers.
    // A second call frees the first call's buffers before anything else.
    // When the library's file has gone since it gave its samples up, the
    // file's error leaves StartAudio with DirectSound open and no buffers
    // (OnInitialize is not called); the next Play reads the file again.
    void StartAudio() override;
    // Builds one buffer per sound; a failure leaves the buffers made so far.
    void CreateBuffers();
    void FreeBuffers();
    // Brings lost buffers back: restores the sound device (reopening an
    // output that went away), reads a file-backed library again and builds
    // a new table, which replaces the old one only once complete. While the
    // device stays away the build fails with its message and the old table
    // stays, so that a later call can recover.
    void RebuildBuffers();

    IDirectSound* DirectSound() const { return FDirectSound.Get(); }
    IDirectSoundBuffer* PrimaryBuffer() const { return FPrimary.Get(); }
    int BufferCount() const { return static_cast<int>(FBuffers.size()); }
    // Raises "Sound index out of range (%d)" for a bad index.
    TQVXSoundBuffer* Buffers(int index) const;

    // Game playback by index into the library. A buffer found lost is
    // rebuilt (OnBufferLost: RebuildBuffers) and the sound played from the
    // new buffer; a build that failed before is tried again first.
    void Play(int index, bool looping = false);
    void Stop(int index);
    void StopAll();
    void SetFrequency(int index, uint32_t frequency);
    void SetPan(int index, int32_t pan);
    void SetVolume(int index, int32_t volume);
    bool Playing(int index) const;

    void GetProperties(tk::TPropList& props) override;
    // Starts on its own unless a screen on the same form starts it.
    void Loaded() override;

protected:
    void Notification(tk::TComponent* component, tk::TOperation operation) override;

private:
    using TBufferTable = std::vector<std::unique_ptr<TQVXSoundBuffer>>;
    void BuildInto(TBufferTable& table);
    void BufferLost(tk::TObject* sender);
    void FormActivated();

    ComPtr<IDirectSound> FDirectSound;
    TBufferTable FBuffers;
    bool FComplete = true;   // the table holds every sound of the library
    unsigned FRebuilds = 0;  // counts RebuildBuffers, so Play can tell a rebuild happened
    ComPtr<IDirectSoundBuffer> FPrimary;
    TQVXSoundLib* FSoundLibrary = nullptr;
    // A form without a window yet, whose first activation starts audio.
    TForm* FWaitingForm = nullptr;
    int FActivationListener = 0;
};

}  // namespace qvx
