#include "support/command_fixture.h"

#include <utility>

#include "engine/errors.h"
#include "platform/cp932.h"

namespace testing_support {

namespace {

// Forwards to a file of the target, with writes and close failing as the
// disk was told.
class MisbehavingFile : public platform::ForwardingFile {
public:
    MisbehavingFile(std::unique_ptr<platform::IOsFile> file, int writesLeft, bool failClose)
        : ForwardingFile(std::move(file)), writesLeft_(writesLeft), failClose_(failClose) {}

    uint32_t Write(const void* buffer, uint32_t count, uint32_t* done) override {
        *done = 0;
        if (writesLeft_ == 0) return platform::kErrorDiskFull;
        if (writesLeft_ > 0) --writesLeft_;
        return ForwardingFile::Write(buffer, count, done);
    }
    uint32_t Close() override {
        uint32_t result = ForwardingFile::Close();
        return failClose_ && result == 0 ? platform::kErrorWriteFault : result;
    }

private:
    int writesLeft_;
    bool failClose_;
};

std::string Slashed(std::string path) {
    for (char& c : path) {
        if (c == '\\') c = '/';
    }
    return platform::LowerCased(path);
}

void CollectFiles(const std::string& folder, const std::string& prefix, FileTree* tree) {
    for (const platform::FindData& entry : ListFolder(folder)) {
        const std::string name = prefix + platform::LowerCased(entry.name);
        if (entry.directory) {
            (*tree)[name + "/"] = "";
            CollectFiles(folder + "/" + entry.name, name + "/", tree);
        } else {
            std::string bytes;
            if (!ReadFile(folder + "/" + entry.name, &bytes)) bytes = "<unreadable>";
            (*tree)[name] = bytes;
        }
    }
}

// Up to 12 bytes from offset, in hex.
std::string HexAt(const std::string& bytes, size_t offset) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string out;
    for (size_t i = offset; i < bytes.size() && i < offset + 12; ++i) {
        const unsigned char byte = static_cast<unsigned char>(bytes[i]);
        out += kDigits[byte >> 4];
        out += kDigits[byte & 15];
        out += ' ';
    }
    return out.empty() ? "(end)" : out;
}

// Empty when equal, else a short account of the first difference.
std::string Difference(const std::string& actual, const std::string& expected) {
    if (actual == expected) return std::string();
    size_t at = 0;
    while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) ++at;
    return std::to_string(actual.size()) + " bytes, expected " + std::to_string(expected.size()) +
           "; first difference at " + std::to_string(at) + ": " + HexAt(actual, at) +
           "instead of " + HexAt(expected, at);
}

}  // namespace

::testing::AssertionResult SameBytes(const std::string& actual, const std::string& expected) {
    const std::string difference = Difference(actual, expected);
    if (difference.empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << difference;
}

::testing::AssertionResult SameFiles(const FileTree& actual, const FileTree& expected) {
    std::string report;
    for (const auto& file : expected) {
        auto found = actual.find(file.first);
        if (found == actual.end()) {
            report += "\n  missing: " + file.first;
        } else if (found->second != file.second) {
            report += "\n  " + file.first + ": " + Difference(found->second, file.second);
        }
    }
    for (const auto& file : actual) {
        if (expected.count(file.first) == 0) report += "\n  not expected: " + file.first;
    }
    if (report.empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the game folder differs:" << report;
}

bool FailingDisk::Matches(const std::string& path) const {
    const std::string whole = Slashed(path);
    const std::string end = Slashed(file);
    return !end.empty() && whole.size() >= end.size() &&
           whole.compare(whole.size() - end.size(), end.size(), end) == 0;
}

std::unique_ptr<platform::IOsFile> FailingDisk::OpenFile(const std::string& path, uint32_t access,
                                                         uint32_t share, uint32_t disposition,
                                                         uint32_t* error) {
    auto opened = target().OpenFile(path, access, share, disposition, error);
    if (!opened || (access & platform::kGenericWrite) == 0 || !Matches(path)) return opened;
    return std::make_unique<MisbehavingFile>(std::move(opened), writesLeft, failClose);
}

CommandTest::CommandTest() {
    engine.SetPauseMs(0);
    engine.SetProgressIntervalMs(0);  // every block's report, as the command makes it
    engine.SetGameFolder(game.path());
}

CommandTest::~CommandTest() = default;

void CommandTest::Put(const std::string& relative, const std::string& bytes) {
    EXPECT_TRUE(WriteFile(game / relative, bytes)) << relative;
}

std::string CommandTest::Get(const std::string& relative) {
    std::string bytes;
    return ReadFile(game / relative, &bytes) ? bytes : "<missing>";
}

bool CommandTest::Has(const std::string& relative) { return Exists(game / relative); }

FileTree CommandTest::Files() {
    FileTree tree;
    CollectFiles(game.path(), "", &tree);
    tree.erase(platform::LowerCased(CBackupJournal::kFileName));
    return tree;
}

bool CommandTest::HasJournal() { return Exists(game / CBackupJournal::kFileName); }

void CommandTest::ForgetJournal() {
    engine.ForgetJournal();
    platform::System().Remove(game / CBackupJournal::kFileName);
}

std::string CommandTest::Full(const std::string& relative) const {
    return game.path() + "\\" + relative;
}

std::vector<int> CommandTest::Progress() {
    std::vector<int> reports;
    for (const auto& posted : view.Posted()) {
        if (posted.first == PATCH_PROGRESS) reports.push_back(posted.second);
    }
    return reports;
}

std::vector<std::string> CommandTest::Boxes() {
    std::vector<std::string> texts;
    for (const ShownMessage& shown : view.Messages()) texts.push_back(shown.text);
    return texts;
}

std::string CommandTest::Raised(const std::function<void()>& body) {
    try {
        body();
    } catch (const CMessageError& error) {
        return error.text;
    } catch (const CError& error) {
        ADD_FAILURE() << "file error: " << platform::DisplayUtf8(error.GetErrorText());
    } catch (...) {
        ADD_FAILURE() << "an exception that is no message error";
    }
    return std::string();
}

std::string CommandTest::Message(const char* utf8Format, const std::string& argument) {
    return FormatText(Sjis(utf8Format).c_str(), argument.c_str());
}

std::string VersionImagesFolder() {
#if defined(_WIN32)
    // Built beside the test program.
    std::string self = platform::System().ModulePath();
    size_t cut = platform::FindLastOf(self, "\\/");
    return cut == std::string::npos ? std::string() : self.substr(0, cut + 1);
#elif defined(PATCHER_VERSION_IMAGES_DIR)
    return PATCHER_VERSION_IMAGES_DIR "/";
#else
    return std::string();
#endif
}

std::string Le16(uint16_t value) {
    return std::string{static_cast<char>(value & 0xFF), static_cast<char>(value >> 8)};
}

std::string Le32(uint32_t value) {
    std::string out;
    for (int i = 0; i < 4; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
    return out;
}

std::string Pattern(size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>((i * 131 + i / 251 + seed * 17 + 7) & 0xFF);
    }
    return bytes;
}

}  // namespace testing_support
