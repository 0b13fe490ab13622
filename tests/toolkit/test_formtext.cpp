// Form data text: every value type both ways, where text errors point, and
// hostile binary sizes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <random>

#include "toolkit/formtext.h"
#include "toolkit/propstream.h"
#include "toolkit/streams.h"

using namespace tk;

namespace {

using Bytes = std::vector<uint8_t>;

bool Contains(const Bytes& hay, const Bytes& needle) {
    return std::search(hay.begin(), hay.end(), needle.begin(), needle.end()) != hay.end();
}

// A property entry: short-string name, then the value's bytes.
Bytes Named(const std::string& name, const Bytes& value) {
    Bytes b(1 + name.size() + value.size());
    b[0] = static_cast<uint8_t>(name.size());
    std::copy(value.begin(), value.end(), std::copy(name.begin(), name.end(), b.begin() + 1));
    return b;
}

std::string TextError(const std::string& text) {
    try {
        FormTextToData(text);
    } catch (const EParserError& e) {
        return e.Message();
    }
    return "no error";
}

std::string BinaryError(const Bytes& data) {
    try {
        FormDataToText(data);
    } catch (const Exception& e) {
        return e.Message();
    }
    return "no error";
}

}  // namespace

TEST(FormText, EveryValueTypeHasATextFormThatRoundTrips) {
    const std::string text =
        "object Form1: TForm [3]\n"
        "  Small = -5\n"
        "  Big = 5000000000\n"
        "  Ext = 0.1\n"
        "  Whole = 2.0\n"
        "  Single = 1.5s\n"
        "  Money = -12.34c\n"
        "  When = 45000.25d\n"
        "  Text = 'it''s'#13#10 +\n"
        "    'more'\n"
        "  Wide = WideString('x'#1234)\n"
        "  Utf8 = UTF8String('y'#200)\n"
        "  Link = Form1.Screen1\n"
        "  Yes = True\n"
        "  Nothing = nil\n"
        "  Flags = [fsBold, fsItalic]\n"
        "  List = (1 'two' ({0102}))\n"
        "  Items = <\n"
        "    item [2]\n"
        "      Name = 'x'\n"
        "    end\n"
        "    item\n"
        "    end>\n"
        "  inline Child: TChild\n"
        "  end\n"
        "  object TAnon\n"
        "  end\n"
        "end\n";
    const Bytes data = FormTextToData(text);
    ASSERT_EQ(Bytes(data.begin(), data.begin() + 5), (Bytes{'T', 'P', 'F', '0', 0xF2}));
    EXPECT_TRUE(Contains(data, Named("Big", {19, 0x00, 0xF2, 0x05, 0x2A, 0x01, 0, 0, 0})));
    EXPECT_TRUE(Contains(data, Named("Single", {15, 0, 0, 0xC0, 0x3F})));
    EXPECT_TRUE(
        Contains(data, Named("Money", {16, 0xF8, 0x1D, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF})));
    EXPECT_TRUE(
        Contains(data, Named("Text", {6, 10, 'i', 't', '\'', 's', 13, 10, 'm', 'o', 'r', 'e'})));
    EXPECT_TRUE(Contains(data, Named("Wide", {18, 2, 0, 0, 0, 'x', 0, 0xD2, 0x04})));
    EXPECT_TRUE(Contains(data, Named("Flags", {11, 6, 'f', 's', 'B', 'o', 'l', 'd', 8})));
    EXPECT_TRUE(Contains(data, Named("Items", {14, 2, 2, 1})));
    EXPECT_TRUE(
        Contains(data, Bytes{0xF4, 6, 'T', 'C', 'h', 'i', 'l', 'd', 5, 'C', 'h', 'i', 'l', 'd'}));

    // Back to text and binary again: the same bytes; the text is stable.
    const std::string again = FormDataToText(data);
    EXPECT_EQ(FormTextToData(again), data);
    EXPECT_EQ(FormDataToText(FormTextToData(again)), again);
    EXPECT_NE(again.find("Ext = 0.1\n"), std::string::npos);
    EXPECT_NE(again.find("Whole = 2.0\n"), std::string::npos);

    // Behind a resource header, read back through the header's length.
    const Bytes res = FormTextToData(text, "form1");
    EXPECT_EQ(res[3], 'F');
    EXPECT_EQ(FormDataToText(res), again);
}

TEST(FormText, ErrorsNameLineAndColumn) {
    EXPECT_EQ(TextError("object A: T\n  X 1\nend\n"), "Line 2, column 5: '=' expected");
    EXPECT_EQ(TextError("object A: T\n  S = 'abc\nend\n"), "Line 2, column 7: Unterminated string");
    // A CR alone ends a line too.
    EXPECT_EQ(TextError("object A: T\r  S = 'x' + 'abc\rend\r"),
              "Line 2, column 13: Unterminated string");
    EXPECT_EQ(TextError("object A: T\r\n  I = $FFFFFFFFFFFFFFFFFF\r\nend"),
              "Line 2, column 7: Integer out of range");
    EXPECT_EQ(TextError("object A: T [99999999999]\nend"), "Line 1, column 14: Integer expected");
    // A class name's length byte of 240 or more would read back as flags.
    EXPECT_EQ(TextError("object A: " + std::string(240, 'T') + "\nend"),
              "Line 1, column 11: Class name longer than 239 characters");
    EXPECT_NO_THROW(FormDataToText(FormTextToData("object A: " + std::string(239, 'T') + "\nend")));
    EXPECT_EQ(TextError("object A: T\n  B = {0A1}\nend\n"),
              "Line 2, column 11: Invalid binary value");
    EXPECT_EQ(TextError("object A: T\n  I = 99999999999999999999\nend"),
              "Line 2, column 7: Integer out of range");
    EXPECT_EQ(TextError("object A: T\n  S = #70000\nend"),
              "Line 2, column 12: Invalid character code");
    EXPECT_EQ(TextError("object A: T\n  object B: T\n  end\n  X = 1\nend"),
              "Line 4, column 3: 'end' expected (properties come before child objects)");
    EXPECT_EQ(TextError("object A: T\n  X = 1\n"),
              "Line 3, column 1: Unexpected end of text ('end' expected)");
    EXPECT_EQ(TextError("object A: T\nend\nend"),
              "Line 3, column 1: End of text expected after the last 'end'");
    EXPECT_EQ(TextError("object A: T\n  L = " + std::string(300, '(')),
              "Line 2, column 264: Nesting too deep");
    EXPECT_EQ(TextError("object A: T\n  X = " + std::string(256, 'a') + "\nend"),
              "Line 2, column 7: Name longer than 255 characters");
}

TEST(FormText, HostileBinaryFailsAtOnce) {
    const Bytes head = {'T', 'P', 'F', '0', 1, 'T', 1, 'A', 1, 'X'};
    auto with = [&](Bytes value) {
        Bytes b = head;
        b.insert(b.end(), value.begin(), value.end());
        return b;
    };
    // Each message says at which byte of the data reading stopped.
    EXPECT_EQ(BinaryError(with({10, 0xFF, 0xFF, 0xFF, 0xFF})), "Stream read error at byte 15");
    EXPECT_EQ(BinaryError(with({18, 0xFF, 0xFF, 0xFF, 0x7F})), "Stream read error at byte 15");
    EXPECT_EQ(BinaryError(with({0x42})), "Invalid property value at byte 11");
    EXPECT_EQ(BinaryError(with(Bytes(100000, 1))), "Invalid stream format at byte 267");
    // A resource body longer than the file.
    EXPECT_EQ(BinaryError({0xFF, 10, 0, 'A', 0, 0x30, 0x10, 0xFF, 0xFF, 0, 0, 'T', 'P', 'F', '0'}),
              "Stream read error at byte 7 (the resource header promises 65535 bytes; 4 follow)");
    EXPECT_EQ(BinaryError({'T', 'P', 'F', '1'}), "Invalid stream format at byte 4");
}

namespace {

// A random value of every kind the stream knows, written as the writer
// writes it (smallest integers, short strings below 256 bytes).
void RandomValue(TWriter& w, std::mt19937& rng, int depth) {
    const int kind = static_cast<int>(rng() % (depth > 3 ? 11 : 14));
    auto bytes = [&](size_t n) {
        std::string s(n, '\0');
        for (char& c : s) c = static_cast<char>(rng());
        return s;
    };
    switch (kind) {
        case 0:
            w.WriteInteger(static_cast<int32_t>(rng()) >> (rng() % 32));
            break;
        case 1:
            w.WriteInteger(static_cast<int64_t>(rng()) << 32 | rng());
            break;
        case 2:
            w.WriteString(bytes(rng() % 300));
            break;
        case 3:
            w.WriteIdent("Ident" + std::to_string(rng() % 100) + ".Sub");
            break;
        case 4:
            w.WriteBoolean(rng() % 2);
            break;
        case 5:
            w.WriteValue(TValueType::vaNil);
            break;
        case 6: {
            w.WriteValue(TValueType::vaBinary);
            std::string b = bytes(rng() % 100);
            uint32_t n = static_cast<uint32_t>(b.size());
            w.WriteRaw(&n, 4);
            w.WriteRaw(b.data(), b.size());
            break;
        }
        case 7: {
            float f = std::ldexp(static_cast<float>(rng() % 100000) - 50000,
                                 static_cast<int>(rng() % 40) - 20);
            w.WriteValue(TValueType::vaSingle);
            w.WriteRaw(&f, 4);
            break;
        }
        case 8: {
            long double e = std::ldexp(static_cast<long double>(rng()) - 2e9L,
                                       static_cast<int>(rng() % 200) - 100);
            w.WriteValue(TValueType::vaExtended);
            w.WriteRaw(&e, 10);
            break;
        }
        case 9: {
            int64_t c = static_cast<int64_t>(rng()) * static_cast<int32_t>(rng());
            w.WriteValue(rng() % 2 ? TValueType::vaCurrency : TValueType::vaInt64);
            if (c >= INT32_MIN && c <= INT32_MAX)
                c += int64_t(1) << 40;  // Int64 only beyond 32 bits
            w.WriteRaw(&c, 8);
            break;
        }
        case 10: {
            w.WriteValue(TValueType::vaWString);
            uint32_t n = rng() % 20;
            w.WriteRaw(&n, 4);
            for (uint32_t i = 0; i < n; ++i) {
                uint16_t u = static_cast<uint16_t>(rng());
                w.WriteRaw(&u, 2);
            }
            break;
        }
        case 11:
            w.WriteListBegin();
            for (int i = static_cast<int>(rng() % 4); i > 0; --i) RandomValue(w, rng, depth + 1);
            w.WriteListEnd();
            break;
        case 12:
            w.WriteValue(TValueType::vaSet);
            for (int i = static_cast<int>(rng() % 3); i > 0; --i)
                w.WriteStr("el" + std::to_string(i));
            w.WriteStr("");
            break;
        default:
            w.WriteValue(TValueType::vaCollection);
            for (int i = static_cast<int>(rng() % 3); i > 0; --i) {
                if (rng() % 2) w.WriteInteger(static_cast<int>(rng() % 1000));
                w.WriteListBegin();
                w.WriteStr("Item.Value");
                RandomValue(w, rng, depth + 1);
                w.WriteListEnd();
            }
            w.WriteListEnd();
    }
}

}  // namespace

TEST(FormText, RandomStreamsComeBackByteForByte) {
    std::mt19937 rng(12);
    for (int round = 0; round < 200; ++round) {
        TMemoryStream ms;
        {
            TWriter w(ms);
            w.WriteSignature();
            w.WriteStr("TThing");
            w.WriteStr("Thing" + std::to_string(round));
            for (int p = 0; p < 6; ++p) {
                w.WriteStr("Prop" + std::to_string(p));
                RandomValue(w, rng, 0);
            }
            w.WriteListEnd();
            w.WriteListEnd();
        }
        const Bytes& data = ms.Bytes();
        std::string text;
        ASSERT_NO_THROW(text = FormDataToText(data)) << "round " << round;
        ASSERT_EQ(FormTextToData(text), data) << text;
    }
}

TEST(FormText, ValuesTheTextCannotCarryAreRefused) {
    auto single = [](float f) {
        Bytes b = {'T', 'P', 'F', '0', 1, 'T', 1, 'A', 1, 'X', 15};
        const auto* p = reinterpret_cast<const uint8_t*>(&f);
        b.insert(b.end(), p, p + 4);
        b.push_back(0);
        b.push_back(0);
        return b;
    };
    EXPECT_EQ(BinaryError(single(1.5f)), "no error");
    EXPECT_EQ(BinaryError(single(std::numeric_limits<float>::infinity())),
              "Invalid property value at byte 15");
    // A property name the notation cannot spell.
    EXPECT_EQ(BinaryError({'T', 'P', 'F', '0', 1, 'T', 1, 'A', 3, 'a', ' ', 'b', 9, 0, 0}),
              "Invalid property value at byte 12");
}

TEST(PropertyStream, DeepNestingFailsInsteadOfExhaustingTheStack) {
    // Child objects nested far deeper than any form.
    Bytes deep = {'T', 'P', 'F', '0', 11,  'T', 'D', 'a', 't',
                  'a', 'M', 'o', 'd', 'u', 'l', 'e', 0,   0};
    for (int i = 0; i < 100000; ++i)
        deep.insert(deep.end(), {11, 'T', 'D', 'a', 't', 'a', 'M', 'o', 'd', 'u', 'l', 'e', 0, 0});
    RegisterComponentClass<TDataModule>("TDataModule");
    TDataModule root(nullptr);
    EXPECT_THROW(ReadComponentData(deep, root), EFilerError);

    // Skipping a value made of nested lists.
    Bytes lists(200000, 1);
    TPointerStream s(lists.data(), static_cast<int64_t>(lists.size()));
    TReader r(s);
    EXPECT_THROW(r.SkipValue(), EReadError);
}

namespace {

// Random form text as a person might write it: any spacing, comments, CR
// or LF line ends, strings in pieces with #codes, names of every length up
// to 255, numbers at their limits, nested lists, sets, collections and
// child objects, some of it wrong.
class TextGen {
public:
    explicit TextGen(uint32_t seed) : rng_(seed) {}

    std::string Form() {
        out_.clear();
        Object(0);
        Blank();
        return out_;
    }

private:
    uint32_t Pick(uint32_t n) { return rng_() % n; }
    void Blank() {
        static const char* const blanks[] = {" ", "\n", "\r\n", "\r", "\t", "  // note\n", " "};
        for (uint32_t i = Pick(3); i > 0; --i) out_ += blanks[Pick(7)];
    }
    void Gap() {
        out_ += Pick(2) ? " " : "\n";
        Blank();
    }
    std::string Ident(size_t maxLen) {
        static const char first[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz_";
        static const char rest[] =
            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz_0123456789";
        // Mostly short; now and then near the 239 and 255 limits.
        size_t len = Pick(10) ? 1 + Pick(12) : std::min<size_t>(maxLen, 230 + Pick(30));
        std::string s(1, first[Pick(sizeof first - 1)]);
        while (s.size() < len) s += rest[Pick(sizeof rest - 1)];
        return s;
    }
    void String(uint32_t maxCode) {
        for (uint32_t pieces = 1 + Pick(3); pieces > 0; --pieces) {
            for (uint32_t parts = 1 + Pick(3); parts > 0; --parts) {
                if (Pick(2)) {
                    out_ += '\'';
                    for (uint32_t i = Pick(Pick(8) ? 20 : 400); i > 0; --i) {
                        const char c = static_cast<char>(32 + Pick(95));
                        out_ += c;
                        if (c == '\'') out_ += '\'';
                    }
                    out_ += '\'';
                } else {
                    const uint32_t code = Pick(4) ? Pick(256) : Pick(maxCode + 1);
                    out_ += Pick(2) ? "#" + std::to_string(code) : Format("#$%X", code);
                }
            }
            if (pieces > 1) {
                Gap();
                out_ += '+';
                Gap();
            }
        }
    }
    void Value(int depth) {
        switch (Pick(depth > 2 ? 9 : 12)) {
            case 0: {
                static const char* const ints[] = {"0",
                                                   "-128",
                                                   "127",
                                                   "-32769",
                                                   "2147483647",
                                                   "-2147483648",
                                                   "9223372036854775807",
                                                   "-9223372036854775808",
                                                   "$7F",
                                                   "-$FF"};
                out_ += ints[Pick(10)];
                return;
            }
            case 1:
                out_ += std::to_string(static_cast<int32_t>(rng_()) >> Pick(32));
                return;
            case 2:
                String(0xFF);
                return;
            case 3: {
                const bool wide = Pick(2);
                out_ += wide ? "WideString(" : "UTF8String(";
                String(wide ? 0xFFFF : 0xFF);
                out_ += ')';
                return;
            }
            case 4: {
                static const char* const words[] = {"True", "false", "NIL", "Screen1",
                                                    "Form1.Screen1"};
                out_ += words[Pick(5)];
                return;
            }
            case 5: {
                static const char* const floats[] = {"1.5",      "0.1",      "-2.0e10",
                                                     "3.25s",    "12.3456c", "-0.5c",
                                                     "45000.5d", "1e-300",   "7.0S"};
                out_ += floats[Pick(9)];
                return;
            }
            case 6:
                out_ += '{';
                for (uint32_t i = Pick(40); i > 0; --i) {
                    out_ += Format("%02X", Pick(256));
                    if (!Pick(8)) Blank();
                }
                out_ += '}';
                return;
            case 7:
                out_ += '[';
                for (uint32_t i = Pick(4), first = 1; i > 0; --i, first = 0) {
                    if (!first) out_ += ", ";
                    out_ += Ident(255);
                }
                out_ += ']';
                return;
            case 8:
                out_ += Ident(255);
                return;
            case 9:
                out_ += '(';
                for (uint32_t i = Pick(4); i > 0; --i) {
                    Gap();
                    Value(depth + 1);
                }
                out_ += ')';
                return;
            default:
                out_ += '<';
                for (uint32_t i = Pick(3); i > 0; --i) {
                    Gap();
                    out_ += "item";
                    if (Pick(2)) out_ += Format(" [%d]", static_cast<int>(rng_()) >> Pick(32));
                    for (uint32_t p = Pick(3); p > 0; --p) Property(depth + 1);
                    Gap();
                    out_ += "end";
                }
                out_ += '>';
        }
    }
    void Property(int depth) {
        Gap();
        out_ += Ident(255);
        if (Pick(3) == 0) out_ += "." + Ident(20);
        Blank();
        out_ += '=';
        Blank();
        Value(depth);
    }
    void Object(int depth) {
        static const char* const words[] = {"object", "inherited", "inline", "OBJECT"};
        out_ += words[Pick(4)];
        out_ += ' ';
        if (Pick(3)) out_ += Ident(255) + Blank0() + ":" + Blank0() + " ";
        out_ += Ident(255);
        if (!Pick(4)) out_ += Format(" [%d]", static_cast<int>(rng_()) >> Pick(32));
        for (uint32_t p = Pick(5); p > 0; --p) Property(depth);
        if (depth < 2)
            for (uint32_t c = Pick(3); c > 0; --c) {
                Gap();
                Object(depth + 1);
            }
        Gap();
        out_ += "end";
    }
    std::string Blank0() { return Pick(2) ? "" : " "; }

    std::mt19937 rng_;
    std::string out_;
};

}  // namespace

// Whatever text the compiler accepts, the writer gives back as text that
// compiles to the same bytes and is itself stable.
TEST(FormText, EveryAcceptedTextComesBackThroughTheWriter) {
    int accepted = 0;
    const char* corpus = std::getenv("FORMTEXT_CORPUS_OUT");  // to refresh the fuzzer's corpus
    for (uint32_t seed = 1; seed <= 3000; ++seed) {
        const std::string text = TextGen(seed).Form();
        Bytes data;
        try {
            data = FormTextToData(text);
        } catch (const EParserError&) {
            continue;
        }
        ++accepted;
        std::string back;
        ASSERT_NO_THROW(back = FormDataToText(data)) << "seed " << seed << ":\n" << text;
        ASSERT_EQ(FormTextToData(back), data) << "seed " << seed;
        ASSERT_EQ(FormDataToText(FormTextToData(back)), back) << "seed " << seed;
        if (corpus && accepted % 150 == 1)
            WriteFileBytes(std::string(corpus) + "/generated_" + std::to_string(seed) + ".txt",
                           text.data(), text.size());
    }
    EXPECT_GT(accepted, 1000);
}
