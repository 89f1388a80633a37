// The install record: the keys below HKEY_CURRENT_USER that a game's
// installer leaves, as the program reads them.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

class IInstallRecord {
public:
    virtual ~IInstallRecord() = default;
    virtual bool RegistryKeyExists(const std::string& key) = 0;
    // Reads a string value, converted to CP932 and without its terminating
    // NULs. Returns 0 or an error code (kErrorFileNotFound when the key or
    // the value is missing).
    virtual uint32_t RegistryReadString(const std::string& key, const std::string& value,
                                        std::string* out) = 0;
};

}  // namespace platform
