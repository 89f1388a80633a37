#include "archive/arc_index.h"

#include <algorithm>

#include "archive/arc_format.h"
#include "archive/texts.h"
#include "base/byte_order.h"
#include "base/cp932.h"
#include "base/errors.h"
#include "fileio/file_normal.h"

namespace {

// Names are read in pieces of this size, so that a damaged name length costs
// no more memory than the file really holds.
constexpr uint32_t kNameChunk = 65536;

// Reads until count bytes have arrived or the file gives no more; the number
// of bytes that arrived.
uint32_t ReadUpTo(CFileNormal& file, void* buffer, uint32_t count) {
    uint32_t total = 0;
    while (total < count) {
        uint32_t done = 0;
        int32_t status = file.Read(static_cast<char*>(buffer) + total, count - total, &done);
        if (Failed(status) || done == 0) break;
        total += done;
    }
    return total;
}

// Reads `length` name bytes; false when the file ends first.
bool ReadName(CFileNormal& file, uint32_t length, CString* name) {
    name->clear();
    while (name->size() < length) {
        uint32_t piece =
            std::min<uint32_t>(kNameChunk, length - static_cast<uint32_t>(name->size()));
        size_t had = name->size();
        name->resize(had + piece);
        if (ReadUpTo(file, &(*name)[had], piece) != piece) return false;
    }
    return true;
}

// The text after the last "\" or "/" (all of it when there is none).
CString LastComponent(const CString& path) {
    size_t separator = cp932::FindLastOf(path, "\\/");
    return separator == CString::npos ? path : path.substr(separator + 1);
}

// The text after the last "." (empty when there is none).
CString Extension(const CString& name) {
    size_t dot = cp932::FindLastOf(name, ".");
    return dot == CString::npos ? CString() : name.substr(dot + 1);
}

// The first archive whose stem is `stem`, or null.
const CArcIndexData* FindArchive(const CArcIndexData& root, const CString& stem) {
    for (const auto& archive : root.children) {
        if (LastComponent(archive->name) == stem) return archive.get();
    }
    return nullptr;
}

}  // namespace

CArcIndexData& CArcIndex::Root() {
    static CArcIndexData root;
    return root;
}

void CArcIndex::Reset() { Root().children.clear(); }

int32_t CArcIndex::AriRegist(const CString& path) {
    const CString folded = arc::FoldName(path);
    size_t dot = cp932::FindLastOf(folded, ".");
    if (dot == CString::npos || folded.substr(dot + 1) != "ari") {
        throw CError(FormatText(text::kAriRegistNotIndex, path.c_str()));
    }

    CFileNormal file;
    if (Failed(file.Open(folded))) {
        throw CError(FormatText(text::kAriRegistOpenFailed, path.c_str()));
    }
    // The size lets a damaged name length fail before anything is read;
    // -1 when the system cannot tell, and then the pieces read decide.
    const int32_t fileSize = file.GetSize();
    uint32_t position = 0;  // in the index file

    auto archive = boost::shared_ptr<CArcIndexData>(new CArcIndexData);
    archive->name = folded.substr(0, dot);

    uint32_t recordStart = arc::kTagSize;  // in the data file
    for (;;) {
        unsigned char field[4];
        if (ReadUpTo(file, field, 4) < 4) break;  // the index has ended
        position += 4;
        const uint32_t nameLength = le::GetU32(field);

        CString name;
        if ((fileSize >= 0 && nameLength > static_cast<uint32_t>(fileSize) - position) ||
            !ReadName(file, nameLength, &name)) {
            throw CError(FormatText(text::kAriRegistNameSize, path.c_str()));
        }
        position += nameLength;

        auto entry = boost::shared_ptr<CArcIndexData>(new CArcIndexData);
        entry->name = name.substr(0, name.find('\0'));

        if (ReadUpTo(file, field, 2) < 2) {
            throw CError(FormatText(text::kAriRegistFlags, path.c_str()));
        }
        position += 2;
        entry->flags = le::GetU16(field);

        if (ReadUpTo(file, field, 4) < 4) {
            throw CError(FormatText(text::kAriRegistFileSize, path.c_str()));
        }
        position += 4;
        entry->size = le::GetU32(field);
        entry->storedSize = entry->size;

        entry->offset = arc::DataOffset(recordStart, nameLength);
        recordStart = arc::NextRecord(entry->offset, entry->flags, entry->size);
        archive->children.push_back(entry);
    }

    Root().children.push_back(archive);
    return kStatusOk;
}

bool CArcIndex::Find(const CString& path, CArcFileInfo* info) {
    const CString wanted = arc::FoldName(NormalizePath(path));
    size_t separator = cp932::FindFirstOf(wanted, "\\/");
    if (separator == CString::npos || separator == 0) return false;

    const CArcIndexData* archive = FindArchive(Root(), wanted.substr(0, separator));
    if (!archive) return false;

    const CString entryName = arc::ScrambleForLookup("\\" + wanted.substr(separator + 1));
    for (const auto& entry : archive->children) {
        if (entry->name == entryName) {
            info->archive = archive->name;
            info->offset = entry->offset;
            info->size = entry->size;
            info->storedSize = entry->storedSize;
            info->flags = entry->flags;
            return true;
        }
    }
    // Another archive of the same stem is not asked.
    return false;
}

bool CArcIndex::ListFiles(const CString& stem, const CString& extension,
                          std::vector<CString>* list) {
    const CArcIndexData* archive = FindArchive(Root(), arc::FoldName(stem));
    if (!archive) return false;
    const CString wanted = arc::FoldName(extension);
    for (const auto& entry : archive->children) {
        CString name = arc::Unscramble(entry->name);
        if (Extension(name) != wanted) continue;
        if (!name.empty() && name[0] == '\\') name.erase(0, 1);
        list->push_back(name);
    }
    return true;
}
