#include "support/memory_payloads.h"

#include "platform/cp932.h"

namespace {

std::string Key(const std::string& name, const std::string& type) {
    std::string key = type + '\n' + name;
    for (char& c : key) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    }
    return key;
}

}  // namespace

void MemoryPayloads::Add(const std::string& name, const std::string& type,
                         const std::string& bytes) {
    blocks_[Key(name, type)] = bytes;
}

bool MemoryPayloads::FindPayload(const std::string& name, const std::string& type,
                                 platform::Payload* out) {
    auto found = blocks_.find(Key(name, type));
    if (found == blocks_.end()) return false;
    out->data = reinterpret_cast<const uint8_t*>(found->second.data());
    out->size = static_cast<uint32_t>(found->second.size());
    return true;
}
