// Version information on POSIX: the file is read as a PE image through this
// folder's own file access (Windows path rules, share modes), its RT_VERSION
// resource with id 1 taken, and the portable reader answers the queries.
#include <limits.h>
#include <unistd.h>

#include <memory>
#include <vector>

#include "platform/cp932.h"
#include "platform/pe_resources.h"
#include "platform/platform.h"
#include "platform/posix/files.h"
#include "platform/version_block.h"

namespace platform {

namespace {

// The whole executable in *bytes (kLoaded); kNoInformation when there is
// no such file or it is no executable (such a file has no version
// information to give, as on Windows); kUnreadable when it is there but
// cannot be opened or read.
VersionInfoStatus ReadWholeFile(const std::string& path, std::vector<uint8_t>* bytes) {
    uint32_t error = 0;
    std::unique_ptr<IOsFile> file =
        posix::OpenFile(path, kGenericRead, kShareRead | kShareWrite, kOpenExisting, &error);
    if (!file) {
        return error == kErrorFileNotFound || error == kErrorPathNotFound ||
                       error == kErrorInvalidName || error == kErrorAccessDenied
                   ? VersionInfoStatus::kNoInformation  // nothing, or a folder
                   : VersionInfoStatus::kUnreadable;
    }
    uint32_t high = 0;
    uint32_t size = file->Size(&high, &error);
    if (error != 0) return VersionInfoStatus::kUnreadable;
    if (high != 0 || size < 2) return VersionInfoStatus::kNoInformation;
    // Anything but an executable is turned away before it is read whole.
    bytes->resize(size);
    uint32_t done = 0;
    if (file->Read(bytes->data(), 2, &done) != 0) return VersionInfoStatus::kUnreadable;
    if (done != 2 || (*bytes)[0] != 'M' || (*bytes)[1] != 'Z') {
        return VersionInfoStatus::kNoInformation;
    }
    if (file->Read(bytes->data() + 2, size - 2, &done) != 0 || done != size - 2) {
        return VersionInfoStatus::kUnreadable;
    }
    return VersionInfoStatus::kLoaded;
}

}  // namespace

VersionInfoStatus IFileSystem::LoadVersionInfo(const std::string& path,
                                               std::unique_ptr<IVersionInfo>* out) {
    out->reset();
    std::vector<uint8_t> image;
    const VersionInfoStatus read = ReadWholeFile(path, &image);
    if (read != VersionInfoStatus::kLoaded) return read;
    std::string why;
    std::unique_ptr<PeResources> resources = PeResources::Parse(image.data(), image.size(), &why);
    Payload block;
    if (!resources || !resources->Find(u"#1", u"#16", &block)) {
        return VersionInfoStatus::kNoInformation;
    }
    // The file is read once, so nothing is left to fail after this point.
    *out =
        std::make_unique<VersionBlock>(std::vector<uint8_t>(block.data, block.data + block.size));
    return VersionInfoStatus::kLoaded;
}

std::string IPayloadStore::ModulePath() {
    char buffer[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
    if (length <= 0 || static_cast<size_t>(length) >= sizeof buffer) return std::string();
    std::string path;
    if (!Utf8ToCp932(std::string(buffer, static_cast<size_t>(length)), &path)) return std::string();
    return path;
}

}  // namespace platform
