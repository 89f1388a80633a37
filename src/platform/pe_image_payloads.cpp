#include "platform/pe_image_payloads.h"

#include <fstream>
#include <iterator>

#include "platform/cp932.h"

namespace platform {

std::unique_ptr<PeImagePayloads> PeImagePayloads::Load(const std::string& path,
                                                       std::string* error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        *error = "cannot open " + path;
        return nullptr;
    }
    std::unique_ptr<PeImagePayloads> payloads(new PeImagePayloads);
    payloads->path_ = path;
    payloads->image_.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    if (file.bad()) {
        *error = "cannot read " + path;
        return nullptr;
    }
    std::string why;
    payloads->resources_ =
        PeResources::Parse(payloads->image_.data(), payloads->image_.size(), &why);
    if (!payloads->resources_) {
        *error = path + ": " + why;
        return nullptr;
    }
    return payloads;
}

bool PeImagePayloads::FindPayload(const std::string& name, const std::string& type, Payload* out) {
    return resources_->Find(name, type, out);
}

std::string PeImagePayloads::ModulePath() {
    std::string path;
    if (Utf8ToCp932(path_, &path)) return path;
    return path_;
}

}  // namespace platform
