#include "support/command_fixture.h"

#include "base/errors.h"
#include "platform/cp932.h"

namespace testing_support {

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
    FileTree tree = ReadTree(game.path(), ReadOnlyMarks::kLeftOut);
    tree.erase(cp932::LowerCased(CBackupJournal::kFileName));
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
    size_t cut = cp932::FindLastOf(self, "\\/");
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
