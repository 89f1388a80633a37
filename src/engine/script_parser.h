// The patch script's text format: lines, comments and tokens.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Splits the script text into lines: CR and TAB vanish, "//" starts a comment
// that runs to the line feed, empty lines are dropped, and text after the
// last line feed is ignored.
std::vector<std::string> SplitScriptLines(const char* text, size_t size);

// Splits a line at runs of blanks (space, vertical tab, form feed as the C
// locale classifies them). A leading blank gives an empty first token, a
// trailing blank an empty last one.
std::vector<std::string> TokenizeScriptLine(const std::string& line);
