// Builds small PE images (Windows .exe files) in memory whose only section is
// a .rsrc holding the resources asked for, laid out as a linker lays them
// out. Tests read them back, and damage chosen fields to see a reader refuse
// them; the fuzz seeds start from them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace testing_support {

// A resource type or name: a string, or a numeric id.
struct PeName {
    // Implicit, so that a resource list reads {u"PATCH_SCR", u"SCRIPT", ...}.
    PeName(const char16_t* text) : text(text) {}
    PeName(std::u16string text) : text(std::move(text)) {}
    static PeName Id(uint16_t id) {
        PeName name(u"");
        name.is_id = true;
        name.id = id;
        return name;
    }

    std::u16string text;
    bool is_id = false;
    uint16_t id = 0;
};

struct PeResource {
    PeName type;
    PeName name;
    uint16_t language = 0;
    std::string bytes;
};

enum class PeFormat { kPe32, kPe32Plus };

struct PeImageOptions {
    PeFormat format = PeFormat::kPe32;
    // Sort the directory entries as a linker does (named entries first,
    // case-insensitively, then ids ascending; languages ascending). When
    // false, every level keeps the order in which the resources were given.
    bool sorted = true;
};

// File offsets of the parts that make up one resource in a built image.
struct PeResourceLayout {
    size_t type_entry = 0;      // its type's entry in the root directory
    size_t type_string = 0;     // the type's length-prefixed UTF-16 name; 0 for an id
    size_t name_directory = 0;  // the directory of names of that type
    size_t name_entry = 0;      // its entry there
    size_t name_string = 0;     // 0 for an id
    size_t language_directory = 0;
    size_t language_entry = 0;
    size_t data_entry = 0;  // RVA, size, code page, reserved
    size_t data = 0;        // the bytes themselves
};

struct PeImage {
    std::vector<uint8_t> bytes;

    // File offsets of header fields.
    size_t lfanew_field = 0x3C;
    size_t pe_signature = 0;        // "PE\0\0"
    size_t number_of_sections = 0;  // COFF header, 16 bits
    size_t size_of_optional_header = 0;
    size_t optional_header = 0;  // its magic
    size_t number_of_rva_and_sizes = 0;
    size_t resource_directory_rva = 0;  // data directory 2: RVA, then size
    size_t resource_directory_size = 0;
    size_t section_header = 0;  // the .rsrc header in the section table
    size_t section_virtual_size = 0;
    size_t section_virtual_address = 0;
    size_t section_raw_size = 0;
    size_t section_raw_offset = 0;

    // The resource tree.
    size_t resource_root = 0;                 // file offset of the root directory
    uint32_t resource_rva = 0;                // its RVA
    std::vector<PeResourceLayout> resources;  // in the order they were given

    uint16_t U16(size_t offset) const;
    uint32_t U32(size_t offset) const;
    void SetU16(size_t offset, uint16_t value);
    void SetU32(size_t offset, uint32_t value);
};

PeImage BuildPeImage(const std::vector<PeResource>& resources,
                     const PeImageOptions& options = PeImageOptions());

}  // namespace testing_support
