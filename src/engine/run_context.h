// The run as a command sees it: the folder it works in, where its progress
// and its messages go, and the journal its backups are listed in. The
// engine implements it; commands know nothing else of the engine.
#pragma once

#include "base/types.h"
#include "engine/backup_journal.h"
#include "engine/patch_view.h"

class IRunContext {
public:
    virtual ~IRunContext() = default;

    // The folder commands work in (see CPatchEngine::GetRunFolder).
    virtual CString GetRunFolder() = 0;
    // The folder the user chose or the install record gave, and its display.
    virtual void SetGameFolder(const CString& folder) = 0;
    virtual void ShowGameFolder() = 0;
    // The bytes a command has just processed.
    virtual void ReportProgress(int bytes) = 0;
    // The window: message boxes and the caption.
    virtual IPatchView& View() = 0;
    // The journal of the backups of the run under way.
    virtual CBackupJournal& Journal() = 0;
};
