#include "engine/cmd_factory.h"

#include <cstring>

#include "archive/arc_backup_cmd.h"
#include "archive/arc_ver_write_cmd.h"
#include "archive/update_cmd.h"
#include "engine/del_bak_cmd.h"
#include "engine/errors.h"
#include "engine/regist_cmd.h"
#include "engine/script_parser.h"
#include "engine/texts.h"
#include "engine/title_cmd.h"
#include "fileio/file_resource.h"
#include "replace/copy_cmd.h"

namespace {

template <typename Command>
boost::shared_ptr<ScriptCmd> Make(CPatchEngine* owner) {
    return boost::shared_ptr<ScriptCmd>(new Command(owner));
}

struct Keyword {
    const char* word;
    boost::shared_ptr<ScriptCmd> (*make)(CPatchEngine*);
};

// Compared in this order, byte for byte.
const Keyword kKeywords[] = {
    {"title", &Make<TitleCmd>},
    {"regist", &Make<RegistCmd>},
    {"deletebak", &Make<DelBakCmd>},
    {"copy", &Make<CopyCmd>},
    {"arcbackup", &Make<ArcBackupCmd>},
    {"update", &Make<UpdateCmd>},
    {"arcVerWrite", &Make<ArcVerWriteCmd>},
};

}  // namespace

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
    for (const Keyword& entry : kKeywords) {
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
