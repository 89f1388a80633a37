#include "authoring/lzss_encoder.h"

#include <cstddef>
#include <vector>

#include "base/byte_order.h"

namespace authoring {

namespace {

constexpr uint32_t kWindowSize = 4096;
constexpr uint32_t kWindowMask = kWindowSize - 1;
constexpr uint32_t kMinMatch = 2;
constexpr uint32_t kMaxMatch = 17;
constexpr int kNone = -1;

// Bits are packed most significant first, fields running across bytes.
class BitWriter {
public:
    void Put(uint32_t value, int bits) {
        for (int i = bits - 1; i >= 0; --i) {
            current_ = static_cast<uint8_t>((current_ << 1) | ((value >> i) & 1));
            if (++used_ == 8) {
                out_.push_back(static_cast<char>(current_));
                current_ = 0;
                used_ = 0;
            }
        }
    }
    // Pads the last byte with zero bits.
    std::string Finish() {
        if (used_ > 0) Put(0, 8 - used_);
        return out_;
    }

private:
    std::string out_;
    uint8_t current_ = 0;
    int used_ = 0;
};

// The decoder's window as the stream so far has filled it, with, for each
// byte value, the positions that hold it (position 0 left out: a reference
// there would read as the end marker).
class Window {
public:
    Window() : next_(kWindowSize, kNone), previous_(kWindowSize, kNone), first_(256, kNone) {}

    uint32_t WritePosition() const { return write_; }
    uint8_t At(uint32_t position) const { return bytes_[position]; }
    bool Written(uint32_t position) const {
        return total_ >= kWindowSize || (position >= 1 && position <= total_);
    }
    // The first of the positions holding byte, or kNone; then Next().
    int First(uint8_t byte) const { return first_[byte]; }
    int Next(int position) const { return next_[position]; }

    void Put(uint8_t byte) {
        const uint32_t at = write_;
        if (at != 0) {
            if (Written(at)) Unlink(at);
            Link(at, byte);
        }
        bytes_[at] = byte;
        write_ = (write_ + 1) & kWindowMask;
        ++total_;
    }

private:
    void Unlink(uint32_t position) {
        int before = previous_[position];
        int after = next_[position];
        if (before == kNone) {
            first_[bytes_[position]] = after;
        } else {
            next_[before] = after;
        }
        if (after != kNone) previous_[after] = before;
    }
    void Link(uint32_t position, uint8_t byte) {
        int head = first_[byte];
        previous_[position] = kNone;
        next_[position] = head;
        if (head != kNone) previous_[head] = static_cast<int>(position);
        first_[byte] = static_cast<int>(position);
    }

    uint8_t bytes_[kWindowSize] = {};
    uint32_t write_ = 1;
    uint64_t total_ = 0;  // bytes written so far
    std::vector<int> next_, previous_, first_;
};

// How many bytes of data from `at` the decoder would produce copying from
// window position `source`: step k reads (source + k), which is either a
// byte this very copy wrote at step (source + k - write) or what the window
// held before the copy; a byte never written ends the match.
uint32_t MatchLength(const Window& window, uint32_t source, const std::string& data, size_t at) {
    const uint32_t write = window.WritePosition();
    uint32_t length = 0;
    while (length < kMaxMatch && at + length < data.size()) {
        uint32_t from = (source + length) & kWindowMask;
        uint32_t step = (from - write) & kWindowMask;
        uint8_t byte;
        if (step < length) {
            byte = static_cast<uint8_t>(data[at + step]);
        } else if (window.Written(from)) {
            byte = window.At(from);
        } else {
            break;
        }
        if (byte != static_cast<uint8_t>(data[at + length])) break;
        ++length;
    }
    return length;
}

}  // namespace

std::string LzssEncode(const std::string& data) {
    Window window;
    BitWriter bits;
    size_t at = 0;
    while (at < data.size()) {
        uint32_t bestLength = 0;
        uint32_t bestSource = 0;
        for (int source = window.First(static_cast<uint8_t>(data[at])); source != kNone;
             source = window.Next(source)) {
            uint32_t length = MatchLength(window, static_cast<uint32_t>(source), data, at);
            if (length > bestLength) {
                bestLength = length;
                bestSource = static_cast<uint32_t>(source);
                if (length == kMaxMatch) break;
            }
        }
        if (bestLength >= kMinMatch) {
            bits.Put(0, 1);
            bits.Put(bestSource, 12);
            bits.Put(bestLength - kMinMatch, 4);
        } else {
            bestLength = 1;
            bits.Put(1, 1);
            bits.Put(static_cast<uint8_t>(data[at]), 8);
        }
        for (uint32_t k = 0; k < bestLength; ++k) window.Put(static_cast<uint8_t>(data[at + k]));
        at += bestLength;
    }
    bits.Put(0, 1 + 12);  // the end marker
    return bits.Finish();
}

std::string MakeCompressedTypedFile(const std::string& data) {
    std::string stream = LzssEncode(data);
    std::string file;
    le::PutU16(&file, static_cast<uint16_t>(1));
    le::PutU32(&file, static_cast<uint32_t>(stream.size()));
    le::PutU32(&file, static_cast<uint32_t>(data.size()));
    return file + stream;
}

std::string MakeStoredTypedFile(const std::string& data, uint16_t type) {
    std::string file;
    le::PutU16(&file, static_cast<uint16_t>(type));
    le::PutU32(&file, static_cast<uint32_t>(data.size()));
    return file + data;
}

}  // namespace authoring
