#include "platform/posix/registry.h"

#include <algorithm>

#include "base/cp932.h"
#include "platform/platform.h"

namespace platform::posix {

MemoryRegistry::KeyPath MemoryRegistry::Names(const std::string& key) {
    KeyPath names;
    std::string name;
    for (cp932::CharCursor at(key);; at.Next()) {
        if (at.AtEnd() || at.Is('\\')) {
            if (!name.empty()) names.push_back(cp932::LowerCased(name));
            if (at.AtEnd()) return names;
            name.clear();
        } else {
            name += at.Bytes();
        }
    }
}

bool MemoryRegistry::KeyExists(const std::string& key) {
    KeyPath path = Names(key);
    if (path.empty()) return false;  // HKEY_CURRENT_USER itself is no record
    std::lock_guard<std::mutex> hold(mutex_);
    return keys_.count(path) != 0;
}

uint32_t MemoryRegistry::ReadString(const std::string& key, const std::string& value,
                                    std::string* out) {
    KeyPath path = Names(key);
    std::lock_guard<std::mutex> hold(mutex_);
    auto found_key = keys_.find(path);
    if (found_key == keys_.end()) return kErrorFileNotFound;
    auto found_value = found_key->second.find(cp932::LowerCased(value));
    if (found_value == found_key->second.end()) return kErrorFileNotFound;
    *out = found_value->second;
    return kErrorSuccess;
}

uint32_t MemoryRegistry::WriteString(const std::string& key, const std::string& value,
                                     const std::string& data) {
    KeyPath path = Names(key);  // empty: values of HKEY_CURRENT_USER itself
    std::lock_guard<std::mutex> hold(mutex_);
    // Every key above this one comes into being too.
    for (size_t depth = 1; depth < path.size(); ++depth) {
        keys_[KeyPath(path.begin(), path.begin() + static_cast<std::ptrdiff_t>(depth))];
    }
    keys_[path][cp932::LowerCased(value)] = data;
    return kErrorSuccess;
}

uint32_t MemoryRegistry::DeleteKey(const std::string& key) {
    KeyPath path = Names(key);
    if (path.empty()) return kErrorFileNotFound;  // the root key stays
    std::lock_guard<std::mutex> hold(mutex_);
    auto first = keys_.find(path);
    if (first == keys_.end()) return kErrorFileNotFound;
    auto below = [&path](const KeyPath& other) {
        return other.size() > path.size() && std::equal(path.begin(), path.end(), other.begin());
    };
    auto last = std::next(first);
    while (last != keys_.end() && below(last->first)) ++last;
    keys_.erase(first, last);
    return kErrorSuccess;
}

}  // namespace platform::posix
