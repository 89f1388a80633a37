#include "platform/version_block.h"

#include <algorithm>

#include "base/byte_order.h"
#include "platform/cp932.h"

namespace platform {

namespace {

constexpr uint32_t kFixedInfoSignature = 0xFEEF04BDu;
constexpr size_t kFixedInfoSize = 13 * 4;
constexpr size_t kNodeHeaderSize = 6;  // wLength, wValueLength, wType

uint16_t U16(const uint8_t* p) { return le::GetU16(p); }
uint32_t U32(const uint8_t* p) { return le::GetU32(p); }

size_t Align4(size_t size) { return (size + 3) & ~size_t{3}; }

char16_t AsciiLower(char16_t c) {
    return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

// One node, as offsets into the block.
struct Node {
    size_t start = 0;
    size_t end = 0;  // start + wLength
    uint16_t value_length = 0;
    size_t name = 0;        // the first character of the name
    size_t name_chars = 0;  // without its NUL
    size_t value = 0;       // may lie at or past end when there is no value
    size_t children = 0;    // may lie at or past end when there are none
};

class Reader {
public:
    Reader(const uint8_t* block, size_t size) : block_(block), size_(size) {}

    // Reads the node at `start`, which must lie wholly before `limit` (the
    // end of the node that holds it, or of the block).
    bool ReadNode(size_t start, size_t limit, Node* node) const {
        if (limit > size_ || start > limit || limit - start < kNodeHeaderSize) return false;
        size_t length = U16(block_ + start);
        if (length < kNodeHeaderSize || length > limit - start) return false;
        node->start = start;
        node->end = start + length;
        node->value_length = U16(block_ + start + 2);
        bool text = U16(block_ + start + 4) != 0;
        node->name = start + kNodeHeaderSize;
        size_t at = node->name;
        for (;;) {
            if (node->end - at < 2) return false;  // the name runs out of the node
            if (U16(block_ + at) == 0) break;
            at += 2;
        }
        node->name_chars = (at - node->name) / 2;
        node->value = start + Align4(at + 2 - start);
        size_t value_bytes = static_cast<size_t>(node->value_length) * (text ? 2 : 1);
        node->children = node->value + Align4(value_bytes);
        return true;
    }

    bool NameIs(const Node& node, const char16_t* name, size_t chars) const {
        if (node.name_chars != chars) return false;
        for (size_t i = 0; i < chars; ++i) {
            char16_t c = static_cast<char16_t>(U16(block_ + node.name + 2 * i));
            if (AsciiLower(c) != AsciiLower(name[i])) return false;
        }
        return true;
    }

    bool FindChild(const Node& parent, const char16_t* name, size_t chars, Node* child) const {
        size_t at = parent.children;
        while (at < parent.end) {
            if (!ReadNode(at, parent.end, child)) return false;
            if (NameIs(*child, name, chars)) return true;
            at += Align4(child->end - child->start);
        }
        return false;
    }

private:
    const uint8_t* block_;
    size_t size_;
};

}  // namespace

bool VersionBlock::Query(const std::u16string& sub_block, VersionValue* out) const {
    Reader reader(bytes_.data(), bytes_.size());
    Node node;
    if (!reader.ReadNode(0, bytes_.size(), &node)) return false;
    size_t at = 0;
    while (at < sub_block.size()) {
        size_t next = sub_block.find(u'\\', at);
        if (next == std::u16string::npos) next = sub_block.size();
        if (next > at) {
            Node child;
            if (!reader.FindChild(node, sub_block.data() + at, next - at, &child)) return false;
            node = child;
        }
        at = next + 1;
    }
    out->length = node.value_length;
    if (node.value < node.end) {
        out->data = bytes_.data() + node.value;
        out->available = node.end - node.value;
    } else {
        out->data = bytes_.data() + node.end;
        out->available = 0;
    }
    return true;
}

bool VersionInfoAnswers::FixedInfo(FixedFileInfo* out) const {
    VersionValue value;
    if (!Query(u"\\", &value)) return false;
    if (value.length < kFixedInfoSize || value.available < kFixedInfoSize) return false;
    const uint8_t* p = value.data;
    if (U32(p) != kFixedInfoSignature) return false;
    uint32_t* fields[] = {&out->signature,       &out->struct_version,     &out->file_version_ms,
                          &out->file_version_ls, &out->product_version_ms, &out->product_version_ls,
                          &out->file_flags_mask, &out->file_flags,         &out->file_os,
                          &out->file_type,       &out->file_subtype,       &out->file_date_ms,
                          &out->file_date_ls};
    for (size_t i = 0; i < sizeof fields / sizeof fields[0]; ++i) *fields[i] = U32(p + 4 * i);
    return true;
}

bool VersionInfoAnswers::FirstTranslation(VersionTranslation* out) const {
    VersionValue value;
    if (!Query(u"\\VarFileInfo\\Translation", &value)) return false;
    if (value.length < 4 || value.available < 4) return false;
    out->language = U16(value.data);
    out->code_page = U16(value.data + 2);
    return true;
}

bool VersionInfoAnswers::QueryText(const std::string& sub_block, std::string* out) const {
    std::u16string path;
    if (!Cp932ToUtf16(sub_block, &path)) return false;
    VersionValue value;
    if (!Query(path, &value)) return false;
    size_t chars = std::min<size_t>(value.length, value.available / 2);
    std::u16string text;
    for (size_t i = 0; i < chars; ++i) {
        char16_t c = static_cast<char16_t>(U16(value.data + 2 * i));
        if (c == 0) break;
        text += c;
    }
    *out = Cp932FromUtf16Replacing(text);
    return true;
}

std::string Cp932FromUtf16Replacing(const std::u16string& text) {
    std::string out;
    if (Utf16ToCp932(text, &out)) return out;
    // Some character has no CP932 form: convert one character at a time.
    out.clear();
    for (size_t i = 0; i < text.size();) {
        size_t units = 1;
        char16_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            units = 2;
        }
        std::string one;
        if (Utf16ToCp932(text.substr(i, units), &one)) {
            out += one;
        } else {
            out += '?';
        }
        i += units;
    }
    return out;
}

}  // namespace platform
