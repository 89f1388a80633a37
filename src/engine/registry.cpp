#include "engine/registry.h"

#include <cstring>

#include "platform/platform.h"

int CRegistry::Exists() {
    if (keyPath_.empty()) return 0;
    return platform::Record().RegistryKeyExists(keyPath_) ? 1 : 0;
}

int CRegistry::GetString(const CString& valueName, char* buffer, uint32_t bufferSize) {
    if (keyPath_.empty() || bufferSize == 0) return 0;
    std::string value;
    if (platform::Record().RegistryReadString(keyPath_, valueName, &value) != 0) return 0;
    // Stop at an embedded NUL, as a string reader would.
    value = value.c_str();
    if (value.size() + 1 > bufferSize) return 0;
    std::memcpy(buffer, value.c_str(), value.size() + 1);
    return 1;
}
