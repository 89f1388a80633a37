// copy: replaces a whole file of the game with a payload, after a version
// check, keeping the replaced file as a backup.
#pragma once

#include <vector>

#include "engine/script_cmd.h"

class CopyCmd : public ScriptCmd {
public:
    using ScriptCmd::ScriptCmd;
    void Exec() override;
    int64_t Size() override;
    int Check() override;
    void Restore() override;
    void DeleteBackup() override;

    // The backup's name when it is free: game.exe -> game.bak;
    // arc/data.arc -> arc/data_arc.bak (G prefixed). When it is taken, the
    // run's journal gives another one beside it.
    CString BackupPath() const;

private:
    std::vector<CString> backups_;  // made by the last Exec, full paths
};
