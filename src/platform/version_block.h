// The version information of an executable (its RT_VERSION resource), read
// on any system the way VerQueryValue reads it.
//
// The block is a tree of nodes. A node is its size in bytes with its children
// (wLength), the size of its value (wValueLength: characters for a text
// value, bytes for a binary one), its kind (wType: 1 text, 0 binary), its
// name as NUL-terminated UTF-16, padding to 32 bits, the value, padding to
// 32 bits, then its children, each starting on a 32-bit boundary. Alignment
// counts from the start of the node. The root holds the fixed information;
// its children are "StringFileInfo" (one table of texts per translation,
// named like "041104B0") and "VarFileInfo" (the "Translation" table).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace platform {

// A value that a query found.
struct VersionValue {
    const uint8_t* data = nullptr;
    uint32_t length = 0;   // wValueLength, as VerQueryValue reports it
    size_t available = 0;  // bytes from data to the end of what may be read
};

// The answers of IVersionInfo, built on one query made the way
// VerQueryValueW makes it. The system's reader and the portable one differ
// only in that query, so they cannot differ in what they make of its result.
class VersionInfoAnswers : public IVersionInfo {
public:
    bool FixedInfo(FixedFileInfo* out) const override;
    bool FirstTranslation(VersionTranslation* out) const override;
    bool QueryText(const std::string& sub_block, std::string* out) const override;

protected:
    // Finds the value at `sub_block`, names separated by '\'. False when the
    // path names nothing.
    virtual bool Query(const std::u16string& sub_block, VersionValue* out) const = 0;
};

// The portable reader over its own copy of a block.
class VersionBlock : public VersionInfoAnswers {
public:
    explicit VersionBlock(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}

protected:
    // Names match without regard to the case of ASCII letters (the names of
    // version information are ASCII). Every size read from the block is
    // checked against the block and against the node that holds it; a node
    // that does not fit ends the search.
    bool Query(const std::u16string& sub_block, VersionValue* out) const override;

private:
    std::vector<uint8_t> bytes_;
};

// UTF-16 text as CP932, each character that CP932 lacks (and each lone
// surrogate) replaced by '?'.
std::string Cp932FromUtf16Replacing(const std::u16string& text);

}  // namespace platform
