#include "engine/del_bak_cmd.h"

#include "engine/backup_cleanup.h"

void DelBakCmd::Exec() {
    CString base;
    GetGameDir(base);
    DeleteMatchingFiles(base, patterns);
}
