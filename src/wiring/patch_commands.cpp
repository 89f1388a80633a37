#include "wiring/patch_commands.h"

#include "archive/arc_backup_cmd.h"
#include "archive/arc_ver_write_cmd.h"
#include "archive/update_cmd.h"
#include "engine/del_bak_cmd.h"
#include "engine/regist_cmd.h"
#include "engine/title_cmd.h"
#include "replace/copy_cmd.h"

const CommandTable& PatchCommands() {
    static const CommandTable table = {
        {"title", &MakeCommand<TitleCmd>},
        {"regist", &MakeCommand<RegistCmd>},
        {"deletebak", &MakeCommand<DelBakCmd>},
        {"copy", &MakeCommand<CopyCmd>},
        {"arcbackup", &MakeCommand<ArcBackupCmd>},
        {"update", &MakeCommand<UpdateCmd>},
        {"arcVerWrite", &MakeCommand<ArcVerWriteCmd>},
    };
    return table;
}
