// A platform that serves a few read-only files from memory and hands every
// other call to another platform. The fuzz targets put their input there
// instead of writing it to disk for every run: the code under test still
// opens, seeks and reads through the platform seam, as it does on a disk.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "platform/forwarding.h"
#include "platform/platform.h"

namespace fuzz {

// One open in-memory file: SetFilePointer and ReadFile as the POSIX files
// give them, on a snapshot of the bytes taken when it was opened.
class MemoryFile : public platform::IOsFile {
public:
    explicit MemoryFile(std::shared_ptr<const std::string> bytes) : bytes_(std::move(bytes)) {}

    uint32_t Read(void* buffer, uint32_t count, uint32_t* done) override {
        uint32_t unused = 0;
        if (!done) done = &unused;
        *done = 0;
        if (!bytes_) return platform::kErrorInvalidHandle;
        if (position_ >= bytes_->size()) return platform::kErrorSuccess;
        const uint64_t left = bytes_->size() - position_;
        const uint32_t take = left < count ? static_cast<uint32_t>(left) : count;
        if (take != 0) bytes_->copy(static_cast<char*>(buffer), take, position_);
        position_ += take;
        *done = take;
        return platform::kErrorSuccess;
    }

    uint32_t Write(const void*, uint32_t, uint32_t* done) override {
        if (done) *done = 0;
        return bytes_ ? platform::kErrorAccessDenied : platform::kErrorInvalidHandle;
    }

    uint32_t Seek(int32_t distance, int32_t* high, uint32_t method, uint32_t* error) override {
        uint32_t unused = 0;
        if (!error) error = &unused;
        auto fail = [error](uint32_t code) {
            *error = code;
            return platform::kInvalidSetFilePointer;
        };
        if (!bytes_) return fail(platform::kErrorInvalidHandle);
        // With a high part the distance is a 64-bit value split in two;
        // without one it is a signed 32-bit value.
        const int64_t move =
            high
                ? static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(*high)) << 32) |
                                       static_cast<uint32_t>(distance))
                : static_cast<int64_t>(distance);
        int64_t base = 0;
        if (method == platform::kFileCurrent) {
            base = static_cast<int64_t>(position_);
        } else if (method == platform::kFileEnd) {
            base = static_cast<int64_t>(bytes_->size());
        } else if (method != platform::kFileBegin) {
            return fail(platform::kErrorInvalidParameter);
        }
        int64_t target = 0;
        if (__builtin_add_overflow(base, move, &target)) {
            return fail(platform::kErrorInvalidParameter);
        }
        if (target < 0) return fail(platform::kErrorNegativeSeek);
        if (!high && target > static_cast<int64_t>(UINT32_MAX)) {
            return fail(platform::kErrorInvalidParameter);
        }
        position_ = static_cast<uint64_t>(target);
        if (high) *high = static_cast<int32_t>(position_ >> 32);
        *error = platform::kErrorSuccess;
        return static_cast<uint32_t>(position_ & 0xFFFFFFFFu);
    }

    uint32_t Size(uint32_t* high, uint32_t* error) override {
        uint32_t unused = 0;
        if (!error) error = &unused;
        if (!bytes_) {
            *error = platform::kErrorInvalidHandle;
            return platform::kInvalidSetFilePointer;
        }
        const uint64_t size = bytes_->size();
        if (high) *high = static_cast<uint32_t>(size >> 32);
        *error = platform::kErrorSuccess;
        return static_cast<uint32_t>(size & 0xFFFFFFFFu);
    }

    uint32_t Flush() override { return platform::kErrorAccessDenied; }  // opened for reading only

    uint32_t Close() override {
        bytes_.reset();
        return platform::kErrorSuccess;
    }

private:
    std::shared_ptr<const std::string> bytes_;  // null once closed
    uint64_t position_ = 0;
};

// The platform: Serve() puts a file in place (or replaces its bytes); the
// files open for reading only, and every other path goes to the target.
// Served names are ASCII and match as the system's do: either separator,
// letters in any case.
class MemoryFiles : public platform::ForwardingFileSystem {
public:
    explicit MemoryFiles(platform::IFileSystem& target) : ForwardingFileSystem(target) {}

    void Serve(const std::string& path, std::string bytes) {
        files_[Key(path)] = std::make_shared<const std::string>(std::move(bytes));
    }

    std::unique_ptr<platform::IOsFile> OpenFile(const std::string& path, uint32_t access,
                                                uint32_t share, uint32_t disposition,
                                                uint32_t* error) override {
        auto served = files_.find(Key(path));
        if (served == files_.end()) {
            return ForwardingFileSystem::OpenFile(path, access, share, disposition, error);
        }
        uint32_t unused = 0;
        if (!error) error = &unused;
        if (disposition < platform::kCreateNew || disposition > platform::kTruncateExisting) {
            *error = platform::kErrorInvalidParameter;
            return nullptr;
        }
        if (disposition == platform::kCreateNew) {
            *error = platform::kErrorFileExists;
            return nullptr;
        }
        // As a file without write permission: it cannot be written or emptied.
        if ((access & platform::kGenericWrite) || disposition == platform::kCreateAlways ||
            disposition == platform::kTruncateExisting) {
            *error = platform::kErrorAccessDenied;
            return nullptr;
        }
        *error = platform::kErrorSuccess;
        return std::make_unique<MemoryFile>(served->second);
    }

private:
    static std::string Key(std::string path) {
        for (char& c : path) {
            if (c == '\\') c = '/';
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        }
        return path;
    }

    std::map<std::string, std::shared_ptr<const std::string>> files_;
};

}  // namespace fuzz
