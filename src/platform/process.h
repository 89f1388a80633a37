// Running another program of the host system and waiting for it: what the
// native tools need to call the MinGW resource compiler and linker.
#pragma once

#include <string>
#include <vector>

namespace platform {

struct ProcessResult {
    // False when the program could not be started at all; *error says why.
    bool started = false;
    // Its exit status; -1 when a signal ended it.
    int exitCode = -1;
    // What it wrote on standard output and standard error, together.
    std::string output;
    std::string error;
};

// Runs argv[0] with the arguments argv[1...] (argv[0] is searched on PATH
// when it holds no '/'), in the folder `workingDir` (empty: the current
// one), with an empty standard input, and waits for it to end.
ProcessResult RunProcess(const std::vector<std::string>& argv, const std::string& workingDir);

// The full path of the program `name` on PATH, or an empty string.
std::string FindOnPath(const std::string& name);

}  // namespace platform
