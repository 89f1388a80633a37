#include "common/pe_image_builder.h"

#include <algorithm>

namespace testing_support {

namespace {

constexpr uint32_t kFileAlignment = 0x200;
constexpr uint32_t kSectionAlignment = 0x1000;
constexpr uint32_t kLfanew = 0x80;
constexpr uint32_t kSectionRva = kSectionAlignment;  // the only section comes first
constexpr uint32_t kHighBit = 0x80000000u;

size_t AlignUp(size_t value, size_t alignment) {
    return (value + alignment - 1) / alignment * alignment;
}

void Put16(std::vector<uint8_t>& bytes, size_t offset, uint16_t value) {
    bytes.at(offset) = static_cast<uint8_t>(value);
    bytes.at(offset + 1) = static_cast<uint8_t>(value >> 8);
}

void Put32(std::vector<uint8_t>& bytes, size_t offset, uint32_t value) {
    Put16(bytes, offset, static_cast<uint16_t>(value));
    Put16(bytes, offset + 2, static_cast<uint16_t>(value >> 16));
}

void Put64(std::vector<uint8_t>& bytes, size_t offset, uint64_t value) {
    Put32(bytes, offset, static_cast<uint32_t>(value));
    Put32(bytes, offset + 4, static_cast<uint32_t>(value >> 32));
}

bool Same(const PeName& a, const PeName& b) {
    return a.is_id == b.is_id && (a.is_id ? a.id == b.id : a.text == b.text);
}

char16_t Upper(char16_t c) { return (c >= u'a' && c <= u'z') ? char16_t(c - 0x20) : c; }

// A linker's order: named entries first, compared without regard to case
// (then exactly, to keep the order total), then ids ascending.
bool Before(const PeName& a, const PeName& b) {
    if (a.is_id != b.is_id) return !a.is_id;
    if (a.is_id) return a.id < b.id;
    size_t common = std::min(a.text.size(), b.text.size());
    for (size_t i = 0; i < common; ++i) {
        char16_t x = Upper(a.text[i]);
        char16_t y = Upper(b.text[i]);
        if (x != y) return x < y;
    }
    if (a.text.size() != b.text.size()) return a.text.size() < b.text.size();
    return a.text < b.text;
}

struct LanguageNode {
    uint16_t language;
    size_t resource;  // index into the input
};

struct NameNode {
    explicit NameNode(const PeName& name) : name(name) {}
    PeName name;
    std::vector<LanguageNode> languages;
    size_t directory = 0;  // offsets inside the section
    size_t string = 0;
};

struct TypeNode {
    explicit TypeNode(const PeName& type) : type(type) {}
    PeName type;
    std::vector<NameNode> names;
    size_t directory = 0;
    size_t string = 0;
};

template <typename Node, typename Key>
Node& FindOrAdd(std::vector<Node>& nodes, const PeName& name, Key key) {
    for (Node& node : nodes) {
        if (Same(node.*key, name)) return node;
    }
    nodes.emplace_back(name);
    return nodes.back();
}

void PutDirectory(std::vector<uint8_t>& section, size_t offset, size_t named, size_t ids) {
    // Characteristics, time stamp and version stay zero.
    Put16(section, offset + 12, static_cast<uint16_t>(named));
    Put16(section, offset + 14, static_cast<uint16_t>(ids));
}

template <typename Node, typename Key>
void CountKinds(const std::vector<Node>& nodes, Key key, size_t* named, size_t* ids) {
    *named = 0;
    *ids = 0;
    for (const Node& node : nodes) ++*((node.*key).is_id ? ids : named);
}

uint32_t NameField(const PeName& name, size_t string) {
    return name.is_id ? name.id : kHighBit | static_cast<uint32_t>(string);
}

}  // namespace

uint16_t PeImage::U16(size_t offset) const {
    return static_cast<uint16_t>(bytes.at(offset) | (bytes.at(offset + 1) << 8));
}

uint32_t PeImage::U32(size_t offset) const {
    return U16(offset) | (static_cast<uint32_t>(U16(offset + 2)) << 16);
}

void PeImage::SetU16(size_t offset, uint16_t value) { Put16(bytes, offset, value); }

void PeImage::SetU32(size_t offset, uint32_t value) { Put32(bytes, offset, value); }

PeImage BuildPeImage(const std::vector<PeResource>& resources, const PeImageOptions& options) {
    // The tree: types, their names, the names' languages.
    std::vector<TypeNode> types;
    for (size_t i = 0; i < resources.size(); ++i) {
        TypeNode& type = FindOrAdd(types, resources[i].type, &TypeNode::type);
        NameNode& name = FindOrAdd(type.names, resources[i].name, &NameNode::name);
        name.languages.push_back({resources[i].language, i});
    }
    if (options.sorted) {
        auto by_type = [](const TypeNode& a, const TypeNode& b) { return Before(a.type, b.type); };
        auto by_name = [](const NameNode& a, const NameNode& b) { return Before(a.name, b.name); };
        auto by_language = [](const LanguageNode& a, const LanguageNode& b) {
            return a.language < b.language;
        };
        std::stable_sort(types.begin(), types.end(), by_type);
        for (TypeNode& type : types) {
            std::stable_sort(type.names.begin(), type.names.end(), by_name);
            for (NameNode& name : type.names) {
                std::stable_sort(name.languages.begin(), name.languages.end(), by_language);
            }
        }
    }

    // Section layout: all directories (level by level), the name strings,
    // the data entries, then the data, each block 8-byte aligned.
    size_t position = 16 + 8 * types.size();
    for (TypeNode& type : types) {
        type.directory = position;
        position += 16 + 8 * type.names.size();
    }
    for (TypeNode& type : types) {
        for (NameNode& name : type.names) {
            name.directory = position;
            position += 16 + 8 * name.languages.size();
        }
    }
    for (TypeNode& type : types) {
        if (!type.type.is_id) {
            type.string = position;
            position += 2 + 2 * type.type.text.size();
        }
        for (NameNode& name : type.names) {
            if (!name.name.is_id) {
                name.string = position;
                position += 2 + 2 * name.name.text.size();
            }
        }
    }
    position = AlignUp(position, 8);
    std::vector<size_t> data_entries(resources.size());
    for (size_t i = 0; i < resources.size(); ++i) {
        data_entries[i] = position;
        position += 16;
    }
    std::vector<size_t> data(resources.size());
    for (size_t i = 0; i < resources.size(); ++i) {
        data[i] = position;
        position = AlignUp(position + resources[i].bytes.size(), 8);
    }
    const size_t content_size = position;

    // Headers.
    const bool plus = options.format == PeFormat::kPe32Plus;
    const size_t optional_size = plus ? 240 : 224;
    PeImage image;
    image.pe_signature = kLfanew;
    image.number_of_sections = kLfanew + 4 + 2;
    image.size_of_optional_header = kLfanew + 4 + 16;
    image.optional_header = kLfanew + 4 + 20;
    image.number_of_rva_and_sizes = image.optional_header + (plus ? 108 : 92);
    image.resource_directory_rva = image.optional_header + (plus ? 128 : 112);
    image.resource_directory_size = image.resource_directory_rva + 4;
    image.section_header = image.optional_header + optional_size;
    image.section_virtual_size = image.section_header + 8;
    image.section_virtual_address = image.section_header + 12;
    image.section_raw_size = image.section_header + 16;
    image.section_raw_offset = image.section_header + 20;
    const size_t headers_size = AlignUp(image.section_header + 40, kFileAlignment);
    const size_t raw_size = AlignUp(content_size, kFileAlignment);
    image.resource_root = headers_size;
    image.resource_rva = kSectionRva;

    std::vector<uint8_t>& out = image.bytes;
    out.assign(headers_size + raw_size, 0);
    out[0] = 'M';
    out[1] = 'Z';
    Put32(out, image.lfanew_field, kLfanew);
    out[kLfanew] = 'P';
    out[kLfanew + 1] = 'E';

    const size_t coff = kLfanew + 4;
    Put16(out, coff, plus ? 0x8664 : 0x014C);  // Machine
    Put16(out, coff + 2, 1);                   // NumberOfSections
    Put16(out, coff + 16, static_cast<uint16_t>(optional_size));
    Put16(out, coff + 18, plus ? 0x0022 : 0x0102);  // executable; large address aware / 32-bit

    const size_t opt = image.optional_header;
    Put16(out, opt, plus ? 0x20B : 0x10B);
    out[opt + 2] = 2;                                      // linker version
    Put32(out, opt + 8, static_cast<uint32_t>(raw_size));  // SizeOfInitializedData
    Put32(out, opt + 20, kSectionRva);                     // BaseOfCode
    if (plus) {
        Put64(out, opt + 24, 0x140000000ull);  // ImageBase
    } else {
        Put32(out, opt + 24, kSectionRva);  // BaseOfData
        Put32(out, opt + 28, 0x400000);     // ImageBase
    }
    Put32(out, opt + 32, kSectionAlignment);
    Put32(out, opt + 36, kFileAlignment);
    Put16(out, opt + 40, plus ? 6 : 4);  // operating system version
    Put16(out, opt + 48, plus ? 6 : 4);  // subsystem version
    Put32(out, opt + 56,
          static_cast<uint32_t>(kSectionRva + AlignUp(content_size, kSectionAlignment)));
    Put32(out, opt + 60, static_cast<uint32_t>(headers_size));
    Put16(out, opt + 68, 3);  // console subsystem
    if (plus) {
        Put64(out, opt + 72, 0x200000);  // stack reserve, commit; heap reserve, commit
        Put64(out, opt + 80, 0x1000);
        Put64(out, opt + 88, 0x100000);
        Put64(out, opt + 96, 0x1000);
    } else {
        Put32(out, opt + 72, 0x200000);
        Put32(out, opt + 76, 0x1000);
        Put32(out, opt + 80, 0x100000);
        Put32(out, opt + 84, 0x1000);
    }
    Put32(out, image.number_of_rva_and_sizes, 16);
    Put32(out, image.resource_directory_rva, kSectionRva);
    Put32(out, image.resource_directory_size, static_cast<uint32_t>(content_size));

    const char kName[8] = {'.', 'r', 's', 'r', 'c', 0, 0, 0};
    std::copy(kName, kName + 8, out.begin() + image.section_header);
    Put32(out, image.section_virtual_size, static_cast<uint32_t>(content_size));
    Put32(out, image.section_virtual_address, kSectionRva);
    Put32(out, image.section_raw_size, static_cast<uint32_t>(raw_size));
    Put32(out, image.section_raw_offset, static_cast<uint32_t>(headers_size));
    Put32(out, image.section_header + 36, 0x40000040);  // initialized data, readable

    // The resource section.
    std::vector<uint8_t> section(raw_size, 0);
    std::vector<PeResourceLayout> layout(resources.size());
    size_t named = 0;
    size_t ids = 0;
    CountKinds(types, &TypeNode::type, &named, &ids);
    PutDirectory(section, 0, named, ids);
    for (size_t t = 0; t < types.size(); ++t) {
        const TypeNode& type = types[t];
        const size_t type_entry = 16 + 8 * t;
        Put32(section, type_entry, NameField(type.type, type.string));
        Put32(section, type_entry + 4, kHighBit | static_cast<uint32_t>(type.directory));
        if (!type.type.is_id) {
            Put16(section, type.string, static_cast<uint16_t>(type.type.text.size()));
            for (size_t c = 0; c < type.type.text.size(); ++c) {
                Put16(section, type.string + 2 + 2 * c, type.type.text[c]);
            }
        }
        CountKinds(type.names, &NameNode::name, &named, &ids);
        PutDirectory(section, type.directory, named, ids);
        for (size_t n = 0; n < type.names.size(); ++n) {
            const NameNode& name = type.names[n];
            const size_t name_entry = type.directory + 16 + 8 * n;
            Put32(section, name_entry, NameField(name.name, name.string));
            Put32(section, name_entry + 4, kHighBit | static_cast<uint32_t>(name.directory));
            if (!name.name.is_id) {
                Put16(section, name.string, static_cast<uint16_t>(name.name.text.size()));
                for (size_t c = 0; c < name.name.text.size(); ++c) {
                    Put16(section, name.string + 2 + 2 * c, name.name.text[c]);
                }
            }
            PutDirectory(section, name.directory, 0, name.languages.size());
            for (size_t l = 0; l < name.languages.size(); ++l) {
                const size_t r = name.languages[l].resource;
                const size_t language_entry = name.directory + 16 + 8 * l;
                Put32(section, language_entry, name.languages[l].language);
                Put32(section, language_entry + 4, static_cast<uint32_t>(data_entries[r]));
                Put32(section, data_entries[r], static_cast<uint32_t>(kSectionRva + data[r]));
                Put32(section, data_entries[r] + 4,
                      static_cast<uint32_t>(resources[r].bytes.size()));
                std::copy(resources[r].bytes.begin(), resources[r].bytes.end(),
                          section.begin() + data[r]);

                PeResourceLayout& where = layout[r];
                const size_t root = image.resource_root;
                where.type_entry = root + type_entry;
                where.type_string = type.type.is_id ? 0 : root + type.string;
                where.name_directory = root + type.directory;
                where.name_entry = root + name_entry;
                where.name_string = name.name.is_id ? 0 : root + name.string;
                where.language_directory = root + name.directory;
                where.language_entry = root + language_entry;
                where.data_entry = root + data_entries[r];
                where.data = root + data[r];
            }
        }
    }
    std::copy(section.begin(), section.end(), out.begin() + image.resource_root);
    image.resources = std::move(layout);
    return image;
}

}  // namespace testing_support
