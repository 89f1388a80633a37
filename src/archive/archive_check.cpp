#include "archive/archive_check.h"

#include <memory>
#include <vector>

#include "archive/arc_format.h"
#include "engine/errors.h"
#include "engine/path_parts.h"
#include "platform/cp932.h"
#include "platform/platform.h"
#include "replace/version_rules.h"

int CheckArchiveVersion(const ScriptCmd& command, const CString& archive, const CString& version,
                        const char* wrongFormat) {
    if (platform::LowerCased(Extension(archive)) != "arc") {
        throw MessageError(wrongFormat, archive.c_str());
    }
    int32_t wanted = ScriptVersion(version);
    CString base;
    command.GetGameDir(base);
    const CString data = base + archive;
    return PathExists(data) && command.GetFileArcVersion(data) >= wanted ? 0 : 1;
}

int32_t TaggedVersion(const CString& path) {
    uint32_t error = 0;
    std::unique_ptr<platform::IOsFile> file = platform::Current().OpenFile(
        path, platform::kGenericRead, platform::kShareRead, platform::kOpenExisting, &error);
    char tag[arc::kTagSize];
    uint32_t done = 0;
    if (!file || file->Read(tag, arc::kTagSize, &done) != 0 || done != arc::kTagSize) return -1;
    return arc::ReadVersionTag(tag);
}

bool IndexCoversData(const CString& index, const CString& data) {
    platform::IPlatform& os = platform::Current();
    uint32_t error = 0, high = 0;
    std::unique_ptr<platform::IOsFile> dataFile = os.OpenFile(
        data, platform::kGenericRead, platform::kShareRead, platform::kOpenExisting, &error);
    if (!dataFile) return false;
    const uint32_t dataSize = dataFile->Size(&high, &error);
    if (error != 0 || high != 0) return false;
    std::unique_ptr<platform::IOsFile> indexFile = os.OpenFile(
        index, platform::kGenericRead, platform::kShareRead, platform::kOpenExisting, &error);
    if (!indexFile) return false;
    auto read = [&](void* buffer, uint32_t count) {
        uint32_t done = 0;
        return indexFile->Read(buffer, count, &done) == 0 && done == count;
    };
    uint64_t end = arc::kTagSize;
    for (;;) {
        unsigned char length[4];
        uint32_t done = 0;
        if (indexFile->Read(length, 4, &done) != 0) return false;
        if (done == 0) break;  // the index ends
        if (done != 4) return false;
        const uint32_t nameLength =
            length[0] | length[1] << 8 | length[2] << 16 | static_cast<uint32_t>(length[3]) << 24;
        if (nameLength > dataSize) return false;
        std::vector<char> name(nameLength);
        unsigned char fields[6];
        if ((nameLength > 0 && !read(name.data(), nameLength)) || !read(fields, 6)) return false;
        const uint16_t flags = static_cast<uint16_t>(fields[0] | fields[1] << 8);
        const uint32_t size =
            fields[2] | fields[3] << 8 | fields[4] << 16 | static_cast<uint32_t>(fields[5]) << 24;
        end += arc::IndexRecordSize(nameLength) + (arc::HasExpandedSize(flags) ? 4u : 0u) + size;
        if (end > dataSize) return false;
    }
    return end == dataSize;
}
