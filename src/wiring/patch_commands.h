// The program's commands: every keyword of the script with the command it
// makes. The one place that knows both the engine and every command.
#pragma once

#include "engine/command_table.h"

// title, regist, deletebak, copy, arcbackup, update, arcVerWrite.
const CommandTable& PatchCommands();
