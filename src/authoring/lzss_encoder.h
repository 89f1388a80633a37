// The LZSS encoder for making compressed test fixtures and payloads. The
// program itself only decodes (fileio/lzss.h); what comes out of here is a
// stream CLZSS::Decode expands back to the input.
#pragma once

#include <cstdint>
#include <string>

namespace authoring {

// Compresses data (bytes in a string) into an LZSS stream: greedy longest
// matches of 2 to 17 bytes over the 4096-byte window, as absolute window
// positions (never 0, the end marker), then the end marker and zero bits up
// to the next byte. The window is modelled as the decoder fills it, so a
// reference never reads a window byte before it has been written.
std::string LzssEncode(const std::string& data);

// A compressed typed file: u16 1, u32 stream length, u32 data length, then
// the stream (all little-endian).
std::string MakeCompressedTypedFile(const std::string& data);

// A stored typed file: u16 type, u32 data length, then the data. The type is
// anything but 1, which would mark the data as compressed.
std::string MakeStoredTypedFile(const std::string& data, uint16_t type = 0);

}  // namespace authoring
