#include <cstdio>
#include <cstdlib>

#include <nlohmann/json.hpp>

#include "qvxlib.h"
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
