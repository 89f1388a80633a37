// What the tests of the file-changing commands share: a game folder, an
// in-memory payload store, an engine with a recording window as the
// commands' owner, a disk that can be told to fail, and helpers to look at
// files and at what the commands reported.
#pragma once

#include <gtest/gtest.h>

#include <boost/shared_ptr.hpp>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/temp_dir.h"
#include "engine/patch_engine.h"
#include "engine/script_cmd.h"
#include "platform/forwarding_platform.h"
#include "support/memory_payloads.h"
#include "support/recording_view.h"

namespace testing_support {

// A disk on which one file misbehaves once it has been opened for writing:
// its writes fail after a number of good ones, or closing it fails. Every
// other file, and every call but OpenFile, goes to the target.
class FailingDisk : public platform::ForwardingPlatform {
public:
    explicit FailingDisk(platform::IPlatform& target) : ForwardingPlatform(target) {}

    // The file that misbehaves: a path ending in this ("/" and "\" alike,
    // ASCII letters in any case).
    std::string file;
    // Writes to it that still succeed; then every write fails. Negative:
    // all succeed.
    int writesLeft = -1;
    // Closing it fails (the data written stays).
    bool failClose = false;

    std::unique_ptr<platform::IOsFile> OpenFile(const std::string& path, uint32_t access,
                                                uint32_t share, uint32_t disposition,
                                                uint32_t* error) override;

private:
    bool Matches(const std::string& path) const;
};

// The bytes a file of the game folder holds, by its path below the folder
// with "/" between names. Names are folded to lower case: the system the
// patch runs on does not tell names apart by case.
using FileTree = std::map<std::string, std::string>;

// Equal bytes; otherwise the sizes and the first offset that differs, with
// a few bytes of each around it (archives are too long to print whole).
::testing::AssertionResult SameBytes(const std::string& actual, const std::string& expected);
// The same files with the same bytes; otherwise what is missing, extra or
// different.
::testing::AssertionResult SameFiles(const FileTree& actual, const FileTree& expected);

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
    // Every file below the game folder but the run's journal.
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
    platform::ScopedPlatform usePayloads{&payloads};
    RecordingView view;
    CPatchEngine engine{view};

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
