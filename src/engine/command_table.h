// The keywords the script may use and the command each one makes, handed
// to the factory by whoever puts the program together.
#pragma once

#include <boost/shared_ptr.hpp>
#include <vector>

#include "engine/script_cmd.h"

// Makes a new command that works in `context`.
using CommandMaker = boost::shared_ptr<ScriptCmd> (*)(IRunContext* context);

struct CommandKeyword {
    const char* word;  // matched exactly, case-sensitive
    CommandMaker make;
};

// Compared in table order, byte for byte.
using CommandTable = std::vector<CommandKeyword>;

template <typename Command>
boost::shared_ptr<ScriptCmd> MakeCommand(IRunContext* context) {
    return boost::shared_ptr<ScriptCmd>(new Command(context));
}
