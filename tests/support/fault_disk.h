// A disk that numbers every operation the patch asks of it and makes chosen
// ones fail: the seam for fault injection.
//
// Counted, numbered from 1 in the order they happen: OpenFile, FindFirst,
// the searches' Next, Rename, Remove, SetReadOnly, FlushFolder,
// LoadVersionInfo (it reads a file), and on opened files Read, Write, Seek,
// Size, Flush and Close. The payload store, the
// install record, threads and sleeping are not the disk and are not counted.
//
// A failed operation changes nothing on disk and answers as the system does
// when a device fails: OpenFile null with an error, FindFirst null with an
// error that is not "no such file", Next false, Read and Write an error with
// nothing done, Seek and Size kInvalidSetFilePointer, Close an error (the
// file is still closed when its object goes), Flush an error (what was
// written stays written), Rename, Remove, SetReadOnly and FlushFolder an error,
// LoadVersionInfo kUnreadable.
//
// The dialog thread and the worker use the disk one after the other; the
// numbering is shared and safe from either.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/forwarding_platform.h"

namespace testing_support {

// ERROR_NOT_READY: the device is not ready.
constexpr uint32_t kErrorNotReady = 21;

enum class DiskOp {
    kOpenFile,
    kFindFirst,
    kNext,
    kRename,
    kRemove,
    kLoadVersionInfo,
    kRead,
    kWrite,
    kSeek,
    kSize,
    kClose,
    kFlush,
    kSetReadOnly,
    kFlushFolder,
};

const char* DiskOpName(DiskOp op);

struct DiskOpRecord {
    uint64_t number = 0;
    DiskOp op = DiskOp::kOpenFile;
    // The path it concerns: the file's or the search pattern's;
    // "from -> to" for a rename.
    std::string path;
    bool failed = false;
};

class FaultDisk : public platform::ForwardingPlatform {
public:
    explicit FaultDisk(platform::IPlatform& target) : ForwardingPlatform(target) {}

    // These operations fail, each once (when its number comes up).
    void FailAt(const std::set<uint64_t>& numbers);
    // This operation and every later one fails; 0: none does.
    void DeadFrom(uint64_t number);

    // A power cut rather than a dead disk (this system's own files only, not
    // under Windows): what was written to a file and not flushed before the
    // disk died is lost. Call before the run; after it, once every file is
    // closed, ApplyPowerCut puts each file written since its last flush back
    // as it was then (a file made and never flushed: empty). Folder entries
    // (renames, deletes) are kept.
    void TrackUnflushed();
    // The number of files put back.
    int ApplyPowerCut();

    // Operations counted so far.
    uint64_t Count();
    // Every counted operation, in order.
    std::vector<DiskOpRecord> Log();

    // Counts one operation; true when it is to fail. For the disk's own
    // files and searches.
    bool Take(DiskOp op, const std::string& path);
    // What the files opened for writing tell the disk, for the power cut.
    void Written(const std::string& path);
    void Flushed(const std::string& path);

    std::unique_ptr<platform::IOsFile> OpenFile(const std::string& path, uint32_t access,
                                                uint32_t share, uint32_t disposition,
                                                uint32_t* error) override;
    std::unique_ptr<platform::IFileSearch> FindFirst(const std::string& pattern,
                                                     platform::FindData* data,
                                                     uint32_t* error) override;
    uint32_t Rename(const std::string& from, const std::string& to) override;
    uint32_t Remove(const std::string& path) override;
    uint32_t SetReadOnly(const std::string& path, bool readOnly) override;
    uint32_t FlushFolder(const std::string& path) override;
    platform::VersionInfoStatus LoadVersionInfo(
        const std::string& path, std::unique_ptr<platform::IVersionInfo>* out) override;

private:
    std::mutex mutex_;
    uint64_t count_ = 0;
    std::set<uint64_t> failAt_;
    uint64_t deadFrom_ = 0;
    std::vector<DiskOpRecord> log_;

    // The files written, by their path on this system: the bytes they held
    // at their last flush (or when first opened for writing) and which file
    // that was, so that a name that another file took since is left alone.
    struct Durable {
        std::string bytes;
        uint64_t device = 0, inode = 0;
        bool dirty = false;
    };
    void Remember(const std::string& path);
    bool tracking_ = false;
    std::map<std::string, Durable> durable_;
};

}  // namespace testing_support
