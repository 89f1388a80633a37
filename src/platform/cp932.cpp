#include "platform/cp932.h"

namespace platform {

std::string DisplayUtf8(const std::string& text) {
    std::string out;
    if (Cp932ToUtf8(text, &out)) return out;
    // Convert piece by piece so that one bad byte does not hide the rest.
    out.clear();
    for (cp932::CharCursor at(text); !at.AtEnd(); at.Next()) {
        std::string piece;
        if (Cp932ToUtf8(at.Bytes(), &piece)) {
            out += piece;
        } else {
            out += '?';
        }
    }
    return out;
}

}  // namespace platform
