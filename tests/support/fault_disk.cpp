#include "support/fault_disk.h"

#include <utility>

#include "platform/cp932.h"

#if !defined(_WIN32)
#include <sys/stat.h>

#include <fstream>
#include <iterator>

#include "platform/posix/paths.h"
#endif

namespace testing_support {

namespace {

// A file of the target whose every call is counted first.
class FaultFile : public platform::ForwardingFile {
public:
    FaultFile(std::unique_ptr<platform::IOsFile> file, FaultDisk* disk, std::string path,
              bool writing)
        : ForwardingFile(std::move(file)), disk_(disk), path_(std::move(path)), writing_(writing) {}

    uint32_t Read(void* buffer, uint32_t count, uint32_t* done) override {
        if (const Verdict verdict = Take(DiskOp::kRead)) {
            *done = 0;
            return verdict.error;
        }
        return ForwardingFile::Read(buffer, count, done);
    }
    uint32_t Write(const void* buffer, uint32_t count, uint32_t* done) override {
        if (const Verdict verdict = Take(DiskOp::kWrite)) {
            *done = 0;
            return verdict.error;
        }
        const uint32_t result = ForwardingFile::Write(buffer, count, done);
        if (*done > 0) disk_->Written(path_);
        return result;
    }
    uint32_t Seek(int32_t distance, int32_t* high, uint32_t method, uint32_t* error) override {
        if (const Verdict verdict = Take(DiskOp::kSeek)) {
            *error = verdict.error;
            return platform::kInvalidSetFilePointer;
        }
        return ForwardingFile::Seek(distance, high, method, error);
    }
    uint32_t Size(uint32_t* high, uint32_t* error) override {
        if (const Verdict verdict = Take(DiskOp::kSize)) {
            *error = verdict.error;
            return platform::kInvalidSetFilePointer;
        }
        return ForwardingFile::Size(high, error);
    }
    uint32_t Flush() override {
        if (const Verdict verdict = Take(DiskOp::kFlush)) return verdict.error;
        const uint32_t result = ForwardingFile::Flush();
        if (result == 0) disk_->Flushed(path_);
        return result;
    }
    // A close failed by its number leaves the target open; it is closed
    // when this object (and with it the target) is destroyed.
    uint32_t Close() override {
        const Verdict verdict = Take(DiskOp::kClose);
        if (verdict && !verdict.byPath) return verdict.error;
        const uint32_t result = ForwardingFile::Close();
        return verdict && result == 0 ? verdict.error : result;
    }

private:
    Verdict Take(DiskOp op) { return disk_->Take(op, path_, writing_); }

    FaultDisk* disk_;
    std::string path_;
    bool writing_;
};

class FaultSearch : public platform::IFileSearch {
public:
    FaultSearch(std::unique_ptr<platform::IFileSearch> search, FaultDisk* disk, std::string pattern)
        : search_(std::move(search)), disk_(disk), pattern_(std::move(pattern)) {}

    bool Next(platform::FindData* data) override {
        if (disk_->Take(DiskOp::kNext, pattern_)) return false;
        return search_->Next(data);
    }

private:
    std::unique_ptr<platform::IFileSearch> search_;
    FaultDisk* disk_;
    std::string pattern_;
};

// What a device that fails answers to the operation.
uint32_t DeviceError(DiskOp op) {
    switch (op) {
        case DiskOp::kRead:
        case DiskOp::kSeek:
        case DiskOp::kSize:
            return platform::kErrorReadFault;
        case DiskOp::kWrite:
        case DiskOp::kFlush:
        case DiskOp::kClose:
            return platform::kErrorWriteFault;
        default:
            return kErrorNotReady;
    }
}

// A path as the faults by path compare it: "/" between names, ASCII
// letters in lower case.
std::string Folded(std::string path) {
    for (char& c : path) {
        if (c == '\\') c = '/';
    }
    return cp932::LowerCased(path);
}

bool EndsIn(const std::string& path, const std::string& ending) {
    const std::string whole = Folded(path);
    const std::string end = Folded(ending);
    return whole.size() >= end.size() &&
           whole.compare(whole.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

const char* DiskOpName(DiskOp op) {
    switch (op) {
        case DiskOp::kOpenFile:
            return "OpenFile";
        case DiskOp::kFindFirst:
            return "FindFirst";
        case DiskOp::kNext:
            return "Next";
        case DiskOp::kRename:
            return "Rename";
        case DiskOp::kRemove:
            return "Remove";
        case DiskOp::kLoadVersionInfo:
            return "LoadVersionInfo";
        case DiskOp::kRead:
            return "Read";
        case DiskOp::kWrite:
            return "Write";
        case DiskOp::kSeek:
            return "Seek";
        case DiskOp::kSize:
            return "Size";
        case DiskOp::kClose:
            return "Close";
        case DiskOp::kFlush:
            return "Flush";
        case DiskOp::kSetReadOnly:
            return "SetReadOnly";
        case DiskOp::kFlushFolder:
            return "FlushFolder";
    }
    return "?";
}

void FaultDisk::FailAt(const std::set<uint64_t>& numbers) {
    std::lock_guard<std::mutex> lock(mutex_);
    failAt_ = numbers;
}

void FaultDisk::DeadFrom(uint64_t number) {
    std::lock_guard<std::mutex> lock(mutex_);
    deadFrom_ = number;
}

uint64_t FaultDisk::Count() {
    std::lock_guard<std::mutex> lock(mutex_);
    return count_;
}

std::vector<DiskOpRecord> FaultDisk::Log() {
    std::lock_guard<std::mutex> lock(mutex_);
    return log_;
}

PathFault DiskFullAfter(const std::string& ending, int goodWrites) {
    return PathFault(DiskOp::kWrite, ending)
        .Answering(platform::kErrorDiskFull)
        .After(goodWrites)
        .OnFilesOpenedForWriting();
}

PathFault FailingClose(const std::string& ending) {
    return PathFault(DiskOp::kClose, ending).OnFilesOpenedForWriting();
}

void FaultDisk::FailOn(const PathFault& fault) {
    std::lock_guard<std::mutex> lock(mutex_);
    pathFaults_.push_back(fault);
}

void FaultDisk::ClearPathFaults() {
    std::lock_guard<std::mutex> lock(mutex_);
    pathFaults_.clear();
}

Verdict FaultDisk::Take(DiskOp op, const std::string& path, bool writing) {
    return Decide(op, path, path, writing);
}

Verdict FaultDisk::Decide(DiskOp op, const std::string& logged, const std::string& path,
                          bool writing) {
    std::lock_guard<std::mutex> lock(mutex_);
    const uint64_t number = ++count_;
    Verdict verdict;
    if (failAt_.count(number) != 0 || (deadFrom_ != 0 && number >= deadFrom_)) {
        verdict = {true, DeviceError(op), false};
    }
    for (PathFault& fault : pathFaults_) {
        if (fault.op != op || (fault.writingOnly && !writing) || !EndsIn(path, fault.ending)) {
            continue;
        }
        if (fault.left > 0) {
            --fault.left;
        } else if (!verdict) {
            verdict = {true, fault.error != 0 ? fault.error : DeviceError(op), true};
        }
    }
    log_.push_back({number, op, logged, verdict.fails});
    return verdict;
}

std::unique_ptr<platform::IOsFile> FaultDisk::OpenFile(const std::string& path, uint32_t access,
                                                       uint32_t share, uint32_t disposition,
                                                       uint32_t* error) {
    const bool writes = (access & platform::kGenericWrite) != 0;
    if (const Verdict verdict = Take(DiskOp::kOpenFile, path, writes)) {
        *error = verdict.error;
        return nullptr;
    }
    // What the file held before this open may truncate it.
    if (writes) Remember(path);
    auto file = target().OpenFile(path, access, share, disposition, error);
    if (!file) return nullptr;
    return std::make_unique<FaultFile>(std::move(file), this, path, writes);
}

std::unique_ptr<platform::IFileSearch> FaultDisk::FindFirst(const std::string& pattern,
                                                            platform::FindData* data,
                                                            uint32_t* error) {
    if (const Verdict verdict = Take(DiskOp::kFindFirst, pattern)) {
        if (error) *error = verdict.error;
        return nullptr;
    }
    auto search = target().FindFirst(pattern, data, error);
    if (!search) return nullptr;
    return std::make_unique<FaultSearch>(std::move(search), this, pattern);
}

uint32_t FaultDisk::Rename(const std::string& from, const std::string& to) {
    if (const Verdict verdict = Decide(DiskOp::kRename, from + " -> " + to, from, false)) {
        return verdict.error;
    }
    return target().Rename(from, to);
}

uint32_t FaultDisk::Remove(const std::string& path) {
    if (const Verdict verdict = Take(DiskOp::kRemove, path)) return verdict.error;
    return target().Remove(path);
}

#if defined(_WIN32)

void FaultDisk::TrackUnflushed() {}
int FaultDisk::ApplyPowerCut() { return 0; }
void FaultDisk::Remember(const std::string&) {}
void FaultDisk::Written(const std::string&) {}
void FaultDisk::Flushed(const std::string&) {}

#else

namespace {

// The file's bytes and identity on this system; false when there is none.
bool ReadHost(const std::string& hostPath, std::string* bytes, uint64_t* device, uint64_t* inode) {
    struct stat info;
    if (stat(hostPath.c_str(), &info) != 0) return false;
    *device = info.st_dev;
    *inode = info.st_ino;
    std::ifstream in(hostPath, std::ios::binary);
    if (!in) return false;
    bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

std::string HostPath(const std::string& path) { return platform::posix::Resolve(path).path; }

}  // namespace

void FaultDisk::TrackUnflushed() {
    std::lock_guard<std::mutex> lock(mutex_);
    tracking_ = true;
}

void FaultDisk::Remember(const std::string& path) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!tracking_ || (deadFrom_ != 0 && count_ >= deadFrom_)) return;
    const std::string host = HostPath(path);
    Durable now;
    const bool exists = ReadHost(host, &now.bytes, &now.device, &now.inode);
    auto known = durable_.find(host);
    // The same file as before keeps what it held at its last flush.
    if (known != durable_.end() && exists && known->second.inode == now.inode &&
        known->second.device == now.device) {
        return;
    }
    durable_[host] = exists ? now : Durable();
}

void FaultDisk::Written(const std::string& path) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!tracking_) return;
    Durable& state = durable_[HostPath(path)];
    if (state.inode == 0) {
        // Made by this open: what it held at its last flush is nothing.
        struct stat info;
        if (stat(HostPath(path).c_str(), &info) == 0) {
            state.device = info.st_dev;
            state.inode = info.st_ino;
        }
    }
    state.dirty = true;
}

void FaultDisk::Flushed(const std::string& path) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!tracking_) return;
    const std::string host = HostPath(path);
    Durable state;
    if (ReadHost(host, &state.bytes, &state.device, &state.inode)) durable_[host] = state;
}

int FaultDisk::ApplyPowerCut() {
    std::lock_guard<std::mutex> lock(mutex_);
    int reverted = 0;
    for (const auto& file : durable_) {
        const Durable& state = file.second;
        struct stat info;
        if (!state.dirty || stat(file.first.c_str(), &info) != 0 || info.st_dev != state.device ||
            info.st_ino != state.inode) {
            continue;  // flushed, gone, or another file by now
        }
        const mode_t mode = info.st_mode;
        chmod(file.first.c_str(), mode | S_IWUSR);
        std::ofstream out(file.first, std::ios::binary | std::ios::trunc);
        out.write(state.bytes.data(), static_cast<std::streamsize>(state.bytes.size()));
        out.close();
        chmod(file.first.c_str(), mode);
        ++reverted;
    }
    durable_.clear();
    return reverted;
}

#endif

uint32_t FaultDisk::SetReadOnly(const std::string& path, bool readOnly) {
    if (const Verdict verdict = Take(DiskOp::kSetReadOnly, path)) return verdict.error;
    return target().SetReadOnly(path, readOnly);
}

uint32_t FaultDisk::FlushFolder(const std::string& path) {
    if (const Verdict verdict = Take(DiskOp::kFlushFolder, path)) return verdict.error;
    return target().FlushFolder(path);
}

platform::VersionInfoStatus FaultDisk::LoadVersionInfo(
    const std::string& path, std::unique_ptr<platform::IVersionInfo>* out) {
    if (Take(DiskOp::kLoadVersionInfo, path)) return platform::VersionInfoStatus::kUnreadable;
    return target().LoadVersionInfo(path, out);
}

}  // namespace testing_support
