#include "fileio/file_resource.h"

#include <cstring>

int32_t FileResource::Open(const CString& name, const CString& type) {
    found_ = platform::Payloads().FindPayload(name, type, &payload_);
    if (!found_) {
        payload_ = platform::Payload();
        return kStatusFail;
    }
    position_ = 0;
    return kStatusOk;
}

uint32_t FileResource::GetSize() { return found_ ? payload_.size : 0; }

int32_t FileResource::Read(void* buffer, uint32_t count, uint32_t* done) {
    uint32_t total = GetSize();
    uint32_t left = position_ < total ? total - position_ : 0;
    uint32_t n = count < left ? count : left;
    if (n > 0) std::memcpy(buffer, payload_.data + position_, n);
    position_ += n;
    *done = n;
    return kStatusOk;
}
