#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "qvxlib.h"
#include "toolkit/fileio.h"
#include "toolkit/jpegcodec.h"
#include "toolkit/names.h"

namespace qvxlib {

bool Args::Flag(const std::string& f) const {
    for (auto& x : flags)
        if (x == f) return true;
    return false;
}

std::optional<std::string> Args::Option(const std::string& o) const {
    auto it = options.find(o);
    if (it == options.end() || it->second.empty()) return std::nullopt;
    return it->second.back();
}

const std::vector<std::string>& Args::Options(const std::string& o) const {
    static const std::vector<std::string> none;
    auto it = options.find(o);
    return it == options.end() ? none : it->second;
}

int Args::IntOption(const std::string& o, int def) const {
    auto v = Option(o);
    if (!v) return def;
    char* end = nullptr;
    long n = std::strtol(v->c_str(), &end, 10);
    if (v->empty() || *end != '\0' || n < INT32_MIN || n > INT32_MAX)
        throw UsageError{"--" + o + " needs a whole number, not \"" + *v + "\""};
    return static_cast<int>(n);
}

static std::vector<KindHandler>& Registry() {
    static std::vector<KindHandler> kinds;
    return kinds;
}

bool RegisterKind(KindHandler handler) {
    Registry().push_back(std::move(handler));
    return true;
}

const std::vector<KindHandler>& Kinds() { return Registry(); }

const KindHandler* FindKind(const std::string& name) {
    for (auto& k : Registry())
        if (k.name == name) return &k;
    return nullptr;
}

std::vector<uint8_t> ReadHead(const std::string& file) {
    tk::TFileStream in(file, tk::fmOpenRead);
    std::vector<uint8_t> head(64);
    head.resize(static_cast<size_t>(std::max<int64_t>(0, in.Read(head.data(), 64))));
    return head;
}

const KindHandler* DetectKind(const std::vector<uint8_t>& head) {
    for (auto& k : Kinds())
        if (k.detect && k.detect(head)) return &k;
    return nullptr;
}

std::string WithArticle(const std::string& description) {
    const bool vowel = !description.empty() && std::strchr("aeiouAEIOU", description[0]);
    return (vowel ? "an " : "a ") + description;
}

std::string ErrorText(const std::exception& e) {
    if (auto* io = dynamic_cast<const tk::EInOutError*>(&e)) {
        // The run-time's own codes keep its texts; any other system error
        // says what it is instead of "I/O error 40".
        if (io->Message() == tk::Format(tk::msg::SInOutError, io->ErrorCode) && io->ErrorCode > 0 &&
            io->ErrorCode < 100)
            return std::strerror(io->ErrorCode);
    }
    if (auto* save = dynamic_cast<const tk::ESaveError*>(&e)) {
        const std::string why = save->ErrorCode == ENOENT ? "its folder does not exist"
                                                          : std::strerror(save->ErrorCode);
        return save->Message() + " (" + why + ")";
    }
    if (auto* fs = dynamic_cast<const std::filesystem::filesystem_error*>(&e))
        return fs->code().message();
    return WithJpegText(e.what());
}

std::string WithJpegText(const std::string& message) {
    int code = 0;
    if (std::sscanf(message.c_str(), "JPEG error #%d", &code) != 1 &&
        std::sscanf(message.c_str(), "JPEG data is damaged (libjpeg warning #%d", &code) != 1)
        return message;
    const std::string text = tk::jpeg::MessageText(code);
    return text.empty() ? message : message + ": " + text;
}

void RethrowAbout(const std::string& file, std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const ENamed&) {
        throw;
    } catch (const std::bad_alloc&) {
        throw ENamed(file + ": " + tk::msg::SOutOfMemory);
    } catch (const std::exception& e) {
        std::string text = ErrorText(e);
        if (auto* io = dynamic_cast<const tk::EInOutError*>(&e);
            io && io->ErrorCode == tk::ioFileNotFound) {
            const auto folder = std::filesystem::path(file).parent_path();
            std::error_code ec;
            if (!folder.empty() && !std::filesystem::is_directory(folder, ec))
                text += " (its folder does not exist)";
        }
        // "Cannot open file FILE" names it already.
        if (text.rfind(file + ": ", 0) == 0 ||
            (text.size() > file.size() &&
             text.compare(text.size() - file.size(), file.size(), file) == 0 &&
             text[text.size() - file.size() - 1] == ' '))
            throw ENamed(text);
        throw ENamed(file + ": " + text);
    } catch (...) {
        throw ENamed(file + ": Unknown error");
    }
}

void LoadNamingItem(const std::string& file, const char* item, const std::function<void()>& load,
                    const std::function<void(Problems&)>& walk) {
    try {
        load();
    } catch (const std::exception& e) {
        Problems found;
        try {
            walk(found);
        } catch (...) {
            found.clear();  // the load's own message is all there is
        }
        const std::string text = ErrorText(e);
        for (const Problem& p : found) {
            if (p.index < 0) continue;
            std::string at = tk::Format("%s %d", item, p.index);
            if (!p.name.empty()) at += " \"" + tk::NameToUtf8(p.name) + "\"";
            throw ENamed(file + ": " + at + ": " + p.message +
                         (p.message == text ? "" : ": " + text));
        }
        throw;
    }
}

void SaveOutput(const std::string& out, const std::function<void(tk::TStream&)>& write) {
    About(out, [&] {
        tk::TSafeFileStream s(out);
        write(s);
        s.Commit();
    });
}

std::string Shown(const std::string& nameBytes) {
    return tk::ShownText(tk::NameToUtf8(nameBytes));
}

void PrintWritten(const std::string& path) {
    std::printf("%s\n", tk::ShownText(path).c_str());
}

void PrintCount(int count, const char* item, const std::string& out) {
    std::printf("%d %s%s written to %s\n", count, item, count == 1 ? "" : "s",
                tk::ShownText(out).c_str());
}

std::string SafeFileName(const std::string& name) {
    std::string out;
    for (unsigned char c : name) {
        bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                  c == '_' || c == '.';
        out += ok ? static_cast<char>(c) : '_';
    }
    if (out.empty() || out.find_first_not_of('.') == std::string::npos) out = "unnamed";
    if (out.size() > 100) out.resize(100);
    return out;
}

std::string ItemFileName(int index, const std::string& name, const std::string& ext) {
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "%03d_", index);
    return prefix + SafeFileName(name) + ext;
}

// ---- JSON ---------------------------------------------------------------------

struct Json::Tree {
    nlohmann::ordered_json root;
    std::vector<nlohmann::ordered_json*> open;  // the containers being filled
    std::string key;

    void Put(nlohmann::ordered_json value) {
        nlohmann::ordered_json* at = nullptr;
        if (open.empty()) {
            root = std::move(value);
            at = &root;
        } else if (open.back()->is_array()) {
            open.back()->push_back(std::move(value));
            at = &open.back()->back();
        } else {
            at = &((*open.back())[key] = std::move(value));
        }
        if (at->is_structured()) open.push_back(at);
    }
};

Json::Json() : tree_(std::make_unique<Tree>()) {}
Json::~Json() = default;

Json& Json::BeginObject() {
    tree_->Put(nlohmann::ordered_json::object());
    return *this;
}
Json& Json::EndObject() {
    tree_->open.pop_back();
    return *this;
}
Json& Json::BeginArray() {
    tree_->Put(nlohmann::ordered_json::array());
    return *this;
}
Json& Json::EndArray() {
    tree_->open.pop_back();
    return *this;
}
Json& Json::Key(const std::string& k) {
    tree_->key = tk::NameToUtf8(k);
    return *this;
}
Json& Json::Str(const std::string& s) {
    tree_->Put(tk::NameToUtf8(s));
    return *this;
}
Json& Json::Int(int64_t v) {
    tree_->Put(v);
    return *this;
}
Json& Json::Bool(bool v) {
    tree_->Put(v);
    return *this;
}
Json& Json::Null() {
    tree_->Put(nullptr);
    return *this;
}

// The library's own text for each value, laid out with ", " and ": " as
// scripts reading our output have always seen it.
static void Print(const nlohmann::ordered_json& v, std::string& out) {
    if (v.is_object()) {
        out += '{';
        for (auto it = v.begin(); it != v.end(); ++it) {
            if (it != v.begin()) out += ", ";
            out += nlohmann::ordered_json(it.key()).dump();
            out += ": ";
            Print(it.value(), out);
        }
        out += '}';
    } else if (v.is_array()) {
        out += '[';
        for (auto it = v.begin(); it != v.end(); ++it) {
            if (it != v.begin()) out += ", ";
            Print(*it, out);
        }
        out += ']';
    } else {
        out += v.dump();
    }
}

std::string Json::Text() const {
    std::string out;
    Print(tree_->root, out);
    return out;
}

}  // namespace qvxlib
