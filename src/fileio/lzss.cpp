#include "fileio/lzss.h"

#include <cstring>

namespace {

constexpr uint32_t kWindowMask = 0xFFF;  // the window wraps at 4096

// Reads the stream most significant bit first, fields running across byte
// boundaries. Refuses to load a byte beyond the end of the source.
class BitReader {
public:
    BitReader(const uint8_t* source, uint32_t size) : source_(source), size_(size) {}

    // Reads an n-bit field (n <= 12) into *value; false when the source
    // runs out first.
    bool Field(int bits, uint32_t* value) {
        uint32_t result = 0;
        for (int i = 0; i < bits; ++i) {
            if (mask_ == 0x80) {
                if (position_ >= size_) return false;
                current_ = source_[position_++];
            }
            result = (result << 1) | ((current_ & mask_) ? 1u : 0u);
            mask_ >>= 1;
            if (mask_ == 0) mask_ = 0x80;
        }
        *value = result;
        return true;
    }

private:
    const uint8_t* source_;
    uint32_t size_;
    uint32_t position_ = 0;
    uint32_t current_ = 0;
    uint32_t mask_ = 0x80;
};

}  // namespace

bool CLZSS::Decode(const uint8_t* source, uint32_t sourceSize, uint8_t* destination,
                   uint32_t destinationSize) {
    std::memset(window_, 0, sizeof window_);
    BitReader bits(source, sourceSize);
    uint32_t written = 0;
    uint32_t write = 1;
    for (;;) {
        uint32_t flag = 0;
        if (!bits.Field(1, &flag)) return false;
        if (flag) {
            uint32_t literal = 0;
            if (!bits.Field(8, &literal) || written == destinationSize) return false;
            destination[written++] = static_cast<uint8_t>(literal);
            window_[write] = static_cast<uint8_t>(literal);
            write = (write + 1) & kWindowMask;
            continue;
        }
        uint32_t position = 0;
        if (!bits.Field(12, &position)) return false;
        if (position == 0) return written == destinationSize;  // the end marker
        uint32_t code = 0;
        if (!bits.Field(4, &code)) return false;
        uint32_t count = code + 2;
        if (destinationSize - written < count) return false;
        // Byte by byte through the window: a reference may read what it has
        // just written itself.
        for (uint32_t k = 0; k < count; ++k) {
            uint8_t byte = window_[(position + k) & kWindowMask];
            destination[written++] = byte;
            window_[write] = byte;
            write = (write + 1) & kWindowMask;
        }
    }
}
