#include "archive/archive_check.h"

#include "engine/errors.h"
#include "engine/path_parts.h"
#include "platform/cp932.h"
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
