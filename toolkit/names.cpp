#include "names.h"

#include <QStringDecoder>

namespace tk {

namespace {
// Stateless and with a byte-order mark kept as a character, so the text
// stands for every byte of the name.
bool DecodeUtf8(std::string_view bytes, QString& text) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    text = utf8.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    return !utf8.hasError();
}
}  // namespace

bool NameIsUtf8(std::string_view bytes) {
    for (unsigned char c : bytes)
        if (c >= 0x80) {
            QString text;
            return DecodeUtf8(bytes, text);
        }
    return true;
}

QString NameToText(std::string_view bytes) {
    QString text;
    if (DecodeUtf8(bytes, text)) return text;
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string NameToUtf8(std::string_view bytes) { return NameToText(bytes).toStdString(); }

std::string NameFromText(const QString& text, std::string_view previous, TNameEncoding encoding) {
    if (text == NameToText(previous)) return std::string(previous);
    const QByteArray bytes = encoding == TNameEncoding::Utf8 ? text.toUtf8() : text.toLatin1();
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

namespace {

// Length of the UTF-8 sequence starting at s[i], or 0 when it is not one.
size_t Utf8Length(std::string_view s, size_t i) {
    const auto b = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char c = b(i);
    size_t n = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 && c < 0xE0 ? 2 : 0;
    if (n == 0 || c >= 0xF5 || i + n > s.size()) return 0;
    for (size_t k = 1; k < n; ++k)
        if ((b(i + k) & 0xC0) != 0x80) return 0;
    // Overlong and surrogate forms, and code points past U+10FFFF.
    if (c == 0xE0 && b(i + 1) < 0xA0) return 0;
    if (c == 0xED && b(i + 1) >= 0xA0) return 0;
    if (c == 0xF0 && b(i + 1) < 0x90) return 0;
    if (c == 0xF4 && b(i + 1) >= 0x90) return 0;
    return n;
}

}  // namespace

std::string ShownText(std::string_view s) {
    static const char hex[] = "0123456789abcdef";
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c >= 0x20 && c < 0x7F) {
            if (c == '\\') out += '\\';
            out += static_cast<char>(c);
            ++i;
        } else if (c == '\n') {
            out += "\\n", ++i;
        } else if (c == '\r') {
            out += "\\r", ++i;
        } else if (c == '\t') {
            out += "\\t", ++i;
        } else if (c < 0x80) {
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 15];
            ++i;
        } else if (size_t n = Utf8Length(s, i)) {
            const unsigned char second = static_cast<unsigned char>(s[i + 1]);
            if (c == 0xC2 && second < 0xA0) {  // C1 control, U+0080..U+009F
                out += "\\u00";
                out += hex[second >> 4];
                out += hex[second & 15];
            } else {
                out.append(s.substr(i, n));
            }
            i += n;
        } else {
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 15];
            ++i;
        }
    }
    return out;
}

QString ShownText(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    return QString::fromStdString(
        ShownText(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size()))));
}

}  // namespace tk
