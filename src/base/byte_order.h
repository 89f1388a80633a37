// Little-endian fields, the byte order of every format the program reads
// and writes (archives, typed files, the backup journal, PE images).
#pragma once

#include <cstdint>
#include <string>

namespace le {

inline uint16_t GetU16(const void* bytes) {
    const unsigned char* b = static_cast<const unsigned char*>(bytes);
    return static_cast<uint16_t>(b[0] | (b[1] << 8));
}

inline uint32_t GetU32(const void* bytes) {
    const unsigned char* b = static_cast<const unsigned char*>(bytes);
    return static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
           (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24);
}

// Appends a field to a byte string.
inline void PutU16(std::string* out, uint16_t value) {
    out->push_back(static_cast<char>(value & 0xFF));
    out->push_back(static_cast<char>(value >> 8));
}

inline void PutU32(std::string* out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        out->push_back(static_cast<char>((value >> shift) & 0xFF));
    }
}

}  // namespace le
