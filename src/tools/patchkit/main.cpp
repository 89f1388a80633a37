// patchkit: the patch author's tool on Linux.
#include <iostream>
#include <string>
#include <vector>

#include "tools/patchkit/build_command.h"
#include "tools/patchkit/run_command.h"

namespace {

const char kUsage[] =
    "usage: patchkit COMMAND [ARGS...]\n"
    "\n"
    "commands:\n"
    "  run PATCH.exe [--game DIR] [--record DIR] [--pause-ms N]\n"
    "        apply a patch executable to a game folder\n"
    "  build --script FILE --payloads DIR --output OUT.exe [--arch i686|x86_64] [--kit DIR]\n"
    "        build a patch executable from a script and a folder of payloads\n"
    "\n"
    "patchkit COMMAND --help tells more.\n";

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        std::cout << kUsage;
        return args.empty() ? 2 : 0;
    }
    std::string command = args[0];
    args.erase(args.begin());
    if (command == "run") return RunCommand(args);
    if (command == "build") return BuildCommand(args);
    std::cerr << "patchkit: unknown command " << command << "\n\n" << kUsage;
    return 2;
}
