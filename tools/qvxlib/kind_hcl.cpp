// qvxlib support for hi-colour image libraries (.HCL).
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>

#include <QBuffer>
#include <QImageReader>

#include "qvx/hicolor/hicolor_library.h"
#include "toolkit/jpegcodec.h"
#include "toolkit/metafilecodec.h"
#include "toolkit/picture.h"
#include "qvxlib.h"
#include "toolkit/names.h"
#include "toolkit/propstream.h"
#include "toolkit/streams.h"

namespace qvxlib {
namespace {

// What the file itself says, found by walking its property stream: the
// object name, and the raw "Image.Data" block of each item (empty when the
// item has none), so verify can decode each picture on its own.
struct RawFile {
    std::string objectName;
    std::vector<std::vector<uint8_t>> items;
    std::vector<std::string> names;  // each item's "Name" entry, empty when none
};

RawFile ReadRaw(const std::string& file) {
    RawFile rf;
    auto& items = rf.items;
    tk::TFileStream f(file, tk::fmOpenRead);
    tk::ReadResourceHeader(f);
    tk::TReader r(f);
    r.ReadSignature();
    uint8_t flags;
    int64_t childPos;
    r.ReadPrefix(flags, childPos);
    r.ReadStr();
    rf.objectName = r.ReadStr();
    while (!r.EndOfList()) {
        std::string name = r.ReadStr();
        if (!tk::SameText(name, "Images") || r.NextValue() != tk::TValueType::vaCollection) {
            r.SkipValue();
            continue;
        }
        r.ReadValue();
        // An empty collection keeps what the library had: nothing, here.
        if (!r.EndOfList()) {
            items.clear();
            rf.names.clear();
        }
        while (!r.EndOfList()) {
            auto v = r.NextValue();
            if (v == tk::TValueType::vaInt8 || v == tk::TValueType::vaInt16 || v == tk::TValueType::vaInt32)
                r.ReadInteger();
            r.ReadListBegin();
            std::vector<uint8_t> data;
            std::string itemName;
            while (!r.EndOfList()) {
                std::string prop = r.ReadStr();
                if (tk::SameText(prop, "Name") && (r.NextValue() == tk::TValueType::vaString ||
                                                   r.NextValue() == tk::TValueType::vaLString)) {
                    itemName = r.ReadString();
                } else if (tk::SameText(prop, "Image.Data") && r.NextValue() == tk::TValueType::vaBinary) {
                    r.ReadValue();
                    uint32_t len;
                    r.Read(&len, 4);
                    if (len > r.Remaining()) throw tk::EReadError(tk::msg::SReadError);
                    data.resize(len);
                    r.Read(data.data(), len);
                } else {
                    r.SkipValue();
                }
            }
            r.ReadListEnd();
            items.push_back(std::move(data));
            rf.names.push_back(std::move(itemName));
        }
        r.ReadListEnd();
    }
    return rf;
}

struct Payload {
    std::string kind = "empty";  // bitmap, jpeg, icon, metafile, empty
    std::string className;
    const uint8_t* data = nullptr;  // the picture's own data as in the file
    size_t size = 0;
};

uint32_t U32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }

// The picture inside an item's stored "Image.Data" block: class name, then
// the picture's own data.
Payload Split(const uint8_t* block, size_t size) {
    Payload p;
    if (size == 0) return p;
    size_t nameLen = block[0];
    if (1 + nameLen > size) return p;
    p.className.assign(reinterpret_cast<const char*>(block) + 1, nameLen);
    const uint8_t* rest = block + 1 + nameLen;
    size_t restLen = size - 1 - nameLen;
    if (p.className == "TIcon") {
        p.kind = "icon";
        p.data = rest;
        p.size = restLen;
        return p;
    }
    if (restLen < 4) return p;
    uint32_t n = U32(rest);
    if (p.className == "TBitmap" || p.className == "TJPEGImage") {
        p.kind = p.className == "TBitmap" ? "bitmap" : "jpeg";
        p.data = rest + 4;
        p.size = std::min<size_t>(n, restLen - 4);
    } else if (p.className == "TMetafile") {
        p.kind = "metafile";
        p.data = rest + 4;
        p.size = n >= 4 ? std::min<size_t>(n - 4, restLen - 4) : 0;
    }
    return p;
}

std::string KindOfGraphic(const tk::TPicture& pic) {
    tk::TGraphic* g = pic.Graphic();
    if (!g || g->Empty()) return "empty";
    if (dynamic_cast<tk::TBitmap*>(g)) return "bitmap";
    if (dynamic_cast<tk::TJPEGImage*>(g)) return "jpeg";
    if (dynamic_cast<tk::TIcon*>(g)) return "icon";
    if (dynamic_cast<tk::TMetafile*>(g)) return "metafile";
    return "empty";
}

// Hooks that give the library the file's object name as it reads, so that
// messages and a saved copy say what the file says.
tk::TReadHooks NameFromFile(qvx::TQVXHiColorImagelib& lib) {
    tk::TReadHooks hooks;
    hooks.RootName = [&lib](const std::string& name) { lib.SetName(name); };
    return hooks;
}

// Loads the library; a failure inside an item names the item by its index.
void Load(qvx::TQVXHiColorImagelib& lib, const std::string& file, tk::TReadHooks hooks) {
    int itemsRead = 0;
    hooks.ItemRead = [&itemsRead, next = hooks.ItemRead](tk::TCollectionItem& item) {
        ++itemsRead;
        if (next) next(item);
    };
    try {
        lib.LoadFromFile(file, &hooks);
    } catch (const tk::Exception& e) {
        if (e.Message().rfind("Error reading TQVXImageItem", 0) != 0) throw;
        throw ENamed(file + ": " + tk::Format("image %d: ", itemsRead) + ErrorText(e));
    }
}

// What info prints of an item.
struct Row {
    std::string picture = "empty";
    int width = 0, height = 0;
    std::optional<std::string> sha;  // of the picture's data as stored
};

// Design position and tag as the file carries them. Items are described as
// the reader passes them, and their pictures let go at once, so a large
// library is never held whole.
int Info(const Args& a, const std::string& file) {
    qvx::TQVXHiColorImagelib lib(nullptr);
    std::map<const tk::TPersistent*, Row> rows;
    // The hash of the item being read, until the item is complete.
    const tk::TPersistent* hashed = nullptr;
    std::optional<std::string> sha;
    tk::TReadHooks hooks = NameFromFile(lib);
    hooks.Binary = [&](tk::TPersistent& owner, const std::string& path, const uint8_t* data, size_t size) {
        if (!dynamic_cast<qvx::TQVXImageItem*>(&owner) || !tk::SameText(path, "Image.Data")) return;
        const Payload p = Split(data, size);
        hashed = &owner;
        sha = p.data ? std::optional<std::string>(Sha256Hex(p.data, p.size)) : std::nullopt;
    };
    hooks.ItemRead = [&](tk::TCollectionItem& item) {
        auto* image = dynamic_cast<qvx::TQVXImageItem*>(&item);
        if (!image) return;
        Row& row = rows[&item] = Row{};
        if (hashed == &item) row.sha = std::move(sha);
        hashed = nullptr;
        sha.reset();
        row.picture = KindOfGraphic(image->Image());
        row.width = image->Image().Width();
        row.height = image->Image().Height();
        image->Image().Clear();
    };
    Load(lib, file, hooks);
    auto rowOf = [&rows](const qvx::TQVXImageItem* item) {
        auto it = rows.find(item);
        return it == rows.end() ? Row{} : it->second;
    };
    if (a.Flag("json")) {
        Json j;
        j.BeginObject();
        j.Key("kind").Str("hcl");
        j.Key("count").Int(lib.Count());
        j.Key("use_transparent").Bool(lib.UseTransparent);
        j.Key("tag").Int(lib.Tag);
        j.Key("left").Int(lib.DesignLeft);
        j.Key("top").Int(lib.DesignTop);
        j.Key("items").BeginArray();
        for (int i = 0; i < lib.Count(); ++i) {
            auto* item = lib.Images()->Items(i);
            const Row row = rowOf(item);
            j.BeginObject();
            j.Key("index").Int(i);
            j.Key("name").Str(item->Name());
            j.Key("picture").Str(row.picture);
            j.Key("width").Int(row.width);
            j.Key("height").Int(row.height);
            if (row.sha)
                j.Key("data_sha256").Str(*row.sha);
            else
                j.Key("data_sha256").Null();
            j.EndObject();
        }
        j.EndArray();
        j.EndObject();
        std::printf("%s\n", j.Text().c_str());
        return kOk;
    }
    std::printf("hi-colour image library: %d image%s, UseTransparent %s, Tag %d, Left %d, Top %d\n", lib.Count(),
                lib.Count() == 1 ? "" : "s", lib.UseTransparent ? "true" : "false", lib.Tag, lib.DesignLeft,
                lib.DesignTop);
    if (lib.Count()) std::printf("%5s  %-20s  %-8s  %11s  %s\n", "index", "name", "picture", "size", "sha256");
    for (int i = 0; i < lib.Count(); ++i) {
        auto* item = lib.Images()->Items(i);
        const Row row = rowOf(item);
        std::string size = std::to_string(row.width) + "x" + std::to_string(row.height);
        std::string sha = row.sha ? row.sha->substr(0, 16) : "-";
        std::printf("%5d  %-20s  %-8s  %11s  %s\n", i, Shown(item->Name()).c_str(),
                    row.picture.c_str(), size.c_str(), sha.c_str());
    }
    return kOk;
}

int Roundtrip(const Args&, const std::string& in, const std::string& out) {
    qvx::TQVXHiColorImagelib lib(nullptr);
    const tk::TReadHooks hooks = NameFromFile(lib);
    Load(lib, in, hooks);
    About(out, [&] { lib.SaveToFile(out); });
    return kOk;
}

int Extract(const Args&, const std::string& in, const std::string& dir) {
    qvx::TQVXHiColorImagelib lib(nullptr);
    // The whole file is read and checked before anything is written. Each
    // item's stored picture is kept as the reader passes it, and the decoded
    // one let go.
    struct Stored {
        Payload p;
        std::vector<uint8_t> bytes;
    };
    std::map<const tk::TPersistent*, Stored> stored;
    const tk::TPersistent* pendingItem = nullptr;
    Stored pending;
    tk::TReadHooks hooks = NameFromFile(lib);
    hooks.Binary = [&](tk::TPersistent& owner, const std::string& path, const uint8_t* data, size_t size) {
        if (!dynamic_cast<qvx::TQVXImageItem*>(&owner) || !tk::SameText(path, "Image.Data")) return;
        pendingItem = &owner;
        pending.p = Split(data, size);
        pending.bytes.assign(pending.p.data, pending.p.data + (pending.p.data ? pending.p.size : 0));
        pending.p.data = pending.p.data ? pending.bytes.data() : nullptr;
    };
    hooks.ItemRead = [&](tk::TCollectionItem& item) {
        auto* image = dynamic_cast<qvx::TQVXImageItem*>(&item);
        if (!image) return;
        Stored& s = stored[&item] = Stored{};
        if (pendingItem == &item) s = std::move(pending);
        pendingItem = nullptr;
        pending = Stored{};
        image->Image().Clear();
    };
    Load(lib, in, hooks);
    for (size_t i = 0; i < static_cast<size_t>(lib.Count()); ++i) {
        const qvx::TQVXImageItem* item = lib.Images()->Items(static_cast<int>(i));
        auto found = stored.find(item);
        const Payload p = found == stored.end() ? Payload{} : found->second.p;
        const std::string& name = item->Name();
        std::string ext;
        if (p.kind == "bitmap") ext = ".bmp";
        else if (p.kind == "jpeg") ext = ".jpg";
        else if (p.kind == "icon") ext = ".ico";
        else if (p.kind == "metafile") ext = p.size >= 44 && std::string(reinterpret_cast<const char*>(p.data) + 40, 4) == " EMF" ? ".emf" : ".wmf";
        if (ext.empty() || !p.data) {
            std::fprintf(stderr, "item %zu (%s) has no picture; skipped\n", i, Shown(name).c_str());
            continue;
        }
        std::string path = (std::filesystem::path(dir) / ItemFileName(static_cast<int>(i), name, ext)).string();
        SaveOutput(path,
                   [&](tk::TStream& s) { s.WriteBuffer(p.data, static_cast<int64_t>(p.size)); });
        PrintWritten(path);
    }
    return kOk;
}

int Create(const Args& a, const std::string& out, const std::vector<std::string>& inputs) {
    const auto& names = a.Options("name");
    if (names.size() > inputs.size()) throw UsageError{"more --name values than pictures"};
    qvx::TQVXHiColorImagelib lib(nullptr);
    lib.SetName("QVXHiColorImagelib1");
    lib.DesignLeft = 208;
    lib.DesignTop = 72;
    for (size_t i = 0; i < inputs.size(); ++i) {
        tk::TPicture pic;
        About(inputs[i], [&] { pic.LoadFromFile(inputs[i]); });
        auto* item = lib.Images()->Add();
        item->SetImage(pic);
        // Named as the editor's add names it, unless a name was given.
        item->SetName(i < names.size() ? names[i] : "Image" + std::to_string(lib.Count()));
    }
    About(out, [&] { lib.SaveToFile(out); });
    PrintCount(lib.Count(), "image", out);
    return kOk;
}

// What drawing the picture would run into, or nothing. JPEG pixels are
// decoded through libjpeg (damaged data counts, though drawing shows what
// decoded); icons and metafiles are decoded from their stored bytes.
std::string DecodeProblem(const tk::TPicture& picture) {
    tk::TGraphic* g = picture.Graphic();
    if (!g || g->Empty()) return "No picture (empty, or of a kind this program does not know)";
    if (auto* jpeg = dynamic_cast<tk::TJPEGImage*>(g)) {
        int warning = 0;
        const QImage image = tk::jpeg::Decode(jpeg->Bytes().data(), jpeg->Bytes().size(), &warning);
        if (warning != 0) return tk::Format("JPEG data is damaged (libjpeg warning #%d)", warning);
        if (image.width() != jpeg->Width() || image.height() != jpeg->Height())
            return tk::Format("JPEG decodes to %d x %d, its header says %d x %d", image.width(), image.height(),
                              jpeg->Width(), jpeg->Height());
    } else if (auto* bitmap = dynamic_cast<tk::TBitmap*>(g)) {
        if (bitmap->Image().isNull()) return tk::msg::SInvalidBitmap;
    } else if (auto* icon = dynamic_cast<tk::TIcon*>(g)) {
        QByteArray raw(reinterpret_cast<const char*>(icon->Bytes().data()),
                       static_cast<qsizetype>(icon->Bytes().size()));
        QBuffer buffer(&raw);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer, "ico");
        if (reader.read().isNull()) return tk::msg::SInvalidIcon;
    } else if (auto* metafile = dynamic_cast<tk::TMetafile*>(g)) {
        const tk::mf::Info info = tk::mf::Parse(metafile->Bytes().data(), metafile->Bytes().size());
        if (info.width <= 0 || info.height <= 0) return tk::msg::SInvalidMetafile;
    }
    return {};
}

void Verify(const std::string& file, Problems& problems) {
    // The library's own load first: what it refuses is a problem even when
    // every picture below decodes.
    std::string loadError;
    {
        // Messages name the library as the file does, as info's do.
        qvx::TQVXHiColorImagelib lib(nullptr);
        const tk::TReadHooks hooks = NameFromFile(lib);
        try {
            lib.LoadFromFile(file, &hooks);
        } catch (const tk::Exception& e) {
            loadError = ErrorText(e);
        }
    }
    // Then each item's picture from its own block, so one broken picture
    // does not hide those after it.
    RawFile raw;
    try {
        raw = ReadRaw(file);
    } catch (const tk::Exception& e) {
        problems.push_back({{}, -1, {}, loadError.empty() ? e.Message() : loadError});
        return;
    }
    const size_t before = problems.size();
    for (size_t i = 0; i < raw.items.size(); ++i) {
        const int index = static_cast<int>(i);
        const std::string& name = raw.names[i];
        std::string message;
        if (raw.items[i].empty()) {
            message = "No picture";
        } else {
            try {
                tk::TPicture picture;
                tk::TPointerStream block(raw.items[i].data(), static_cast<int64_t>(raw.items[i].size()));
                picture.ReadPictureData(block, block.Size());
                message = WithJpegText(DecodeProblem(picture));
            } catch (const std::exception& e) {
                message = ErrorText(e);
            }
        }
        if (!message.empty()) problems.push_back({{}, index, name, message});
    }
    // A load failure that an item's problem explains is not told twice.
    if (!loadError.empty() && problems.size() == before) problems.push_back({{}, -1, {}, loadError});
}

const bool registered = RegisterKind({
    "hcl",
    "hi-colour image library (.HCL)",
    [](const std::vector<uint8_t>& h) { return h.size() >= 3 && h[0] == 0xFF && h[1] == 10 && h[2] == 0; },
    Info,
    Roundtrip,
    Extract,
    Create,
    "create hcl OUT PICTURE... [--name NAME]...   (pictures: .bmp .jpg .jpeg .ico .emf .wmf)",
    Verify,
});

}  // namespace
}  // namespace qvxlib
