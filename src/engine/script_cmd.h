// The base of every script command.
#pragma once

#include "base/types.h"

class IRunContext;

class ScriptCmd {
public:
    explicit ScriptCmd(IRunContext* owner) : owner(owner) {}
    virtual ~ScriptCmd() = default;

    // Carries the command out, reporting progress while it does.
    virtual void Exec() {}
    // Bytes of progress that Exec will report.
    virtual int64_t Size() { return 0; }
    // Nonzero: there is work to do.
    virtual int Check() { return 1; }
    // Undoes the command's changes from its backups after an interrupted run.
    virtual void Restore() {}
    // Removes the command's own backup.
    virtual void DeleteBackup() {}
    // The base path of the command's files: the game folder with one
    // trailing backslash.
    void GetGameDir(CString& out) const;

    CString arg[6];    // the keyword and up to five arguments
    int done = 0;      // already executed when the program started
    int backedUp = 0;  // a backup exists that Restore may put back
    IRunContext* owner;
};

// The rule behind GetGameDir: removes one trailing '\' unless the folder is
// a drive root, then appends '\'. Double-byte aware.
CString MakeGameDir(const CString& folder);
