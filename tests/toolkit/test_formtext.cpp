// Form data text: every value type both ways, where text errors point, and
// hostile binary sizes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

#include "toolkit/formtext.h"
#include "toolkit/propstream.h"

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
    EXPECT_EQ(TextError("object A: T\n  S = 'abc\nend\n"),
              "Line 2, column 11: Unterminated string");
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
    EXPECT_EQ(BinaryError(with({10, 0xFF, 0xFF, 0xFF, 0xFF})), msg::SReadError);
    EXPECT_EQ(BinaryError(with({18, 0xFF, 0xFF, 0xFF, 0x7F})), msg::SReadError);
    EXPECT_EQ(BinaryError(with({0x42})), msg::SInvalidPropertyValue);
    EXPECT_EQ(BinaryError(with(Bytes(100000, 1))), msg::SInvalidImage);
    // A resource body longer than the file.
    EXPECT_EQ(BinaryError({0xFF, 10, 0, 'A', 0, 0x30, 0x10, 0xFF, 0xFF, 0, 0, 'T', 'P', 'F', '0'}),
              msg::SReadError);
    EXPECT_EQ(BinaryError({'T', 'P', 'F', '1'}), msg::SInvalidImage);
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
              msg::SInvalidPropertyValue);
    // A property name the notation cannot spell.
    EXPECT_EQ(BinaryError({'T', 'P', 'F', '0', 1, 'T', 1, 'A', 3, 'a', ' ', 'b', 9, 0, 0}),
              msg::SInvalidPropertyValue);
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
