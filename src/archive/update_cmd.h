// update: replaces one entry of an installed archive with a payload. The
// old index record is retired in place; a new record is appended to the
// index and, with the payload's bytes, to the data file.
#pragma once

#include "engine/script_cmd.h"

class UpdateCmd : public ScriptCmd {
public:
    using ScriptCmd::ScriptCmd;
    void Exec() override;
    int64_t Size() override;
    int Check() override;
};
