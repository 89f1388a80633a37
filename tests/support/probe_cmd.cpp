#include "support/probe_cmd.h"

#include <new>

#include "engine/patch_engine.h"
#include "engine/patch_view.h"

void ProbeCmd::Exec() {
    log_->Add(name_ + ".Exec");
    GetGameDir(gameDirSeen);
    if (onExec) onExec();
    for (int bytes : progress) owner->ReportProgress(bytes);
    Raise(execFault);
    if (doneAfterExec) checkResult = 0;
}

void ProbeCmd::Raise(Fault fault) {
    switch (fault) {
        case Fault::kNone:
            return;
        case Fault::kText:
            throw CTextError{"text error"};
        case Fault::kMessage:
            throw CMessageError{"[" + name_ + "] message error"};
        case Fault::kFileError:
            throw CError("CFileNormal::Read [" + name_ + "] file error\n");
        case Fault::kBadAlloc:
            throw std::bad_alloc();
    }
}
