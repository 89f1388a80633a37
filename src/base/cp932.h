// CP932 (Shift-JIS as Windows has it), the text of the whole program, read
// character by character: every scan that looks for a separator, a dot or
// a capital goes through here, so that the second byte of a double-byte
// character is never taken for one.
#pragma once

#include <cstddef>
#include <string>

namespace cp932 {

// True for a byte that starts a double-byte character (0x81-0x9F, 0xE0-0xFC),
// the same table on every system.
inline bool IsLeadByte(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// Walks a byte string one character at a time. A lead byte and the byte
// after it are one character; a lead byte at the very end is a character of
// one byte.
class CharCursor {
public:
    explicit CharCursor(const std::string& text, size_t at = 0) : text_(text), at_(at) {}

    bool AtEnd() const { return at_ >= text_.size(); }
    // Where the current character starts.
    size_t Pos() const { return at_; }
    // The current character's first byte.
    unsigned char Byte() const { return static_cast<unsigned char>(text_[at_]); }
    // True when the current character takes two bytes.
    bool IsDoubleByte() const { return IsLeadByte(Byte()) && at_ + 1 < text_.size(); }
    // True when the current character is the single byte `c`.
    bool Is(char c) const { return !AtEnd() && !IsLeadByte(Byte()) && text_[at_] == c; }
    size_t Length() const { return IsDoubleByte() ? 2 : 1; }
    // The current character's bytes, one or two.
    std::string Bytes() const { return text_.substr(at_, Length()); }
    void Next() { at_ += Length(); }

private:
    const std::string& text_;
    size_t at_;
};

// Lower-cases the ASCII capitals of a CP932 string in place, leaving both
// bytes of every double-byte character alone (what CharLowerA does to the
// names this program handles).
void LowerCase(std::string& text);
std::string LowerCased(std::string text);

// Index of the last occurrence of any byte of `chars` that is not the second
// byte of a double-byte character, or std::string::npos.
size_t FindLastOf(const std::string& text, const char* chars);
// Same, the first occurrence.
size_t FindFirstOf(const std::string& text, const char* chars);

}  // namespace cp932
