// A reader of the resources of a PE image (a Windows .exe), on any system.
//
// This is the payload store where the system has no resources of its own:
// the patch executable is read as a file and its resource tree is walked.
// Every offset, size and count read from the image is checked against the
// image before use; a damaged or hostile image is refused with a message.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace platform {

class PeResources {
public:
    struct Entry {
        // Names and types as UTF-16; numeric ids as "#<decimal>" (RT_VERSION is "#16").
        std::u16string type;
        std::u16string name;
        uint16_t language = 0;
        Payload data;  // points into the image
    };

    // Reads the resource tree of `image` (which must outlive the result).
    // Returns null and a message in *error when the bytes are not a PE image
    // or its resource data is damaged. An image without resources parses to
    // an empty list.
    static std::unique_ptr<PeResources> Parse(const uint8_t* image, size_t size,
                                              std::string* error);

    // Finds a resource by type and name, as FindResource does: letter case
    // does not matter, "#123" names a numeric id, the first language found
    // is taken.
    bool Find(const std::u16string& name, const std::u16string& type, Payload* out) const;
    // The same with CP932 names.
    bool Find(const std::string& name, const std::string& type, Payload* out) const;

    const std::vector<Entry>& Entries() const { return entries_; }

private:
    // How an entry's type and name are stored in the tree: a numeric id or a
    // string. Kept beside entries_ (same index) so that "#16" finds id 16 and
    // never a string that happens to read "#16".
    struct Key {
        bool type_is_id = false;
        bool name_is_id = false;
        uint32_t type_id = 0;
        uint32_t name_id = 0;
    };

    std::vector<Entry> entries_;
    std::vector<Key> keys_;
};

}  // namespace platform
