// Turns the patch script into the ordered list of commands.
#pragma once

#include <boost/shared_ptr.hpp>
#include <vector>

#include "engine/command_table.h"
#include "engine/script_cmd.h"

class CmdFactory {
public:
    explicit CmdFactory(const CommandTable& keywords) : keywords_(keywords) {}
    virtual ~CmdFactory() = default;

    // The run context every new command receives.
    void SetOwner(IRunContext* owner) { owner_ = owner; }
    // Reads the script from the payload store and replaces the command list.
    // Throws CTextError for an undefined keyword.
    void LoadScript();
    // Replaces the command list with the commands of a script text.
    void LoadScriptText(const char* text, size_t size);
    // A new command for a keyword (exact, case-sensitive). Throws CTextError.
    boost::shared_ptr<ScriptCmd> CreateCmd(const CString& keyword);
    // The first command whose keyword is `keyword` exactly, or null.
    ScriptCmd* FindCmd(const CString& keyword);
    void First() { cursor_ = 0; }
    // The command under the cursor, which then moves on; null at the end.
    ScriptCmd* Next();

    // Appends a command made elsewhere (tests, tools).
    void Add(boost::shared_ptr<ScriptCmd> command) { commands_.push_back(std::move(command)); }
    size_t Count() const { return commands_.size(); }
    ScriptCmd* At(size_t index) const { return commands_.at(index).get(); }

private:
    const CommandTable& keywords_;
    IRunContext* owner_ = nullptr;
    std::vector<boost::shared_ptr<ScriptCmd>> commands_;
    size_t cursor_ = 0;
};
