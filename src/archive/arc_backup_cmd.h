// arcbackup: sets an archive pair aside before the update lines change it,
// so that an interrupted run can put it back whole.
#pragma once

#include "engine/script_cmd.h"

class ArcBackupCmd : public ScriptCmd {
public:
    using ScriptCmd::ScriptCmd;
    void Exec() override;
    int Size() override;
    int Check() override;
    void Restore() override;
    void Recover() override;

    // O = G + S + "." + extension, B = G + S + "_" + extension + ".bak".
    CString FilePath(const char* extension) const;
    CString BackupPath(const char* extension) const;

private:
    // Renames the file to its backup and copies the backup back under the
    // file's name. When that fails part way, the file is put back as it was
    // (as far as the disk lets it) and the message is raised.
    void BackupProc(const char* extension);
    // Copies the backup over the file's name (made anew).
    void CopyBack(const CString& backup, const CString& original, const CString& named);
    // Puts one backup back over its file, if there is one. Throws
    // CMessageError when it cannot.
    void PutBack(const char* extension);
    // The file as the game folder spells it (the pair is addressed as
    // .ARC/.ARI, but a file made again keeps the name it had).
    CString OnDiskPath(const char* extension);

    CString onDisk_[2];  // the data file's and the index file's names, once seen
};
