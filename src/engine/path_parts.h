// Pieces of the paths that commands build: extension, stem, existence.
#pragma once

#include "base/types.h"

// The text after the last "." (double-byte aware); empty without a ".".
CString Extension(const CString& path);
// The text before the last "."; the whole path without a ".".
CString Stem(const CString& path);
// Whether a find-first-file search for the path finds a file or folder.
// Throws CMessageError when the search itself fails.
bool PathExists(const CString& path);
