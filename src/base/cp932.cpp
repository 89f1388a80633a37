#include "base/cp932.h"

#include <cstring>

namespace cp932 {

void LowerCase(std::string& text) {
    for (CharCursor at(text); !at.AtEnd(); at.Next()) {
        const unsigned char byte = at.Byte();
        // A lead byte at the very end is left as it is, like a second byte.
        if (!IsLeadByte(byte) && byte >= 'A' && byte <= 'Z') {
            text[at.Pos()] = static_cast<char>(byte + 32);
        }
    }
}

std::string LowerCased(std::string text) {
    LowerCase(text);
    return text;
}

namespace {

size_t FindOf(const std::string& text, const char* chars, bool last) {
    size_t found = std::string::npos;
    for (CharCursor at(text); !at.AtEnd(); at.Next()) {
        if (IsLeadByte(at.Byte())) continue;
        if (std::strchr(chars, text[at.Pos()]) != nullptr && text[at.Pos()] != '\0') {
            if (!last) return at.Pos();
            found = at.Pos();
        }
    }
    return found;
}

}  // namespace

size_t FindLastOf(const std::string& text, const char* chars) { return FindOf(text, chars, true); }

size_t FindFirstOf(const std::string& text, const char* chars) {
    return FindOf(text, chars, false);
}

}  // namespace cp932
