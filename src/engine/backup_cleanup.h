// The backup clean-up: deletes the files below a game folder that match
// patterns such as "*.bak" and "arc/*.bak". What the finished run does at
// its end and what the deletebak command does.
#pragma once

#include <vector>

#include "base/types.h"

// `gameDir`: the game folder with one trailing '\' (GetGameDir). Patterns
// may hold '*' and '?' in their last part; folders are left alone, and a
// file that cannot be deleted stays without an error.
void DeleteMatchingFiles(const CString& gameDir, const std::vector<CString>& patterns);

// The patterns of a finished run: the "*.bak" files of the game folder and
// of its "arc" folder.
const std::vector<CString>& FinishedRunBackupPatterns();
