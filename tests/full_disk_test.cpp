// A disk that fills up during a run: the run ends interrupted and the game
// folder is as it was. Runs where PATCHER_SMALL_DISK names a folder on a
// small file system of its own (./dev test mounts one); skipped elsewhere.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "authoring/archive_writer.h"
#include "authoring/lzss_encoder.h"
#include "common/temp_dir.h"
#include "engine/patch_engine.h"
#include "support/command_fixture.h"
#include "support/memory_payloads.h"
#include "support/recording_view.h"
#include "wiring/patch_commands.h"

namespace {

using testing_support::FileTree;
using testing_support::Pattern;
using testing_support::SameFiles;
using testing_support::TempDir;

class FullDiskTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* disk = std::getenv("PATCHER_SMALL_DISK");
        if (!disk || !*disk) GTEST_SKIP() << "PATCHER_SMALL_DISK is not set";
        disk_ = std::make_unique<TempDir>(disk);
        game_ = disk_->path() + "/game";
        ASSERT_TRUE(testing_support::MakeDir(game_));
        ASSERT_TRUE(testing_support::MakeDir(game_ + "/arc"));
        engine.SetPauseMs(0);
    }

    void Put(const std::string& relative, const std::string& bytes) {
        ASSERT_TRUE(testing_support::WriteFile(game_ + "/" + relative, bytes)) << relative;
    }

    FileTree Files() {
        FileTree tree;
        for (const char* name : {"game.exe", "arc/data.arc", "arc/data.ari", "game.bak",
                                 "arc/data_ARC.bak", "arc/data_ARI.bak"}) {
            std::string bytes;
            if (testing_support::ReadFile(game_ + "/" + name, &bytes)) tree[name] = bytes;
        }
        return tree;
    }

    // Fills the disk, then frees `spare` bytes of it again.
    void FillLeaving(uint32_t spare) {
        const std::string filler = disk_->path() + "/filler";
        uint32_t error = 0;
        std::string chunk(4096, 'f');
        uint64_t written = 0;
        {
            auto file = platform::System().OpenFile(filler, platform::kGenericWrite, 0,
                                                    platform::kCreateAlways, &error);
            ASSERT_NE(file, nullptr);
            uint32_t done = 0;
            while (file->Write(chunk.data(), 4096, &done) == 0) written += 4096;
        }
        ASSERT_EQ(platform::System().Remove(filler), 0u);
        ASSERT_GT(written, spare);
        auto file = platform::System().OpenFile(filler, platform::kGenericWrite, 0,
                                                platform::kCreateAlways, &error);
        ASSERT_NE(file, nullptr);
        for (uint64_t left = written - spare; left > 0;) {
            uint32_t n = left < 4096 ? static_cast<uint32_t>(left) : 4096u;
            uint32_t done = 0;
            ASSERT_EQ(file->Write(chunk.data(), n, &done), 0u);
            left -= n;
        }
        ASSERT_EQ(file->Close(), 0u);
    }

    int Run(const std::string& script) {
        if (!engine.StartWithScript(script)) return -2;
        engine.SetGameFolder(game_);
        engine.OnRun();
        return view.PumpUntilIdle(engine);
    }

    std::unique_ptr<TempDir> disk_;
    std::string game_;
    MemoryPayloads payloads;
    platform::ScopedPayloadStore usePayloads{&payloads};
    RecordingView view;
    CPatchEngine engine{view, PatchCommands()};
};

// Both cases in one test: tests may run side by side, and two of them
// filling one disk at once would see each other's files.
TEST_F(FullDiskTest, CopyOrUpdateThatFillsTheDiskIsUndone) {
    {
        SCOPED_TRACE("copy");
        Put("game.exe", Pattern(20000, 1));
        payloads.Add("BIG", "PATCH_SCR", Pattern(300000, 2));
        const FileTree before = Files();
        FillLeaving(64 * 1024);
        EXPECT_EQ(Run("copy game.exe BIG PATCH_SCR 0\r\n"), PATCH_ABORTED);
        EXPECT_TRUE(SameFiles(Files(), before));
        ASSERT_FALSE(view.Messages().empty());
        EXPECT_EQ(view.Messages()[0].text,
                  "[" + game_ + "\\game.exe] " +
                      testing_support::Sjis(u8"コピー先ファイルの書込みに失敗"));
        platform::System().Remove(disk_->path() + "/filler");
    }
    {
        SCOPED_TRACE("update");
        authoring::ArchiveEntry entry;
        entry.name = "a.bin";
        entry.data = Pattern(5000, 3);
        authoring::ArchivePair pair = authoring::BuildArchive({entry}, "WFL1");
        Put("arc/data.arc", pair.arc);
        Put("arc/data.ari", pair.ari);
        payloads.Add("ENTRY", "PATCH_SCR", Pattern(300000, 4));
        const FileTree before = Files();
        FillLeaving(64 * 1024);
        RecordingView secondView;
        CPatchEngine second(secondView, PatchCommands());
        second.SetPauseMs(0);
        ASSERT_TRUE(
            second.StartWithScript("arcbackup arc/data.arc 2\r\n"
                                   "update arc/data.arc a.bin ENTRY PATCH_SCR 2\r\n"
                                   "arcVerWrite arc/data.arc 2\r\n"));
        second.SetGameFolder(game_);
        second.OnRun();
        EXPECT_EQ(secondView.PumpUntilIdle(second), PATCH_ABORTED);
        EXPECT_TRUE(SameFiles(Files(), before));
        ASSERT_FALSE(secondView.Messages().empty());
        EXPECT_EQ(secondView.Messages()[0].text,
                  "[" + game_ + "\\arc/data.arc] " +
                      testing_support::Sjis(u8"アップデート先ARCファイルの書込みに失敗"));
    }
}

}  // namespace
