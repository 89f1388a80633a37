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

// The version in a data file's tag, read without any message box; -1 when
// the file cannot be opened or is shorter than its tag.
int32_t TaggedVersion(const CString& path);

// Whether the index file's records describe the data file exactly: walking
// the index's record headers from the tag on ends at the data file's end.
// False when either cannot be read or a record runs past the end.
bool IndexCoversData(const CString& index, const CString& data);
