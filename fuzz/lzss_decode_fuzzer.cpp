// The LZSS decoder on arbitrary streams, and the encoder against it.
//
// Input: two bytes (little-endian) giving the expanded length, then the
// stream. The decoder must stay inside both buffers whatever the stream
// holds (the sanitizers watch). Then the whole input goes through the
// encoder and must come back unchanged from the decoder.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "authoring/lzss_encoder.h"
#include "fileio/lzss.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const uint32_t expanded = data[0] | (static_cast<uint32_t>(data[1]) << 8);
    // Exactly as large as promised, and not cleared: up to 64 KiB of zeros
    // per run would cost more than most decodes.
    std::unique_ptr<uint8_t[]> out(new uint8_t[expanded]);
    CLZSS decoder;
    decoder.Decode(data + 2, static_cast<uint32_t>(size - 2), out.get(), expanded);

    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::string stream = authoring::LzssEncode(input);
    std::vector<uint8_t> back(size);
    if (!decoder.Decode(reinterpret_cast<const uint8_t*>(stream.data()),
                        static_cast<uint32_t>(stream.size()), back.data(),
                        static_cast<uint32_t>(size)) ||
        std::memcmp(back.data(), data, size) != 0) {
        std::abort();
    }
    return 0;
}
