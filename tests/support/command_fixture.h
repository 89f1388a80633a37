// What the tests of the file-changing commands share: a game folder, an
// in-memory payload store, an engine with a recording window as the
// commands' owner, and helpers to look at files and at what the commands
// reported. A disk that fails is support/fault_disk.h.
#pragma once

#include <gtest/gtest.h>

#include <boost/shared_ptr.hpp>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "common/file_tree.h"
#include "common/temp_dir.h"
#include "common/tree_diff.h"
#include "engine/patch_engine.h"
#include "engine/script_cmd.h"
#include "support/memory_payloads.h"
#include "support/recording_view.h"
#include "wiring/patch_commands.h"

namespace testing_support {

class CommandTest : public ::testing::Test {
protected:
    CommandTest();
    ~CommandTest() override;

    // A command with a script line's words (the keyword first), owned by
    // the fixture and not part of any run.
    template <typename Command>
    Command& Make(std::initializer_list<CString> words) {
        auto* command = new Command(&engine);
        int i = 0;
        for (const CString& word : words) command->arg[i++] = word;
        made_.emplace_back(command);
        return *command;
    }

    // A file below the game folder ("/" between names).
    void Put(const std::string& relative, const std::string& bytes);
    // Its bytes; "<missing>" when it cannot be read.
    std::string Get(const std::string& relative);
    bool Has(const std::string& relative);
    // Every file below the game folder but the run's journal, without the
    // read-only marks (the tests that set the attribute look at it apart).
    FileTree Files();
    // Whether the journal of the backups is in the game folder.
    bool HasJournal();
    // Starts the commands afresh: the engine lets go of its journal, and
    // the journal file is deleted.
    void ForgetJournal();

    // The path a command builds for a script path: the game folder, one
    // "\", then the script path as written.
    std::string Full(const std::string& relative) const;

    // The byte counts of the progress reports posted so far.
    std::vector<int> Progress();
    // The texts of the message boxes shown so far.
    std::vector<std::string> Boxes();
    // Runs body and returns the text of the message error it raised; empty
    // when it raised none. Any other exception fails the test.
    std::string Raised(const std::function<void()>& body);

    // A message of the program: its UTF-8 format (one "%s") in CP932 with
    // the argument put in.
    static std::string Message(const char* utf8Format, const std::string& argument);

    TempDir game;
    MemoryPayloads payloads;
    platform::ScopedPayloadStore usePayloads{&payloads};
    RecordingView view;
    CPatchEngine engine{view, PatchCommands()};

private:
    std::vector<boost::shared_ptr<ScriptCmd>> made_;
};

// The folder that holds the executables with version information built for
// the tests (version_ja.exe: 1.1.0.2, version_en.exe: 1.1.0.10,
// version_fixed_only.exe: 2.0.0.0, version_none.exe: none), with a trailing
// separator; empty when they were not built.
std::string VersionImagesFolder();

// u16 and u32 fields, little-endian.
std::string Le16(uint16_t value);
std::string Le32(uint32_t value);

// Bytes that are easy to tell apart: byte i is a function of i and seed.
std::string Pattern(size_t size, unsigned seed = 0);

}  // namespace testing_support
