#include "platform/pe_resources.h"

#include <algorithm>

#include "base/byte_order.h"
#include "platform/cp932.h"

namespace platform {

namespace {

// Fixed places in the headers.
constexpr uint64_t kDosHeaderSize = 0x40;
constexpr uint64_t kLfanewField = 0x3C;
constexpr uint64_t kCoffHeaderSize = 20;
constexpr uint64_t kSectionHeaderSize = 40;
constexpr uint16_t kMagicPe32 = 0x10B;
constexpr uint16_t kMagicPe32Plus = 0x20B;
constexpr uint32_t kResourceDirectoryIndex = 2;

// The resource tree.
constexpr uint64_t kDirectorySize = 16;
constexpr uint64_t kDirectoryEntrySize = 8;
constexpr uint64_t kDataEntrySize = 16;
constexpr uint32_t kHighBit = 0x80000000u;

// Limits on what one image may make the reader build, whatever the size of
// the image: a short name referenced from many entries is copied into each.
constexpr size_t kMaxEntries = size_t{1} << 20;
constexpr uint64_t kMaxNameChars = uint64_t{1} << 24;

uint16_t U16(const uint8_t* p) { return le::GetU16(p); }
uint32_t U32(const uint8_t* p) { return le::GetU32(p); }

// True when [offset, offset + length) lies inside [0, limit).
bool Inside(uint64_t offset, uint64_t length, uint64_t limit) {
    return offset <= limit && length <= limit - offset;
}

std::string Hex(uint64_t value) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string out;
    do {
        out.insert(out.begin(), kDigits[value & 0xF]);
        value >>= 4;
    } while (value != 0);
    return "0x" + out;
}

// A type or name for a message: printable ASCII kept, anything else '?'.
std::string Printable(const std::u16string& text) {
    std::string out;
    for (char16_t c : text) out += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '?';
    return out;
}

std::u16string IdName(uint32_t id) {
    std::u16string digits;
    do {
        digits.insert(digits.begin(), static_cast<char16_t>(u'0' + id % 10));
        id /= 10;
    } while (id != 0);
    return u"#" + digits;
}

// Upper case as far as the names this program meets need it: ASCII, Latin-1,
// and the Greek, Cyrillic and full-width Latin letters that CP932 holds.
char16_t Upper(char16_t c) {
    if (c >= u'a' && c <= u'z') return static_cast<char16_t>(c - 0x20);
    if (c < 0x80) return c;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<char16_t>(c - 0x20);
    if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return static_cast<char16_t>(c - 0x20);
    if (c >= 0x430 && c <= 0x44F) return static_cast<char16_t>(c - 0x20);
    if (c >= 0x450 && c <= 0x45F) return static_cast<char16_t>(c - 0x50);
    if (c >= 0xFF41 && c <= 0xFF5A) return static_cast<char16_t>(c - 0x20);
    return c;
}

bool SameIgnoringCase(const std::u16string& a, const std::u16string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (Upper(a[i]) != Upper(b[i])) return false;
    }
    return true;
}

// What a caller asks for: "#<decimal>" is a numeric id, anything else a string.
struct Query {
    bool is_id = false;
    uint32_t id = 0;
    const std::u16string* text = nullptr;
};

Query MakeQuery(const std::u16string& text) {
    Query query;
    query.text = &text;
    if (text.size() < 2 || text[0] != u'#') return query;
    uint64_t value = 0;
    for (size_t i = 1; i < text.size(); ++i) {
        if (text[i] < u'0' || text[i] > u'9') return query;
        value = value * 10 + (text[i] - u'0');
        // Stored ids have 31 bits: a larger number stays larger and matches none.
        if (value > 0x7FFFFFFFu) value = 0x80000000u;
    }
    query.is_id = true;
    query.id = static_cast<uint32_t>(value);
    return query;
}

bool Matches(const Query& query, bool is_id, uint32_t id, const std::u16string& text) {
    if (query.is_id != is_id) return false;
    return is_id ? query.id == id : SameIgnoringCase(*query.text, text);
}

struct Section {
    std::string name;
    uint32_t virtual_address = 0;
    uint32_t virtual_size = 0;
    uint32_t raw_size = 0;
    uint32_t raw_offset = 0;

    // The section holds the address in memory (its raw data may be shorter).
    bool Holds(uint32_t rva) const {
        uint64_t extent = virtual_size > raw_size ? virtual_size : raw_size;
        return rva >= virtual_address && rva - virtual_address < extent;
    }
};

// The section that holds `rva`, from a table sorted by address: the last one
// that starts at or below it. Sections of a loadable image do not overlap; in
// one whose sections do, this still names one section, whose bounds are then
// checked. A binary search, so that many blocks in many sections stay cheap.
const Section* SectionOf(const std::vector<Section>& sections, uint32_t rva) {
    auto after = std::upper_bound(
        sections.begin(), sections.end(), rva,
        [](uint32_t value, const Section& section) { return value < section.virtual_address; });
    if (after == sections.begin()) return nullptr;
    const Section& section = *(after - 1);
    return section.Holds(rva) ? &section : nullptr;
}

// Walks the three levels of the tree. Offsets inside the tree are relative to
// its root; every structure must lie between the root and the end of the raw
// data of the section that holds it.
class TreeReader {
public:
    TreeReader(const uint8_t* image, size_t size, const std::vector<Section>& sections,
               uint64_t root, uint64_t end, std::string* error)
        : image_(image),
          size_(size),
          sections_(sections),
          root_(root),
          span_(end - root),
          directory_budget_(end - root),
          error_(error) {}

    // A directory's entry count and where its entries start (file offset).
    bool Directory(uint32_t offset, uint32_t* count, uint64_t* entries) {
        if (!Inside(offset, kDirectorySize, span_)) {
            return Fail("resource directory points outside the file (offset " + Hex(offset) + ")");
        }
        const uint8_t* header = image_ + root_ + offset;
        *count = uint32_t{U16(header + 12)} + U16(header + 14);
        uint64_t bytes = kDirectorySize + *count * kDirectoryEntrySize;
        // Directories never share bytes in a real image, so together they fit
        // in the section; this bounds the whole walk by the section size.
        if (!Inside(offset, bytes, span_) || bytes > directory_budget_) {
            return Fail("resource directory at offset " + Hex(offset) + " claims " +
                        std::to_string(*count) +
                        " entries, more than the resource section can hold");
        }
        directory_budget_ -= bytes;
        *entries = root_ + offset + kDirectorySize;
        return true;
    }

    // The name field of an entry: a numeric id, or the offset of a string.
    bool Name(uint32_t field, bool* is_id, uint32_t* id, std::u16string* text) {
        *is_id = (field & kHighBit) == 0;
        if (*is_id) {
            *id = field;
            *text = IdName(field);
            return true;
        }
        *id = 0;
        uint32_t offset = field & ~kHighBit;
        if (!Inside(offset, 2, span_)) {
            return Fail("resource name string points outside the file (offset " + Hex(offset) +
                        ")");
        }
        uint16_t length = U16(image_ + root_ + offset);
        if (!Inside(uint64_t{offset} + 2, uint64_t{length} * 2, span_)) {
            return Fail("resource name string at offset " + Hex(offset) +
                        " runs past the end of the resource section");
        }
        if (!ChargeNames(length)) return false;
        text->resize(length);
        const uint8_t* chars = image_ + root_ + offset + 2;
        for (uint16_t i = 0; i < length; ++i)
            (*text)[i] = static_cast<char16_t>(U16(chars + 2 * i));
        return true;
    }

    // The data entry at `offset`: the block it describes, mapped to the file.
    bool Data(uint32_t offset, const std::u16string& type, const std::u16string& name,
              Payload* out) {
        auto what = [&] { return Printable(name) + "/" + Printable(type); };
        if (!Inside(offset, kDataEntrySize, span_)) {
            return Fail("resource data entry of " + what() + " points outside the file");
        }
        const uint8_t* entry = image_ + root_ + offset;
        uint32_t rva = U32(entry);
        uint32_t size = U32(entry + 4);
        const Section* section = SectionOf(sections_, rva);
        uint64_t within = section ? rva - section->virtual_address : 0;
        if (!section || !Inside(within, size, section->raw_size) ||
            !Inside(uint64_t{section->raw_offset} + within, size, size_)) {
            return Fail("resource data of " + what() + " lies outside the file (RVA " + Hex(rva) +
                        ", " + std::to_string(size) + " bytes)");
        }
        out->data = image_ + section->raw_offset + within;
        out->size = size;
        return true;
    }

    bool ChargeNames(uint64_t chars) {
        if (chars > name_budget_) {
            return Fail("resource names come to more than " + std::to_string(kMaxNameChars) +
                        " characters altogether");
        }
        name_budget_ -= chars;
        return true;
    }

    const uint8_t* At(uint64_t file_offset) const { return image_ + file_offset; }

    bool Fail(const std::string& message) {
        *error_ = message;
        return false;
    }

private:
    const uint8_t* image_;
    size_t size_;
    const std::vector<Section>& sections_;
    uint64_t root_;  // file offset of the root directory
    uint64_t span_;  // bytes from the root to the end of the section's raw data
    uint64_t directory_budget_;
    uint64_t name_budget_ = kMaxNameChars;
    std::string* error_;
};

struct Named {
    bool is_id = false;
    uint32_t id = 0;
    std::u16string text;
};

}  // namespace

std::unique_ptr<PeResources> PeResources::Parse(const uint8_t* image, size_t size,
                                                std::string* error) {
    std::string ignored;
    if (!error) error = &ignored;
    auto fail = [error](std::string message) -> std::unique_ptr<PeResources> {
        *error = std::move(message);
        return nullptr;
    };

    // DOS header, PE signature, COFF header.
    if (!image || size < 2 || image[0] != 'M' || image[1] != 'Z') {
        return fail("not a PE file: no MZ header");
    }
    if (size < kDosHeaderSize) return fail("not a PE file: the DOS header is cut short");
    uint64_t pe = U32(image + kLfanewField);
    if (!Inside(pe, 4 + kCoffHeaderSize, size)) {
        return fail("not a PE file: e_lfanew points outside the file (" + Hex(pe) + ")");
    }
    if (image[pe] != 'P' || image[pe + 1] != 'E' || image[pe + 2] != 0 || image[pe + 3] != 0) {
        return fail("not a PE file: no PE signature at e_lfanew");
    }
    const uint8_t* coff = image + pe + 4;
    uint16_t section_count = U16(coff + 2);
    uint16_t optional_size = U16(coff + 16);

    // Optional header: which format, and where the data directories lie.
    uint64_t optional = pe + 4 + kCoffHeaderSize;
    if (optional_size < 2 || !Inside(optional, optional_size, size)) {
        return fail("optional header lies outside the file or is missing");
    }
    uint16_t magic = U16(image + optional);
    uint64_t count_field = 0;
    uint64_t directories = 0;
    if (magic == kMagicPe32) {
        count_field = 92;
        directories = 96;
    } else if (magic == kMagicPe32Plus) {
        count_field = 108;
        directories = 112;
    } else {
        return fail("unknown optional header magic " + Hex(magic));
    }

    // Section table.
    uint64_t table = optional + optional_size;
    if (!Inside(table, section_count * kSectionHeaderSize, size)) {
        return fail("section table lies outside the file");
    }
    std::vector<Section> sections(section_count);
    for (uint16_t i = 0; i < section_count; ++i) {
        const uint8_t* header = image + table + i * kSectionHeaderSize;
        Section& section = sections[i];
        for (int c = 0; c < 8 && header[c] != 0; ++c) section.name += static_cast<char>(header[c]);
        section.virtual_size = U32(header + 8);
        section.virtual_address = U32(header + 12);
        section.raw_size = U32(header + 16);
        section.raw_offset = U32(header + 20);
    }
    std::stable_sort(sections.begin(), sections.end(), [](const Section& a, const Section& b) {
        return a.virtual_address < b.virtual_address;
    });

    auto result = std::unique_ptr<PeResources>(new PeResources());

    // The resource data directory; an image without one has no resources.
    uint64_t resource_field = directories + kResourceDirectoryIndex * 8;
    if (optional_size < resource_field + 8 ||
        U32(image + optional + count_field) <= kResourceDirectoryIndex) {
        return result;
    }
    uint32_t resource_rva = U32(image + optional + resource_field);
    if (resource_rva == 0) return result;

    const Section* section = SectionOf(sections, resource_rva);
    if (!section) {
        return fail("resource directory RVA " + Hex(resource_rva) + " is not in any section");
    }
    if (!Inside(section->raw_offset, section->raw_size, size)) {
        return fail("raw data of section " + section->name + " lies outside the file");
    }
    uint32_t within = resource_rva - section->virtual_address;
    if (within >= section->raw_size) {
        return fail("resource directory points outside the file (RVA " + Hex(resource_rva) +
                    " is past the raw data of section " + section->name + ")");
    }
    uint64_t root = uint64_t{section->raw_offset} + within;
    uint64_t end = uint64_t{section->raw_offset} + section->raw_size;
    TreeReader tree(image, size, sections, root, end, error);

    // Exactly three levels: types, names, languages. Each level's entries
    // must be of the kind the level expects, so a subdirectory that points
    // back up the tree is refused at the latest on the language level.
    uint32_t type_count = 0;
    uint64_t type_entries = 0;
    if (!tree.Directory(0, &type_count, &type_entries)) return nullptr;
    for (uint32_t t = 0; t < type_count; ++t) {
        const uint8_t* type_entry = tree.At(type_entries + t * kDirectoryEntrySize);
        Named type;
        if (!tree.Name(U32(type_entry), &type.is_id, &type.id, &type.text)) return nullptr;
        uint32_t names_at = U32(type_entry + 4);
        if ((names_at & kHighBit) == 0) {
            return fail("resource type " + Printable(type.text) +
                        " holds data where a directory was expected");
        }
        names_at &= ~kHighBit;
        if (names_at == 0) {
            return fail("resource type " + Printable(type.text) +
                        " loops back to the root directory");
        }
        uint32_t name_count = 0;
        uint64_t name_entries = 0;
        if (!tree.Directory(names_at, &name_count, &name_entries)) return nullptr;
        for (uint32_t n = 0; n < name_count; ++n) {
            const uint8_t* name_entry = tree.At(name_entries + n * kDirectoryEntrySize);
            Named name;
            if (!tree.Name(U32(name_entry), &name.is_id, &name.id, &name.text)) return nullptr;
            std::string what = Printable(name.text) + "/" + Printable(type.text);
            uint32_t languages_at = U32(name_entry + 4);
            if ((languages_at & kHighBit) == 0) {
                return fail("resource " + what + " holds data where a directory was expected");
            }
            languages_at &= ~kHighBit;
            if (languages_at == 0 || languages_at == names_at) {
                return fail("resource " + what + " loops back to a directory above it");
            }
            uint32_t language_count = 0;
            uint64_t language_entries = 0;
            if (!tree.Directory(languages_at, &language_count, &language_entries)) {
                return nullptr;
            }
            for (uint32_t l = 0; l < language_count; ++l) {
                const uint8_t* language_entry = tree.At(language_entries + l * kDirectoryEntrySize);
                uint32_t language = U32(language_entry);
                if (language > 0xFFFF) {
                    return fail("resource " + what + " has a language that is not a number (" +
                                Hex(language) + ")");
                }
                uint32_t data_at = U32(language_entry + 4);
                if (data_at & kHighBit) {
                    return fail("resource " + what +
                                " holds a directory where resource data was expected");
                }
                if (result->entries_.size() >= kMaxEntries) {
                    return fail("more than " + std::to_string(kMaxEntries) + " resources");
                }
                Entry entry;
                if (!tree.Data(data_at, type.text, name.text, &entry.data)) return nullptr;
                if (!tree.ChargeNames(uint64_t{type.text.size()} + name.text.size())) {
                    return nullptr;
                }
                entry.type = type.text;
                entry.name = name.text;
                entry.language = static_cast<uint16_t>(language);
                result->entries_.push_back(std::move(entry));
                Key key;
                key.type_is_id = type.is_id;
                key.type_id = type.id;
                key.name_is_id = name.is_id;
                key.name_id = name.id;
                result->keys_.push_back(key);
            }
        }
    }
    return result;
}

bool PeResources::Find(const std::u16string& name, const std::u16string& type, Payload* out) const {
    Query name_query = MakeQuery(name);
    Query type_query = MakeQuery(type);
    for (size_t i = 0; i < entries_.size(); ++i) {
        const Key& key = keys_[i];
        if (Matches(type_query, key.type_is_id, key.type_id, entries_[i].type) &&
            Matches(name_query, key.name_is_id, key.name_id, entries_[i].name)) {
            if (out) *out = entries_[i].data;
            return true;
        }
    }
    return false;
}

bool PeResources::Find(const std::string& name, const std::string& type, Payload* out) const {
    std::u16string wide_name;
    std::u16string wide_type;
    if (!Cp932ToUtf16(name, &wide_name) || !Cp932ToUtf16(type, &wide_type)) return false;
    return Find(wide_name, wide_type, out);
}

}  // namespace platform
