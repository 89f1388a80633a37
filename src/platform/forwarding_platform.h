// A platform that hands every call to another one. Tests and tools derive
// from it to replace a few services (the payload store, the install record,
// a failing disk) and keep the system's own for the rest.
#pragma once

#include <utility>

#include "platform/platform.h"

namespace platform {

// A file that hands every call to another one: the base of test doubles
// that make one operation misbehave.
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

class ForwardingPlatform : public IPlatform {
public:
    explicit ForwardingPlatform(IPlatform& target) : target_(target) {}

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
    uint32_t MakeFolder(const std::string& path) override { return target_.MakeFolder(path); }
    uint32_t RemoveFolder(const std::string& path) override { return target_.RemoveFolder(path); }
    bool FindPayload(const std::string& name, const std::string& type, Payload* out) override {
        return target_.FindPayload(name, type, out);
    }
    bool RegistryKeyExists(const std::string& key) override {
        return target_.RegistryKeyExists(key);
    }
    uint32_t RegistryReadString(const std::string& key, const std::string& value,
                                std::string* out) override {
        return target_.RegistryReadString(key, value, out);
    }
    uint32_t RegistryWriteString(const std::string& key, const std::string& value,
                                 const std::string& data) override {
        return target_.RegistryWriteString(key, value, data);
    }
    uint32_t RegistryDeleteKey(const std::string& key) override {
        return target_.RegistryDeleteKey(key);
    }
    std::unique_ptr<IThread> StartThread(std::function<void()> body) override {
        return target_.StartThread(std::move(body));
    }
    std::unique_ptr<IRecursiveLock> NewLock() override { return target_.NewLock(); }
    uint32_t CurrentThreadId() override { return target_.CurrentThreadId(); }
    void SleepMs(uint32_t milliseconds) override { target_.SleepMs(milliseconds); }
    uint64_t MonotonicMs() override { return target_.MonotonicMs(); }
    VersionInfoStatus LoadVersionInfo(const std::string& path,
                                      std::unique_ptr<IVersionInfo>* out) override {
        return target_.LoadVersionInfo(path, out);
    }
    std::string ModulePath() override { return target_.ModulePath(); }

protected:
    IPlatform& target() { return target_; }

private:
    IPlatform& target_;
};

}  // namespace platform
