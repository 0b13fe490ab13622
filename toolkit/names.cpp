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

}  // namespace tk
