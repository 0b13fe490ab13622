#include <cstdio>
#include <cstdlib>

#include "qvxlib.h"

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

static bool Utf8Seq(const std::string& s, size_t i, size_t& len) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    size_t n = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 && c < 0xE0 ? 2 : 0;
    if (n == 0 || i + n > s.size()) return false;
    for (size_t k = 1; k < n; ++k)
        if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    len = n;
    return true;
}

std::string JsonEscape(const std::string& s) {
    std::string out = "\"";
    for (size_t i = 0; i < s.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        switch (c) {
            case '"': out += "\\\""; continue;
            case '\\': out += "\\\\"; continue;
            case '\n': out += "\\n"; continue;
            case '\r': out += "\\r"; continue;
            case '\t': out += "\\t"; continue;
            default: break;
        }
        if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            size_t len = 0;
            if (Utf8Seq(s, i, len)) {
                out.append(s, i, len);
                i += len - 1;
            } else {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            }
        }
    }
    out += '"';
    return out;
}

void Json::Sep() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (!first_.empty()) {
        if (!first_.back()) out_ += ", ";
        first_.back() = false;
    }
}

Json& Json::BeginObject() {
    Sep();
    out_ += '{';
    first_.push_back(true);
    return *this;
}
Json& Json::EndObject() {
    out_ += '}';
    first_.pop_back();
    return *this;
}
Json& Json::BeginArray() {
    Sep();
    out_ += '[';
    first_.push_back(true);
    return *this;
}
Json& Json::EndArray() {
    out_ += ']';
    first_.pop_back();
    return *this;
}
Json& Json::Key(const std::string& k) {
    Sep();
    out_ += JsonEscape(k) + ": ";
    afterKey_ = true;
    return *this;
}
Json& Json::Str(const std::string& s) {
    Sep();
    out_ += JsonEscape(s);
    return *this;
}
Json& Json::Int(int64_t v) {
    Sep();
    out_ += std::to_string(v);
    return *this;
}
Json& Json::Bool(bool v) {
    Sep();
    out_ += v ? "true" : "false";
    return *this;
}
Json& Json::Null() {
    Sep();
    out_ += "null";
    return *this;
}

}  // namespace qvxlib
