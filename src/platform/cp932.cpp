#include "platform/cp932.h"

namespace platform {

std::string DisplayUtf8(const std::string& text) {
    std::string out;
    if (Cp932ToUtf8(text, &out)) return out;
    // Convert piece by piece so that one bad byte does not hide the rest.
    out.clear();
    for (size_t i = 0; i < text.size();) {
        size_t n =
            (cp932::IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) ? 2 : 1;
        std::string piece;
        if (Cp932ToUtf8(text.substr(i, n), &piece)) {
            out += piece;
        } else {
            out += '?';
        }
        i += n;
    }
    return out;
}

}  // namespace platform
