// The LZSS decoder of the game's compressed data: a 4096-byte ring window, a
// bit-packed stream of literals and absolute window references, ended by a
// reference to position 0.
#pragma once

#include <cstdint>

class CLZSS {
public:
    CLZSS() = default;
    virtual ~CLZSS() = default;

    // Expands the stream at source into destination. True when the stream
    // reached its end marker inside its sourceSize bytes and produced exactly
    // destinationSize bytes; false for a damaged stream (one that would read
    // past the source, write past the destination, end short, or has no end
    // marker). Never reads or writes outside the two buffers; bytes after the
    // end marker are not looked at. Each call starts afresh: a cleared
    // window, write position 1.
    bool Decode(const uint8_t* source, uint32_t sourceSize, uint8_t* destination,
                uint32_t destinationSize);

private:
    uint8_t window_[4096] = {};
};
