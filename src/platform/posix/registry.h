// The install record on POSIX: keys below HKEY_CURRENT_USER kept in memory
// for the life of the process, with a registry's rules (key paths separated
// by '\', letter case ignored, writing a key creates the keys above it).
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace platform::posix {

class MemoryRegistry {
public:
    bool KeyExists(const std::string& key);
    uint32_t ReadString(const std::string& key, const std::string& value, std::string* out);
    uint32_t WriteString(const std::string& key, const std::string& value, const std::string& data);
    // Removes the key with every key below it.
    uint32_t DeleteKey(const std::string& key);

private:
    using KeyPath = std::vector<std::string>;  // lower-cased names, none empty

    // The names of a CP932 key path ('\' separated, a '\' that is the second
    // byte of a character being part of a name).
    static KeyPath Names(const std::string& key);

    std::mutex mutex_;
    // Key -> lower-cased value name -> data. The keys below a key follow it
    // directly in this order.
    std::map<KeyPath, std::map<std::string, std::string>> keys_;
};

}  // namespace platform::posix
