#include "engine/script_parser.h"

#include <boost/algorithm/string/classification.hpp>
#include <boost/algorithm/string/split.hpp>
#include <locale>

std::vector<std::string> SplitScriptLines(const char* text, size_t size) {
    std::vector<std::string> lines;
    std::string buffer;
    bool comment = false;
    for (size_t i = 0; i < size; ++i) {
        char byte = text[i];
        if (comment) {
            if (byte == '\n') {
                if (!buffer.empty()) lines.push_back(buffer);
                buffer.clear();
                comment = false;
            }
            continue;
        }
        if (byte == '/' && i + 1 < size && text[i + 1] == '/') {
            comment = true;
        } else if (byte == '\t' || byte == '\r') {
            // dropped
        } else if (byte == '\n') {
            if (!buffer.empty()) lines.push_back(buffer);
            buffer.clear();
        } else {
            buffer += byte;
        }
    }
    return lines;  // whatever follows the last line feed is not a line
}

std::vector<std::string> TokenizeScriptLine(const std::string& line) {
    std::vector<std::string> tokens;
    boost::split(tokens, line, boost::is_space(std::locale::classic()), boost::token_compress_on);
    return tokens;
}
