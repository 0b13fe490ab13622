// Form data to text: the binary property stream read through the
// toolkit's bounded reader and written in the notation of formtext.h.
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "formtext.h"
#include "formtext_names.h"
#include "propstream.h"
#include "streams.h"

static_assert(LDBL_MANT_DIG == 64, "Extended values are held in an 80-bit long double");

namespace tk {

namespace {

using namespace formtext;

constexpr int kHexBytesPerLine = 32;
constexpr size_t kStringPiece = 64;

[[noreturn]] void BadValue() {
    throw EReadError(msg::SInvalidPropertyValue);
}

// The shortest decimal form that reads back as exactly `v`.
template <class F>
std::string ShortestText(F v, int maxDigits, F (*parse)(const char*, char**)) {
    char buf[64];
    for (int digits = 1; digits <= maxDigits; ++digits) {
        std::snprintf(buf, sizeof buf, "%.*Lg", digits, static_cast<long double>(v));
        F back = parse(buf, nullptr);
        // An 80-bit long double carries 6 padding bytes.
        if (std::memcmp(&back, &v, sizeof(F) == 16 ? 10 : sizeof(F)) == 0) return buf;
    }
    return {};
}

long double ParseLongDouble(const char* s, char** end) {
    return std::strtold(s, end);
}
double ParseDouble(const char* s, char** end) {
    return std::strtod(s, end);
}
float ParseFloat(const char* s, char** end) {
    return std::strtof(s, end);
}

class TextWriter {
public:
    TextWriter(TReader& reader, std::string& out) : r_(reader), out_(out) {}

    void Object(int indent, int depth) {
        if (depth > kMaxValueNesting) throw EFilerError(msg::SInvalidImage);
        uint8_t flags;
        int64_t childPos;
        r_.ReadPrefix(flags, childPos);
        const std::string cls = r_.ReadStr();
        const std::string name = r_.ReadStr();
        if (!IsName(cls) || cls.find('.') != std::string::npos) BadValue();
        if (!name.empty() && (!IsName(name) || name.find('.') != std::string::npos)) BadValue();
        Indent(indent);
        out_ += (flags & ffInline) ? "inline " : (flags & ffInherited) ? "inherited " : "object ";
        if (!name.empty()) out_ += name + ": ";
        out_ += cls;
        if (flags & ffChildPos) out_ += " [" + std::to_string(childPos) + "]";
        out_ += '\n';
        Properties(indent + 2, depth);
        while (!r_.EndOfList()) Object(indent + 2, depth + 1);
        r_.ReadListEnd();
        Indent(indent);
        out_ += "end\n";
    }

private:
    void Indent(int n) { out_.append(static_cast<size_t>(n), ' '); }

    void Properties(int indent, int depth) {
        while (!r_.EndOfList()) {
            const std::string name = r_.ReadStr();
            if (!IsName(name)) BadValue();
            Indent(indent);
            out_ += name + " = ";
            Value(indent, depth);
            out_ += '\n';
        }
        r_.ReadListEnd();
    }

    template <class T>
    T Raw() {
        T v;
        r_.Read(&v, sizeof v);
        return v;
    }

    // Reads `count` units of `unit` bytes after checking they are there.
    template <class T>
    std::vector<T> Units(uint32_t count) {
        if (int64_t(count) * int64_t(sizeof(T)) > r_.Remaining()) throw EReadError(msg::SReadError);
        std::vector<T> v(count);
        if (count) r_.Read(v.data(), int64_t(count) * int64_t(sizeof(T)));
        return v;
    }

    // Quoted text: printable ASCII inside quotes, every other unit as #n,
    // long texts split into pieces joined by '+'.
    template <class T>
    void Quoted(const std::vector<T>& units, int indent) {
        if (units.empty()) {
            out_ += "''";
            return;
        }
        for (size_t start = 0; start < units.size(); start += kStringPiece) {
            if (start) {
                out_ += " +\n";
                Indent(indent + 2);
            }
            bool open = false;
            for (size_t i = start; i < std::min(units.size(), start + kStringPiece); ++i) {
                const uint32_t c = static_cast<uint32_t>(units[i]);
                if (c >= 32 && c < 127) {
                    if (!open) out_ += '\'';
                    open = true;
                    out_ += static_cast<char>(c);
                    if (c == '\'') out_ += '\'';
                } else {
                    if (open) out_ += '\'';
                    open = false;
                    out_ += '#' + std::to_string(c);
                }
            }
            if (open) out_ += '\'';
        }
    }

    void Float(const std::string& text, const char* suffix) {
        if (text.empty()) BadValue();  // not a finite number the text can carry
        out_ += text;
        if (!*suffix && text.find_first_of(".e") == std::string::npos) out_ += ".0";
        out_ += suffix;
    }

    void Value(int indent, int depth) {
        if (depth > kMaxValueNesting) throw EFilerError(msg::SInvalidImage);
        const TValueTypeInfo* info = FindValueType(static_cast<uint8_t>(r_.ReadValue()));
        if (!info) BadValue();
        switch (info->Type) {
            case TValueType::vaNull:
                BadValue();
            case TValueType::vaInt8:
                out_ += std::to_string(Raw<int8_t>());
                return;
            case TValueType::vaInt16:
                out_ += std::to_string(Raw<int16_t>());
                return;
            case TValueType::vaInt32:
                out_ += std::to_string(Raw<int32_t>());
                return;
            case TValueType::vaInt64:
                out_ += std::to_string(Raw<int64_t>());
                return;
            case TValueType::vaExtended: {
                long double v = 0;
                r_.Read(&v, 10);
                Float(std::isfinite(v) ? ShortestText<long double>(v, 21, ParseLongDouble) : "",
                      "");
                return;
            }
            case TValueType::vaSingle: {
                float v = Raw<float>();
                Float(std::isfinite(v) ? ShortestText<float>(v, 9, ParseFloat) : "", "s");
                return;
            }
            case TValueType::vaDate: {
                double v = Raw<double>();
                Float(std::isfinite(v) ? ShortestText<double>(v, 17, ParseDouble) : "", "d");
                return;
            }
            case TValueType::vaCurrency: {
                // Fixed point with four decimals, written exactly.
                int64_t v = Raw<int64_t>();
                uint64_t a = v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
                std::string frac = std::to_string(a % 10000);
                frac.insert(0, 4 - frac.size(), '0');
                while (!frac.empty() && frac.back() == '0') frac.pop_back();
                out_ += (v < 0 ? "-" : "") + std::to_string(a / 10000) +
                        (frac.empty() ? "" : "." + frac) + "c";
                return;
            }
            case TValueType::vaString:
                Quoted(Units<uint8_t>(Raw<uint8_t>()), indent);
                return;
            case TValueType::vaLString:
                Quoted(Units<uint8_t>(Raw<uint32_t>()), indent);
                return;
            case TValueType::vaUTF8String:
                out_ += "UTF8String(";
                Quoted(Units<uint8_t>(Raw<uint32_t>()), indent);
                out_ += ')';
                return;
            case TValueType::vaWString:
                out_ += "WideString(";
                Quoted(Units<uint16_t>(Raw<uint32_t>()), indent);
                out_ += ')';
                return;
            case TValueType::vaIdent: {
                std::string id = r_.ReadStr();
                if (!IsName(id) || IsValueWord(id)) BadValue();
                out_ += id;
                return;
            }
            case TValueType::vaFalse:
                out_ += "False";
                return;
            case TValueType::vaTrue:
                out_ += "True";
                return;
            case TValueType::vaNil:
                out_ += "nil";
                return;
            case TValueType::vaBinary: {
                auto bytes = Units<uint8_t>(Raw<uint32_t>());
                static const char hex[] = "0123456789ABCDEF";
                out_ += '{';
                for (size_t i = 0; i < bytes.size(); ++i) {
                    if (i % kHexBytesPerLine == 0) {
                        out_ += '\n';
                        Indent(indent + 2);
                    }
                    out_ += hex[bytes[i] >> 4];
                    out_ += hex[bytes[i] & 15];
                }
                out_ += '}';
                return;
            }
            case TValueType::vaSet: {
                out_ += '[';
                for (bool first = true;; first = false) {
                    std::string n = r_.ReadStr();
                    if (n.empty()) break;
                    if (!IsName(n)) BadValue();
                    out_ += (first ? "" : ", ") + n;
                }
                out_ += ']';
                return;
            }
            case TValueType::vaList:
                out_ += '(';
                while (!r_.EndOfList()) {
                    out_ += '\n';
                    Indent(indent + 2);
                    Value(indent + 2, depth + 1);
                }
                r_.ReadListEnd();
                out_ += ')';
                return;
            case TValueType::vaCollection:
                out_ += '<';
                while (!r_.EndOfList()) {
                    out_ += '\n';
                    Indent(indent + 2);
                    out_ += "item";
                    TValueType t = r_.NextValue();
                    if (t == TValueType::vaInt8 || t == TValueType::vaInt16 ||
                        t == TValueType::vaInt32)
                        out_ += " [" + std::to_string(r_.ReadInteger()) + "]";
                    out_ += '\n';
                    r_.ReadListBegin();
                    Properties(indent + 4, depth + 1);
                    Indent(indent + 2);
                    out_ += "end";
                }
                r_.ReadListEnd();
                out_ += '>';
                return;
        }
        BadValue();
    }

    TReader& r_;
    std::string& out_;
};

}  // namespace

namespace {

// Reads the object; a failure names the byte of `input` where it happened,
// counted from `base`.
void BinaryToText(TStream& input, std::string& output, int64_t base) {
    TReader r(input);
    try {
        r.ReadSignature();
        TextWriter(r, output).Object(0, 0);
    } catch (const EReadError& e) {
        throw EReadError(Format("%s at byte %lld", e.Message().c_str(),
                                static_cast<long long>(base + r.Position())));
    } catch (const EFilerError& e) {
        throw EFilerError(Format("%s at byte %lld", e.Message().c_str(),
                                 static_cast<long long>(base + r.Position())));
    }
}

}  // namespace

void ObjectBinaryToText(TStream& input, std::string& output) {
    BinaryToText(input, output, 0);
}

std::string FormDataToText(const std::vector<uint8_t>& data) {
    int64_t start = 0, length = static_cast<int64_t>(data.size());
    if (!data.empty() && data[0] == 0xFF) {
        TPointerStream head(data.data(), length);
        ReadResourceHeader(head);
        start = head.Position();
        uint32_t body;
        std::memcpy(&body, data.data() + start - 4, 4);
        if (body > length - start)
            throw EReadError(
                Format("%s at byte %lld (the resource header promises %u bytes; %lld follow)",
                       msg::SReadError, static_cast<long long>(start - 4), body,
                       static_cast<long long>(length - start)));
        length = body;
    }
    TPointerStream body(data.data() + start, length);
    std::string text;
    BinaryToText(body, text, start);
    return text;
}

}  // namespace tk
