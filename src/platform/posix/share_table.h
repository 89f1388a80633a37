// The share modes of the files this process has open, as Windows keeps them
// for every open handle. POSIX has no such thing, so the platform keeps a
// table keyed by device and inode and refuses what Windows would refuse.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <mutex>
#include <utility>

namespace platform::posix {

class ShareTable {
public:
    using Key = std::pair<dev_t, ino_t>;

    // The table's lock. Hold it from looking a name up to the system call
    // whose effect must agree with a check (open and register, check and
    // unlink or rename).
    std::unique_lock<std::mutex> Lock() { return std::unique_lock<std::mutex>(mutex_); }

    // With the lock held: true when a new handle with this access and share
    // mode may be opened beside the handles already open on `key`.
    bool MayOpen(const Key& key, uint32_t access, uint32_t share) const;
    // With the lock held: true when every handle open on `key` lets others
    // delete or rename the file.
    bool MayDelete(const Key& key) const;

    // With the lock held: records a handle; returns its id.
    uint64_t Add(const Key& key, uint32_t access, uint32_t share);
    // Takes the lock and forgets a handle.
    void Remove(uint64_t id);

private:
    // A handle that neither reads nor writes takes no part in sharing.
    static bool Counts(uint32_t access);

    struct Handle {
        Key key;
        uint32_t access;
        uint32_t share;
    };

    std::mutex mutex_;
    uint64_t next_id_ = 1;
    std::map<uint64_t, Handle> handles_;
    std::multimap<Key, uint64_t> by_key_;
};

// The process's table.
ShareTable& Shares();

}  // namespace platform::posix
