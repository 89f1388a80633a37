// The patches the sweeps run: the real sample patch on a fresh sample game,
// and a patch with more kinds of lines (two archives, an index copied before
// its data file, a copy of a file that does not exist yet, large payloads)
// whose script and payloads are made here.
#pragma once

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "base/types.h"
#include "platform/platform.h"
#include "reliability/file_tree.h"

namespace reliability {

struct Scenario {
    std::string name;
    // The payload store.
    std::unique_ptr<platform::IPayloadStore> payloads;
    // Whether the engine loads the script from the store (a real patch) or
    // is given `script`.
    bool scriptFromPayloads = false;
    CString script;  // the script text, CP932, also when it comes from the store
    FolderImage game;
    std::set<std::string> copyTargets;  // as FileTree names them
};

// The sample patch (a patch executable, path of the host system) on the
// sample game made with `gameExePath` (the 1.0 executable) as its game.exe.
// Null and *error when a file cannot be read or the game cannot be made
// below `workBase`.
std::unique_ptr<Scenario> SampleScenario(const std::string& patchPath,
                                         const std::string& gameExePath,
                                         const std::string& workBase, std::string* error);

// The second patch. With both executables (the installed one and the new
// one, each with version information), it also copies game.exe by version.
std::unique_ptr<Scenario> MultiScenario(const std::string& oldExe, const std::string& newExe);

// The third patch: backup names that are taken and a read-only install. A
// read-only game.exe and a game.dll that share one backup name, a read-only
// archive pair in arc, and a pair in data (outside the clean-up's folders)
// beside backups that an earlier patch left there.
std::unique_ptr<Scenario> StemsScenario();

// A copy line of a script.
struct CopyLine {
    std::string target;  // lower case with "/" between names, as FileTree names it
    std::string payloadName, payloadType;
};
// The copy lines of a script, read as the program reads its lines: "//"
// starts a comment, tabs are dropped, words are separated by blanks, the
// keyword is matched exactly.
std::vector<CopyLine> CopyLines(const CString& script);
// Their targets.
std::set<std::string> CopyTargets(const CString& script);

// A host file's bytes; false when it cannot be read.
bool ReadHostFile(const std::string& path, std::string* bytes);

}  // namespace reliability
