#include "archive/arc_format.h"

#include <cstdlib>
#include <cstring>

#include "base/cp932.h"
#include "base/errors.h"

namespace arc {

namespace {

char Complement(unsigned char byte) { return static_cast<char>(0xFF - byte); }

CString ComplementAll(const CString& bytes) {
    CString out(bytes.size(), '\0');
    for (size_t i = 0; i < bytes.size(); ++i) {
        out[i] = Complement(static_cast<unsigned char>(bytes[i]));
    }
    return out;
}

}  // namespace

CString FoldName(CString name) {
    cp932::LowerCase(name);
    return name;
}

CString ScrambleForLookup(const CString& name) {
    CString out;
    out.reserve(name.size());
    for (cp932::CharCursor at(name); !at.AtEnd(); at.Next()) {
        const unsigned char byte = at.Byte();
        if (byte >= 'A' && byte <= 'Z') {  // never a lead byte
            out += Complement(static_cast<unsigned char>(byte + 32));
        } else {
            // Both bytes of a double-byte character; a lead byte at the very
            // end has no second byte to carry.
            for (char c : at.Bytes()) out += Complement(static_cast<unsigned char>(c));
        }
    }
    return out;
}

CString ScrambleForWriting(const CString& name) { return ComplementAll(FoldName(name)); }

CString Unscramble(const CString& stored) { return ComplementAll(stored); }

void RetireName(CString* stored) {
    for (size_t i = 0; i < 2 && i < stored->size(); ++i) {
        (*stored)[i] = static_cast<char>(kRetiredByte);
    }
}

bool IsRetiredName(const CString& stored) {
    return stored.size() >= 2 && static_cast<unsigned char>(stored[0]) == kRetiredByte &&
           static_cast<unsigned char>(stored[1]) == kRetiredByte;
}

int32_t ReadVersionTag(const char tag[4]) {
    if (std::memcmp(tag, "WFL1", 4) == 0) return 1;
    // The third and fourth characters as a text of their own.
    char number[3] = {tag[2], tag[3], '\0'};
    return static_cast<int32_t>(std::strtol(number, nullptr, 10));
}

CString VersionTag(int32_t version) { return FormatText("WF%02d", version).substr(0, kTagSize); }

}  // namespace arc
