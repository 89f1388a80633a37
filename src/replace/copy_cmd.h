// copy: replaces a whole file of the game with a payload, after a version
// check, keeping the replaced file as a backup.
#pragma once

#include "engine/script_cmd.h"

class CopyCmd : public ScriptCmd {
public:
    using ScriptCmd::ScriptCmd;
    void Exec() override;
    int Size() override;
    int Check() override;
    void Restore() override;
    void DeleteBackup() override;
    void Recover() override;

    // game.exe -> game.bak; arc/data.arc -> arc/data_arc.bak (G prefixed).
    CString BackupPath() const;
};
