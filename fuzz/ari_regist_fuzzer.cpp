// Registers the input as an archive index, then looks up, opens and reads
// every entry it lists. The data file is the input again behind a version
// tag, so offsets taken from the index land on bytes the fuzzer controls.
// Both files lie in memory behind the platform seam (memory_file.h).
// Whatever the bytes, registering and reading must end in a status or a
// CError, never a crash, a hang or an access out of bounds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "archive/arc_format.h"
#include "archive/arc_index.h"
#include "archive/file_arc.h"
#include "base/byte_order.h"
#include "base/cp932.h"
#include "base/errors.h"
#include "memory_file.h"
#include "platform/platform.h"

namespace {

// Entries read whole only up to this size: the caller's buffer is what
// GetSize() promises, and that may be anything.
constexpr int32_t kLargestWholeRead = 1 << 20;
// Enough entries and extensions to reach every path, few enough to stay fast.
constexpr size_t kMostNames = 16;

// A folder that no disk holds, with a lower-case name (AriRegist folds the
// path), so that only the served files can be opened.
const char kFolder[] = "/fuzz-in-memory";

fuzz::MemoryFiles& Files() {
    static fuzz::MemoryFiles files(platform::System());
    static platform::ScopedFileSystem inPlace(&files);
    return files;
}

// The extensions of the names in the index bytes, walked the way the index
// is (cut-short records end the walk here).
std::set<CString> Extensions(const std::string& index) {
    std::set<CString> found = {"", "prs", "bin", "ogg"};
    size_t at = 0;
    while (index.size() - at >= 4 && found.size() < kMostNames) {
        uint32_t length = le::GetU32(index.data() + at);
        at += 4;
        if (length > index.size() - at) break;
        CString name = arc::Unscramble(index.substr(at, length));
        size_t dot = cp932::FindLastOf(name, ".");
        found.insert(dot == CString::npos ? CString() : name.substr(dot + 1));
        at += length;
        if (index.size() - at < 6) break;
        at += 6;
    }
    return found;
}

void Exercise(const CString& path) {
    CArcFileInfo info;
    CArcIndex::Find(path, &info);

    CFileArc file;
    if (file.Open(path) != kStatusOk) return;
    const int32_t size = file.GetSize();
    char some[32];
    uint32_t done = 0;
    file.Read(some, sizeof some, &done);
    file.Seek(0, nullptr, platform::kFileEnd);
    file.Seek(-1, nullptr, platform::kFileCurrent);
    int32_t high = 0;
    file.Seek(0, &high, platform::kFileBegin);
    if (size >= 0 && size <= kLargestWholeRead) {
        std::vector<char> buffer(static_cast<size_t>(size) + 1);
        file.Read(buffer.data());
    }
    file.Close();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string folder = kFolder;
    const std::string index(reinterpret_cast<const char*>(data), size);
    CArcIndex::Reset();
    Files().Serve(folder + "/data.ari", index);
    Files().Serve(folder + "/data.arc", "WF01" + index);

    try {
        CArcIndex::AriRegist(folder + "/data.ari");
    } catch (const CError&) {
        return 0;
    }

    std::vector<CString> names;
    for (const CString& extension : Extensions(index)) {
        if (!CArcIndex::ListFiles("data", extension, &names)) std::abort();
    }
    if (names.size() > kMostNames) names.resize(kMostNames);
    names.push_back("a.bin");
    std::vector<CString> paths;
    for (const CString& name : names) paths.push_back("data/" + name);
    paths.push_back("DATA\\" + names.front());  // in capitals, the other separator
    for (const CString& path : paths) {
        try {
            Exercise(path);
        } catch (const CError&) {
        }
    }
    // Paths no index can hold.
    CArcFileInfo info;
    for (const char* path : {"", "data", "/data/a.bin", "a.bin", "other/a.bin"}) {
        if (CArcIndex::Find(path, &info)) std::abort();
    }
    return 0;
}
