// title: sets the dialog caption to its first argument.
#pragma once

#include "engine/script_cmd.h"

class TitleCmd : public ScriptCmd {
public:
    using ScriptCmd::ScriptCmd;
    void Exec() override;
};
