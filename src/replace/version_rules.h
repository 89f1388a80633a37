// The rule that decides whether an installed executable is up to date.
#pragma once

#include "base/types.h"

// The installed executable is up to date when its file version text is
// greater than or equal to the script's version text, compared as plain
// strings (byte by byte as unsigned values; a prefix is the smaller). Texts,
// not numbers: 1.1.0.10 is older than 1.1.0.2 by this rule, and the empty
// text of an executable without version information is older than anything.
bool IsExeUpToDate(const CString& installed, const CString& argument);
