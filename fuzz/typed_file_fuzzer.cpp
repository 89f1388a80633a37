// Typed files from disk: the input is written to a file named *.prs, which
// is opened and read whole through CFileNormal as a caller would, with a
// buffer of GetSize() + 1 bytes. Broken contents may raise CError; nothing
// may read or write outside its buffers, and a successful read must end in
// the zero byte (and, for stored data, give the bytes after the header).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "engine/errors.h"
#include "fileio/file_normal.h"

namespace {

// No stream expands more than eightfold (17 bytes from a 17-bit reference),
// so larger contents cannot be read whole and are not worth a buffer.
constexpr size_t kLargestExpansion = 8;

// One file per process, removed at exit.
class FuzzFile {
public:
    FuzzFile() {
        std::random_device random;
        path_ = (std::filesystem::temp_directory_path() /
                 ("typed_file_fuzzer_" + std::to_string(random()) + ".prs"))
                    .string();
    }
    ~FuzzFile() { std::remove(path_.c_str()); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FuzzFile file;
    {
        std::ofstream out(file.path(), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        if (!out) std::abort();
    }
    try {
        CFileNormal typed;
        if (typed.Open(file.path()) != kStatusOk) std::abort();
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
