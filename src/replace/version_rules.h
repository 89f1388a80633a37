// How a command's version argument is read, and the rule that decides
// whether an installed executable is up to date.
#pragma once

#include <cstdint>

#include "engine/types.h"

// The number at the start of `text`: white space is skipped, one '+' or '-'
// taken, then decimal digits up to the first other character. 0 when no
// digit follows ("0.9.0.0" and "x1" both give 0, "1.1.0.2" gives 1). A
// number beyond the 32-bit range gives the nearest limit.
int32_t ScriptVersion(const CString& text);

// The installed executable is up to date when its file version text is
// greater than or equal to the script's version text, compared as plain
// strings (byte by byte as unsigned values; a prefix is the smaller). Texts,
// not numbers: 1.1.0.10 is older than 1.1.0.2 by this rule, and the empty
// text of an executable without version information is older than anything.
bool IsExeUpToDate(const CString& installed, const CString& argument);
