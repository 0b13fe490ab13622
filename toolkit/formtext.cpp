// Text to form data: the notation of formtext.h parsed and written through
// the toolkit's property stream writer.
#include "formtext.h"

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "formtext_names.h"
#include "propstream.h"
#include "streams.h"

namespace tk {

EParserError::EParserError(int line, int column, const std::string& what)
    : Exception(Format("Line %d, column %d: %s", line, column, what.c_str())),
      Line(line),
      Column(column) {}

namespace {

using namespace formtext;

// ---- text -> binary -------------------------------------------------------------

enum class Tok { End, Symbol, String, Integer, Float, Char };

struct Token {
    Tok kind = Tok::End;
    std::string text;  // symbol, number text, or the character
    int64_t integer = 0;
    char suffix = 0;       // float: 0 (extended), 's', 'c' or 'd'
    uint32_t maxCode = 0;  // string: its highest character code
    int line = 1, column = 1;
    size_t start = 0, end = 0;  // offsets of the token and just after it
};

class Lexer {
public:
    explicit Lexer(const std::string& text) : s_(text) {}

    const Token& Peek() {
        if (!peeked_) {
            next_ = Scan();
            peeked_ = true;
        }
        return next_;
    }
    Token Next() {
        Peek();
        peeked_ = false;
        return std::move(next_);
    }
    // True when the character right after the last token taken is `c`.
    bool Adjacent(char c) const { return !peeked_ && pos_ < s_.size() && s_[pos_] == c; }

    [[noreturn]] void Fail(const Token& at, const std::string& what) const {
        throw EParserError(at.line, at.column, what);
    }
    [[noreturn]] void FailHere(const std::string& what) const {
        throw EParserError(line_, Column(), what);
    }

    // The characters of a string token, appended to `out` (8-bit or
    // 16-bit units); the token was checked when it was scanned.
    template <class Out>
    void Decode(const Token& t, Out& out) const {
        using Unit = typename Out::value_type;
        size_t i = t.start;
        while (i < t.end) {
            if (s_[i] == '\'') {
                ++i;
                for (;;) {
                    const size_t quote = s_.find('\'', i);
                    for (; i < quote; ++i)
                        out.push_back(static_cast<Unit>(static_cast<uint8_t>(s_[i])));
                    if (quote + 1 < t.end && s_[quote + 1] == '\'') {
                        out.push_back(static_cast<Unit>('\''));
                        i = quote + 2;
                    } else {
                        i = quote + 1;
                        break;
                    }
                }
            } else {  // '#'
                ++i;
                const bool hex = s_[i] == '$';
                if (hex) ++i;
                uint32_t code = 0;
                for (; i < t.end && (hex ? IsHex(s_[i]) : IsDigit(s_[i])); ++i)
                    code = code * (hex ? 16 : 10) + static_cast<uint32_t>(HexValue(s_[i]));
                out.push_back(static_cast<Unit>(code));
            }
        }
    }

    // The hex digits of a binary block, after its '{', up to the '}'.
    std::vector<uint8_t> HexBlock() {
        std::vector<uint8_t> bytes;
        for (;;) {
            SkipBlank();
            if (pos_ >= s_.size()) FailHere("'}' expected");
            char c = s_[pos_];
            if (c == '}') {
                Advance();
                return bytes;
            }
            if (!IsHex(c)) FailHere("Invalid binary value");
            if (pos_ + 1 >= s_.size() || !IsHex(s_[pos_ + 1])) {
                Advance();
                FailHere("Invalid binary value");
            }
            bytes.push_back(static_cast<uint8_t>(HexValue(c) * 16 + HexValue(s_[pos_ + 1])));
            Advance();
            Advance();
        }
    }

private:
    int Column() const { return static_cast<int>(pos_ - lineStart_) + 1; }
    // A line ends at LF, CR LF or a CR alone.
    void Advance() {
        if (s_[pos_] == '\n' || (s_[pos_] == '\r' && At(pos_ + 1) != '\n')) {
            ++line_;
            lineStart_ = pos_ + 1;
        }
        ++pos_;
    }
    char At(size_t i) const { return i < s_.size() ? s_[i] : '\0'; }

    // Whitespace and // comments.
    void SkipBlank() {
        while (pos_ < s_.size()) {
            char c = s_[pos_];
            if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
                Advance();
            } else if (c == '/' && At(pos_ + 1) == '/') {
                while (pos_ < s_.size() && s_[pos_] != '\n') Advance();
            } else {
                break;
            }
        }
    }

    Token Scan() {
        SkipBlank();
        Token t;
        t.line = line_;
        t.column = Column();
        t.start = pos_;
        if (pos_ >= s_.size()) {
            t.end = pos_;
            return t;
        }
        char c = s_[pos_];
        if (IsAlpha(c)) {
            t.kind = Tok::Symbol;
            while (pos_ < s_.size() && (IsAlnum(s_[pos_]) || s_[pos_] == '.')) t.text += s_[pos_++];
            if (!IsName(t.text)) Fail(t, "Invalid name '" + t.text + "'");
        } else if (c == '\'' || c == '#') {
            StringToken(t);
        } else if (IsDigit(c) || c == '$' ||
                   (c == '-' && (IsDigit(At(pos_ + 1)) || At(pos_ + 1) == '$'))) {
            NumberToken(t);
        } else if (std::strchr("=:[](){}<>,+", c)) {
            t.kind = Tok::Char;
            t.text = std::string(1, c);
            Advance();
        } else {
            FailHere(c >= 32 && c < 127 ? Format("Invalid character '%c'", c)
                                        : Format("Invalid character #%d", static_cast<uint8_t>(c)));
        }
        t.end = pos_;
        return t;
    }

    // 'quoted' pieces and #code characters, adjacent to each other. Only
    // checked here; Decode() gives the characters.
    void StringToken(Token& t) {
        t.kind = Tok::String;
        for (;;) {
            char c = At(pos_);
            if (c == '\'') {
                const int quoteLine = line_, quoteColumn = Column();
                ++pos_;
                for (;;) {
                    // Plain characters up to the next quote or line end.
                    while (pos_ < s_.size() && s_[pos_] != '\'' && s_[pos_] != '\n' &&
                           s_[pos_] != '\r') {
                        if (static_cast<uint8_t>(s_[pos_]) > t.maxCode)
                            t.maxCode = static_cast<uint8_t>(s_[pos_]);
                        ++pos_;
                    }
                    if (pos_ >= s_.size() || s_[pos_] != '\'')
                        throw EParserError(quoteLine, quoteColumn, "Unterminated string");
                    if (At(pos_ + 1) != '\'') break;
                    pos_ += 2;
                    t.maxCode = std::max<uint32_t>(t.maxCode, '\'');
                }
                ++pos_;
            } else if (c == '#') {
                Advance();
                uint32_t code = 0;
                bool hex = At(pos_) == '$';
                if (hex) Advance();
                size_t digits = 0;
                while (hex ? IsHex(At(pos_)) : IsDigit(At(pos_))) {
                    code = code * (hex ? 16 : 10) + static_cast<uint32_t>(HexValue(s_[pos_]));
                    if (code > 0xFFFF) FailHere("Invalid character code");
                    Advance();
                    ++digits;
                }
                if (!digits) FailHere("Invalid character code");
                t.maxCode = std::max(t.maxCode, code);
            } else {
                return;
            }
        }
    }

    void NumberToken(Token& t) {
        size_t start = pos_;
        bool negative = s_[pos_] == '-';
        if (negative) Advance();
        if (At(pos_) == '$') {
            Advance();
            uint64_t v = 0;
            size_t digits = 0;
            while (IsHex(At(pos_))) {
                if (v >> 60) Fail(t, "Integer out of range");
                v = v * 16 + static_cast<uint64_t>(HexValue(s_[pos_]));
                Advance();
                ++digits;
            }
            if (!digits) FailHere("Invalid number");
            Integer(t, v, negative);
        } else {
            while (IsDigit(At(pos_))) Advance();
            bool isFloat = false;
            if (At(pos_) == '.' && IsDigit(At(pos_ + 1))) {
                isFloat = true;
                Advance();
                while (IsDigit(At(pos_))) Advance();
            }
            if ((At(pos_) | 0x20) == 'e' &&
                (IsDigit(At(pos_ + 1)) ||
                 ((At(pos_ + 1) == '+' || At(pos_ + 1) == '-') && IsDigit(At(pos_ + 2))))) {
                isFloat = true;
                Advance();
                Advance();
                while (IsDigit(At(pos_))) Advance();
            }
            t.text = s_.substr(start, pos_ - start);
            char sfx = static_cast<char>(At(pos_) | 0x20);
            if ((sfx == 's' || sfx == 'c' || sfx == 'd') && !IsAlnum(At(pos_ + 1))) {
                t.suffix = sfx;
                isFloat = true;
                Advance();
            }
            if (isFloat) {
                t.kind = Tok::Float;
                return;
            }
            uint64_t v = 0;
            for (size_t i = start + (negative ? 1 : 0); i < pos_; ++i) {
                if (v > (UINT64_MAX - 9) / 10) Fail(t, "Integer out of range");
                v = v * 10 + static_cast<uint64_t>(s_[i] - '0');
            }
            Integer(t, v, negative);
        }
        if (IsAlnum(At(pos_))) FailHere("Invalid number");
    }

    void Integer(Token& t, uint64_t magnitude, bool negative) {
        const uint64_t limit = negative ? uint64_t(INT64_MAX) + 1 : uint64_t(INT64_MAX);
        if (magnitude > limit) Fail(t, "Integer out of range");
        t.kind = Tok::Integer;
        t.integer =
            negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
    }

    const std::string& s_;
    size_t pos_ = 0, lineStart_ = 0;
    int line_ = 1;
    Token next_;
    bool peeked_ = false;
};

class TextReader {
public:
    TextReader(const std::string& text, TWriter& w) : lx_(text), w_(w) {}

    void Root() {
        w_.WriteSignature();
        Object(lx_.Next(), 0);
        const Token& t = lx_.Peek();
        if (t.kind != Tok::End) lx_.Fail(t, "End of text expected after the last 'end'");
    }

private:
    bool IsChar(const Token& t, char c) const { return t.kind == Tok::Char && t.text[0] == c; }
    bool IsWord(const Token& t, const char* w) const {
        return t.kind == Tok::Symbol && SameText(t.text, w);
    }

    Token Expect(char c) {
        Token t = lx_.Next();
        if (!IsChar(t, c)) Unexpected(t, Format("'%c' expected", c));
        return t;
    }
    [[noreturn]] void Unexpected(const Token& t, const std::string& what) {
        lx_.Fail(t, t.kind == Tok::End ? "Unexpected end of text (" + what + ")" : what);
    }
    // A name for the binary short string; ident: no dots allowed.
    std::string Name(const Token& t, bool dotted, const char* what) {
        if (t.kind != Tok::Symbol || (!dotted && t.text.find('.') != std::string::npos))
            Unexpected(t, what);
        if (t.text.size() > 255) lx_.Fail(t, "Name longer than 255 characters");
        return t.text;
    }
    void Nest(const Token& at, int depth) {
        if (depth > kMaxValueNesting) lx_.Fail(at, "Nesting too deep");
    }
    // A keyword starts an object (or ends one) unless it is a property
    // name, which '=' follows.
    bool Keyword(const Token& t, bool (*match)(const std::string&)) {
        return t.kind == Tok::Symbol && match(t.text) && !IsChar(lx_.Peek(), '=');
    }
    static bool IsEnd(const std::string& s) { return SameText(s, "end"); }

    void Object(const Token& kw, int depth) {
        if (kw.kind != Tok::Symbol || !IsObjectWord(kw.text)) Unexpected(kw, "'object' expected");
        Nest(kw, depth);
        uint8_t flags = SameText(kw.text, "inline")      ? ffInline
                        : SameText(kw.text, "inherited") ? ffInherited
                                                         : 0;
        Token clsTok = lx_.Next();
        std::string name, cls = Name(clsTok, false, "Class name expected");
        if (IsChar(lx_.Peek(), ':')) {
            lx_.Next();
            name = cls;
            clsTok = lx_.Next();
            cls = Name(clsTok, false, "Class name expected");
        }
        // A class name's length byte comes first in an object without flags;
        // 240 and above would read back as a flags byte.
        if (cls.size() >= 0xF0) lx_.Fail(clsTok, "Class name longer than 239 characters");
        int64_t childPos = 0;
        if (IsChar(lx_.Peek(), '[')) {
            lx_.Next();
            Token n = lx_.Next();
            if (n.kind != Tok::Integer || n.integer < INT32_MIN || n.integer > INT32_MAX)
                Unexpected(n, "Integer expected");
            childPos = n.integer;
            Expect(']');
            flags |= ffChildPos;
        }
        if (flags) {
            const uint8_t prefix = static_cast<uint8_t>(0xF0 | flags);
            w_.WriteRaw(&prefix, 1);
            if (flags & ffChildPos) w_.WriteInteger(childPos);
        }
        w_.WriteStr(cls);
        w_.WriteStr(name);
        bool propsEnded = false;
        for (;;) {
            Token t = lx_.Next();
            if (t.kind == Tok::End) Unexpected(t, "'end' expected");
            if (Keyword(t, IsEnd)) break;
            if (Keyword(t, IsObjectWord)) {
                if (!propsEnded) w_.WriteListEnd();
                propsEnded = true;
                Object(t, depth + 1);
                continue;
            }
            if (propsEnded) Unexpected(t, "'end' expected (properties come before child objects)");
            Property(t, depth);
        }
        if (!propsEnded) w_.WriteListEnd();
        w_.WriteListEnd();
    }

    void Property(const Token& nameTok, int depth) {
        w_.WriteStr(Name(nameTok, true, "Property name expected"));
        Expect('=');
        Value(depth);
    }

    // String pieces joined by '+', appended to `out` as they come (each
    // character is looked at once); codes above `maxCode` are refused.
    template <class Out>
    void StringValue(Token piece, uint32_t maxCode, Out& out) {
        for (;;) {
            if (piece.maxCode > maxCode) lx_.Fail(piece, "Invalid character code");
            lx_.Decode(piece, out);
            if (!IsChar(lx_.Peek(), '+')) return;
            lx_.Next();
            piece = lx_.Next();
            if (piece.kind != Tok::String) Unexpected(piece, "String expected");
        }
    }

    void TypedString(const Token& typeTok) {
        const bool wide = SameText(typeTok.text, "WideString");
        Expect('(');
        Token s = lx_.Next();
        if (s.kind != Tok::String) Unexpected(s, "String expected");
        auto write = [&](const auto& units, size_t unitSize) {
            Expect(')');
            if (units.size() > UINT32_MAX) lx_.Fail(typeTok, "String too long");
            w_.WriteValue(wide ? TValueType::vaWString : TValueType::vaUTF8String);
            const uint32_t n = static_cast<uint32_t>(units.size());
            w_.WriteRaw(&n, 4);
            w_.WriteRaw(units.data(), units.size() * unitSize);
        };
        if (wide) {
            std::u16string units;
            StringValue(std::move(s), 0xFFFF, units);
            write(units, 2);
        } else {
            std::string units;
            StringValue(std::move(s), 0xFF, units);
            write(units, 1);
        }
    }

    void FloatValue(const Token& t) {
        const char* s = t.text.c_str();
        char* end = nullptr;
        switch (t.suffix) {
            case 0: {
                long double v = std::strtold(s, &end);
                if (!std::isfinite(v)) lx_.Fail(t, "Number out of range");
                w_.WriteValue(TValueType::vaExtended);
                w_.WriteRaw(&v, 10);
                return;
            }
            case 's': {
                float v = std::strtof(s, &end);
                if (!std::isfinite(v)) lx_.Fail(t, "Number out of range");
                w_.WriteValue(TValueType::vaSingle);
                w_.WriteRaw(&v, 4);
                return;
            }
            case 'd': {
                double v = std::strtod(s, &end);
                if (!std::isfinite(v)) lx_.Fail(t, "Number out of range");
                w_.WriteValue(TValueType::vaDate);
                w_.WriteRaw(&v, 8);
                return;
            }
            case 'c': {
                // Exact fixed point: at most four decimals, no exponent.
                std::string txt = t.text;
                bool negative = !txt.empty() && txt[0] == '-';
                if (negative) txt.erase(0, 1);
                if (txt.find_first_of("eE") != std::string::npos)
                    lx_.Fail(t, "Invalid currency value");
                std::string whole = txt.substr(0, txt.find('.')), frac;
                if (auto dot = txt.find('.'); dot != std::string::npos) frac = txt.substr(dot + 1);
                if (frac.size() > 4) lx_.Fail(t, "Invalid currency value");
                frac.append(4 - frac.size(), '0');
                uint64_t v = 0;
                for (char c : whole + frac) {
                    if (v > (UINT64_MAX - 9) / 10) lx_.Fail(t, "Number out of range");
                    v = v * 10 + static_cast<uint64_t>(c - '0');
                }
                if (v > (negative ? uint64_t(INT64_MAX) + 1 : uint64_t(INT64_MAX)))
                    lx_.Fail(t, "Number out of range");
                int64_t x = negative ? static_cast<int64_t>(0 - v) : static_cast<int64_t>(v);
                w_.WriteValue(TValueType::vaCurrency);
                w_.WriteRaw(&x, 8);
                return;
            }
        }
    }

    void Value(int depth) {
        Token t = lx_.Next();
        Nest(t, depth);
        switch (t.kind) {
            case Tok::End:
                Unexpected(t, "Value expected");
            case Tok::Integer:
                w_.WriteInteger(t.integer);
                return;
            case Tok::Float:
                FloatValue(t);
                return;
            case Tok::String: {
                const Token start = t;
                std::string units;
                StringValue(std::move(t), 0xFF, units);
                if (units.size() > UINT32_MAX) lx_.Fail(start, "String too long");
                w_.WriteString(units);
                return;
            }
            case Tok::Symbol:
                if ((SameText(t.text, "WideString") || SameText(t.text, "UTF8String")) &&
                    lx_.Adjacent('(')) {
                    TypedString(t);
                } else if (SameText(t.text, "True") || SameText(t.text, "False")) {
                    w_.WriteBoolean(SameText(t.text, "True"));
                } else if (SameText(t.text, "nil")) {
                    w_.WriteValue(TValueType::vaNil);
                } else {
                    w_.WriteIdent(Name(t, true, "Value expected"));
                }
                return;
            case Tok::Char:
                break;
        }
        switch (t.text[0]) {
            case '[': {
                w_.WriteValue(TValueType::vaSet);
                if (IsChar(lx_.Peek(), ']')) {
                    lx_.Next();
                } else {
                    for (;;) {
                        w_.WriteStr(Name(lx_.Next(), true, "Identifier expected"));
                        Token sep = lx_.Next();
                        if (IsChar(sep, ']')) break;
                        if (!IsChar(sep, ',')) Unexpected(sep, "',' or ']' expected");
                    }
                }
                w_.WriteStr("");
                return;
            }
            case '(':
                w_.WriteValue(TValueType::vaList);
                while (!IsChar(lx_.Peek(), ')')) Value(depth + 1);
                lx_.Next();
                w_.WriteListEnd();
                return;
            case '{': {
                auto bytes = lx_.HexBlock();
                w_.WriteValue(TValueType::vaBinary);
                uint32_t n = static_cast<uint32_t>(bytes.size());
                w_.WriteRaw(&n, 4);
                w_.WriteRaw(bytes.data(), bytes.size());
                return;
            }
            case '<':
                w_.WriteValue(TValueType::vaCollection);
                for (;;) {
                    Token it = lx_.Next();
                    if (IsChar(it, '>')) break;
                    if (!IsWord(it, "item")) Unexpected(it, "'item' or '>' expected");
                    Nest(it, depth + 1);
                    if (IsChar(lx_.Peek(), '[')) {
                        lx_.Next();
                        Token n = lx_.Next();
                        if (n.kind != Tok::Integer || n.integer < INT32_MIN ||
                            n.integer > INT32_MAX)
                            Unexpected(n, "Integer expected");
                        w_.WriteInteger(n.integer);
                        Expect(']');
                    }
                    w_.WriteListBegin();
                    for (;;) {
                        Token p = lx_.Next();
                        if (p.kind == Tok::End) Unexpected(p, "'end' expected");
                        if (Keyword(p, IsEnd)) break;
                        Property(p, depth + 1);
                    }
                    w_.WriteListEnd();
                }
                w_.WriteListEnd();
                return;
        }
        Unexpected(t, "Value expected");
    }

    Lexer lx_;
    TWriter& w_;
};

}  // namespace

void ObjectTextToBinary(const std::string& text, TStream& output) {
    TWriter w(output);
    TextReader(text, w).Root();
    w.Flush();
}

std::vector<uint8_t> FormTextToData(const std::string& text, const std::string& resourceName) {
    TMemoryStream out;
    int64_t lengthOffset = resourceName.empty() ? -1 : WriteResourceHeader(out, resourceName);
    ObjectTextToBinary(text, out);
    if (lengthOffset >= 0) FixupResourceHeader(out, lengthOffset);
    return out.TakeBytes();
}

}  // namespace tk
