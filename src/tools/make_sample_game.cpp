// The sample game, version 1.0, and the payloads of its patch to 1.1.
//
//   make_sample_game game DIR --exe GAME_1_0.EXE      a fresh game folder DIR
//   make_sample_game payloads DIR --exe GAME_1_1.EXE  the patch's payloads, laid
//                                                     out as DIR/TYPE/NAME
//
// The game's executable comes from the build (it carries a version
// resource); everything else is made by the sample_game library, the
// archives with the same format routines the patch uses.
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/cp932.h"
#include "tools/sample_game.h"

namespace {

int Usage() {
    std::cerr << "usage: make_sample_game game DIR --exe GAME_1_0.EXE\n"
                 "       make_sample_game payloads DIR --exe GAME_1_1.EXE\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() < 2) return Usage();
    std::string dir;
    if (!platform::Utf8ToCp932(args[1], &dir)) {
        std::cerr << "make_sample_game: the folder name cannot be written in CP932\n";
        return 2;
    }
    if (args.size() != 4 || args[2] != "--exe" || (args[0] != "game" && args[0] != "payloads")) {
        return Usage();
    }
    std::ifstream exe(args[3], std::ios::binary);
    if (!exe) {
        std::cerr << "make_sample_game: cannot read " << args[3] << '\n';
        return 1;
    }
    std::string bytes((std::istreambuf_iterator<char>(exe)), std::istreambuf_iterator<char>());
    bool ok = args[0] == "game" ? sample_game::MakeGame(dir, bytes)
                                : sample_game::MakePayloads(dir, bytes);
    if (!ok) {
        std::cerr << "make_sample_game: cannot write " << args[1] << '\n';
        return 1;
    }
    return 0;
}
