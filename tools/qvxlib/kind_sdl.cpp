// qvxlib for sound libraries (.SDL, "SL10"): sounds come out as RIFF .wav
// files and PCM .wav files go in.
#include <algorithm>
#include <cstdio>

#include "kind_assets.h"
#include "platform/dsound/mixer.h"
#include "toolkit/names.h"
#include "qvx/assets/sound_library.h"
#include "toolkit/sysutils.h"

namespace qvxlib {
namespace {

using namespace assets;

constexpr size_t kSoundNameChars = 11;
constexpr uint16_t kFormatExtensible = 0xFFFE;

bool Detect(const std::vector<uint8_t>& head) {
    if (head.size() < 4) return false;
    for (int i = 0; i < 4; ++i)
        if (std::toupper(head[static_cast<size_t>(i)]) != "SL10"[i]) return false;
    return true;
}

void Load(qvx::TQVXSounds& lib, const std::string& file);

std::string Sha(const qvx::TSoundRec& r) { return Sha256Hex(r.Data, static_cast<size_t>(r.Size)); }

int Info(const Args& a, const std::string& file) {
    qvx::TQVXSounds lib;
    Load(lib, file);
    if (a.Flag("json")) {
        Json j;
        j.BeginObject().Key("kind").Str("sdl").Key("count").Int(lib.Count()).Key("items").BeginArray();
        for (int i = 0; i < lib.Count(); ++i) {
            qvx::TSoundRec r;
            lib.GetSound(i, r);
            j.BeginObject()
                .Key("index").Int(i)
                .Key("name").Str(qvx::SoundName(r))
                .Key("format_tag").Int(r.Format.wFormatTag)
                .Key("channels").Int(r.Format.nChannels)
                .Key("samples_per_sec").Int(r.Format.nSamplesPerSec)
                .Key("avg_bytes_per_sec").Int(r.Format.nAvgBytesPerSec)
                .Key("block_align").Int(r.Format.nBlockAlign)
                .Key("bits_per_sample").Int(r.Format.wBitsPerSample)
                .Key("pan").Int(r.Pan)
                .Key("volume").Int(r.Volume)
                .Key("size").Int(r.Size)
                .Key("data_sha256").Str(Sha(r))
                .EndObject();
        }
        j.EndArray().EndObject();
        std::printf("%s\n", j.Text().c_str());
        return kOk;
    }
    std::printf("sound library, %d sound%s\n", lib.Count(), lib.Count() == 1 ? "" : "s");
    if (lib.Count() > 0)
        std::printf("%5s  %-11s  %6s  %3s  %6s  %4s  %6s  %6s  %10s\n", "index", "name", "format", "ch", "rate", "bits",
                    "pan", "volume", "bytes");
    for (int i = 0; i < lib.Count(); ++i) {
        qvx::TSoundRec r;
        lib.GetSound(i, r);
        std::printf("%5d  %-11s  %6u  %3u  %6u  %4u  %6d  %6d  %10d\n", i,
                    Shown(qvx::SoundName(r)).c_str(), r.Format.wFormatTag, r.Format.nChannels,
                    r.Format.nSamplesPerSec, r.Format.wBitsPerSample, r.Pan, r.Volume, r.Size);
    }
    return kOk;
}

int Roundtrip(const Args&, const std::string& in, const std::string& out) {
    qvx::TQVXSounds lib;
    Load(lib, in);
    WriteSafely(out, [&](tk::TStream& s) { lib.SaveToStream(s); });
    return kOk;
}

// A RIFF WAVE file of the sound's format and samples. PCM gets the plain
// 16-byte format chunk; other formats the 18-byte one, with no extra format
// bytes, as the library keeps none.
Bytes WaveFile(const qvx::TSoundRec& r) {
    const qvx::TSoundFormat& f = r.Format;
    const bool pcm = f.wFormatTag == qvx::WAVE_FORMAT_PCM;
    const uint32_t fmtSize = pcm ? 16 : 18;
    const uint32_t pad = static_cast<uint32_t>(r.Size) & 1;
    Bytes b;
    b.reserve(static_cast<size_t>(r.Size) + 64);
    PutBytes(b, "RIFF", 4);
    Put32(b, 4 + 8 + fmtSize + 8 + static_cast<uint32_t>(r.Size) + pad);
    PutBytes(b, "WAVEfmt ", 8);
    Put32(b, fmtSize);
    Put16(b, f.wFormatTag);
    Put16(b, f.nChannels);
    Put32(b, f.nSamplesPerSec);
    Put32(b, f.nAvgBytesPerSec);
    Put16(b, f.nBlockAlign);
    Put16(b, f.wBitsPerSample);
    if (!pcm) Put16(b, 0);
    PutBytes(b, "data", 4);
    Put32(b, static_cast<uint32_t>(r.Size));
    PutBytes(b, r.Data, static_cast<size_t>(r.Size));
    if (pad) b.push_back(0);
    return b;
}

int Extract(const Args&, const std::string& in, const std::string& dir) {
    qvx::TQVXSounds lib;
    Load(lib, in);
    for (int i = 0; i < lib.Count(); ++i) {
        qvx::TSoundRec r;
        lib.GetSound(i, r);
        Bytes wav = WaveFile(r);
        const std::string path = PathIn(dir, ItemFileName(i, qvx::SoundName(r), ".wav"));
        WriteSafely(path, [&](tk::TStream& s) {
            s.WriteBuffer(wav.data(), static_cast<int64_t>(wav.size()));
        });
        PrintWritten(path);
    }
    return kOk;
}

struct Wave {
    qvx::TSoundFormat format{};
    const uint8_t* data = nullptr;
    uint32_t size = 0;
};

// Reads the format and sample chunks of a PCM RIFF WAVE file.
Wave ReadWave(const Bytes& b, const std::string& file) {
    auto fail = [&](const std::string& why) -> tk::Exception { return tk::Exception(file + ": " + why); };
    if (b.size() < 12 || std::memcmp(b.data(), "RIFF", 4) != 0 || std::memcmp(b.data() + 8, "WAVE", 4) != 0)
        throw fail("not a RIFF WAVE file");
    Wave w;
    bool haveFmt = false, haveData = false;
    size_t pos = 12;
    while (pos + 8 <= b.size() && !(haveFmt && haveData)) {
        const uint8_t* id = b.data() + pos;
        const uint64_t declared = Get32(b.data() + pos + 4);
        pos += 8;
        const uint64_t avail = b.size() - pos;
        if (std::memcmp(id, "fmt ", 4) == 0) {
            if (declared < 16 || declared > avail) throw fail("damaged format chunk");
            const uint8_t* p = b.data() + pos;
            uint16_t tag = Get16(p);
            if (tag == kFormatExtensible) {
                // The sub-format's first two bytes are the format tag it stands for.
                if (declared < 40) throw fail("damaged format chunk");
                tag = Get16(p + 24);
                static const uint8_t kGuidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                                      0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
                if (std::memcmp(p + 26, kGuidTail, 14) != 0) tag = kFormatExtensible;
            }
            if (tag != qvx::WAVE_FORMAT_PCM)
                throw fail("not PCM (format tag " + std::to_string(tag) +
                           "); a sound library takes PCM .wav files only");
            w.format.wFormatTag = qvx::WAVE_FORMAT_PCM;
            w.format.nChannels = Get16(p + 2);
            w.format.nSamplesPerSec = Get32(p + 4);
            w.format.nAvgBytesPerSec = Get32(p + 8);
            w.format.nBlockAlign = Get16(p + 12);
            w.format.wBitsPerSample = Get16(p + 14);
            if (w.format.nChannels == 0 || w.format.nSamplesPerSec == 0 || w.format.nBlockAlign == 0 ||
                w.format.wBitsPerSample == 0)
                throw fail("damaged PCM format (channels, rate, block alignment or bits is 0)");
            haveFmt = true;
        } else if (std::memcmp(id, "data", 4) == 0) {
            // Files written while streaming may claim more than they hold;
            // take the whole sample frames that are there.
            uint64_t size = declared;
            if (size > avail) size = avail;
            w.data = b.data() + pos;
            w.size = static_cast<uint32_t>(std::min<uint64_t>(size, UINT32_MAX));
            haveData = true;
            if (declared > avail) break;
        }
        pos += declared + (declared & 1);
    }
    if (!haveFmt) throw fail("no format chunk");
    if (!haveData) throw fail("no data chunk");
    w.size -= w.size % w.format.nBlockAlign;
    if (w.size == 0) throw fail("holds no samples");
    if (w.size > static_cast<uint32_t>(INT32_MAX)) throw fail("too many samples for a sound library");
    return w;
}

int Create(const Args& a, const std::string& out, const std::vector<std::string>& inputs) {
    if (inputs.empty()) throw UsageError{"missing WAV"};
    const auto& names = a.Options("name");
    if (!names.empty() && names.size() != inputs.size())
        throw UsageError{"give --name once per WAV, or not at all"};
    Bytes file;
    PutBytes(file, "SL10", 4);
    Put32(file, static_cast<uint32_t>(inputs.size()));
    for (size_t i = 0; i < inputs.size(); ++i) {
        Bytes wav = About(inputs[i], [&] { return tk::ReadFileBytes(inputs[i]); });
        Wave w = ReadWave(wav, inputs[i]);
        PutBytes(file, &w.format, sizeof w.format);
        PutName(file, names.empty() ? NameFromFile(inputs[i], kSoundNameChars) : names[i], 12);
        Put32(file, 0);  // pan: centre
        Put32(file, 0);  // volume: full
        Put32(file, w.size);
        PutBytes(file, w.data, w.size);
    }
    // Through the library classes, as a game would read and write it.
    qvx::TQVXSounds lib;
    tk::TPointerStream in(file.data(), static_cast<int64_t>(file.size()));
    lib.LoadFromStream(in);
    WriteSafely(out, [&](tk::TStream& s) { lib.SaveToStream(s); });
    PrintCount(lib.Count(), "sound", out);
    return kOk;
}

// Walks the stored sound records: each one's sample count against the
// bytes that follow, naming the sound and the offset where the file ends.
void WalkSounds(const Bytes& bytes, Problems& problems) {
    constexpr size_t kRecord = 44;
    if (bytes.size() < 8 || !Detect(bytes)) return;
    const int32_t count = static_cast<int32_t>(Get32(&bytes[4]));
    size_t at = 8;
    for (int32_t i = 0; i < count; ++i) {
        if (bytes.size() - at < kRecord) {
            problems.push_back(
                {{},
                 i,
                 {},
                 tk::Format(
                     "The file ends in the sound's record (offset %zu, %zu of its %zu bytes); "
                     "the header promises %d sounds",
                     at, bytes.size() - at, kRecord, count)});
            return;
        }
        const uint8_t* rec = &bytes[at];
        const std::string name(reinterpret_cast<const char*>(rec + 21),
                               std::min<size_t>(rec[20], 11));
        const int32_t size = static_cast<int32_t>(Get32(rec + 40));
        at += kRecord;
        if (size <= 0) {
            problems.push_back(
                {{}, i, name, tk::Format("Size %d is not a number of sample bytes", size)});
            return;
        }
        if (static_cast<uint64_t>(size) > bytes.size() - at) {
            problems.push_back({{},
                                i,
                                name,
                                tk::Format("The samples need %d bytes; %zu remain at offset %zu",
                                           size, bytes.size() - at, at)});
            return;
        }
        at += static_cast<size_t>(size);
    }
}

void Load(qvx::TQVXSounds& lib, const std::string& file) {
    LoadNamingItem(
        file, "sound", [&] { lib.LoadFromFile(file); },
        [&](Problems& found) { WalkSounds(tk::ReadFileBytes(file), found); });
}

// Loading checks every record's place in the file; each sound must then
// make a sound buffer, as the game's audio component builds one per sound.
void Verify(const std::string& file, Problems& problems) {
    qvx::TQVXSounds lib;
    try {
        lib.LoadFromFile(file);
    } catch (const std::exception& e) {
        const size_t before = problems.size();
        WalkSounds(tk::ReadFileBytes(file), problems);
        if (problems.size() == before) problems.push_back({{}, -1, {}, ErrorText(e)});
        return;
    }
    for (int i = 0; i < lib.Count(); ++i) {
        qvx::TSoundRec r;
        lib.GetSound(i, r);
        const std::string name = qvx::SoundName(r);
        WAVEFORMATEX wave{};
        wave.wFormatTag = r.Format.wFormatTag;
        wave.nChannels = r.Format.nChannels;
        wave.nSamplesPerSec = r.Format.nSamplesPerSec;
        wave.nAvgBytesPerSec = r.Format.nAvgBytesPerSec;
        wave.nBlockAlign = r.Format.nBlockAlign;
        wave.wBitsPerSample = r.Format.wBitsPerSample;
        if (dsound::CheckFormat(&wave, nullptr) != DS_OK) {
            problems.push_back({{}, i, name,
                                tk::Format("No sound buffer takes this format (tag %u, %u channels, %u Hz, %u bits, "
                                           "block align %u)",
                                           r.Format.wFormatTag, r.Format.nChannels, r.Format.nSamplesPerSec,
                                           r.Format.wBitsPerSample, r.Format.nBlockAlign)});
            continue;
        }
        if (r.Size < static_cast<int32_t>(DSBSIZE_MIN))
            problems.push_back({{}, i, name,
                                tk::Format("%d bytes of samples; a sound buffer holds at least %u", r.Size,
                                           static_cast<unsigned>(DSBSIZE_MIN))});
        else if (r.Size % r.Format.nBlockAlign != 0)
            problems.push_back({{}, i, name,
                                tk::Format("%d bytes of samples are not whole frames of %u bytes", r.Size,
                                           r.Format.nBlockAlign)});
    }
}

const bool registered = RegisterKind({
    "sdl",
    "sound library (.SDL)",
    Detect,
    Info,
    Roundtrip,
    Extract,
    Create,
    "create sdl OUT WAV... [--name N]...",
    Verify,
});

}  // namespace
}  // namespace qvxlib
