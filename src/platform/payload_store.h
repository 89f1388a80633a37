// The payload store: the blocks a patch carries, found by name and type
// without regard to letter case, and the file that carries them. On Windows,
// the program's own resources and executable; elsewhere, what a tool or test
// puts in place.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// A block of payload bytes, valid for the life of the process.
struct Payload {
    const uint8_t* data = nullptr;
    uint32_t size = 0;
};

class IPayloadStore {
public:
    virtual ~IPayloadStore() = default;
    virtual bool FindPayload(const std::string& name, const std::string& type, Payload* out) = 0;
    // The path of the file that carries the payloads, the program's own
    // executable as GetModuleFileName gives it; empty when it cannot be told
    // in CP932. Unless a store answers otherwise, the system's own answer
    // (win32/version_info.cpp, posix/version_info.cpp).
    virtual std::string ModulePath();
};

}  // namespace platform
