// CP932 <-> UTF-8 / UTF-16 with glibc iconv. Every thread keeps its own
// converters (an iconv handle must not be shared between threads), reset
// before each use. Input that has no mapping, or that ends in the middle of
// a character, makes a conversion fail.
#include <errno.h>
#include <iconv.h>

#include <string>

#include "platform/cp932.h"

namespace platform {

namespace {

class Converter {
public:
    Converter(const char* to, const char* from) : handle_(iconv_open(to, from)) {}
    ~Converter() {
        if (valid()) iconv_close(handle_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts all of `in` and appends to *out. False on any bad byte.
    bool Convert(const char* in, size_t size, std::string* out) {
        out->clear();
        if (!valid()) return false;
        iconv(handle_, nullptr, nullptr, nullptr, nullptr);
        char* source = const_cast<char*>(in);
        size_t left = size;
        char buffer[1024];
        while (left > 0) {
            char* target = buffer;
            size_t room = sizeof buffer;
            size_t result = iconv(handle_, &source, &left, &target, &room);
            int failure = errno;
            out->append(buffer, static_cast<size_t>(target - buffer));
            if (result == static_cast<size_t>(-1) && failure != E2BIG) return false;
            // A nonzero count of irreversible conversions means a character
            // was replaced: that is no faithful conversion either.
            if (result != static_cast<size_t>(-1) && result != 0) return false;
        }
        char* target = buffer;
        size_t room = sizeof buffer;
        if (iconv(handle_, nullptr, nullptr, &target, &room) == static_cast<size_t>(-1)) {
            return false;
        }
        out->append(buffer, static_cast<size_t>(target - buffer));
        return true;
    }

private:
    bool valid() const { return handle_ != reinterpret_cast<iconv_t>(-1); }

    iconv_t handle_;
};

Converter& Cp932ToUtf8Converter() {
    thread_local Converter converter("UTF-8", "CP932");
    return converter;
}
Converter& Utf8ToCp932Converter() {
    thread_local Converter converter("CP932", "UTF-8");
    return converter;
}
Converter& Cp932ToUtf16Converter() {
    thread_local Converter converter("UTF-16LE", "CP932");
    return converter;
}
Converter& Utf16ToCp932Converter() {
    thread_local Converter converter("CP932", "UTF-16LE");
    return converter;
}

}  // namespace

bool Cp932ToUtf8(const std::string& cp932, std::string* out) {
    return Cp932ToUtf8Converter().Convert(cp932.data(), cp932.size(), out);
}

bool Utf8ToCp932(const std::string& utf8, std::string* out) {
    return Utf8ToCp932Converter().Convert(utf8.data(), utf8.size(), out);
}

bool Cp932ToUtf16(const std::string& cp932, std::u16string* out) {
    std::string bytes;
    if (!Cp932ToUtf16Converter().Convert(cp932.data(), cp932.size(), &bytes)) return false;
    if (bytes.size() % 2 != 0) return false;
    out->clear();
    out->reserve(bytes.size() / 2);
    for (size_t i = 0; i < bytes.size(); i += 2) {
        out->push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                             (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    }
    return true;
}

bool Utf16ToCp932(const std::u16string& utf16, std::string* out) {
    std::string bytes;
    bytes.reserve(utf16.size() * 2);
    for (char16_t unit : utf16) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    return Utf16ToCp932Converter().Convert(bytes.data(), bytes.size(), out);
}

}  // namespace platform
