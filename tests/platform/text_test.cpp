// CP932 conversions: the characters where CP932 differs from plain
// Shift_JIS, double-byte characters whose second byte is 0x5C, and input
// that has no faithful conversion.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "platform/cp932.h"
#include "platform/platform.h"

namespace {

using namespace platform;

// The UTF-16 column is written with escapes (the same text as the UTF-8
// column) so that no compiler setting can change it.
struct TextCase {
    const char* utf8;
    std::u16string utf16;
    std::string cp932;
};

const std::vector<TextCase>& Cases() {
    static const std::vector<TextCase> cases = {
        {"", u"", ""},
        {"patch.exe", u"patch.exe", "patch.exe"},
        // ASCII stays ASCII: 0x5C is a backslash and 0x7E a tilde, not yen
        // sign and overline as in JIS X 0201.
        {"C:\\a~b", u"C:\\a~b", "C:\\a~b"},
        // Second bytes that are 0x5C.
        {u8"表示ソフト", u"\u8868\u793A\u30BD\u30D5\u30C8",
         "\x95\x5C\x8E\xA6\x83\x5C\x83\x74\x83\x67"},
        // Half-width katakana: single bytes.
        {u8"ｱｲｳ", u"\uFF71\uFF72\uFF73", "\xB1\xB2\xB3"},
        // Where Windows maps differently from JIS: fullwidth reverse solidus,
        // fullwidth tilde, and the NEC and IBM extensions.
        {u8"＼～∥－", u"\uFF3C\uFF5E\u2225\uFF0D", "\x81\x5F\x81\x60\x81\x61\x81\x7C"},
        {u8"①髙", u"\u2460\u9AD9", "\x87\x40\xFB\xFC"},
    };
    return cases;
}

TEST(Cp932, ConvertsBothWaysWithUtf8AndUtf16) {
    for (const auto& c : Cases()) {
        SCOPED_TRACE(c.utf8);
        std::string cp932, utf8;
        std::u16string utf16;
        ASSERT_TRUE(Utf8ToCp932(c.utf8, &cp932));
        EXPECT_EQ(cp932, c.cp932);
        ASSERT_TRUE(Cp932ToUtf8(c.cp932, &utf8));
        EXPECT_EQ(utf8, c.utf8);
        ASSERT_TRUE(Cp932ToUtf16(c.cp932, &utf16));
        EXPECT_EQ(utf16, c.utf16);
        ASSERT_TRUE(Utf16ToCp932(c.utf16, &cp932));
        EXPECT_EQ(cp932, c.cp932);
    }
}

TEST(Cp932, KeepsNulBytesAndLongText) {
    std::string with_nul("a\0b", 3), out;
    ASSERT_TRUE(Cp932ToUtf8(with_nul, &out));
    EXPECT_EQ(out, with_nul);
    std::string long_text;
    for (int i = 0; i < 2000; ++i)
        long_text +=
            "\x95\x5C"
            "a";
    std::u16string wide;
    ASSERT_TRUE(Cp932ToUtf16(long_text, &wide));
    EXPECT_EQ(wide.size(), 4000u);
    ASSERT_TRUE(Utf16ToCp932(wide, &out));
    EXPECT_EQ(out, long_text);
}

TEST(Cp932, RefusesWhatHasNoFaithfulConversion) {
    std::string out;
    std::u16string wide;
    // A lead byte at the end, or followed by a byte that cannot be second.
    for (const char* bad : {"abc\x82", "\x82\x20"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(Cp932ToUtf8(bad, &out));
        EXPECT_FALSE(Cp932ToUtf16(bad, &wide));
    }
    // Characters CP932 does not have, and broken UTF-8 / UTF-16.
    EXPECT_FALSE(Utf8ToCp932(u8"price €5", &out));
    EXPECT_FALSE(Utf8ToCp932(u8"😀", &out));
    EXPECT_FALSE(Utf8ToCp932("\xC3", &out));
    EXPECT_FALSE(Utf16ToCp932(u"\U0001F600", &out));
    EXPECT_FALSE(Utf16ToCp932(std::u16string(1, char16_t(0xD800)), &out));
}

TEST(Cp932, ConvertsOnSeveralThreadsAtOnce) {
    std::atomic<int> failures{0};
    std::vector<std::unique_ptr<IThread>> threads;
    for (int t = 0; t < 4; ++t) {
        threads.push_back(System().StartThread([&failures] {
            for (int i = 0; i < 2000; ++i) {
                const TextCase& c = Cases()[static_cast<size_t>(i) % Cases().size()];
                std::string cp932, utf8;
                std::u16string utf16;
                if (!Utf8ToCp932(c.utf8, &cp932) || cp932 != c.cp932 ||
                    !Cp932ToUtf8(c.cp932, &utf8) || utf8 != c.utf8 ||
                    !Cp932ToUtf16(c.cp932, &utf16) || utf16 != c.utf16 ||
                    Utf8ToCp932("\xC3", &cp932)) {
                    ++failures;
                }
            }
        }));
    }
    for (auto& thread : threads) thread->Join();
    EXPECT_EQ(failures.load(), 0);
}

}  // namespace
