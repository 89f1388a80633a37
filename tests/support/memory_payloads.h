// A payload store in memory: tests name the blocks a patch would carry.
#pragma once

#include <map>
#include <string>

#include "platform/payload_store.h"

class MemoryPayloads : public platform::IPayloadStore {
public:
    // Adds a block under a name and type (CP932; matched without regard to
    // ASCII letter case, as the real store does).
    void Add(const std::string& name, const std::string& type, const std::string& bytes);
    bool FindPayload(const std::string& name, const std::string& type,
                     platform::Payload* out) override;

private:
    std::map<std::string, std::string> blocks_;
};
