// Sound library (.SDL): sampled sounds with their wave format, name, pan and
// volume; the persistent container TQVXSounds and the component TQVXSoundLib.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "qvx/assets/assetio.h"
#include "toolkit/classes.h"
#include "toolkit/filebacked.h"

namespace qvx {

// The 8-byte header block, kept exactly as it stands in the file.
struct TSoundLibHeader {
    char Signature[4];  // "SL10"
    int32_t Count;      // number of sounds
};
static_assert(sizeof(TSoundLibHeader) == 8);

// The wave format block: WAVEFORMATEX (18 bytes, same field order) and two
// bytes carried with it.
struct TSoundFormat {
    uint16_t wFormatTag;  // 1 for PCM
    uint16_t nChannels;
    uint32_t nSamplesPerSec;
    uint32_t nAvgBytesPerSec;
    uint16_t nBlockAlign;
    uint16_t wBitsPerSample;
    uint16_t cbSize;      // extra format bytes; they are not stored
    uint8_t Carried[2];   // not interpreted; preserved
};
static_assert(sizeof(TSoundFormat) == 20);
constexpr uint16_t WAVE_FORMAT_PCM = 1;

// One sound. The first 44 bytes are the file record; Data points at the
// sample block the library owns (never written to a file).
struct TSoundRec {
    TSoundFormat Format;
    uint8_t Name[12];  // length byte, then up to 11 characters
    int32_t Pan;       // hundredths of a decibel, -10000 left .. 10000 right
    int32_t Volume;    // hundredths of a decibel of attenuation, 0 .. -10000
    int32_t Size;      // bytes of sample data
    uint8_t* Data;
};
constexpr int kSoundRecordSize = 44;

// The sound's name decoded from its length byte (at most 11 characters).
std::string SoundName(const TSoundRec& rec);

/// A sound library (.SDL): PCM sounds with their wave format, name, pan
/// and volume.
class TQVXSounds : public tk::TPersistent {
public:
    TK_CLASSNAME(TQVXSounds)
    TQVXSounds();
    ~TQVXSounds() override;

    void LoadFromStream(tk::TStream& stream);
    void SaveToStream(tk::TStream& stream) const;
    void LoadFromFile(const std::string& fileName);
    // Releases every data block and the table; the signature stays.
    void Clear();
    // Copies record `index`; the samples are shared, not copied.
    void GetSound(int index, TSoundRec& rec) const;
    int Count() const { return FHeader.Count; }
    const TSoundLibHeader& Header() const { return FHeader; }
    bool HasTable() const { return !FSounds.empty(); }

    void DefineProperties(tk::TFiler& filer) override;

protected:
    void AssignTo(tk::TPersistent& dest) const override;

private:
    TSoundLibHeader FHeader;
    std::vector<TSoundRec> FSounds;                     // absent (empty) while the library is empty
    detail::TBlockArena FBlocks;  // the sample blocks FSounds point at
};

/// The component that holds a sound library on a form, from form data or
/// LoadFromFile; a TQVXAudio linked to it plays its sounds by index.
class TQVXSoundLib : public tk::TComponent {
public:
    TK_CLASSNAME(TQVXSoundLib)
    explicit TQVXSoundLib(tk::TComponent* owner);
    ~TQVXSoundLib() override;

    TQVXSounds* Sounds() const { return FSounds.get(); }
    // Copies `source` into the owned library; the object is never replaced.
    void SetSounds(const TQVXSounds& source);
    const std::string& FileName() const { return FFileName; }
    bool HasFileName() const { return !FFileName.empty(); }
    int Count() const;

    void LoadFromFile(const std::string& fileName);
    void Reload();
    // Gives the samples up once they are in sound buffers, when they came
    // from a file, and reads the file again when they must be rebuilt.
    tk::TFileBackedData& Data() { return FData; }

    void GetProperties(tk::TPropList& props) override;

private:
    std::unique_ptr<TQVXSounds> FSounds;
    std::string FFileName;
    tk::TFileBackedData FData;
};

}  // namespace qvx
