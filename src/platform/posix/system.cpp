// The POSIX platform: the pieces of this folder behind IPlatform.
#include "platform/platform.h"
#include "platform/posix/entries.h"
#include "platform/posix/files.h"
#include "platform/posix/registry.h"
#include "platform/posix/search.h"
#include "platform/posix/threads.h"

namespace platform {

namespace {

class PosixPlatform : public IPlatform {
public:
    std::unique_ptr<IOsFile> OpenFile(const std::string& path, uint32_t access, uint32_t share,
                                      uint32_t disposition, uint32_t* error) override {
        return posix::OpenFile(path, access, share, disposition, error);
    }
    std::unique_ptr<IFileSearch> FindFirst(const std::string& pattern, FindData* data,
                                           uint32_t* error) override {
        return posix::FindFirst(pattern, data, error);
    }
    uint32_t Rename(const std::string& from, const std::string& to) override {
        return posix::Rename(from, to);
    }
    uint32_t Remove(const std::string& path) override { return posix::Remove(path); }
    uint32_t SetReadOnly(const std::string& path, bool readOnly) override {
        return posix::SetReadOnly(path, readOnly);
    }
    uint32_t FlushFolder(const std::string& path) override { return posix::FlushFolder(path); }
    uint32_t MakeFolder(const std::string& path) override { return posix::MakeFolder(path); }
    uint32_t RemoveFolder(const std::string& path) override { return posix::RemoveFolder(path); }

    // A POSIX process carries no resources of its own; tests and tools wrap
    // the platform to provide payloads.
    bool FindPayload(const std::string&, const std::string&, Payload*) override { return false; }

    bool RegistryKeyExists(const std::string& key) override { return registry_.KeyExists(key); }
    uint32_t RegistryReadString(const std::string& key, const std::string& value,
                                std::string* out) override {
        return registry_.ReadString(key, value, out);
    }
    uint32_t RegistryWriteString(const std::string& key, const std::string& value,
                                 const std::string& data) override {
        return registry_.WriteString(key, value, data);
    }
    uint32_t RegistryDeleteKey(const std::string& key) override { return registry_.DeleteKey(key); }

    std::unique_ptr<IThread> StartThread(std::function<void()> body) override {
        return posix::StartThread(std::move(body));
    }
    std::unique_ptr<IRecursiveLock> NewLock() override { return posix::NewLock(); }
    uint32_t CurrentThreadId() override { return posix::CurrentThreadId(); }
    void SleepMs(uint32_t milliseconds) override { posix::SleepMs(milliseconds); }
    uint64_t MonotonicMs() override { return posix::MonotonicMs(); }

private:
    posix::MemoryRegistry registry_;
};

}  // namespace

IPlatform& System() {
    // Never destroyed: files and threads may still use it while the process
    // ends.
    static PosixPlatform* system = new PosixPlatform;
    return *system;
}

}  // namespace platform
