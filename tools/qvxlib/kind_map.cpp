// qvxlib for map libraries ("ML01"). Maps carry no signature worth
// detecting (any four bytes are read), so this kind needs --kind map.
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>

#include <nlohmann/json.hpp>

#include "kind_assets.h"
#include "qvx/assets/map_library.h"
#include "toolkit/names.h"

namespace qvxlib {
namespace {

using namespace assets;

constexpr size_t kMapNameChars = 15;

std::string Sha(const qvx::TMapRec& m) { return Sha256Hex(m.Data, m.Data ? static_cast<size_t>(m.Size) : 0); }

int Info(const Args& a, const std::string& file) {
    qvx::TQVXMaps maps;
    {
        tk::TFileStream in(file, tk::fmOpenRead);
        maps.LoadFromStream(in);
    }
    if (a.Flag("json")) {
        Json j;
        j.BeginObject().Key("kind").Str("map").Key("count").Int(maps.Count()).Key("items").BeginArray();
        for (int i = 0; i < maps.Count(); ++i) {
            qvx::TMapRec m;
            maps.GetMap(i, m);
            j.BeginObject()
                .Key("index").Int(i)
                .Key("name").Str(qvx::MapName(m))
                .Key("width").Int(m.Width)
                .Key("height").Int(m.Height)
                .Key("size").Int(m.Size)
                .Key("data_sha256").Str(Sha(m))
                .EndObject();
        }
        j.EndArray().EndObject();
        std::printf("%s\n", j.Text().c_str());
        return kOk;
    }
    std::printf("map library, %d map%s\n", maps.Count(), maps.Count() == 1 ? "" : "s");
    if (maps.Count() > 0) std::printf("%5s  %-15s  %7s  %7s  %10s\n", "index", "name", "width", "height", "bytes");
    for (int i = 0; i < maps.Count(); ++i) {
        qvx::TMapRec m;
        maps.GetMap(i, m);
        std::printf("%5d  %-15s  %7d  %7d  %10d\n", i, Shown(qvx::MapName(m)).c_str(), m.Width,
                    m.Height, m.Size);
    }
    return kOk;
}

int Roundtrip(const Args&, const std::string& in, const std::string& out) {
    qvx::TQVXMaps maps;
    {
        tk::TFileStream f(in, tk::fmOpenRead);
        maps.LoadFromStream(f);
    }
    WriteSafely(out, [&](tk::TStream& s) { maps.SaveToStream(s); });
    return kOk;
}

int Extract(const Args&, const std::string& in, const std::string& dir) {
    qvx::TQVXMaps maps;
    {
        tk::TFileStream f(in, tk::fmOpenRead);
        maps.LoadFromStream(f);
    }
    for (int i = 0; i < maps.Count(); ++i) {
        qvx::TMapRec m;
        maps.GetMap(i, m);
        const std::string name = qvx::MapName(m);
        const std::string bin = PathIn(dir, ItemFileName(i, name, ".bin"));
        WriteSafely(bin, [&](tk::TStream& s) { s.WriteBuffer(m.Data, m.Data ? m.Size : 0); });
        PrintWritten(bin);
        // A name that is not UTF-8 is written as its Latin-1 text, marked so
        // that create gives back the same bytes.
        Json j;
        j.BeginObject().Key("name").Str(name);
        if (!tk::NameIsUtf8(name)) j.Key("name_latin1").Bool(true);
        j.Key("width").Int(m.Width).Key("height").Int(m.Height).EndObject();
        const std::string text = j.Text() + "\n";
        const std::string side = PathIn(dir, ItemFileName(i, name, ".json"));
        WriteSafely(side, [&](tk::TStream& s) {
            s.WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
        });
        PrintWritten(side);
    }
    return kOk;
}

// The values of the .json extract writes beside a map: name (as stored
// bytes), width and height as text. Raises tk::Exception on malformed input.
std::map<std::string, std::string> ReadSideFile(const std::string& path) {
    const Bytes text = About(path, [&] { return tk::ReadFileBytes(path); });
    const auto doc = nlohmann::json::parse(text.begin(), text.end(), nullptr, /*allow_exceptions=*/false);
    if (!doc.is_object()) throw tk::Exception("Malformed JSON in " + path);
    std::map<std::string, std::string> values;
    for (const char* key : {"width", "height"}) {
        if (!doc.contains(key)) continue;
        if (!doc[key].is_number_integer()) throw tk::Exception("Malformed JSON in " + path);
        values[key] = std::to_string(doc[key].get<int64_t>());
    }
    if (doc.contains("name")) {
        if (!doc["name"].is_string()) throw tk::Exception("Malformed JSON in " + path);
        const QString name = QString::fromStdString(doc["name"].get<std::string>());
        const bool latin1 = doc.value("name_latin1", false);
        values["name"] = tk::NameFromText(name, {}, latin1 ? tk::TNameEncoding::Latin1 : tk::TNameEncoding::Utf8);
    }
    return values;
}

// An option given once applies to every map; given once per map, in order.
std::optional<std::string> PerMap(const Args& a, const char* option, size_t index, size_t maps) {
    const auto& v = a.Options(option);
    if (v.empty()) return std::nullopt;
    if (v.size() == 1) return v[0];
    if (v.size() != maps)
        throw UsageError{std::string("--") + option + " is given " + std::to_string(v.size()) +
                         " times for " + std::to_string(maps) + " maps (give it once, or once per map)"};
    return v[index];
}

// What is wrong with a map's size for its data, or "": a map is width x
// height cells of one or more bytes each, as many bytes as the data holds.
std::string SizeProblem(int64_t width, int64_t height, int64_t size) {
    if (width <= 0 || height <= 0)
        return tk::Format("Size %lld x %lld has no cells", (long long)width, (long long)height);
    const int64_t cells = width * height;
    if (size < cells || size % cells != 0)
        return tk::Format("%lld bytes of data are not whole cells of a %lld x %lld map",
                          (long long)size, (long long)width, (long long)height);
    return {};
}

int32_t ToInt(const std::string& text, const std::string& what) {
    char* end = nullptr;
    long long n = std::strtoll(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || n < INT32_MIN || n > INT32_MAX)
        throw UsageError{what + " needs a whole number, not \"" + text + "\""};
    return static_cast<int32_t>(n);
}

int Create(const Args& a, const std::string& out, const std::vector<std::string>& inputs) {
    if (inputs.empty()) throw UsageError{"missing DATA.bin"};
    Bytes file;
    PutBytes(file, "ML01", 4);
    Put32(file, static_cast<uint32_t>(static_cast<int32_t>(inputs.size()) - 1));
    for (size_t i = 0; i < inputs.size(); ++i) {
        const std::string& bin = inputs[i];
        Bytes data = About(bin, [&] { return tk::ReadFileBytes(bin); });
        if (data.size() > static_cast<size_t>(INT32_MAX)) throw tk::Exception(bin + " is too large for a map");
        // Values not given on the command line come from the .json extract
        // writes beside each map, then from the file name.
        std::map<std::string, std::string> side;
        std::filesystem::path sidePath = std::filesystem::path(bin).replace_extension(".json");
        if (std::filesystem::exists(sidePath)) side = ReadSideFile(sidePath.string());
        auto value = [&](const char* option) -> std::optional<std::string> {
            if (auto v = PerMap(a, option, i, inputs.size())) return v;
            if (auto it = side.find(option); it != side.end()) return it->second;
            return std::nullopt;
        };
        std::string name = value("name").value_or(NameFromFile(bin, kMapNameChars));
        auto width = value("width"), height = value("height");
        if (!width || !height)
            throw UsageError{"give --width and --height for " + bin + " (or a .json beside it, as extract writes)"};
        const int32_t w = ToInt(*width, "--width"), h = ToInt(*height, "--height");
        // A size given here must fit the data; one from the .json extract
        // wrote is the library's own and comes back as it was.
        const bool given = !a.Options("width").empty() || !a.Options("height").empty();
        if (const std::string problem = SizeProblem(w, h, static_cast<int64_t>(data.size()));
            given && !problem.empty())
            throw ENamed(bin + ": " + problem);
        PutName(file, name, 16);
        Put32(file, static_cast<uint32_t>(w));
        Put32(file, static_cast<uint32_t>(h));
        Put32(file, static_cast<uint32_t>(data.size()));
        Put32(file, 0);
        PutBytes(file, data.data(), data.size());
    }
    // Through the library classes, as a game would read and write it.
    qvx::TQVXMaps maps;
    tk::TPointerStream in(file.data(), static_cast<int64_t>(file.size()));
    maps.LoadFromStream(in);
    WriteSafely(out, [&](tk::TStream& s) { maps.SaveToStream(s); });
    PrintCount(maps.Count(), "map", out);
    return kOk;
}

// Loading checks every record's place; each map's size must then fit its
// data, as a game reads its cells.
void Verify(const std::string& file, Problems& problems) {
    qvx::TQVXMaps maps;
    try {
        tk::TFileStream in(file, tk::fmOpenRead);
        maps.LoadFromStream(in);
    } catch (const std::exception& e) {
        problems.push_back({{}, -1, {}, ErrorText(e)});
        return;
    }
    for (int i = 0; i < maps.Count(); ++i) {
        qvx::TMapRec m;
        maps.GetMap(i, m);
        // A map with no data yet is one the format allows.
        if (const std::string problem = SizeProblem(m.Width, m.Height, m.Size);
            m.Size != 0 && !problem.empty())
            problems.push_back({{}, i, qvx::MapName(m), problem});
    }
}

const bool registered = RegisterKind({
    "map",
    "map libraries (\"ML01\"); give --kind map",
    nullptr,
    Info,
    Roundtrip,
    Extract,
    Create,
    "create map OUT DATA.bin... [--name N]... [--width W]... [--height H]...",
    Verify,
});

}  // namespace
}  // namespace qvxlib
