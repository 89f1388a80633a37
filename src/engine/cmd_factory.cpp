#include "engine/cmd_factory.h"

#include <cstring>

#include "base/errors.h"
#include "engine/script_parser.h"
#include "engine/texts.h"
#include "fileio/file_resource.h"

void CmdFactory::LoadScript() {
    FileResource script;
    script.Open(text::kScriptName, text::kScriptType);
    LoadScriptText(reinterpret_cast<const char*>(script.GetData()), script.GetSize());
}

void CmdFactory::LoadScriptText(const char* text, size_t size) {
    std::vector<std::string> lines = SplitScriptLines(text, size);
    commands_.clear();
    cursor_ = 0;
    for (const std::string& line : lines) {
        std::vector<std::string> tokens = TokenizeScriptLine(line);
        boost::shared_ptr<ScriptCmd> command;
        if (!tokens[0].empty()) {
            command = CreateCmd(tokens[0]);
            command->arg[0] = tokens[0];
        } else {
            command.reset(new ScriptCmd(owner_));
        }
        for (size_t i = 1; i < tokens.size() && i < 6; ++i) command->arg[i] = tokens[i];
        commands_.push_back(command);
    }
}

boost::shared_ptr<ScriptCmd> CmdFactory::CreateCmd(const CString& keyword) {
    for (const CommandKeyword& entry : keywords_) {
        if (keyword == entry.word) return entry.make(owner_);
    }
    throw CTextError{text::kUndefinedCommand};
}

ScriptCmd* CmdFactory::FindCmd(const CString& keyword) {
    for (const auto& command : commands_) {
        if (command->arg[0] == keyword) return command.get();
    }
    return nullptr;
}

ScriptCmd* CmdFactory::Next() {
    if (cursor_ >= commands_.size()) return nullptr;
    return commands_[cursor_++].get();
}
