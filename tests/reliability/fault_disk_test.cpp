// The fault disk: what it counts and in which order, what a failed
// operation answers and that it changes nothing, a disk that dies, and the
// faults told by path.
#include "support/fault_disk.h"

#include <gtest/gtest.h>

#include <functional>
#include <thread>
#include <vector>

#include "common/temp_dir.h"
#include "support/memory_payloads.h"

namespace {

using testing_support::DiskOp;
using testing_support::DiskOpRecord;
using testing_support::Exists;
using testing_support::FaultDisk;
using testing_support::PathFault;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

std::unique_ptr<platform::IOsFile> Open(platform::IFileSystem& os, const std::string& path,
                                        uint32_t access = platform::kGenericRead |
                                                          platform::kGenericWrite,
                                        uint32_t disposition = platform::kOpenExisting,
                                        uint32_t share = platform::kShareRead) {
    uint32_t error = 0;
    return os.OpenFile(path, access, share, disposition, &error);
}

std::string Contents(const std::string& path) {
    std::string bytes;
    return ReadFile(path, &bytes) ? bytes : "<missing>";
}

class FaultDiskTest : public ::testing::Test {
protected:
    TempDir dir;
    MemoryPayloads payloads;  // a store, to see that it is not counted
    FaultDisk disk{platform::System()};
};

TEST_F(FaultDiskTest, NumbersEveryDiskOperationInOrderAndNothingElse) {
    payloads.Add("P", "T", "payload");
    const std::string file = dir / "a.txt";
    auto out =
        Open(disk, file, platform::kGenericRead | platform::kGenericWrite, platform::kCreateAlways);
    ASSERT_TRUE(out);
    uint32_t done = 0, error = 0, high = 0;
    char buffer[4];
    EXPECT_EQ(out->Write("abcd", 4, &done), 0u);
    int32_t seekHigh = 0;
    EXPECT_EQ(out->Seek(0, &seekHigh, platform::kFileBegin, &error), 0u);
    EXPECT_EQ(out->Size(&high, &error), 4u);
    EXPECT_EQ(out->Read(buffer, 4, &done), 0u);
    EXPECT_EQ(out->Close(), 0u);
    platform::FindData data;
    auto search = disk.FindFirst(dir / "*", &data, &error);
    ASSERT_TRUE(search);
    while (search->Next(&data)) {
    }
    EXPECT_EQ(disk.Rename(file, dir / "b.txt"), 0u);
    EXPECT_EQ(disk.Remove(dir / "b.txt"), 0u);
    std::unique_ptr<platform::IVersionInfo> info;
    disk.LoadVersionInfo(dir / "none.exe", &info);
    // The store, the install record and the threads are not the disk.
    platform::ScopedFileSystem useDisk(&disk);
    platform::ScopedPayloadStore usePayloads(&payloads);
    platform::Payload payload;
    EXPECT_TRUE(platform::Payloads().FindPayload("P", "T", &payload));
    EXPECT_FALSE(platform::Record().RegistryKeyExists("software\\FaultDiskTest\\None"));
    platform::Threads().SleepMs(0);

    const std::vector<DiskOpRecord> log = disk.Log();
    std::vector<DiskOp> kinds;
    for (const DiskOpRecord& op : log) {
        EXPECT_EQ(op.number, kinds.size() + 1);
        EXPECT_FALSE(op.failed);
        kinds.push_back(op.op);
    }
    // The search has ".", ".." and a.txt, or only a.txt, depending on the
    // system: the Next calls in the middle vary.
    ASSERT_GE(kinds.size(), 10u);
    EXPECT_EQ(std::vector<DiskOp>(kinds.begin(), kinds.begin() + 7),
              (std::vector<DiskOp>{DiskOp::kOpenFile, DiskOp::kWrite, DiskOp::kSeek, DiskOp::kSize,
                                   DiskOp::kRead, DiskOp::kClose, DiskOp::kFindFirst}));
    EXPECT_EQ(std::vector<DiskOp>(kinds.end() - 4, kinds.end()),
              (std::vector<DiskOp>{DiskOp::kNext, DiskOp::kRename, DiskOp::kRemove,
                                   DiskOp::kLoadVersionInfo}));
    EXPECT_EQ(disk.Count(), log.size());
    EXPECT_EQ(log[1].path, file);  // a file's operations name the file
    EXPECT_EQ(log[6].path, dir / "*");
    EXPECT_EQ(log[log.size() - 3].path, file + " -> " + dir / "b.txt");
}

// One operation made to fail: its answer, and that the disk is as before
// (and the operation after it works again).
struct FailedOperation {
    const char* name;
    // Prepares what the operation needs; returns the operation's number.
    std::function<void(FaultDisk&, const TempDir&)> act;
};

TEST_F(FaultDiskTest, AFailedOperationAnswersAsAFailingDeviceAndChangesNothing) {
    const std::string seed = "0123456789";
    const std::vector<FailedOperation> cases = {
        {"OpenFile",
         [](FaultDisk& disk, const TempDir& dir) {
             uint32_t error = 0;
             disk.FailAt({1});
             EXPECT_FALSE(disk.OpenFile(dir / "new.txt", platform::kGenericWrite, 0,
                                        platform::kCreateAlways, &error));
             EXPECT_EQ(error, testing_support::kErrorNotReady);
             EXPECT_FALSE(Exists(dir / "new.txt"));
             EXPECT_TRUE(Open(disk, dir / "f.txt"));
         }},
        {"FindFirst",
         [](FaultDisk& disk, const TempDir& dir) {
             uint32_t error = 0;
             platform::FindData data;
             disk.FailAt({1});
             EXPECT_FALSE(disk.FindFirst(dir / "f.txt", &data, &error));
             EXPECT_NE(error, 0u);
             EXPECT_FALSE(platform::NothingMatches(error));  // not "no such file"
             EXPECT_FALSE(disk.FindFirst(dir / "f.txt", &data, nullptr) == nullptr);
         }},
        {"Next",
         [](FaultDisk& disk, const TempDir& dir) {
             platform::FindData data;
             disk.FailAt({2});
             auto search = disk.FindFirst(dir / "*.txt", &data, nullptr);
             ASSERT_TRUE(search);
             ASSERT_TRUE(WriteFile(dir / "g.txt", "g"));
             EXPECT_FALSE(search->Next(&data));
         }},
        {"Read",
         [&seed](FaultDisk& disk, const TempDir& dir) {
             auto file = Open(disk, dir / "f.txt");
             disk.FailAt({2});
             char buffer[4] = {};
             uint32_t done = 99;
             EXPECT_EQ(file->Read(buffer, 4, &done), platform::kErrorReadFault);
             EXPECT_EQ(done, 0u);
             EXPECT_EQ(file->Read(buffer, 4, &done), 0u);  // from where it was
             EXPECT_EQ(std::string(buffer, done), seed.substr(0, 4));
         }},
        {"Write",
         [](FaultDisk& disk, const TempDir& dir) {
             auto file = Open(disk, dir / "f.txt");
             disk.FailAt({2});
             uint32_t done = 99;
             EXPECT_EQ(file->Write("XY", 2, &done), platform::kErrorWriteFault);
             EXPECT_EQ(done, 0u);
         }},
        {"Seek",
         [&seed](FaultDisk& disk, const TempDir& dir) {
             auto file = Open(disk, dir / "f.txt");
             disk.FailAt({2});
             uint32_t error = 0, done = 0;
             int32_t high = 0;
             EXPECT_EQ(file->Seek(5, &high, platform::kFileBegin, &error),
                       platform::kInvalidSetFilePointer);
             EXPECT_NE(error, 0u);
             char buffer[2];
             EXPECT_EQ(file->Read(buffer, 2, &done), 0u);
             EXPECT_EQ(std::string(buffer, done), seed.substr(0, 2));  // not moved
         }},
        {"Size",
         [](FaultDisk& disk, const TempDir& dir) {
             auto file = Open(disk, dir / "f.txt");
             disk.FailAt({2});
             uint32_t error = 0, high = 0;
             EXPECT_EQ(file->Size(&high, &error), platform::kInvalidSetFilePointer);
             EXPECT_NE(error, 0u);
         }},
        {"Close",
         [](FaultDisk& disk, const TempDir& dir) {
             // Opened without sharing: while it is open, nobody else may open it.
             auto file =
                 Open(disk, dir / "f.txt", platform::kGenericWrite, platform::kOpenExisting, 0);
             ASSERT_TRUE(file);
             disk.FailAt({2});
             EXPECT_NE(file->Close(), 0u);
             EXPECT_FALSE(Open(platform::System(), dir / "f.txt", platform::kGenericRead,
                               platform::kOpenExisting, 0));
             file.reset();  // the object goes: now the file is closed
             EXPECT_TRUE(Open(platform::System(), dir / "f.txt", platform::kGenericRead,
                              platform::kOpenExisting, 0));
         }},
        {"Rename",
         [](FaultDisk& disk, const TempDir& dir) {
             disk.FailAt({1});
             EXPECT_NE(disk.Rename(dir / "f.txt", dir / "r.txt"), 0u);
             EXPECT_FALSE(Exists(dir / "r.txt"));
         }},
        {"Remove",
         [](FaultDisk& disk, const TempDir& dir) {
             disk.FailAt({1});
             EXPECT_NE(disk.Remove(dir / "f.txt"), 0u);
         }},
        {"LoadVersionInfo",
         [](FaultDisk& disk, const TempDir& dir) {
             std::unique_ptr<platform::IVersionInfo> info;
             disk.FailAt({1});
             // A file without version information, which a sound disk says so of.
             EXPECT_EQ(disk.LoadVersionInfo(dir / "f.txt", &info),
                       platform::VersionInfoStatus::kUnreadable);
             EXPECT_EQ(disk.LoadVersionInfo(dir / "f.txt", &info),
                       platform::VersionInfoStatus::kNoInformation);
         }},
    };
    for (const FailedOperation& test : cases) {
        SCOPED_TRACE(test.name);
        TempDir folder;
        ASSERT_TRUE(WriteFile(folder / "f.txt", seed));
        FaultDisk fresh(platform::System());
        test.act(fresh, folder);
        EXPECT_EQ(Contents(folder / "f.txt"), seed);
        bool failedOne = false;
        for (const DiskOpRecord& op : fresh.Log()) {
            if (op.failed) {
                EXPECT_FALSE(failedOne) << "fails once only";
                EXPECT_STREQ(testing_support::DiskOpName(op.op), test.name);
                failedOne = true;
            }
        }
        EXPECT_TRUE(failedOne);
    }
}

TEST_F(FaultDiskTest, ADeadDiskFailsFromItsOperationOnAndKeepsWhatCameBefore) {
    const std::string file = dir / "d.txt";
    disk.DeadFrom(4);  // open, two writes, then dead
    auto out = Open(disk, file, platform::kGenericWrite, platform::kCreateAlways);
    ASSERT_TRUE(out);
    uint32_t done = 0;
    EXPECT_EQ(out->Write("one ", 4, &done), 0u);
    EXPECT_EQ(out->Write("two ", 4, &done), 0u);
    EXPECT_NE(out->Write("three", 5, &done), 0u);
    EXPECT_NE(out->Close(), 0u);
    out.reset();
    EXPECT_NE(disk.Remove(file), 0u);
    EXPECT_FALSE(Open(disk, file));
    EXPECT_EQ(Contents(file), "one two ");
    std::vector<bool> failed;
    for (const DiskOpRecord& op : disk.Log()) failed.push_back(op.failed);
    EXPECT_EQ(failed, (std::vector<bool>{false, false, false, true, true, true, true}));
}

// Faults by path: which operations they take, what those answer, and when.
TEST_F(FaultDiskTest, AFaultByPathFailsTheOperationsOnTheFilesItNames) {
    const std::vector<FailedOperation> cases = {
        {"either separator, any letter case, its own error",
         [](FaultDisk& disk, const TempDir& dir) {
             disk.FailOn(
                 PathFault(DiskOp::kRemove, "SUB\\F.txt").Answering(platform::kErrorAccessDenied));
             EXPECT_EQ(disk.Remove(dir / "sub/f.txt"), platform::kErrorAccessDenied);
             EXPECT_TRUE(Exists(dir / "sub/f.txt"));
             EXPECT_EQ(disk.Remove(dir / "f.txt"), 0u);  // another folder's f.txt
             EXPECT_EQ(disk.Rename(dir / "g.txt", dir / "h.txt"), 0u);
         }},
        {"a rename by its source",
         [](FaultDisk& disk, const TempDir& dir) {
             disk.FailOn(PathFault(DiskOp::kRename, "f.txt"));
             EXPECT_EQ(disk.Rename(dir / "f.txt", dir / "r.txt"), testing_support::kErrorNotReady);
             EXPECT_EQ(disk.Rename(dir / "g.txt", dir / "copy of f.txt"), 0u);
             EXPECT_TRUE(Exists(dir / "f.txt"));
         }},
        {"the good ones first, then every one",
         [](FaultDisk& disk, const TempDir& dir) {
             disk.FailOn(testing_support::DiskFullAfter("f.txt", 2));
             auto file = Open(disk, dir / "f.txt", platform::kGenericWrite);
             ASSERT_TRUE(file);
             uint32_t done = 99;
             EXPECT_EQ(file->Write("a", 1, &done), 0u);
             EXPECT_EQ(file->Write("b", 1, &done), 0u);
             EXPECT_EQ(file->Write("c", 1, &done), platform::kErrorDiskFull);
             EXPECT_EQ(done, 0u);
             EXPECT_EQ(file->Write("d", 1, &done), platform::kErrorDiskFull);
             EXPECT_EQ(file->Close(), 0u);
             EXPECT_EQ(Contents(dir / "f.txt"), "ab23456789");
         }},
        {"files opened for writing only; the close closes all the same",
         [](FaultDisk& disk, const TempDir& dir) {
             disk.FailOn(testing_support::FailingClose("f.txt"));
             auto reading =
                 Open(disk, dir / "f.txt", platform::kGenericRead, platform::kOpenExisting, 0);
             ASSERT_TRUE(reading);
             EXPECT_EQ(reading->Close(), 0u);
             auto writing =
                 Open(disk, dir / "f.txt", platform::kGenericWrite, platform::kOpenExisting, 0);
             ASSERT_TRUE(writing);
             uint32_t done = 0;
             EXPECT_EQ(writing->Write("XY", 2, &done), 0u);
             EXPECT_EQ(writing->Close(), platform::kErrorWriteFault);
             // Closed while its object is still there, and what it wrote stays.
             EXPECT_TRUE(Open(platform::System(), dir / "f.txt", platform::kGenericRead,
                              platform::kOpenExisting, 0));
             EXPECT_EQ(Contents(dir / "f.txt"), "XY23456789");
         }},
        {"from when it is told, in the files open by then, until cleared",
         [](FaultDisk& disk, const TempDir& dir) {
             auto file = Open(disk, dir / "f.txt", platform::kGenericRead);
             ASSERT_TRUE(file);
             char buffer[2];
             uint32_t done = 0;
             EXPECT_EQ(file->Read(buffer, 2, &done), 0u);
             disk.FailOn(PathFault(DiskOp::kRead, ""));  // every path
             EXPECT_EQ(file->Read(buffer, 2, &done), platform::kErrorReadFault);
             EXPECT_EQ(done, 0u);
             disk.ClearPathFaults();
             EXPECT_EQ(file->Read(buffer, 2, &done), 0u);
             EXPECT_EQ(std::string(buffer, done), "23");
         }},
        {"a version that cannot be read",
         [](FaultDisk& disk, const TempDir& dir) {
             std::unique_ptr<platform::IVersionInfo> info;
             disk.FailOn(PathFault(DiskOp::kLoadVersionInfo, ""));
             EXPECT_EQ(disk.LoadVersionInfo(dir / "f.txt", &info),
                       platform::VersionInfoStatus::kUnreadable);
         }},
    };
    for (const FailedOperation& test : cases) {
        SCOPED_TRACE(test.name);
        TempDir folder;
        ASSERT_TRUE(WriteFile(folder / "f.txt", "0123456789"));
        ASSERT_TRUE(WriteFile(folder / "g.txt", "g"));
        ASSERT_TRUE(testing_support::MakeDir(folder / "sub"));
        ASSERT_TRUE(WriteFile(folder / "sub/f.txt", "sub"));
        FaultDisk fresh(platform::System());
        test.act(fresh, folder);
        // Counted and logged as every operation is, the failed ones marked.
        const std::vector<DiskOpRecord> log = fresh.Log();
        EXPECT_EQ(fresh.Count(), log.size());
        bool failedOne = false;
        for (size_t i = 0; i < log.size(); ++i) {
            EXPECT_EQ(log[i].number, i + 1);
            failedOne = failedOne || log[i].failed;
        }
        EXPECT_TRUE(failedOne);
    }
}

TEST_F(FaultDiskTest, TwoThreadsShareOneNumbering) {
    constexpr int kEach = 2000;
    auto work = [this] {
        for (int i = 0; i < kEach; ++i) disk.Remove(dir / "none");
    };
    std::thread other(work);
    work();
    other.join();
    const std::vector<DiskOpRecord> log = disk.Log();
    ASSERT_EQ(log.size(), 2u * kEach);
    for (size_t i = 0; i < log.size(); ++i) ASSERT_EQ(log[i].number, i + 1);
}

}  // namespace
