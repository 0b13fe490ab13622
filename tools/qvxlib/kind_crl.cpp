// qvxlib for intro screen libraries (.CRL).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>

#include "bmputil/bmputil.h"
#include "kind_crl.h"
#include "qvxlib.h"
#include "qvx/intro/intro_library.h"
#include "qvx/intro/palette_file.h"
#include "toolkit/names.h"
#include "toolkit/picture.h"
#include "toolkit/streams.h"

namespace qvxlib {

std::vector<uint8_t> SlideBitmapFile(const qvx::TIntroSlide& s, const qvx::TLibPalette& palette) {
    bmputil::TBitmapFileHeader fh;
    bmputil::TBitmapInfoHeader ih;
    const uint32_t tableBytes = 256 * 4;
    fh.bfType = bmputil::kBitmapMagic;
    fh.bfOffBits = sizeof fh + sizeof ih + tableBytes;
    fh.bfSize = fh.bfOffBits + static_cast<uint32_t>(s.Pixels.size());
    ih.biSize = sizeof ih;
    ih.biWidth = s.Width;
    ih.biHeight = -s.Height;
    ih.biPlanes = 1;
    ih.biBitCount = 8;
    ih.biSizeImage = static_cast<uint32_t>(s.Pixels.size());
    ih.biClrUsed = 256;
    std::vector<uint8_t> out(fh.bfSize);
    std::memcpy(out.data(), &fh, sizeof fh);
    std::memcpy(out.data() + sizeof fh, &ih, sizeof ih);
    uint8_t* table = out.data() + sizeof fh + sizeof ih;
    for (int i = 0; i < 256; ++i) {
        table[i * 4 + 0] = palette[static_cast<size_t>(i)].Blue;
        table[i * 4 + 1] = palette[static_cast<size_t>(i)].Green;
        table[i * 4 + 2] = palette[static_cast<size_t>(i)].Red;
        table[i * 4 + 3] = 0;
    }
    if (!s.Pixels.empty()) std::memcpy(out.data() + fh.bfOffBits, s.Pixels.data(), s.Pixels.size());
    return out;
}

namespace {

using qvx::TIntroLibrary;
using qvx::TIntroSlide;

// A slide name for the table: as names are shown everywhere, control
// characters escaped, padded to 8 characters.
std::string TableName(const std::string& bytes) {
    QString text = tk::ShownText(tk::NameToText(bytes));
    if (text.size() < 8) text += QString(8 - text.size(), QLatin1Char(' '));
    return text.toStdString();
}

void Load(TIntroLibrary& lib, const std::string& file) {
    LoadIntroLibrary(lib, file);
}

bool Detect(const std::vector<uint8_t>& head) {
    if (head.size() < 4) return false;
    const char magic[4] = {'C', 'R', '1', '0'};
    for (int i = 0; i < 4; ++i) {
        char c = static_cast<char>(head[static_cast<size_t>(i)]);
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c != magic[i]) return false;
    }
    return true;
}

std::string TransitionText(int t) {
    if (t >= 0 && t < qvx::kTransitionCount)
        return qvx::TransitionNames[static_cast<size_t>(t)];
    return "(unknown)";
}

int Info(const Args& a, const std::string& file) {
    TIntroLibrary lib;
    LoadIntroLibrary(lib, file);
    const auto& h = lib.Header();
    if (a.Flag("json")) {
        Json j;
        j.BeginObject();
        j.Key("kind").Str("crl");
        j.Key("count").Int(lib.SlideCount());
        j.Key("reserved").Int(h.Reserved);
        j.Key("palette").BeginArray();
        for (const auto& e : h.Palette)
            j.BeginArray().Int(e.Red).Int(e.Green).Int(e.Blue).Int(e.Used).EndArray();
        j.EndArray();
        j.Key("items").BeginArray();
        for (int i = 0; i < lib.SlideCount(); ++i) {
            const TIntroSlide& s = *lib.Slide(i);
            j.BeginObject();
            j.Key("index").Int(i);
            j.Key("name").Str(s.NameText());
            j.Key("transition").Int(s.Transition);
            j.Key("speed").Int(s.Speed);
            j.Key("hold").Int(s.Hold);
            j.Key("width").Int(s.Width);
            j.Key("height").Int(s.Height);
            j.Key("pixels_sha256").Str(Sha256Hex(s.Pixels.data(), s.Pixels.size()));
            j.EndObject();
        }
        j.EndArray();
        j.EndObject();
        std::printf("%s\n", j.Text().c_str());
        return kOk;
    }
    int used = 0;
    for (const auto& e : h.Palette) used += e.Used != 0;
    std::printf("intro library (CRL) %s\n", tk::ShownText(file).c_str());
    std::printf("slides: %d  reserved: %d  palette: %d of 256 entries used\n", lib.SlideCount(),
                h.Reserved, used);
    if (lib.SlideCount() == 0) return kOk;
    std::printf("%5s  %-8s  %-26s %6s %6s %6s %6s\n", "index", "name", "transition", "speed",
                "hold", "width", "height");
    for (int i = 0; i < lib.SlideCount(); ++i) {
        const TIntroSlide& s = *lib.Slide(i);
        const std::string name = TableName(s.NameText());
        std::printf("%5d  %s  %2d %-23s %6d %6d %6d %6d\n", i, name.c_str(), s.Transition,
                    TransitionText(s.Transition).c_str(), s.Speed, s.Hold, s.Width, s.Height);
    }
    return kOk;
}

int Roundtrip(const Args&, const std::string& in, const std::string& out) {
    TIntroLibrary lib;
    Load(lib, in);
    About(out, [&] { lib.SaveToFile(out); });
    return kOk;
}

int Extract(const Args&, const std::string& in, const std::string& dir) {
    TIntroLibrary lib;
    LoadIntroLibrary(lib, in);
    for (int i = 0; i < lib.SlideCount(); ++i) {
        const TIntroSlide& s = *lib.Slide(i);
        std::vector<uint8_t> bytes = SlideBitmapFile(s, lib.Palette());
        std::string path =
            (std::filesystem::path(dir) / ItemFileName(i, s.NameText(), ".bmp")).string();
        SaveOutput(path, [&](tk::TStream& out) {
            out.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
        });
        PrintWritten(path);
    }
    return kOk;
}

// The values of `option` for each of `count` inputs: given once for all,
// or once per input in order; `def` when not given.
std::vector<std::string> PerInput(const Args& a, const char* option, const std::string& def, size_t count) {
    const std::vector<std::string>& given = a.Options(option);
    if (given.empty()) return std::vector<std::string>(count, def);
    if (given.size() == 1) return std::vector<std::string>(count, given[0]);
    if (given.size() != count)
        throw UsageError{tk::Format("--%s is given once for every bitmap or once per bitmap (%d), not %d times", option,
                                    static_cast<int>(count), static_cast<int>(given.size()))};
    return given;
}

int InRange(const char* option, const std::string& text, int lo, int hi) {
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || v < lo || v > hi)
        throw UsageError{tk::Format("--%s must be from %d to %d, not \"%s\"", option, lo, hi, text.c_str())};
    return static_cast<int>(v);
}

uint8_t Transition(const std::string& t) {
    char* end = nullptr;
    const long n = std::strtol(t.c_str(), &end, 10);
    if (!t.empty() && *end == '\0') {
        if (n < 0 || n >= qvx::kTransitionCount)
            throw UsageError{tk::Format("--transition must be from 0 to %d or a name", qvx::kTransitionCount - 1)};
        return static_cast<uint8_t>(n);
    }
    if (auto idx = qvx::TransitionIndex(t)) return static_cast<uint8_t>(*idx);
    throw UsageError{"unknown transition \"" + t + "\""};
}

int Create(const Args& a, const std::string& out, const std::vector<std::string>& inputs) {
    const std::vector<std::string> transitions = PerInput(a, "transition", "0", inputs.size());
    const std::vector<std::string> speeds = PerInput(a, "speed", "5", inputs.size());
    const std::vector<std::string> holds = PerInput(a, "hold", "0", inputs.size());
    std::vector<qvx::TSlideProps> props(inputs.size());
    for (size_t i = 0; i < inputs.size(); ++i)
        props[i] = {Transition(transitions[i]), InRange("speed", speeds[i], 1, 100), InRange("hold", holds[i], 0, 100)};
    // A batch add makes colour index 0 of every bitmap transparent.
    const std::optional<uint8_t> transparent =
        a.Flag("batch") ? std::optional<uint8_t>(0) : std::nullopt;

    TIntroLibrary lib;
    // A palette file replaces the system colours the library starts with;
    // entry 0 stays the transparent slot the matcher never takes.
    if (auto palette = a.Option("palette")) {
        About(*palette, [&] { qvx::ImportPaletteFile(lib.Palette(), *palette); });
        lib.Palette()[0].Used = 1;
    }
    for (size_t i = 0; i < inputs.size(); ++i) {
        std::unique_ptr<bmputil::TBitmapInfo> info;
        tk::TBytes pixels;
        size_t pixelSize = 0, infoSize = 0;
        About(inputs[i], [&] { bmputil::ReadBitmapFile(inputs[i], info, pixels, pixelSize, infoSize); });
        lib.AddBitmap(qvx::SlideNameFromPath(inputs[i]), *info, std::move(pixels), props[i], transparent);
    }
    About(out, [&] { lib.SaveToFile(out); });
    PrintCount(lib.SlideCount(), "slide", out);
    return kOk;
}

// Walks the file's slide records as stored, to name the slide where the
// file breaks off (the library's reader only tells that it did).
void WalkSlides(const std::vector<uint8_t>& bytes, Problems& problems) {
    const size_t headerSize = sizeof(qvx::TIntroLibHeader);
    if (bytes.size() < headerSize) return;  // the library's own message says it
    int32_t count = 0;
    std::memcpy(&count, &bytes[4], 4);
    if (count < 0) {
        problems.push_back(
            {{},
             -1,
             {},
             tk::Format(
                 "Slide count %d is negative: no slides are read, %zu bytes follow the header",
                 count, bytes.size() - headerSize)});
        return;
    }
    size_t at = headerSize;
    for (int32_t i = 0; i < count; ++i) {
        qvx::TIntroSlide rec;
        if (bytes.size() - at < sizeof(qvx::TIntroSlideRecord)) {
            problems.push_back({{}, i, {},
                                tk::Format("The file ends in the slide's record (offset %d); the header promises %d slides",
                                           static_cast<int>(at), count)});
            return;
        }
        std::memcpy(static_cast<qvx::TIntroSlideRecord*>(&rec), &bytes[at], sizeof(qvx::TIntroSlideRecord));
        at += sizeof(qvx::TIntroSlideRecord);
        if (rec.Width <= 0 || rec.Height <= 0) {
            const bool width = rec.Width <= 0;
            const int32_t v = width ? rec.Width : rec.Height;
            problems.push_back(
                {{},
                 i,
                 tk::NameToUtf8(rec.NameText()),
                 tk::Format("%s %d (0x%08X) is not a slide size", width ? "Width" : "Height", v,
                            static_cast<uint32_t>(v))});
            return;
        }
        const int64_t size = bmputil::BytesPerLine(rec.Width) * static_cast<int64_t>(rec.Height);
        if (static_cast<uint64_t>(size) > bytes.size() - at) {
            problems.push_back({{}, i, tk::NameToUtf8(rec.NameText()),
                                tk::Format("The pixel block of %d x %d needs %lld bytes; %d remain at offset %d",
                                           rec.Width, rec.Height, static_cast<long long>(size),
                                           static_cast<int>(bytes.size() - at), static_cast<int>(at))});
            return;
        }
        at += static_cast<size_t>(size);
    }
    if (at < bytes.size())
        problems.push_back({{}, -1, {},
                            tk::Format("%d bytes follow the last of the %d slides", static_cast<int>(bytes.size() - at),
                                       count)});
}

void Verify(const std::string& file, Problems& problems) {
    const std::vector<uint8_t> bytes = tk::ReadFileBytes(file);
    const size_t before = problems.size();
    WalkSlides(bytes, problems);
    const bool walkFound = problems.size() > before;

    TIntroLibrary lib;
    try {
        if (lib.LoadFromBytes(bytes) == qvx::TLoadResult::InvalidMagic) {
            const KindHandler* found = DetectKind(bytes);
            problems.push_back({{},
                                -1,
                                {},
                                std::string(found ? "This is " + WithArticle(found->description) +
                                                        ", not an intro screen library: "
                                                  : "") +
                                    qvx::SInvalidLibrary});
            return;
        }
    } catch (const std::exception& e) {
        // Said already, with the slide, when the walk found where it breaks.
        if (!walkFound) problems.push_back({{}, -1, {}, ErrorText(e)});
    }
    const qvx::TLibPalette& palette = lib.Palette();
    for (int i = 0; i < lib.SlideCount(); ++i) {
        const TIntroSlide& s = *lib.Slide(i);
        const std::string name = tk::NameToUtf8(s.NameText());
        auto report = [&](const std::string& message) { problems.push_back({{}, i, name, message}); };
        if (s.Transition >= qvx::kTransitionCount)
            report(tk::Format("Transition %d is not one of 0 to %d", s.Transition, qvx::kTransitionCount - 1));
        if (s.Width <= 0 || s.Height <= 0) {
            report(tk::Format("No pixels (width %d, height %d)", s.Width, s.Height));
            continue;
        }
        // Every pixel must name a palette entry in use; a free entry has no
        // colour of its own and the next added slide may take it.
        const int64_t stride = bmputil::BytesPerLine(s.Width);
        int freeIndex = -1, freeCount = 0;
        for (int32_t y = 0; y < s.Height; ++y) {
            const uint8_t* row = s.Pixels.data() + stride * y;
            for (int32_t x = 0; x < s.Width; ++x) {
                if (row[x] != 0 && !palette[row[x]].Used) {
                    if (freeIndex < 0) freeIndex = row[x];
                    ++freeCount;
                }
            }
        }
        if (freeCount > 0)
            report(tk::Format("%d pixels use free palette entries (the first: %d)", freeCount, freeIndex));
        try {
            tk::TBitmap shown;
            bmputil::AssignDIB(shown, *qvx::SlideBitmapInfo(s, palette), s.Pixels);
            if (shown.Width() != s.Width || shown.Height() != s.Height)
                report(tk::Format("Decodes to %d x %d instead of %d x %d", shown.Width(), shown.Height(), s.Width,
                                  s.Height));
        } catch (const tk::Exception& e) {
            report(e.Message());
        }
    }
    // A slide record whose name length is over 8 was cut on reading.
    size_t at = sizeof(qvx::TIntroLibHeader);
    for (int i = 0; i < lib.SlideCount() && at + 21 <= bytes.size(); ++i) {
        if (bytes[at + 20] > 8)
            problems.push_back({{}, i, tk::NameToUtf8(lib.Slide(i)->NameText()),
                                tk::Format("Name length %d is more than 8", bytes[at + 20])});
        at += sizeof(qvx::TIntroSlideRecord) + lib.Slide(i)->Pixels.size();
    }
}

}  // namespace

void LoadIntroLibrary(qvx::TIntroLibrary& lib, const std::string& file) {
    // A file of another kind says what it is as well as what it is not.
    auto otherKind = [&]() -> std::string {
        const KindHandler* found = nullptr;
        try {
            found = DetectKind(ReadHead(file));
        } catch (...) {
        }
        return found && found->name != "crl" ? "this is " + WithArticle(found->description) +
                                                   ", not an intro screen library (.CRL)"
                                             : "";
    };
    qvx::TLoadResult result = qvx::TLoadResult::Loaded;
    try {
        LoadNamingItem(
            file, "slide", [&] { result = lib.LoadFromFile(file); },
            [&](Problems& found) { WalkSlides(tk::ReadFileBytes(file), found); });
    } catch (const ENamed&) {
        throw;
    } catch (const std::exception& e) {
        if (const std::string what = otherKind(); !what.empty())
            throw ENamed(file + ": " + what + ": " + ErrorText(e));
        RethrowAbout(file, std::current_exception());
    }
    if (result != qvx::TLoadResult::InvalidMagic) return;
    const std::string what = otherKind();
    throw ENamed(
        file + ": " +
        (what.empty() ? "this is not an intro screen library (.CRL, starting \"CR10\")" : what) +
        ": " + qvx::SInvalidLibrary);
}

namespace {

const bool registered = RegisterKind(KindHandler{
    "crl",
    "intro screen library (.CRL)",
    Detect,
    Info,
    Roundtrip,
    Extract,
    Create,
    "create crl OUT BITMAP... [--transition N|NAME]... [--speed N]... [--hold N]... [--batch] [--palette IN.{gpl,pal,act}]",
    Verify,
});

}  // namespace
}  // namespace qvxlib
