// Names and characters of the form text notation, shared by its reader
// and its writer.
#pragma once

#include <string>

#include "classes.h"

namespace tk::formtext {

inline bool IsAlpha(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
inline bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
inline bool IsAlnum(char c) {
    return IsAlpha(c) || IsDigit(c);
}
inline bool IsHex(char c) {
    return IsDigit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}
inline int HexValue(char c) {
    return IsDigit(c) ? c - '0' : (c | 0x20) - 'a' + 10;
}

// Identifier segments joined by single dots ("Image.Data", "Form1.Screen1").
inline bool IsName(const std::string& s) {
    if (s.empty()) return false;
    bool segmentStart = true;
    for (char c : s) {
        if (c == '.') {
            if (segmentStart) return false;
            segmentStart = true;
        } else if (segmentStart ? !IsAlpha(c) : !IsAlnum(c)) {
            return false;
        } else {
            segmentStart = false;
        }
    }
    return !segmentStart;
}

// Words that read back as something other than an identifier.
inline bool IsValueWord(const std::string& s) {
    return SameText(s, "True") || SameText(s, "False") || SameText(s, "nil");
}

inline bool IsObjectWord(const std::string& s) {
    return SameText(s, "object") || SameText(s, "inherited") || SameText(s, "inline");
}

}  // namespace tk::formtext
