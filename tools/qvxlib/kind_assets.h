// Helpers shared by the asset library kinds of qvxlib (iml, sdl, map).
#pragma once

#include <cctype>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "qvxlib.h"
#include "toolkit/streams.h"

namespace qvxlib::assets {

using Bytes = std::vector<uint8_t>;

inline void Put16(Bytes& b, uint16_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
inline void Put32(Bytes& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
inline void PutBytes(Bytes& b, const void* p, size_t n) {
    auto* s = static_cast<const uint8_t*>(p);
    b.insert(b.end(), s, s + n);
}
inline uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t Get32(const uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// A short name field of `field` bytes: length byte, characters, zeros.
inline void PutName(Bytes& b, const std::string& name, size_t field) {
    std::string n = name.substr(0, field - 1);
    b.push_back(static_cast<uint8_t>(n.size()));
    PutBytes(b, n.data(), n.size());
    b.insert(b.end(), field - 1 - n.size(), 0);
}

// An item's name from its file: the base name without extension, without
// the "<index>_" prefix extract puts in front, cut to maxChars.
inline std::string NameFromFile(const std::string& path, size_t maxChars) {
    std::string stem = std::filesystem::path(path).stem().string();
    size_t digits = 0;
    while (digits < stem.size() && std::isdigit(static_cast<unsigned char>(stem[digits]))) ++digits;
    if (digits > 0 && digits + 1 < stem.size() && stem[digits] == '_') stem = stem.substr(digits + 1);
    return stem.substr(0, maxChars);
}

// Writes a file beside its target and renames it into place when complete.
template <class Fn>
void WriteSafely(const std::string& path, Fn&& write) {
    tk::TSafeFileStream out(path);
    write(static_cast<tk::TStream&>(out));
    out.Commit();
}

inline std::string PathIn(const std::string& dir, const std::string& file) {
    return (std::filesystem::path(dir) / file).string();
}

// Reads a flat JSON object of string and integer values, as extract writes
// them beside map data. Strings keep their bytes: \u00XX gives the byte XX
// (how the writer escapes bytes that are not UTF-8), other escapes UTF-8.
// Integers are kept as their text. Raises tk::Exception on malformed input.
class FlatJson {
public:
    explicit FlatJson(const std::string& text, const std::string& what) : s_(text), what_(what) {
        Ws();
        Expect('{');
        Ws();
        if (Peek() == '}') return;
        for (;;) {
            Ws();
            std::string key = String();
            Ws();
            Expect(':');
            Ws();
            values_[key] = Peek() == '"' ? String() : Number();
            Ws();
            if (Peek() == ',') {
                ++i_;
                continue;
            }
            Expect('}');
            break;
        }
    }
    bool Has(const std::string& k) const { return values_.count(k) != 0; }
    std::string Get(const std::string& k) const {
        auto it = values_.find(k);
        return it == values_.end() ? std::string() : it->second;
    }

private:
    [[noreturn]] void Fail() const { throw tk::Exception("Malformed JSON in " + what_); }
    char Peek() const { return i_ < s_.size() ? s_[i_] : '\0'; }
    void Ws() {
        while (i_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[i_]))) ++i_;
    }
    void Expect(char c) {
        if (Peek() != c) Fail();
        ++i_;
    }
    unsigned Hex4() {
        if (i_ + 4 > s_.size()) Fail();
        unsigned v = 0;
        for (int k = 0; k < 4; ++k) {
            char c = s_[i_++];
            v <<= 4;
            if (c >= '0' && c <= '9') v |= c - '0';
            else if (c >= 'a' && c <= 'f') v |= c - 'a' + 10;
            else if (c >= 'A' && c <= 'F') v |= c - 'A' + 10;
            else Fail();
        }
        return v;
    }
    static void Utf8(std::string& out, unsigned cp) {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    std::string String() {
        Expect('"');
        std::string out;
        for (;;) {
            if (i_ >= s_.size()) Fail();
            char c = s_[i_++];
            if (c == '"') return out;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (i_ >= s_.size()) Fail();
            char e = s_[i_++];
            switch (e) {
                case '"': case '\\': case '/': out += e; break;
                case 'b': out += '\b'; break;
                case 'f': out += '\f'; break;
                case 'n': out += '\n'; break;
                case 'r': out += '\r'; break;
                case 't': out += '\t'; break;
                case 'u': {
                    unsigned cp = Hex4();
                    if (cp <= 0xFF) {
                        out += static_cast<char>(cp);
                    } else if (cp >= 0xD800 && cp < 0xDC00 && i_ + 6 <= s_.size() && s_[i_] == '\\' &&
                               s_[i_ + 1] == 'u') {
                        i_ += 2;
                        unsigned lo = Hex4();
                        if (lo < 0xDC00 || lo > 0xDFFF) Fail();
                        Utf8(out, 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00));
                    } else {
                        Utf8(out, cp);
                    }
                    break;
                }
                default: Fail();
            }
        }
    }
    std::string Number() {
        size_t start = i_;
        if (Peek() == '-') ++i_;
        while (std::isdigit(static_cast<unsigned char>(Peek()))) ++i_;
        if (i_ == start || (i_ == start + 1 && s_[start] == '-')) Fail();
        return s_.substr(start, i_ - start);
    }

    std::string s_;
    std::string what_;
    size_t i_ = 0;
    std::map<std::string, std::string> values_;
};

}  // namespace qvxlib::assets
