// Concerns that hand every call to another implementation of their own
// concern: the bases of doubles that make a few operations misbehave and
// keep the rest as they are.
#pragma once

#include <utility>

#include "platform/file_system.h"
#include "platform/threads.h"

namespace platform {

// A file that hands every call to another one: the base of doubles that make
// one operation on an open file misbehave.
class ForwardingFile : public IOsFile {
public:
    explicit ForwardingFile(std::unique_ptr<IOsFile> target) : target_(std::move(target)) {}

    uint32_t Read(void* buffer, uint32_t count, uint32_t* done) override {
        return target_->Read(buffer, count, done);
    }
    uint32_t Write(const void* buffer, uint32_t count, uint32_t* done) override {
        return target_->Write(buffer, count, done);
    }
    uint32_t Seek(int32_t distance, int32_t* high, uint32_t method, uint32_t* error) override {
        return target_->Seek(distance, high, method, error);
    }
    uint32_t Size(uint32_t* high, uint32_t* error) override { return target_->Size(high, error); }
    uint32_t Flush() override { return target_->Flush(); }
    uint32_t Close() override { return target_->Close(); }

private:
    std::unique_ptr<IOsFile> target_;
};

class ForwardingFileSystem : public IFileSystem {
public:
    explicit ForwardingFileSystem(IFileSystem& target) : target_(target) {}

    std::unique_ptr<IOsFile> OpenFile(const std::string& path, uint32_t access, uint32_t share,
                                      uint32_t disposition, uint32_t* error) override {
        return target_.OpenFile(path, access, share, disposition, error);
    }
    std::unique_ptr<IFileSearch> FindFirst(const std::string& pattern, FindData* data,
                                           uint32_t* error) override {
        return target_.FindFirst(pattern, data, error);
    }
    uint32_t Rename(const std::string& from, const std::string& to) override {
        return target_.Rename(from, to);
    }
    uint32_t Remove(const std::string& path) override { return target_.Remove(path); }
    uint32_t SetReadOnly(const std::string& path, bool readOnly) override {
        return target_.SetReadOnly(path, readOnly);
    }
    uint32_t FlushFolder(const std::string& path) override { return target_.FlushFolder(path); }
    VersionInfoStatus LoadVersionInfo(const std::string& path,
                                      std::unique_ptr<IVersionInfo>* out) override {
        return target_.LoadVersionInfo(path, out);
    }

protected:
    IFileSystem& target() { return target_; }

private:
    IFileSystem& target_;
};

class ForwardingThreads : public IThreads {
public:
    explicit ForwardingThreads(IThreads& target) : target_(target) {}

    std::unique_ptr<IThread> StartThread(std::function<void()> body) override {
        return target_.StartThread(std::move(body));
    }
    std::unique_ptr<IRecursiveLock> NewLock() override { return target_.NewLock(); }
    uint32_t CurrentThreadId() override { return target_.CurrentThreadId(); }
    void SleepMs(uint32_t milliseconds) override { target_.SleepMs(milliseconds); }
    uint64_t MonotonicMs() override { return target_.MonotonicMs(); }

private:
    IThreads& target_;
};

}  // namespace platform
