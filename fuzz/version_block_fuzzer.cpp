// The portable version information reader on arbitrary blocks.
//
// The input is the RT_VERSION resource as it lies in an image. The reader
// keeps its own copy of exactly that size, so a read past the block is seen.
// Every query must end in an answer or "absent": the fixed information, the
// first translation, and texts both in fixed tables and in the table that
// the first translation names.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/version_block.h"

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

// Texts a caller asks for, with the paths around them that a damaged block
// or a careless caller may give.
const char* const kTexts[] = {
    "\\StringFileInfo\\041104B0\\ProductName",
    "\\StringFileInfo\\041104b0\\FileVersion",
    "\\StringFileInfo\\040904E4\\CompanyName",
    "\\StringFileInfo\\040904B0\\ProductVersion",
    "\\StringFileInfo\\041104B0",
    "\\StringFileInfo",
    "\\VarFileInfo\\Translation",
    "\\",
    "",
    "\\\\StringFileInfo\\\\041104B0\\\\",
    "StringFileInfo\\041104B0\\Comments",
};

const char* const kNames[] = {"ProductName", "ProductVersion", "FileVersion", "CompanyName",
                              "Comments"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const platform::VersionBlock block(std::vector<uint8_t>(data, data + size));

    platform::FixedFileInfo fixed;
    if (block.FixedInfo(&fixed)) Require(fixed.signature == 0xFEEF04BDu);

    std::string text;
    for (const char* path : kTexts) {
        if (block.QueryText(path, &text)) Require(text.size() <= 2 * size);
    }

    platform::VersionTranslation translation;
    if (block.FirstTranslation(&translation)) {
        char table[32];
        std::snprintf(table, sizeof table, "\\StringFileInfo\\%04X%04X\\",
                      static_cast<unsigned>(translation.language),
                      static_cast<unsigned>(translation.code_page));
        for (const char* name : kNames) {
            if (block.QueryText(std::string(table) + name, &text)) {
                Require(text.size() <= 2 * size);
            }
        }
    }
    return 0;
}
