// The file moves that backups are made of, each examined: a backup that
// cannot be put back must be said, never passed over in silence.
#pragma once

#include "base/types.h"

// Whether the existing file at `path` may be moved aside: no other program
// holds it without sharing, so that its backup could take its place again.
// A read-only file may: a rename needs no right to write to it.
bool CanMoveAside(const CString& path);
// Puts a backup back under the file's name: deletes the file if it is there,
// then renames the backup to it. When the file cannot be deleted but holds
// the backup's very bytes, the backup is deleted instead. Throws
// CMessageError ("[backup] ...") when a step fails; the backup then stays
// where it is.
void PutBackupBack(const CString& backup, const CString& original);
