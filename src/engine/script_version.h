// How a command's version argument is read.
#pragma once

#include <cstdint>

#include "base/types.h"

// The number at the start of `text`: white space is skipped, one '+' or '-'
// taken, then decimal digits up to the first other character. 0 when no
// digit follows ("0.9.0.0" and "x1" both give 0, "1.1.0.2" gives 1). A
// number beyond the 32-bit range gives the nearest limit.
int32_t ScriptVersion(const CString& text);
