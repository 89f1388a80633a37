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
#include "platform/windows_rules.h"

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
        if (!bytes_) return platform::FilePointerFailure(platform::kErrorInvalidHandle, error);
        if (!platform::IsSeekMethod(method)) {
            return platform::FilePointerFailure(platform::kErrorInvalidParameter, error);
        }
        int64_t base = 0;
        if (method == platform::kFileCurrent) {
            base = static_cast<int64_t>(position_);
        } else if (method == platform::kFileEnd) {
            base = static_cast<int64_t>(bytes_->size());
        }
        uint64_t target = 0;
        if (uint32_t refused = platform::SeekTarget(base, distance, high, &target)) {
            return platform::FilePointerFailure(refused, error);
        }
        position_ = target;
        *error = platform::kErrorSuccess;
        return platform::ReportPosition(position_, high);
    }

    uint32_t Size(uint32_t* high, uint32_t* error) override {
        uint32_t unused = 0;
        if (!error) error = &unused;
        if (!bytes_) return platform::FilePointerFailure(platform::kErrorInvalidHandle, error);
        *error = platform::kErrorSuccess;
        return platform::ReportSize(bytes_->size(), high);
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
        // A served file exists and is read-only. kTruncateExisting without
        // write access is refused as emptying a read-only file
        // (kErrorAccessDenied), not as a bad argument (CheckOpenArguments,
        // kErrorInvalidParameter) as the POSIX files refuse it.
        if (!platform::IsDisposition(disposition)) {
            *error = platform::kErrorInvalidParameter;
            return nullptr;
        }
        if (platform::FailsIfExists(disposition)) {
            *error = platform::kErrorFileExists;
            return nullptr;
        }
        if (platform::ReadOnlyRefuses(access, disposition)) {
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
            c = platform::FoldAscii(c);
        }
        return path;
    }

    std::map<std::string, std::shared_ptr<const std::string>> files_;
};

}  // namespace fuzz
