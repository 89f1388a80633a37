// The script's text format: how bytes become lines and tokens.
#include "engine/script_parser.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

struct SplitCase {
    const char* what;
    std::string text;
    Lines lines;
};

void PrintTo(const SplitCase& c, std::ostream* os) { *os << c.what; }

class SplitScriptLinesTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitScriptLinesTest, GivesTheLines) {
    const SplitCase& c = GetParam();
    EXPECT_EQ(SplitScriptLines(c.text.data(), c.text.size()), c.lines) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SplitScriptLinesTest,
    ::testing::Values(
        SplitCase{"crlf lines", "title A\r\nregist B\r\n", {"title A", "regist B"}},
        SplitCase{"last line without line feed is ignored", "title A\r\nregist B", {"title A"}},
        SplitCase{"comment-only, empty and tab-only lines vanish",
                  "// head\r\n\r\n\t\t\r\ntitle A\r\n",
                  {"title A"}},
        SplitCase{"blanks in front of a comment stay", "title A   // caption\r\n", {"title A   "}},
        SplitCase{
            "tabs vanish and fuse what stands around them", "title\tA\t\t// c\r\n", {"titleA"}},
        SplitCase{"a double slash inside a path starts a comment",
                  "copy arc//data.arc X T 0\r\n",
                  {"copy arc"}},
        SplitCase{"a single slash is a character", "copy arc/data.arc\n", {"copy arc/data.arc"}},
        SplitCase{"a slash as the very last byte is a character", "a\n/", {"a"}},
        SplitCase{"a comment ends at the line feed", "// x\ntitle A\n", {"title A"}},
        SplitCase{"a line of blanks is a line", "   \r\n", {"   "}},
        SplitCase{"empty text", "", {}},
        SplitCase{"bytes from 0x80 up are text",
                  "title \x83\x5c\x81\x40X\r\n",
                  {"title \x83\x5c\x81\x40X"}}));

struct TokenCase {
    const char* what;
    std::string line;
    Lines tokens;
};

void PrintTo(const TokenCase& c, std::ostream* os) { *os << c.what; }

class TokenizeScriptLineTest : public ::testing::TestWithParam<TokenCase> {};

TEST_P(TokenizeScriptLineTest, GivesTheTokens) {
    const TokenCase& c = GetParam();
    EXPECT_EQ(TokenizeScriptLine(c.line), c.tokens) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TokenizeScriptLineTest,
    ::testing::Values(
        TokenCase{"single spaces", "copy a b c 0", {"copy", "a", "b", "c", "0"}},
        TokenCase{"runs of blanks count as one", "copy   a \v\f b", {"copy", "a", "b"}},
        TokenCase{"leading blank gives an empty first token", " title A", {"", "title", "A"}},
        TokenCase{"trailing blank gives an empty last token", "title A ", {"title", "A", ""}},
        TokenCase{"only blanks", "   ", {"", ""}},
        TokenCase{
            "a full-width space is part of a token", "title \x81\x40X", {"title", "\x81\x40X"}},
        TokenCase{"high bytes are never blanks", "a\xa0\x85 b", {"a\xa0\x85", "b"}}));

}  // namespace
