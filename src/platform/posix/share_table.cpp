#include "platform/posix/share_table.h"

#include "platform/platform.h"

namespace platform::posix {

bool ShareTable::Counts(uint32_t access) { return (access & (kGenericRead | kGenericWrite)) != 0; }

bool ShareTable::MayOpen(const Key& key, uint32_t access, uint32_t share) const {
    if (!Counts(access)) return true;
    bool reads = (access & kGenericRead) != 0;
    bool writes = (access & kGenericWrite) != 0;
    auto range = by_key_.equal_range(key);
    for (auto it = range.first; it != range.second; ++it) {
        const Handle& open = handles_.at(it->second);
        if (reads && !(open.share & kShareRead)) return false;
        if (writes && !(open.share & kShareWrite)) return false;
        if ((open.access & kGenericRead) && !(share & kShareRead)) return false;
        if ((open.access & kGenericWrite) && !(share & kShareWrite)) return false;
    }
    return true;
}

bool ShareTable::MayDelete(const Key& key) const {
    auto range = by_key_.equal_range(key);
    for (auto it = range.first; it != range.second; ++it) {
        if (!(handles_.at(it->second).share & kShareDelete)) return false;
    }
    return true;
}

uint64_t ShareTable::Add(const Key& key, uint32_t access, uint32_t share) {
    uint64_t id = next_id_++;
    if (!Counts(access)) return id;
    handles_.emplace(id, Handle{key, access, share});
    by_key_.emplace(key, id);
    return id;
}

void ShareTable::Remove(uint64_t id) {
    std::lock_guard<std::mutex> hold(mutex_);
    auto found = handles_.find(id);
    if (found == handles_.end()) return;
    auto range = by_key_.equal_range(found->second.key);
    for (auto it = range.first; it != range.second; ++it) {
        if (it->second == id) {
            by_key_.erase(it);
            break;
        }
    }
    handles_.erase(found);
}

ShareTable& Shares() {
    static ShareTable* table = new ShareTable;  // outlives every file, never destroyed
    return *table;
}

}  // namespace platform::posix
