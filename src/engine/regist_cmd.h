// regist: reads the game folder from the install record.
#pragma once

#include "engine/script_cmd.h"

class RegistCmd : public ScriptCmd {
public:
    using ScriptCmd::ScriptCmd;
    void Exec() override;
};
