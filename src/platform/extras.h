// What only tools and tests ask of the system: folders made and removed,
// install records filled and removed. The patch itself never does any of it.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

class IPlatformExtras {
public:
    virtual ~IPlatformExtras() = default;
    // Creates one folder (its parent must exist) / removes an empty one.
    virtual uint32_t MakeFolder(const std::string& path) = 0;
    virtual uint32_t RemoveFolder(const std::string& path) = 0;
    // Fills or removes a record below HKEY_CURRENT_USER.
    virtual uint32_t RegistryWriteString(const std::string& key, const std::string& value,
                                         const std::string& data) = 0;
    virtual uint32_t RegistryDeleteKey(const std::string& key) = 0;
};

}  // namespace platform
