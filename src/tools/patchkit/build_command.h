// patchkit build: makes a patch executable on Linux from a script, a folder
// of payloads and the kit of the Windows program (see kBuildUsage).
#pragma once

#include <filesystem>
#include <string>
#include <vector>

// Exit codes of `patchkit build`.
constexpr int kBuildDone = 0;
constexpr int kBuildFailed = 2;

int BuildCommand(const std::vector<std::string>& args);
extern const char kBuildUsage[];

// The steps of a build that stand on their own (and are tested alone).
namespace patchkit {

// The script as a patch carries it: CP932 bytes with CR LF line ends.
// `raw` that is valid UTF-8 with non-ASCII bytes is converted from UTF-8 (a
// leading byte order mark is dropped); other bytes are taken as CP932 as
// they are. False and a message in *error when a UTF-8 script has a
// character that CP932 lacks, or the script is empty. *warnings gets what
// the author should know but that does not stop the build.
bool PrepareScript(const std::string& raw, std::string* cp932, std::vector<std::string>* warnings,
                   std::string* error);

// Whether `text` can be a payload's resource name or type: one or more
// ASCII letters, digits and '_', not starting with a digit (which would make
// a number of it), and none of the resource compiler's own words (ICON,
// RCDATA, BEGIN, ...; any letter case). False and why in *why.
bool CheckPayloadName(const std::string& text, std::string* why);

struct PayloadFile {
    std::string type;  // as in the folder name
    std::string name;  // as in the file name
    std::filesystem::path path;
};

// Every regular file DIR/TYPE/NAME, sorted by type and name. False and a
// message when the folder is missing or unreadable, holds no payload, holds
// anything else than TYPE folders of files, a name or type fails the checks
// above, two payloads differ only in letter case, or one is SCRIPT of type
// PATCH_SCR (the script's own place).
bool CollectPayloads(const std::filesystem::path& dir, std::vector<PayloadFile>* out,
                     std::string* error);

// Splits a line of arguments as a shell would: blanks separate, single and
// double quotes group, a backslash takes the next character as it is.
bool SplitArguments(const std::string& line, std::vector<std::string>* out, std::string* error);

}  // namespace patchkit
