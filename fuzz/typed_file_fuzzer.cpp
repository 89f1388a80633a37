// Typed files: the input is the file NAME.prs, which is opened and read
// whole through CFileNormal as a caller would, with a buffer of GetSize() + 1
// bytes. The file lies in memory behind the platform seam (memory_file.h).
// Broken contents may raise CError; nothing may read or write outside its
// buffers, and a successful read must end in the zero byte (and, for stored
// data, give the bytes after the header).
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/errors.h"
#include "fileio/file_normal.h"
#include "memory_file.h"

namespace {

// No stream expands more than eightfold (17 bytes from a 17-bit reference),
// so larger contents cannot be read whole and are not worth a buffer.
constexpr size_t kLargestExpansion = 8;

// A folder that no disk holds, so that only the served file can be opened.
const char kPath[] = "/fuzz-in-memory/typed.prs";

fuzz::MemoryFiles& Files() {
    static fuzz::MemoryFiles files(platform::System());
    static platform::ScopedFileSystem inPlace(&files);
    return files;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Files().Serve(kPath, std::string(reinterpret_cast<const char*>(data), size));
    try {
        CFileNormal typed;
        if (typed.Open(kPath) != kStatusOk) std::abort();
        const int32_t contents = typed.GetSize();
        if (contents < 0 || static_cast<size_t>(contents) > kLargestExpansion * size) return 0;
        std::vector<uint8_t> buffer(static_cast<size_t>(contents) + 1, 0xCC);
        typed.Read(buffer.data());
        if (buffer[static_cast<size_t>(contents)] != 0) std::abort();
        const bool stored = size >= 2 && (data[0] != 1 || data[1] != 0);
        if (stored && (size < 6 + static_cast<size_t>(contents) ||
                       std::memcmp(buffer.data(), data + 6, static_cast<size_t>(contents)) != 0)) {
            std::abort();
        }
    } catch (const CError&) {
    }
    return 0;
}
