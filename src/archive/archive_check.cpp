#include "archive/archive_check.h"

#include "archive/arc_version.h"
#include "base/cp932.h"
#include "base/errors.h"
#include "engine/path_parts.h"
#include "engine/script_version.h"

int CheckArchiveVersion(const ScriptCmd& command, const CString& archive, const CString& version,
                        const char* wrongFormat) {
    if (cp932::LowerCased(Extension(archive)) != "arc") {
        throw MessageError(wrongFormat, archive.c_str());
    }
    int32_t wanted = ScriptVersion(version);
    CString base;
    command.GetGameDir(base);
    const CString data = base + archive;
    return PathExists(data) && GetFileArcVersion(*command.owner, data) >= wanted ? 0 : 1;
}
