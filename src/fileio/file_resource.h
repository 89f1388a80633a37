// One payload of the patch, read like a file: in chunks or as one block.
#pragma once

#include <cstdint>

#include "base/types.h"
#include "platform/platform.h"

class FileResource {
public:
    FileResource() = default;
    virtual ~FileResource() = default;

    // Reads up to count bytes from the read position; *done gets the number
    // read, 0 at the end. Always returns 0.
    virtual int32_t Read(void* buffer, uint32_t count, uint32_t* done);
    // The payload's size in bytes; 0 when Open failed.
    virtual uint32_t GetSize();

    // Finds the payload by name and type (letter case does not matter).
    // 0, or kStatusFail when there is none.
    int32_t Open(const CString& name, const CString& type);
    // The whole payload, valid for the life of the process (null when Open
    // failed). Does not move the read position.
    const uint8_t* GetData() const { return found_ ? payload_.data : nullptr; }

private:
    bool found_ = false;
    platform::Payload payload_;
    uint32_t position_ = 0;
};
