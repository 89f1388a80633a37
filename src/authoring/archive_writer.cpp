#include "authoring/archive_writer.h"

#include "archive/arc_format.h"
#include "base/byte_order.h"
#include "fileio/file_normal.h"

namespace authoring {

CString StoredEntryName(const CString& name) {
    return arc::ScrambleForWriting("\\" + NormalizePath(name));
}

ArchivePair BuildArchive(const std::vector<ArchiveEntry>& entries, const std::string& tag) {
    ArchivePair pair;
    pair.arc = tag.substr(0, arc::kTagSize);
    pair.arc.resize(arc::kTagSize, '\0');
    for (const ArchiveEntry& entry : entries) {
        const CString stored = StoredEntryName(entry.name);
        const uint32_t size = static_cast<uint32_t>(entry.data.size());

        CString header;
        le::PutU32(&header, static_cast<uint32_t>(stored.size()));
        header += stored;
        le::PutU16(&header, entry.kind);
        le::PutU32(&header, size);
        pair.arc += header;

        // The index keeps the header; a retired record only loses its name.
        CString retiredName = stored;
        if (entry.retired) arc::RetireName(&retiredName);
        header.replace(4, stored.size(), retiredName);
        pair.ari += header;

        if (arc::HasExpandedSize(entry.kind)) le::PutU32(&pair.arc, entry.expandedSize);
        pair.arc += entry.data;
    }
    return pair;
}

ArchivePair BuildArchive(const std::vector<ArchiveEntry>& entries, int32_t version) {
    return BuildArchive(entries, arc::VersionTag(version));
}

}  // namespace authoring
