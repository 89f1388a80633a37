// Payloads read like files: by name and type in any letter case, in chunks
// or as one block.
#include "fileio/file_resource.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/pe_image_payloads.h"
#include "support/memory_payloads.h"

namespace {

std::string BigPayload() {
    std::string bytes(100000, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i * 7 + 3) & 0xFF);
    return bytes;
}

// Reads the whole payload in chunks of 65536, as the copy commands do.
std::vector<uint32_t> ChunkSizes(FileResource& resource, std::string* content) {
    std::vector<uint32_t> sizes;
    std::string buffer(65536, '\0');
    for (;;) {
        uint32_t done = 12345;
        EXPECT_EQ(resource.Read(&buffer[0], 65536, &done), 0);
        sizes.push_back(done);
        content->append(buffer.data(), done);
        if (done < 65536) break;
    }
    uint32_t done = 1;
    EXPECT_EQ(resource.Read(&buffer[0], 65536, &done), 0);
    EXPECT_EQ(done, 0u);
    return sizes;
}

// The same checks against two stores: one in memory, and the real
// resources of a Windows executable (this test binary's own on Windows,
// the image built from the same resource script elsewhere).
class FileResourceTest : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        if (!GetParam()) {
            memory_.Add("SCRIPT", "PATCH_SCR", "title TestPatch\r\n");
            memory_.Add("HELLO", "PATCH_SCR", "hello");
            memory_.Add("BIG", "PATCH_SCR", BigPayload());
            use_ = std::make_unique<platform::ScopedPayloadStore>(&memory_);
            return;
        }
#if defined(_WIN32)
        use_ = std::make_unique<platform::ScopedPayloadStore>(&platform::System());
#elif defined(PATCHER_REAL_PE_IMAGE)
        std::string error;
        image_ = platform::PeImagePayloads::Load(PATCHER_REAL_PE_IMAGE, &error);
        ASSERT_NE(image_, nullptr) << error;
        use_ = std::make_unique<platform::ScopedPayloadStore>(image_.get());
#else
        GTEST_SKIP() << "no Windows image was built (MinGW-w64 missing)";
#endif
    }

    MemoryPayloads memory_;
    std::unique_ptr<platform::PeImagePayloads> image_;
    std::unique_ptr<platform::ScopedPayloadStore> use_;
};

TEST_P(FileResourceTest, FindsNamesAndTypesInAnyLetterCase) {
    for (auto names : {std::make_pair("Script", "PATCH_SCR"), std::make_pair("script", "patch_scr"),
                       std::make_pair("SCRIPT", "Patch_Scr")}) {
        FileResource resource;
        EXPECT_EQ(resource.Open(names.first, names.second), kStatusOk) << names.first;
        EXPECT_EQ(
            std::string(reinterpret_cast<const char*>(resource.GetData()), resource.GetSize()),
            "title TestPatch\r\n");
    }
}

TEST_P(FileResourceTest, MissingPayloadFailsAndReadsNothing) {
    FileResource resource;
    EXPECT_EQ(resource.Open("NOSUCH", "PATCH_SCR"), kStatusFail);
    EXPECT_EQ(resource.Open("HELLO", "OTHER_TYPE"), kStatusFail);
    EXPECT_EQ(resource.GetSize(), 0u);
    EXPECT_EQ(resource.GetData(), nullptr);
    char buffer[4];
    uint32_t done = 9;
    EXPECT_EQ(resource.Read(buffer, 4, &done), 0);
    EXPECT_EQ(done, 0u);
}

TEST_P(FileResourceTest, ReadsInChunksUntilAShortRead) {
    FileResource resource;
    ASSERT_EQ(resource.Open("big", "patch_scr"), kStatusOk);
    EXPECT_EQ(resource.GetSize(), 100000u);
    std::string content;
    EXPECT_EQ(ChunkSizes(resource, &content), (std::vector<uint32_t>{65536, 34464}));
    EXPECT_EQ(content, BigPayload());
}

TEST_P(FileResourceTest, ShortPayloadGivesWhatIsLeftAndGetDataKeepsThePosition) {
    FileResource resource;
    ASSERT_EQ(resource.Open("HELLO", "PATCH_SCR"), kStatusOk);
    ASSERT_NE(resource.GetData(), nullptr);
    char buffer[8] = {};
    uint32_t done = 0;
    ASSERT_EQ(resource.Read(buffer, 3, &done), 0);
    EXPECT_EQ(std::string(buffer, done), "hel");
    ASSERT_EQ(resource.Read(buffer, 8, &done), 0);
    EXPECT_EQ(std::string(buffer, done), "lo");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(resource.GetData()), 5), "hello");

    FileResource again;
    ASSERT_EQ(again.Open("HELLO", "PATCH_SCR"), kStatusOk);
    again.GetData();
    ASSERT_EQ(again.Read(buffer, 2, &done), 0);
    EXPECT_EQ(std::string(buffer, done), "he");
}

TEST_P(FileResourceTest, HugeCountsDoNotReadPastTheEnd) {
    FileResource resource;
    ASSERT_EQ(resource.Open("HELLO", "PATCH_SCR"), kStatusOk);
    char buffer[8] = {};
    uint32_t done = 0;
    ASSERT_EQ(resource.Read(buffer, 0xFFFFFFFFu, &done), 0);
    EXPECT_EQ(done, 5u);
}

INSTANTIATE_TEST_SUITE_P(Stores, FileResourceTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "RealResources" : "InMemory";
                         });

}  // namespace
