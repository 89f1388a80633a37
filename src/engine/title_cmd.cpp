#include "engine/title_cmd.h"

#include "engine/run_context.h"

void TitleCmd::Exec() { owner->View().SetCaption(arg[1]); }
