// The archive format routines and the archive writer built on them: name
// folding and scrambling, the retired mark, the offset walk and the version
// tag.
#include "archive/arc_format.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "authoring/archive_writer.h"
#include "base/byte_order.h"

namespace {

std::string Bytes(std::initializer_list<int> values) {
    std::string out;
    for (int value : values) out += static_cast<char>(value);
    return out;
}

// ---- names ----

struct NameCase {
    const char* what;
    std::string name;
    std::string folded;
};

void PrintTo(const NameCase& c, std::ostream* os) { *os << c.what; }

class ArcNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(ArcNameTest, BothScramblingFormsStoreTheFoldedComplement) {
    const NameCase& c = GetParam();
    EXPECT_EQ(arc::FoldName(c.name), c.folded) << c.what;

    std::string complement;
    for (char byte : c.folded)
        complement += static_cast<char>(0xFF - static_cast<unsigned char>(byte));
    EXPECT_EQ(arc::ScrambleForLookup(c.name), complement) << c.what;
    EXPECT_EQ(arc::ScrambleForWriting(c.name), complement) << c.what;
    EXPECT_EQ(arc::Unscramble(complement), c.folded) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ArcNameTest,
    ::testing::Values(
        NameCase{"capitals and separators", "\\SUB\\A.PRS", "\\sub\\a.prs"},
        NameCase{"already small", "\\a.bin", "\\a.bin"},
        NameCase{"every ASCII capital, nothing else", "@AZ[`az{", "@az[`az{"},
        NameCase{"second byte an ASCII capital (0x83 0x41)", "\\\x83\x41.BIN", "\\\x83\x41.bin"},
        NameCase{"second byte 0x5C, then a capital",
                 "\\\x95\x5c"
                 "A",
                 "\\\x95\x5c"
                 "a"},
        NameCase{"lead byte from the upper range (0xE0 0x5A)", "\xe0Z.Z", "\xe0Z.z"},
        NameCase{"two double-byte characters in a row", "\x83\x41\x83\x42X", "\x83\x41\x83\x42x"},
        NameCase{"half-width katakana are single bytes",
                 "\xb1"
                 "A",
                 "\xb1"
                 "a"},
        NameCase{"a lead byte at the very end", "A\x83", "a\x83"}, NameCase{"empty", "", ""}));

TEST(ArcNameTest, WorkedExampleNameIsStoredAsInTheArchives) {
    EXPECT_EQ(arc::ScrambleForWriting("\\a.bin"), Bytes({0xA3, 0x9E, 0xD1, 0x9D, 0x96, 0x91}));
    EXPECT_EQ(static_cast<unsigned char>(arc::ScrambleForLookup("\\")[0]),
              arc::kScrambledBackslash);
}

TEST(ArcNameTest, RetiredNamesBeginWithTwoUnderscores) {
    std::string stored = arc::ScrambleForWriting("\\a.bin");
    EXPECT_FALSE(arc::IsRetiredName(stored));
    arc::RetireName(&stored);
    EXPECT_EQ(stored, Bytes({0xA0, 0xA0, 0xD1, 0x9D, 0x96, 0x91}));
    EXPECT_TRUE(arc::IsRetiredName(stored));
    EXPECT_EQ(arc::Unscramble(stored), "__.bin");

    // Names too short for the mark get what fits.
    std::string one = Bytes({0xA3});
    arc::RetireName(&one);
    EXPECT_EQ(one, Bytes({0xA0}));
    EXPECT_FALSE(arc::IsRetiredName(one));
    std::string none;
    arc::RetireName(&none);
    EXPECT_EQ(none, "");
}

// ---- positions ----

TEST(ArcOffsetTest, WalksTheWorkedExamples) {
    // One plain entry \a.bin of 3 bytes: data at 20, the file ends at 23.
    EXPECT_EQ(arc::DataOffset(arc::kTagSize, 6), 20u);
    EXPECT_EQ(arc::NextRecord(20, arc::kKindPlain, 3), 23u);
    // A compressed entry of 100 stream bytes: the expanded size comes first.
    EXPECT_EQ(arc::NextRecord(20, arc::kKindCompressed, 100), 124u);
    // Bit 0 decides, not the kind as a whole.
    EXPECT_EQ(arc::NextRecord(20, arc::kKindOgg, 100), 120u);
    EXPECT_EQ(arc::NextRecord(20, 3, 100), 124u);
    // 32-bit arithmetic, as in the files.
    EXPECT_EQ(arc::NextRecord(0xFFFFFFF0u, arc::kKindPlain, 0x20), 0x10u);
}

// ---- the version tag ----

struct TagCase {
    std::string tag;
    int32_t version;
};

void PrintTo(const TagCase& c, std::ostream* os) { *os << ::testing::PrintToString(c.tag); }

class ArcVersionTagTest : public ::testing::TestWithParam<TagCase> {};

TEST_P(ArcVersionTagTest, ReadsTheThirdAndFourthCharacters) {
    ASSERT_EQ(GetParam().tag.size(), 4u);
    EXPECT_EQ(arc::ReadVersionTag(GetParam().tag.data()), GetParam().version)
        << "tag " << GetParam().tag;
}

INSTANTIATE_TEST_SUITE_P(
    Tags, ArcVersionTagTest,
    ::testing::Values(TagCase{"WFL1", 1}, TagCase{"WF02", 2}, TagCase{"WF07", 7},
                      TagCase{"WF10", 10}, TagCase{"WF99", 99}, TagCase{"ABCD", 0},
                      TagCase{"xx03", 3},  // the first two are not examined
                      TagCase{"WFL2", 0}, TagCase{"wfl1", 0}, TagCase{"XFL1", 0},
                      TagCase{"WF-1", -1}, TagCase{"WF+5", 5}, TagCase{"WF 7", 7},
                      TagCase{"WF\t8", 8}, TagCase{"WF\n9", 9}, TagCase{"WF7x", 7},
                      TagCase{"WFx7", 0}, TagCase{"WF- ", 0}, TagCase{"WF -", 0},
                      TagCase{std::string("WF\0"
                                          "7",
                                          4),
                              0},
                      TagCase{std::string("WF7\0", 4), 7}));

TEST(ArcVersionTagTest, WritesTheFirstFourBytesOfWF02d) {
    EXPECT_EQ(arc::VersionTag(0), "WF00");
    EXPECT_EQ(arc::VersionTag(2), "WF02");
    EXPECT_EQ(arc::VersionTag(99), "WF99");
    EXPECT_EQ(arc::VersionTag(100), "WF10");
    EXPECT_EQ(arc::VersionTag(123), "WF12");
    for (int32_t version = 0; version <= 99; ++version) {
        EXPECT_EQ(arc::ReadVersionTag(arc::VersionTag(version).data()), version);
    }
}

TEST(ArcFieldTest, LittleEndianBothWays) {
    std::string out;
    le::PutU32(&out, 0x12345678u);
    le::PutU16(&out, 0xABCD);
    EXPECT_EQ(out, Bytes({0x78, 0x56, 0x34, 0x12, 0xCD, 0xAB}));
    EXPECT_EQ(le::GetU32(out.data()), 0x12345678u);
    EXPECT_EQ(le::GetU16(out.data() + 4), 0xABCD);
    EXPECT_EQ(le::GetU32(Bytes({0xFF, 0xFF, 0xFF, 0xFF}).data()), 0xFFFFFFFFu);
}

// ---- the writer ----

TEST(ArchiveWriterTest, WritesTheWorkedExampleByteForByte) {
    const std::string record = Bytes({0x06, 0x00, 0x00, 0x00, 0xA3, 0x9E, 0xD1, 0x9D, 0x96, 0x91,
                                      0x00, 0x00, 0x03, 0x00, 0x00, 0x00});
    for (const char* name : {"a.bin", "A.BIN"}) {
        authoring::ArchivePair pair = authoring::BuildArchive({{name, 0, "xyz"}}, 2);
        EXPECT_EQ(pair.ari, record) << name;
        EXPECT_EQ(pair.arc, "WF02" + record + "xyz") << name;
        EXPECT_EQ(pair.arc.size(), 23u);
    }
}

TEST(ArchiveWriterTest, CompressedEntryCarriesItsExpandedSizeInTheDataFileOnly) {
    const std::string stream(100, '\x5a');
    authoring::ArchivePair pair =
        authoring::BuildArchive({{"a.bin", arc::kKindCompressed, stream, 400}}, "WFL1");
    const std::string header = Bytes({0x06, 0x00, 0x00, 0x00, 0xA3, 0x9E, 0xD1, 0x9D, 0x96, 0x91,
                                      0x01, 0x00, 0x64, 0x00, 0x00, 0x00});
    EXPECT_EQ(pair.ari, header);
    EXPECT_EQ(pair.arc, "WFL1" + header + Bytes({0x90, 0x01, 0x00, 0x00}) + stream);
}

TEST(ArchiveWriterTest, RetiresInTheIndexOnlyAndKeepsBackslashesBetweenComponents) {
    authoring::ArchivePair pair = authoring::BuildArchive(
        {{"sub/a.bin", 0, "old", 0, true}, {"Sub\\A.bin", 0, "new"}}, std::string("AB"));
    const std::string live = arc::ScrambleForWriting("\\sub\\a.bin");
    std::string retired = live;
    arc::RetireName(&retired);

    std::string index, data = std::string("AB\0\0", 4);
    for (const auto& [name, bytes] : {std::pair{retired, "old"}, std::pair{live, "new"}}) {
        std::string head;
        le::PutU32(&head, 10);
        head += name;
        le::PutU16(&head, 0);
        le::PutU32(&head, 3);
        index += head;
        // The data file's copy of the name stays live.
        data += head.replace(4, 10, live) + bytes;
    }
    EXPECT_EQ(pair.ari, index);
    EXPECT_EQ(pair.arc, data);
}

}  // namespace
