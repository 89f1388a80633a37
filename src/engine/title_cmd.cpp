#include "engine/title_cmd.h"

#include "engine/patch_engine.h"

void TitleCmd::Exec() { owner->View().SetCaption(arg[1]); }
