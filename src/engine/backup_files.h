// The file moves that backups are made of, each examined: a backup that
// cannot be put back must be said, never passed over in silence.
#pragma once

#include "engine/types.h"

// Whether the existing file at `path` may be changed where it is: it opens
// for writing (it is not read-only) and no other program holds it without
// sharing. A file that fails this is not set aside as a backup, since a
// new file could take its name but the backup could not take it back.
bool CanChangeInPlace(const CString& path);
// Puts a backup back under the file's name: deletes the file if it is there,
// then renames the backup to it. When the file cannot be deleted but holds
// the backup's very bytes, the backup is deleted instead. Throws
// CMessageError ("[backup] ...") when a step fails; the backup then stays
// where it is.
void PutBackupBack(const CString& backup, const CString& original);
// Deletes a backup that is no longer needed. False when the deletion fails
// (the backup stays, as after a clean-up that could not delete it).
bool RemoveBackup(const CString& backup);
// Whether the file at `path` holds exactly the bytes of a payload. False
// when either cannot be read.
bool HoldsPayload(const CString& path, const CString& name, const CString& type);
// Whether a backup at `relativePath` (below the game folder) is one that
// the clean-up of a finished run deletes: it lies in the game folder itself
// or in its "arc" folder.
bool CleanedUpAfterRun(const CString& relativePath);
