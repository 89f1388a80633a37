#include "platform/cp932.h"

namespace platform {

void LowerCase(std::string& text) {
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char byte = static_cast<unsigned char>(text[i]);
        if (IsLeadByte(byte)) {
            ++i;  // the second byte stays as it is
        } else if (byte >= 'A' && byte <= 'Z') {
            text[i] = static_cast<char>(byte + 32);
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
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char byte = static_cast<unsigned char>(text[i]);
        if (IsLeadByte(byte)) {
            ++i;
            continue;
        }
        for (const char* c = chars; *c; ++c) {
            if (text[i] == *c) {
                if (!last) return i;
                found = i;
                break;
            }
        }
    }
    return found;
}

}  // namespace

size_t FindLastOf(const std::string& text, const char* chars) { return FindOf(text, chars, true); }

size_t FindFirstOf(const std::string& text, const char* chars) {
    return FindOf(text, chars, false);
}

std::string DisplayUtf8(const std::string& cp932) {
    std::string out;
    if (Cp932ToUtf8(cp932, &out)) return out;
    // Convert piece by piece so that one bad byte does not hide the rest.
    out.clear();
    for (size_t i = 0; i < cp932.size();) {
        size_t n =
            (IsLeadByte(static_cast<unsigned char>(cp932[i])) && i + 1 < cp932.size()) ? 2 : 1;
        std::string piece;
        if (Cp932ToUtf8(cp932.substr(i, n), &piece)) {
            out += piece;
        } else {
            out += '?';
        }
        i += n;
    }
    return out;
}

}  // namespace platform
