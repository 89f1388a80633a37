#include "archive/archive_check.h"

#include <memory>

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
