// The file moves that backups are made of, each examined: a backup that
// cannot be put back must be said, never passed over in silence.
#pragma once

#include "engine/types.h"

// Puts a backup back under the file's name: deletes the file if it is there,
// then renames the backup to it. Throws CMessageError ("[backup] ...") when
// a step fails; the backup then stays where it is.
void PutBackupBack(const CString& backup, const CString& original);
// Deletes a backup that is no longer needed. Throws CMessageError when the
// deletion fails.
void RemoveBackup(const CString& backup);
// Whether the file at `path` holds exactly the bytes of a payload. False
// when either cannot be read.
bool HoldsPayload(const CString& path, const CString& name, const CString& type);
// Whether a backup at `relativePath` (below the game folder) is one that
// the clean-up of a finished run deletes: it lies in the game folder itself
// or in its "arc" folder.
bool CleanedUpAfterRun(const CString& relativePath);
