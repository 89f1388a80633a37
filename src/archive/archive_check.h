// The check the archive commands share: is the archive already at the
// script's version?
#pragma once

#include "engine/script_cmd.h"

// 0 when the data file G + archive exists and its version tag is at least
// the script version `version`; 1 otherwise (also when the tag cannot be
// read). Throws the message `wrongFormat` ("[%s] ...", with `archive`) when
// the archive's extension is not "arc".
int CheckArchiveVersion(const ScriptCmd& command, const CString& archive, const CString& version,
                        const char* wrongFormat);
