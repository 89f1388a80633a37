// arcVerWrite: stamps an installed archive's data file with its new format
// version, so that later runs find the archive up to date.
#pragma once

#include "engine/script_cmd.h"

class ArcVerWriteCmd : public ScriptCmd {
public:
    using ScriptCmd::ScriptCmd;
    void Exec() override;
    int Check() override;
};
