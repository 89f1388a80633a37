// The Windows rules that the POSIX platform and the file doubles share:
// SetFilePointer arithmetic, CreateFile dispositions, the read-only
// attribute as permission bits, and names compared without ASCII case.
// Every expected value is written out by hand.
#include "platform/windows_rules.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ios>
#include <string>

#include "platform/platform.h"

namespace {

using namespace platform;

// ---- SetFilePointer ----

struct SeekCase {
    const char* label;
    int64_t base;
    int32_t distance;
    bool with_high;
    int32_t high;       // the high part of the distance, when with_high
    uint32_t error;     // expected
    uint64_t position;  // expected, when error is 0
};

constexpr int64_t kInt64Max = INT64_MAX;

const SeekCase kSeekCases[] = {
    {"Forward", 10, 5, false, 0, kErrorSuccess, 15},
    {"BackToTheStart", 10, -10, false, 0, kErrorSuccess, 0},
    {"BeforeTheStart", 10, -11, false, 0, kErrorNegativeSeek, 0},
    {"UpToTheLast32BitPosition", 0xFFFFFFFE, 1, false, 0, kErrorSuccess, 0xFFFFFFFFu},
    {"Beyond32BitsWithoutHigh", 0xFFFFFFFF, 1, false, 0, kErrorInvalidParameter, 0},
    {"BackFromBeyond32BitsWithoutHigh", 0x100000005, -5, false, 0, kErrorInvalidParameter, 0},
    {"Beyond32BitsWithHigh", 0xFFFFFFFF, 1, true, 0, kErrorSuccess, 0x100000000u},
    {"HighPartCountsFor4GiB", 0, 0, true, 1, kErrorSuccess, 0x100000000u},
    // With a high part of 0 the low part is unsigned: -1 is 4 GiB - 1 ahead.
    {"LowPartUnsignedWithHigh", 0, -1, true, 0, kErrorSuccess, 0xFFFFFFFFu},
    {"HighMinusOneMovesBack", 10, -1, true, -1, kErrorSuccess, 9},
    {"HighMinusOneBeforeTheStart", 0, -1, true, -1, kErrorNegativeSeek, 0},
    {"PastTheLargestPosition", kInt64Max, 1, true, 0, kErrorInvalidParameter, 0},
};

TEST(SeekTarget, MovesOrRefusesAsSetFilePointer) {
    for (const SeekCase& c : kSeekCases) {
        SCOPED_TRACE(c.label);
        int32_t high = c.high;
        uint64_t position = 12345;  // left alone on failure
        EXPECT_EQ(SeekTarget(c.base, c.distance, c.with_high ? &high : nullptr, &position),
                  c.error);
        EXPECT_EQ(position, c.error == kErrorSuccess ? c.position : 12345u);
        EXPECT_EQ(high, c.high);  // the distance is only read
    }
}

TEST(SeekTarget, KnowsTheThreeMethods) {
    EXPECT_TRUE(IsSeekMethod(kFileBegin));
    EXPECT_TRUE(IsSeekMethod(kFileCurrent));
    EXPECT_TRUE(IsSeekMethod(kFileEnd));
    EXPECT_FALSE(IsSeekMethod(3));
    EXPECT_FALSE(IsSeekMethod(0xFFFFFFFFu));
}

TEST(ReportPosition, SplitsIntoLowAndHighParts) {
    int32_t high = 7;
    EXPECT_EQ(ReportPosition(0x100000005u, &high), 5u);
    EXPECT_EQ(high, 1);
    EXPECT_EQ(ReportPosition(0xFFFFFFFFu, &high), 0xFFFFFFFFu);
    EXPECT_EQ(high, 0);
    EXPECT_EQ(ReportPosition(0x100000005u, nullptr), 5u);

    uint32_t size_high = 7;
    EXPECT_EQ(ReportSize(0x300000002u, &size_high), 2u);
    EXPECT_EQ(size_high, 3u);
    EXPECT_EQ(ReportSize(0x300000002u, nullptr), 2u);

    uint32_t error = 0;
    EXPECT_EQ(FilePointerFailure(kErrorNegativeSeek, &error), kInvalidSetFilePointer);
    EXPECT_EQ(error, kErrorNegativeSeek);
}

// ---- CreateFile dispositions ----

struct DispositionCase {
    const char* label;
    uint32_t disposition;
    bool fails_if_exists;
    bool fails_if_missing;
    bool truncates;
    uint32_t check_for_reading;  // CheckOpenArguments with read access only
    bool read_only_refuses_reading;
};

const DispositionCase kDispositionCases[] = {
    {"CreateNew", kCreateNew, true, false, false, kErrorSuccess, false},
    {"CreateAlways", kCreateAlways, false, false, true, kErrorSuccess, true},
    {"OpenExisting", kOpenExisting, false, true, false, kErrorSuccess, false},
    {"OpenAlways", kOpenAlways, false, false, false, kErrorSuccess, false},
    {"TruncateExisting", kTruncateExisting, false, true, true, kErrorInvalidParameter, true},
};

TEST(DispositionRules, CreatesTruncatesOrRefusesAsCreateFile) {
    for (const DispositionCase& c : kDispositionCases) {
        SCOPED_TRACE(c.label);
        EXPECT_TRUE(IsDisposition(c.disposition));
        EXPECT_EQ(FailsIfExists(c.disposition), c.fails_if_exists);
        EXPECT_EQ(FailsIfMissing(c.disposition), c.fails_if_missing);
        EXPECT_EQ(TruncatesExisting(c.disposition), c.truncates);
        EXPECT_EQ(CheckOpenArguments(kGenericRead, c.disposition), c.check_for_reading);
        EXPECT_EQ(CheckOpenArguments(kGenericWrite, c.disposition), kErrorSuccess);
        EXPECT_EQ(CheckOpenArguments(kGenericRead | kGenericWrite, c.disposition), kErrorSuccess);
        EXPECT_EQ(ReadOnlyRefuses(kGenericRead, c.disposition), c.read_only_refuses_reading);
        EXPECT_TRUE(ReadOnlyRefuses(kGenericWrite, c.disposition));
        EXPECT_TRUE(ReadOnlyRefuses(kGenericRead | kGenericWrite, c.disposition));
    }
}

TEST(DispositionRules, OutsideTheFiveIsAnInvalidArgument) {
    for (uint32_t disposition : {0u, 6u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(disposition);
        EXPECT_FALSE(IsDisposition(disposition));
        EXPECT_EQ(CheckOpenArguments(kGenericRead | kGenericWrite, disposition),
                  kErrorInvalidParameter);
    }
}

// ---- The read-only attribute ----

TEST(ReadOnlyMode, IsTheAbsenceOfEveryWriteBit) {
    struct Case {
        uint32_t mode;
        bool read_only;
    };
    const Case cases[] = {
        {0644, false}, {0444, true},  {0400, true},     {0000, true},
        {0464, false}, {0446, false}, {0100644, false}, {0100444, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::oct << c.mode);
        EXPECT_EQ(IsReadOnlyMode(c.mode), c.read_only);
    }
}

TEST(ReadOnlyMode, SetTakesEveryWriteBitClearGivesTheOwnerOne) {
    struct Case {
        uint32_t mode;
        bool read_only;
        uint32_t after;
    };
    const Case cases[] = {
        {0644, true, 0444},  {0666, true, 0444},  {0755, true, 0555},
        {0444, false, 0644}, {0464, false, 0664}, {0644, false, 0644},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::oct << c.mode << (c.read_only ? " +r" : " -r"));
        EXPECT_EQ(ModeAfterSetReadOnly(c.mode, c.read_only), c.after);
    }
}

// ---- Names ----

TEST(NameCase, FoldsAsciiLettersOnly) {
    EXPECT_EQ(FoldAscii('A'), 'a');
    EXPECT_EQ(FoldAscii('Z'), 'z');
    EXPECT_EQ(UpperAscii('a'), 'A');
    EXPECT_EQ(UpperAscii('z'), 'Z');
    // The neighbours of the letters, and bytes above ASCII, stay.
    for (char c : {'@', '[', '`', '{', 'a', '0', '\x81', '\xC1', '\xE1'}) {
        SCOPED_TRACE(static_cast<int>(static_cast<unsigned char>(c)));
        EXPECT_EQ(FoldAscii(c), c);
    }
    for (char c : {'@', '[', '`', '{', 'A', '0', '\x81', '\xC1', '\xE1'}) {
        SCOPED_TRACE(static_cast<int>(static_cast<unsigned char>(c)));
        EXPECT_EQ(UpperAscii(c), c);
    }
}

TEST(NameCase, Utf8NamesMatchWithoutAsciiCase) {
    struct Case {
        const char* a;
        const char* b;
        bool same;
    };
    const Case cases[] = {
        {"DATA.ARC", "data.arc", true},
        {"Sub\xC3\x84.txt", "sUB\xC3\x84.TXT", true},  // Ä beside ASCII letters
        {"\xC3\x84", "\xC3\xA4", false},               // Ä and ä are other names
        {"@", "`", false},                             // 32 apart, but no letters
        {"data", "data1", false},
        {"data1", "data", false},
        {"", "", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " / " + c.b);
        EXPECT_EQ(SameUtf8NameIgnoringCase(c.a, c.b), c.same);
    }
}

}  // namespace
