// The script loader on arbitrary text, and the line splitter and tokenizer
// beneath it.
//
// The splitter must give lines that are never empty and hold no CR, TAB or
// LF; the tokenizer must give tokens without blanks that put back together
// (blanks dropped) make the line again, with an empty token only first or
// last. The loader either refuses the text with CTextError (an undefined
// keyword) or makes one command per line, which FindCmd and First/Next then
// walk without touching any file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/errors.h"
#include "engine/cmd_factory.h"
#include "engine/script_cmd.h"
#include "engine/script_parser.h"
#include "wiring/patch_commands.h"

namespace {

// The blanks of the C locale, as the tokenizer classifies them.
bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The keywords the loader knows, and a few it must not.
const char* const kKeywords[] = {"title",  "regist",      "deletebak", "copy", "arcbackup",
                                 "update", "arcVerWrite", "Title",     "",     "copy "};

void Require(bool condition) {
    if (!condition) std::abort();
}

// The tokens of a line, checked: no blanks inside, an empty one only first
// or last, and together the line without its blanks.
std::vector<std::string> CheckedTokens(const std::string& line) {
    std::vector<std::string> tokens = TokenizeScriptLine(line);
    Require(!tokens.empty());
    std::string joined;
    for (size_t i = 0; i < tokens.size(); ++i) {
        for (char c : tokens[i]) Require(!IsBlank(c));
        Require(!tokens[i].empty() || i == 0 || i + 1 == tokens.size());
        joined += tokens[i];
    }
    std::string unblanked;
    for (char c : line) {
        if (!IsBlank(c)) unblanked += c;
    }
    Require(joined == unblanked);
    return tokens;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // An exactly-sized copy, so that reading past the end is seen.
    std::vector<char> bytes(data, data + size);
    const char* text = bytes.empty() ? nullptr : bytes.data();

    // The tokenizer on the raw bytes as one line (blanks of every kind).
    CheckedTokens(std::string(bytes.begin(), bytes.end()));

    const std::vector<std::string> lines = SplitScriptLines(text, size);
    size_t characters = 0;
    for (const std::string& line : lines) {
        Require(!line.empty());
        Require(line.find_first_of("\r\t\n") == std::string::npos);
        characters += line.size();
    }
    Require(characters <= size);

    CmdFactory factory(PatchCommands());
    try {
        factory.LoadScriptText(text, size);
    } catch (const CTextError& error) {
        Require(error.text != nullptr);
        return 0;
    }

    // Loaded: one command per line, keyword and arguments from its tokens.
    Require(factory.Count() == lines.size());
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::vector<std::string> tokens = CheckedTokens(lines[i]);
        const ScriptCmd* command = factory.At(i);
        Require(command->arg[0] == tokens[0]);
        for (size_t a = 1; a < 6; ++a) {
            Require(command->arg[a] == (a < tokens.size() ? tokens[a] : std::string()));
        }
    }
    for (const char* keyword : kKeywords) {
        ScriptCmd* found = factory.FindCmd(keyword);
        ScriptCmd* first = nullptr;
        for (size_t i = 0; i < factory.Count() && !first; ++i) {
            if (factory.At(i)->arg[0] == keyword) first = factory.At(i);
        }
        Require(found == first);
    }
    for (int pass = 0; pass < 2; ++pass) {
        factory.First();
        for (size_t i = 0; i < factory.Count(); ++i) Require(factory.Next() == factory.At(i));
        Require(factory.Next() == nullptr);
        Require(factory.Next() == nullptr);
    }
    return 0;
}
