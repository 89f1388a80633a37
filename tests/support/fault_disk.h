// A disk that numbers every operation the patch asks of it and makes chosen
// ones fail: the one seam for fault injection in the tests.
//
// Counted, numbered from 1 in the order they happen: OpenFile, FindFirst,
// the searches' Next, Rename, Remove, SetReadOnly, FlushFolder,
// LoadVersionInfo (it reads a file), and on opened files Read, Write, Seek,
// Size, Flush and Close. The payload store, the
// install record, threads and sleeping are not the disk and are not counted.
//
// An operation fails by its number (FailAt, DeadFrom) or by the path it
// concerns (FailOn). A failed operation changes nothing on disk and answers
// as the system does when a device fails, unless its fault by path names
// another error: OpenFile null with an error, FindFirst null with an error
// that is not "no such file", Next false, Read and Write an error with
// nothing done, Seek and Size kInvalidSetFilePointer, Close an error, Flush
// an error (what was written stays written), Rename, Remove, SetReadOnly and
// FlushFolder an error, LoadVersionInfo kUnreadable. A close failed by its
// number leaves the file open until its object goes; one failed by its path
// closes the file all the same, with what was written (as when a delayed
// write fails and the close reports it).
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
#include <utility>
#include <vector>

#include "platform/forwarding.h"

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

// The operations `op` on the files or searches whose path ends in `ending`
// fail: "/" and "\" alike, ASCII letters in any case, a rename by its
// source; an empty ending takes every path.
struct PathFault {
    PathFault(DiskOp op, std::string ending) : op(op), ending(std::move(ending)) {}

    // What the failed operation answers instead of the failing device's
    // error (LoadVersionInfo answers kUnreadable whatever it is).
    PathFault& Answering(uint32_t code) {
        error = code;
        return *this;
    }
    // So many of these operations still succeed; then every one fails.
    PathFault& After(int succeeding) {
        left = succeeding;
        return *this;
    }
    // Only the operations on files opened for writing.
    PathFault& OnFilesOpenedForWriting() {
        writingOnly = true;
        return *this;
    }

    DiskOp op;
    std::string ending;
    uint32_t error = 0;  // 0: the failing device's error
    int left = 0;        // of the operations that still succeed
    bool writingOnly = false;
};

// Writes to a file opened for writing fail as on a full disk once
// `goodWrites` have succeeded.
PathFault DiskFullAfter(const std::string& ending, int goodWrites);
// Closing a file opened for writing fails; what was written stays.
PathFault FailingClose(const std::string& ending);

// What a counted operation is to do.
struct Verdict {
    bool fails = false;
    uint32_t error = 0;   // what it answers when it fails
    bool byPath = false;  // failed by a PathFault, not by its number

    explicit operator bool() const { return fails; }
};

struct DiskOpRecord {
    uint64_t number = 0;
    DiskOp op = DiskOp::kOpenFile;
    // The path it concerns: the file's or the search pattern's;
    // "from -> to" for a rename.
    std::string path;
    bool failed = false;
};

class FaultDisk : public platform::ForwardingFileSystem {
public:
    explicit FaultDisk(platform::IFileSystem& target) : ForwardingFileSystem(target) {}

    // These operations fail, each once (when its number comes up).
    void FailAt(const std::set<uint64_t>& numbers);
    // This operation and every later one fails; 0: none does.
    void DeadFrom(uint64_t number);
    // These operations fail from now on, beside the ones told before, in
    // the files already open too.
    void FailOn(const PathFault& fault);
    void ClearPathFaults();

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

    // Counts one operation on `path` and tells whether it is to fail. For
    // the disk's own files (`writing`: opened for writing) and searches.
    Verdict Take(DiskOp op, const std::string& path, bool writing = false);
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
    // Take, with the text the log keeps apart from the path that the faults
    // by path look at.
    Verdict Decide(DiskOp op, const std::string& logged, const std::string& path, bool writing);

    std::mutex mutex_;
    uint64_t count_ = 0;
    std::set<uint64_t> failAt_;
    uint64_t deadFrom_ = 0;
    std::vector<PathFault> pathFaults_;
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
