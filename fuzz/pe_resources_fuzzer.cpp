// The PE resource reader on arbitrary images.
//
// The input is copied into a buffer of exactly its size, so that a read past
// the end of the image is seen. Parsing either refuses the image with a
// message or lists resources whose every payload lies inside the image; Find
// then answers with one of those payloads or nothing.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "platform/pe_resources.h"

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

struct Image {
    const uint8_t* begin;
    size_t size;

    bool Holds(const platform::Payload& payload) const {
        const uintptr_t start = reinterpret_cast<uintptr_t>(begin);
        const uintptr_t at = reinterpret_cast<uintptr_t>(payload.data);
        return payload.data != nullptr && at >= start && at - start <= size &&
               payload.size <= size - (at - start);
    }
};

// A string that Find would read as a numeric id.
bool LooksLikeId(const std::u16string& text) {
    if (text.size() < 2 || text[0] != u'#') return false;
    for (size_t i = 1; i < text.size(); ++i) {
        if (text[i] < u'0' || text[i] > u'9') return false;
    }
    return true;
}

// Each lookup walks the whole list: only the first entries are looked up
// by their own names, so that a long list stays fast.
constexpr size_t kMostLookups = 64;

// Names and types as a caller gives them (CP932), ids among them.
const char* const kQueries[][2] = {
    {"PATCH_SCR", "SCRIPT"},
    {"#1", "#16"},
    {"1", "#16"},
    {"ENTRY_A", "PATCH_SCR"},
    {"entry_a", "patch_scr"},
    {"EXE", "PATCH_SCR"},
    {"#0", "#0"},
    {"#4294967296", "#16"},
    {"", ""},
    {"#", "#"},
    {"\x82\xa0", "#10"},
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::unique_ptr<uint8_t[]> copy(new uint8_t[size == 0 ? 1 : size]);
    for (size_t i = 0; i < size; ++i) copy[i] = data[i];
    const Image image{copy.get(), size};

    std::string error;
    std::unique_ptr<platform::PeResources> resources =
        platform::PeResources::Parse(copy.get(), size, &error);
    if (!resources) {
        Require(!error.empty());
        return 0;
    }

    const std::vector<platform::PeResources::Entry>& entries = resources->Entries();
    for (size_t i = 0; i < entries.size(); ++i) {
        const platform::PeResources::Entry& entry = entries[i];
        Require(image.Holds(entry.data));
        if (i >= kMostLookups) continue;
        // Every resource can be found by its own type and name, unless one of
        // them reads like an id: then it may be a string that Find takes for
        // an id, and finds nothing.
        platform::Payload found;
        const bool ok = resources->Find(entry.name, entry.type, &found);
        if (ok) Require(image.Holds(found));
        if (!LooksLikeId(entry.type) && !LooksLikeId(entry.name)) Require(ok);
    }
    for (const auto& query : kQueries) {
        platform::Payload found;
        if (resources->Find(query[0], query[1], &found)) Require(image.Holds(found));
        Require(resources->Find(query[0], query[1], nullptr) ==
                resources->Find(query[0], query[1], &found));
    }
    return 0;
}
