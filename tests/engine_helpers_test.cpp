// The small pieces every command leans on: the game-folder rule, the error
// box's bounded formatting, and the lock.
#include <gtest/gtest.h>

#include <atomic>
#include <ostream>
#include <string>

#include "common/temp_dir.h"
#include "engine/critical_section.h"
#include "engine/error_box.h"
#include "engine/script_cmd.h"
#include "engine/texts.h"
#include "platform/platform.h"
#include "support/recording_view.h"

namespace {

struct GameDirCase {
    const char* what;
    std::string folder;
    std::string base;
};

// Names a case by its description (GoogleTest would otherwise print the
// struct's raw bytes, padding included).
void PrintTo(const GameDirCase& c, std::ostream* os) { *os << c.what; }

class GameDirTest : public ::testing::TestWithParam<GameDirCase> {};

TEST_P(GameDirTest, GivesTheBasePath) {
    EXPECT_EQ(MakeGameDir(GetParam().folder), GetParam().base) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GameDirTest,
    ::testing::Values(
        GameDirCase{"plain folder", "C:\\Game", "C:\\Game\\"},
        GameDirCase{"trailing backslash", "C:\\Game\\", "C:\\Game\\"},
        GameDirCase{"drive root keeps its backslash", "C:\\", "C:\\\\"},
        GameDirCase{"two backslashes lose one", "C:\\Game\\\\", "C:\\Game\\\\"},
        GameDirCase{"double-byte character ending in 0x5C", "C:\\\x83\x5c", "C:\\\x83\x5c\\"},
        GameDirCase{"double-byte 0x5C then a real backslash", "C:\\\x95\x5c\\", "C:\\\x95\x5c\\"},
        GameDirCase{"a colon just before the last backslash makes a root", "C:\\a:\\",
                    "C:\\a:\\\\"},
        GameDirCase{"a lone backslash is too short to lose", "\\", "\\\\"},
        GameDirCase{"forward slashes stay", "/home/game/", "/home/game/\\"},
        GameDirCase{"empty folder", "", "\\"}));

TEST(ErrorBoxTest, ShowsTheTextWithoutOwnerAndWithTheErrorIcon) {
    RecordingView view;
    ErrorBox(view, CString("boom"));
    ErrorBox(view, "[%s] %d", "x.arc", 7);
    auto messages = view.Messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].text, "boom");
    EXPECT_EQ(messages[0].caption, text::kCaptionError);
    EXPECT_EQ(messages[0].style, kMbOk | kMbIconError);
    EXPECT_FALSE(messages[0].owned);
    EXPECT_EQ(messages[1].text, "[x.arc] 7");
}

TEST(ErrorBoxTest, FormattingCutsLongTextsAtTheBuffer) {
    std::string longPath(1000, 'p');
    EXPECT_EQ(FormatErrorBoxText("[%s]", longPath.c_str()), "[" + std::string(258, 'p'));
    // The cut never leaves half a double-byte character behind.
    std::string japanese;
    for (int i = 0; i < 200; ++i) japanese += "\x83\x41";
    std::string cut = FormatErrorBoxText("xx%s", japanese.c_str());
    EXPECT_EQ(cut.size(), 258u);
    EXPECT_EQ(cut.substr(cut.size() - 2), "\x83\x41");
}

TEST(CriticalSectionTest, KnowsItsHolderAndCountsRecursion) {
    CCriticalSection section;
    EXPECT_FALSE(section.IsLockedByMe());
    {
        CScopedLock outer(&section);
        CScopedLock inner(&section);
        EXPECT_TRUE(section.IsLockedByMe());
        std::atomic<int> seenByOther{-1};
        auto other =
            platform::Threads().StartThread([&] { seenByOther = section.IsLockedByMe() ? 1 : 0; });
        other->Join();
        EXPECT_EQ(seenByOther.load(), 0);
    }
    EXPECT_FALSE(section.IsLockedByMe());
}

TEST(CriticalSectionTest, KeepsOtherThreadsOutWhileHeld) {
    CCriticalSection section;
    int counter = 0;
    auto work = [&] {
        for (int i = 0; i < 10000; ++i) {
            CScopedLock lock(&section);
            ++counter;
        }
    };
    auto a = platform::Threads().StartThread(work);
    auto b = platform::Threads().StartThread(work);
    a->Join();
    b->Join();
    EXPECT_EQ(counter, 20000);
}

}  // namespace
