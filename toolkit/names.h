// Item names are bytes, kept exactly as the files store them. Older tools
// wrote names in a single-byte code page, so a name is shown as UTF-8 when
// it is valid UTF-8 and through Latin-1 otherwise; text that still shows a
// name unchanged gives back that name's own bytes.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace tk {

// How text the user typed becomes bytes.
enum class TNameEncoding { Utf8, Latin1 };

// True when the name is valid UTF-8 (and so shown as such).
bool NameIsUtf8(std::string_view bytes);
// The text a name shows.
QString NameToText(std::string_view bytes);
// The shown text as UTF-8 bytes (for JSON, terminals and file names).
std::string NameToUtf8(std::string_view bytes);
// The bytes for `text`: `previous` itself when `text` is what it shows,
// otherwise `text` encoded as asked (Latin-1 turns other characters into '?').
std::string NameFromText(const QString& text, std::string_view previous, TNameEncoding encoding);

// Text from files as shown in messages, tables and one-line reports: control
// characters (C0, DEL, C1) and bytes that are not UTF-8 escaped as \n, \r,
// \t, \xHH or \u00HH, and '\\' doubled, so that a name can neither break a
// line nor send a terminal a command. The files keep the bytes themselves.
std::string ShownText(std::string_view utf8);
QString ShownText(const QString& text);

}  // namespace tk
