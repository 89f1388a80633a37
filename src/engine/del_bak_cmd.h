// The backup clean-up: deletes the files that match its patterns.
#pragma once

#include <vector>

#include "engine/script_cmd.h"

class DelBakCmd : public ScriptCmd {
public:
    using ScriptCmd::ScriptCmd;
    // Patterns relative to the game folder, with '*' and '?'.
    void AddPattern(const CString& pattern) { patterns.push_back(pattern); }
    void Exec() override;

    std::vector<CString> patterns;
};
