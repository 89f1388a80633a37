// Builds an archive pair (the data file ".arc" and the index file ".ari")
// in memory, for test fixtures and the sample game.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/types.h"

namespace authoring {

struct ArchiveEntry {
    // The entry's path as a script writes it, without the leading "\" (for
    // example "sub/A.PRS"); stored as "\sub\a.prs", the layout of the game's
    // own archives.
    CString name;
    // 0 plain, 1 compressed, 2 ogg. A kind with bit 0 set stores expandedSize
    // in front of its data.
    uint16_t kind = 0;
    // The stored bytes: for kind 1 the LZSS stream.
    std::string data;
    // Kind 1: the number of bytes the stream expands to.
    uint32_t expandedSize = 0;
    // A replaced entry: its index record carries the retired mark.
    bool retired = false;
};

struct ArchivePair {
    std::string arc;  // version tag, then every record with its data
    std::string ari;  // the record headers
};

// The stored (scrambled) name of an entry.
CString StoredEntryName(const CString& name);

// The pair for these entries, in this order, behind the 4-byte tag (cut or
// padded with zero bytes to 4).
ArchivePair BuildArchive(const std::vector<ArchiveEntry>& entries, const std::string& tag);
// The same behind the tag of a version ("WF%02d").
ArchivePair BuildArchive(const std::vector<ArchiveEntry>& entries, int32_t version);

}  // namespace authoring
