// An executable's version information, read whole.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// The fixed part of an executable's version information (VS_FIXEDFILEINFO),
// field by field.
struct FixedFileInfo {
    uint32_t signature = 0;  // 0xFEEF04BD
    uint32_t struct_version = 0;
    uint32_t file_version_ms = 0;
    uint32_t file_version_ls = 0;
    uint32_t product_version_ms = 0;
    uint32_t product_version_ls = 0;
    uint32_t file_flags_mask = 0;
    uint32_t file_flags = 0;
    uint32_t file_os = 0;
    uint32_t file_type = 0;
    uint32_t file_subtype = 0;
    uint32_t file_date_ms = 0;
    uint32_t file_date_ls = 0;
};

// One entry of the translation table: the language of a string table and
// its code page.
struct VersionTranslation {
    uint16_t language = 0;
    uint16_t code_page = 0;
};

// The version information of one file, read whole, answering the queries
// that VerQueryValue answers. Every answer stays inside the block: a damaged
// block answers "absent", never with bytes from outside it.
class IVersionInfo {
public:
    virtual ~IVersionInfo() = default;
    // "\": the fixed information. False when the block has none, when it is
    // too short, or when its signature is not 0xFEEF04BD.
    virtual bool FixedInfo(FixedFileInfo* out) const = 0;
    // "\VarFileInfo\Translation": its first entry. False when there is none.
    virtual bool FirstTranslation(VersionTranslation* out) const = 0;
    // A text value such as "\StringFileInfo\041104B0\ProductName" (names
    // match without regard to letter case): its characters up to the first
    // NUL, as CP932; a character that CP932 lacks becomes '?'. False when
    // the path names nothing.
    virtual bool QueryText(const std::string& sub_block, std::string* out) const = 0;
};

// What became of reading a file's version information.
enum class VersionInfoStatus {
    kLoaded,         // *out holds the block
    kNoInformation,  // the file is missing or has none (GetFileVersionInfoSize gives 0)
    kUnreadable,     // the file is there but could not be read (held, a failing disk)
};

}  // namespace platform
