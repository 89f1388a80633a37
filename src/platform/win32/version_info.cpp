// Version information through the system's own reader (GetFileVersionInfoW,
// VerQueryValueW), and the program's own path (GetModuleFileNameW), with
// every CP932 text converted explicitly through code page 932.
#include <windows.h>

#include <memory>
#include <vector>

#include "platform/platform.h"
#include "platform/version_block.h"
#include "platform/win32/win32_text.h"

namespace platform {

namespace {

// The longest path the wide calls take.
constexpr DWORD kLongestPath = 32768;

class Win32VersionInfo : public VersionInfoAnswers {
public:
    explicit Win32VersionInfo(std::vector<uint8_t> block) : block_(std::move(block)) {}

protected:
    bool Query(const std::u16string& sub_block, VersionValue* out) const override {
        // The system's reader trusts the sizes in the block; at least the
        // root it is given must lie inside the buffer.
        if (block_.size() < 6) return false;
        size_t root = static_cast<size_t>(block_[0] | (block_[1] << 8));
        if (root > block_.size()) return false;
        std::wstring wide(sub_block.begin(), sub_block.end());
        void* found = nullptr;
        UINT length = 0;
        if (!VerQueryValueW(block_.data(), wide.c_str(), &found, &length)) return false;
        const uint8_t* begin = block_.data();
        const uint8_t* end = begin + block_.size();
        const uint8_t* value = static_cast<const uint8_t*>(found);
        // The answer points into the block; anything else is not read.
        if (value < begin || value > end) return false;
        out->data = value;
        out->length = length;
        out->available = static_cast<size_t>(end - value);
        return true;
    }

private:
    std::vector<uint8_t> block_;
};

}  // namespace

VersionInfoStatus IFileSystem::LoadVersionInfo(const std::string& path,
                                               std::unique_ptr<IVersionInfo>* out) {
    out->reset();
    std::wstring wide;
    if (!WideFromCp932(path, &wide)) return VersionInfoStatus::kNoInformation;
    DWORD unused = 0;
    DWORD size = GetFileVersionInfoSizeW(wide.c_str(), &unused);
    if (size == 0) {
        // No such file, or none with version information; any other reason
        // is a file that is there but could not be read.
        switch (GetLastError()) {
            case ERROR_SUCCESS:
            case ERROR_FILE_NOT_FOUND:
            case ERROR_PATH_NOT_FOUND:
            case ERROR_INVALID_NAME:
            case ERROR_BAD_PATHNAME:
            case ERROR_FILENAME_EXCED_RANGE:
            case ERROR_BAD_FORMAT:
            case ERROR_BAD_EXE_FORMAT:
            case ERROR_RESOURCE_DATA_NOT_FOUND:
            case ERROR_RESOURCE_TYPE_NOT_FOUND:
            case ERROR_RESOURCE_NAME_NOT_FOUND:
            case ERROR_RESOURCE_LANG_NOT_FOUND:
            case ERROR_ACCESS_DENIED:  // a folder
                return VersionInfoStatus::kNoInformation;
            default:
                return VersionInfoStatus::kUnreadable;
        }
    }
    std::vector<uint8_t> block(size);
    if (!GetFileVersionInfoW(wide.c_str(), 0, size, block.data())) {
        return VersionInfoStatus::kUnreadable;
    }
    *out = std::make_unique<Win32VersionInfo>(std::move(block));
    return VersionInfoStatus::kLoaded;
}

std::string IPayloadStore::ModulePath() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        DWORD size = static_cast<DWORD>(buffer.size());
        DWORD length = GetModuleFileNameW(nullptr, buffer.data(), size);
        if (length == 0) return std::string();
        if (length < size) {
            std::string path;
            if (!Cp932FromWide(buffer.data(), length, &path)) return std::string();
            return path;
        }
        // Cut off: try again with more room.
        if (size >= kLongestPath) return std::string();
        buffer.resize(size * 2);
    }
}

}  // namespace platform
