// patchkit build, the steps that stand alone: how a script becomes the bytes
// a patch carries, which payload names and types are taken, and how the
// payload folder is read.
#include "tools/patchkit/build_command.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "common/temp_dir.h"

namespace fs = std::filesystem;

namespace {

struct ScriptCase {
    const char* what;
    std::string raw;
    std::string expected;
    const char* warning;  // a piece of the one expected warning, or null
};

TEST(PrepareScript, ConvertsToCp932WithCrLf) {
    const ScriptCase cases[] = {
        {"ASCII with LF", "title A\ncopy x\n", "title A\r\ncopy x\r\n", nullptr},
        {"CR LF stays single", "title A\r\ncopy x\r\n", "title A\r\ncopy x\r\n", nullptr},
        {"mixed line ends", "a\r\nb\nc\r\n", "a\r\nb\r\nc\r\n", nullptr},
        // テスト, and 表 and ソ whose second CP932 byte is a backslash.
        {"UTF-8 becomes CP932",
         "title \xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88\n\xE8\xA1\xA8\xE3\x82\xBD\n",
         "title \x83\x65\x83\x58\x83\x67\r\n\x95\x5C\x83\x5C\r\n", nullptr},
        {"CP932 stays as it is", "title \x83\x65\x83\x58\x83\x67\n\x95\x5C\x83\x5C\n",
         "title \x83\x65\x83\x58\x83\x67\r\n\x95\x5C\x83\x5C\r\n", nullptr},
        {"UTF-8 byte order mark dropped", "\xEF\xBB\xBFtitle \xE3\x83\x86\n", "title \x83\x65\r\n",
         nullptr},
        {"last line without line end", "title A\ncopy x", "title A\r\ncopy x", "(line 2)"},
        {"blank last line without line end", "title A\n  \t", "title A\r\n  \t", nullptr},
        {"neither UTF-8 nor CP932", "title \x80\x80\n", "title \x80\x80\r\n", "neither"},
    };
    for (const ScriptCase& c : cases) {
        SCOPED_TRACE(c.what);
        std::string out, error;
        std::vector<std::string> warnings;
        ASSERT_TRUE(patchkit::PrepareScript(c.raw, &out, &warnings, &error)) << error;
        EXPECT_EQ(out, c.expected);
        if (c.warning) {
            ASSERT_EQ(warnings.size(), 1u);
            EXPECT_NE(warnings[0].find(c.warning), std::string::npos) << warnings[0];
        } else {
            EXPECT_TRUE(warnings.empty()) << warnings[0];
        }
    }
}

TEST(PrepareScript, RefusesEmptyAndUnconvertible) {
    const struct {
        std::string raw;
        const char* message;
    } cases[] = {
        {"", "empty"},
        {"\xEF\xBB\xBF", "empty"},
        // An emoji has no CP932 form: the error names its line.
        {"title A\ntitle \xF0\x9F\x98\x80\n", "line 2 "},
    };
    for (const auto& c : cases) {
        std::string out, error;
        std::vector<std::string> warnings;
        EXPECT_FALSE(patchkit::PrepareScript(c.raw, &out, &warnings, &error)) << c.message;
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
    }
}

TEST(PayloadNames, TakesOnlyWhatTheResourceCompilerKeepsAsWritten) {
    const struct {
        const char* text;
        bool taken;
    } cases[] = {
        {"ENTRY_A", true},   {"entry_a9", true}, {"_x", true},      {"123", false},
        {"9ABC", false},     {"ICON", false},    {"rcdata", false}, {"Begin", false},
        {"A.prs", false},    {"A-B", false},     {"A B", false},    {"", false},
        {"\x83\x65", false},
    };
    for (const auto& c : cases) {
        std::string why;
        EXPECT_EQ(patchkit::CheckPayloadName(c.text, &why), c.taken) << c.text;
    }
}

class PayloadFolder : public ::testing::Test {
protected:
    void Put(const std::string& relative, const std::string& bytes = "x") {
        fs::path file = root() / relative;
        fs::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << bytes;
    }
    fs::path root() const { return fs::path(dir_.path()) / "payloads"; }

    testing_support::TempDir dir_;
};

TEST_F(PayloadFolder, ListsEveryTypeFolderFileSorted) {
    Put("PATCH_SCR/ENTRY_B");
    Put("PATCH_SCR/ENTRY_A");
    Put("DATA/X1");
    fs::create_directories(root() / "EMPTY");  // a type without files is no payload
    std::vector<patchkit::PayloadFile> payloads;
    std::string error;
    ASSERT_TRUE(patchkit::CollectPayloads(root(), &payloads, &error)) << error;
    ASSERT_EQ(payloads.size(), 3u);
    EXPECT_EQ(payloads[0].type + "/" + payloads[0].name, "DATA/X1");
    EXPECT_EQ(payloads[1].type + "/" + payloads[1].name, "PATCH_SCR/ENTRY_A");
    EXPECT_EQ(payloads[2].type + "/" + payloads[2].name, "PATCH_SCR/ENTRY_B");
    EXPECT_EQ(payloads[1].path, root() / "PATCH_SCR" / "ENTRY_A");
}

TEST_F(PayloadFolder, RefusesWhatCannotBecomeResources) {
    const struct {
        const char* what;
        std::vector<std::string> files;  // a trailing '/' makes a folder
        const char* message;
    } cases[] = {
        {"no folder", {}, "does not exist"},
        {"no payload", {"PATCH_SCR/"}, "holds no payload"},
        {"a file beside the type folders", {"PATCH_SCR/A", "README"}, "is not a folder"},
        {"a folder among the payloads", {"PATCH_SCR/A", "PATCH_SCR/SUB/B"}, "not a regular file"},
        {"a name with a dot", {"PATCH_SCR/ENTRY_A.prs"}, "payload name ENTRY_A.prs"},
        {"a type of the compiler's words", {"ICON/A"}, "payload type ICON"},
        {"a name of digits", {"PATCH_SCR/123"}, "payload name 123"},
        {"names differing in case", {"PATCH_SCR/Entry", "PATCH_SCR/ENTRY"}, "letter case"},
        {"types differing in case", {"patch_scr/ENTRY", "PATCH_SCR/ENTRY"}, "letter case"},
        {"the script's place", {"Patch_Scr/script"}, "the script's place"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(root());
        for (const std::string& file : c.files) {
            if (file.back() == '/') {
                fs::create_directories(root() / file);
            } else {
                Put(file);
            }
        }
        if (!c.files.empty()) fs::create_directories(root());
        std::vector<patchkit::PayloadFile> payloads;
        std::string error;
        EXPECT_FALSE(patchkit::CollectPayloads(root(), &payloads, &error));
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
    }
}

TEST(SplitArguments, SplitsAsAShellWould) {
    std::vector<std::string> words;
    std::string error;
    ASSERT_TRUE(patchkit::SplitArguments(
        "libpatch_program.a  -static\t'a b' \"c d\" e\\ f -lversion\n", &words, &error));
    EXPECT_EQ(words, (std::vector<std::string>{"libpatch_program.a", "-static", "a b", "c d", "e f",
                                               "-lversion"}));
    EXPECT_FALSE(patchkit::SplitArguments("-o 'open", &words, &error));
    EXPECT_FALSE(patchkit::SplitArguments("-o \\", &words, &error));
}

}  // namespace
