// Start-up: loading the script through the factory, the first title and
// regist, and the errors that end the program.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "common/temp_dir.h"
#include "engine/cmd_factory.h"
#include "engine/del_bak_cmd.h"
#include "engine/patch_engine.h"
#include "engine/regist_cmd.h"
#include "engine/texts.h"
#include "engine/title_cmd.h"
#include "support/memory_payloads.h"
#include "support/recording_view.h"
#include "wiring/patch_commands.h"

namespace {

using testing_support::Sjis;
using Strings = std::vector<std::string>;

class StartUpTest : public ::testing::Test {
protected:
    Strings Boxes() {
        Strings boxes;
        for (const auto& m : view.Messages()) boxes.push_back(m.caption + "|" + m.text);
        return boxes;
    }

    RecordingView view;
    CPatchEngine engine{view, PatchCommands()};
};

TEST_F(StartUpTest, LoadsTheScriptFromThePayloadStoreUnderAnyLetterCase) {
    MemoryPayloads payloads;
    payloads.Add("SCRIPT", "PATCH_SCR", "title Hello\r\ndeletebak\r\n");
    platform::ScopedPayloadStore use(&payloads);
    ASSERT_TRUE(engine.Start());
    EXPECT_EQ(view.caption(), "Hello");
    ASSERT_EQ(engine.Factory().Count(), 2u);
    EXPECT_NE(dynamic_cast<DelBakCmd*>(engine.Factory().At(1)), nullptr);
}

TEST_F(StartUpTest, MissingScriptGivesAnEmptyCommandList) {
    MemoryPayloads payloads;
    platform::ScopedPayloadStore use(&payloads);
    ASSERT_TRUE(engine.Start());
    EXPECT_EQ(engine.Factory().Count(), 0u);
    EXPECT_TRUE(view.Messages().empty());
}

TEST_F(StartUpTest, FactoryMakesOneCommandPerLineWithItsArguments) {
    ASSERT_TRUE(engine.StartWithScript(
        "title A B\r\n  \r\ndeletebak 1 2 3 4 5 6 7\r\n// note\r\n\t\r\ntitle Second\r\n"));
    CmdFactory& factory = engine.Factory();
    ASSERT_EQ(factory.Count(), 4u);
    EXPECT_NE(dynamic_cast<TitleCmd*>(factory.At(0)), nullptr);
    EXPECT_EQ(factory.At(0)->arg[1], "A");
    EXPECT_EQ(factory.At(0)->arg[2], "B");
    // A line of blanks: a plain command with an empty keyword.
    EXPECT_EQ(typeid(*factory.At(1)), typeid(ScriptCmd));
    EXPECT_EQ(factory.At(1)->arg[0], "");
    // Seven arguments: the first five are kept.
    ScriptCmd* many = factory.At(2);
    EXPECT_EQ((Strings{many->arg[0], many->arg[1], many->arg[5]}),
              (Strings{"deletebak", "1", "5"}));
    // Only the first title runs at start-up and is marked done.
    EXPECT_EQ(view.caption(), "A");
    EXPECT_EQ(factory.At(0)->done, 1);
    EXPECT_EQ(factory.At(3)->done, 0);
    EXPECT_EQ(factory.FindCmd("title"), factory.At(0));
    EXPECT_EQ(factory.FindCmd("Title"), nullptr);
    factory.First();
    for (size_t i = 0; i < factory.Count(); ++i) EXPECT_EQ(factory.Next(), factory.At(i));
    EXPECT_EQ(factory.Next(), nullptr);
}

TEST_F(StartUpTest, NoTitleLeavesTheCaptionAndNoRegistLeavesTheFolderEmpty) {
    ASSERT_TRUE(engine.StartWithScript("deletebak\r\n"));
    EXPECT_EQ(view.caption(), "Patch");
    EXPECT_EQ(view.Events(), Strings{"folder "});
    EXPECT_TRUE(view.Messages().empty());
}

class UndefinedKeywordTest : public StartUpTest,
                             public ::testing::WithParamInterface<const char*> {};

TEST_P(UndefinedKeywordTest, EndsTheProgramWithTheMessage) {
    EXPECT_FALSE(engine.StartWithScript(GetParam()));
    std::string expected =
        std::string(text::kCaptionError) + "|" + text::kUndefinedCommand + text::kProgramEndsSuffix;
    EXPECT_EQ(Boxes(), Strings{expected});
    EXPECT_FALSE(view.Messages()[0].owned);
}

INSTANTIATE_TEST_SUITE_P(Scripts, UndefinedKeywordTest,
                         ::testing::Values("Title A\r\n",   // keywords are case-sensitive
                                           "title\tA\r\n",  // a tab fuses the tokens
                                           "deleteBak\r\n", "TITLE A\r\n",
                                           "title A\r\nnosuch\r\n"));

TEST_F(StartUpTest, TitleEndsAtItsFirstBlank) {
    ASSERT_TRUE(engine.StartWithScript(std::string("title ") + Sjis(u8"パッチ 1.1") + "\r\n"));
    EXPECT_EQ(view.caption(), Sjis(u8"パッチ"));
}

// The install record, through the system's own registry (or its stand-in).
class RegistTest : public StartUpTest {
protected:
    RegistTest() {
        std::random_device random;
        key = "Software\\PatchkitTest\\Game" + std::to_string(random());
    }
    ~RegistTest() override { platform::System().RegistryDeleteKey(key); }

    bool StartWithKey(const std::string& keyPath) {
        return engine.StartWithScript("regist " + keyPath + "\r\n");
    }
    void Write(const std::string& value, const std::string& data) {
        ASSERT_EQ(platform::System().RegistryWriteString(key, value, data), 0u);
    }

    std::string key;
};

TEST_F(RegistTest, RecordGivesTheGameFolder) {
    const std::string folder = "C:\\Games\\" + Sjis(u8"ソフト");
    Write("Current", folder);
    ASSERT_TRUE(StartWithKey(key));
    EXPECT_EQ(engine.GetGameFolder(), folder);
    EXPECT_EQ(view.folder(), folder);
    EXPECT_TRUE(view.Messages().empty());
    EXPECT_EQ(engine.Factory().At(0)->done, 1);
}

TEST_F(RegistTest, KeysAreFoundWithoutRegardToLetterCase) {
    Write("Current", "C:\\G");
    std::string upper = key;
    for (char& c : upper) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    ASSERT_TRUE(StartWithKey(upper));
    EXPECT_EQ(engine.GetGameFolder(), "C:\\G");
}

TEST_F(RegistTest, NoRecordWarnsAndLeavesTheFolderEmpty) {
    ASSERT_TRUE(StartWithKey(key));
    EXPECT_EQ(engine.GetGameFolder(), "");
    std::vector<ShownMessage> messages = view.Messages();
    ASSERT_EQ(messages.size(), 1u);
    const ShownMessage& box = messages[0];
    EXPECT_EQ(box.text,
              Sjis(u8"ゲームがインストールされていません。\n"
                   u8"手動インストールでインストールを行った場合はインストール先を指定して下さい"));
    EXPECT_EQ(box.caption, Sjis(u8"注意"));
    EXPECT_EQ(box.style, kMbOk | kMbIconInformation);
    EXPECT_FALSE(box.owned);
    EXPECT_EQ(view.Events().back(), "folder ");
}

TEST_F(RegistTest, EmptyKeyPathWarns) {
    ASSERT_TRUE(engine.StartWithScript("regist\r\n"));
    EXPECT_EQ(view.Messages().size(), 1u);
}

TEST_F(RegistTest, KeyWithoutCurrentValueLeavesTheFolderEmptySilently) {
    Write("Other", "C:\\G");
    ASSERT_TRUE(StartWithKey(key));
    EXPECT_EQ(engine.GetGameFolder(), "");
    EXPECT_TRUE(view.Messages().empty());
}

TEST_F(RegistTest, ValueMustFitTheBufferWithItsTerminator) {
    Write("Current", std::string(259, 'a'));
    ASSERT_TRUE(StartWithKey(key));
    EXPECT_EQ(engine.GetGameFolder(), std::string(259, 'a'));

    Write("Current", std::string(260, 'b'));
    RecordingView secondView;
    CPatchEngine second(secondView, PatchCommands());
    ASSERT_TRUE(second.StartWithScript("regist " + key + "\r\n"));
    EXPECT_EQ(second.GetGameFolder(), "");
    EXPECT_TRUE(secondView.Messages().empty());
}

TEST_F(RegistTest, ChoosingAFolderAfterTheWarningMakesARunPossible) {
    ASSERT_TRUE(engine.StartWithScript("regist " + key + "\r\n deletebak\r\n"));
    testing_support::TempDir game;
    engine.SetGameFolder(game.path());
    engine.SetPauseMs(0);
    engine.OnRun();
    EXPECT_EQ(view.PumpUntilIdle(engine), PATCH_FINISHED);
}

}  // namespace
