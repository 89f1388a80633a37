// arcbackup: sets an archive pair aside before the update lines change it,
// so that an interrupted run can put it back whole.
#pragma once

#include <vector>

#include "engine/script_cmd.h"

class ArcBackupCmd : public ScriptCmd {
public:
    using ScriptCmd::ScriptCmd;
    void Exec() override;
    int64_t Size() override;
    int Check() override;
    void Restore() override;

    // O = G + S + "." + extension; B = G + S + "_" + extension + ".bak",
    // the backup's name when it is free (the run's journal gives another
    // one beside it when it is taken).
    CString FilePath(const char* extension) const;
    CString BackupPath(const char* extension) const;

private:
    // Moves the file aside to its backup and copies the backup back under
    // the file's name.
    void BackupProc(const char* extension);
    // Copies the backup over the file's name (made anew).
    void CopyBack(const CString& backup, const CString& original, const CString& named);
    // The file as the game folder spells it (the pair is addressed as
    // .ARC/.ARI, but a file made again keeps the name it had).
    CString OnDiskPath(const char* extension);

    CString onDisk_[2];             // the data file's and the index file's names, once seen
    std::vector<CString> backups_;  // made by the last Exec, full paths
};
