// The archive version readers every command may use: the format version
// that an archive data file's or a payload's version tag gives.
#pragma once

#include "base/types.h"
#include "engine/run_context.h"

// The format version of an installed archive data file, from its version
// tag; -1 (after an error box) when it is not there or is shorter than its
// tag. Throws CMessageError when it is there but cannot be opened or read.
int GetFileArcVersion(IRunContext& context, const CString& path);
// The format version of a payload, from its first four bytes; -1 (after
// an error box) when it is shorter. Throws CMessageError when there is
// no such payload.
int GetResourceArcVersion(IRunContext& context, const CString& name, const CString& type);
