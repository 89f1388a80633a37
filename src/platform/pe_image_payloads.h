// A payload store that is the resources of a patch executable read as a
// file: how a patch runs where the system has no resources.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/payload_store.h"
#include "platform/pe_resources.h"

namespace platform {

class PeImagePayloads : public IPayloadStore {
public:
    // Reads the executable at `path` (a path of the host system, as given on
    // its command line). Null and a message in *error when it cannot be read
    // or is not a PE image with sound resources.
    static std::unique_ptr<PeImagePayloads> Load(const std::string& path, std::string* error);

    bool FindPayload(const std::string& name, const std::string& type, Payload* out) override;
    // The patch executable stands in for the program's own file: its path,
    // in CP932 when the host path has a CP932 form, else as given.
    std::string ModulePath() override;
    const PeResources& Resources() const { return *resources_; }

private:
    PeImagePayloads() = default;

    std::string path_;
    std::vector<uint8_t> image_;
    std::unique_ptr<PeResources> resources_;
};

}  // namespace platform
