#include "archive/update_cmd.h"

#include <utility>
#include <vector>

#include "archive/arc_format.h"
#include "archive/archive_check.h"
#include "archive/texts.h"
#include "base/byte_order.h"
#include "base/cp932.h"
#include "base/errors.h"
#include "engine/path_parts.h"
#include "engine/run_context.h"
#include "engine/texts.h"
#include "fileio/file_normal.h"
#include "fileio/file_resource.h"

namespace {

constexpr uint32_t kChunk = 65536;
constexpr uint32_t kCompressedHeader = 10;             // u16 type, u32 stored, u32 expanded
constexpr uint32_t kStoredHeader = 6;                  // u16 type, u32 stored
constexpr uint64_t kArchiveLimit = uint64_t{1} << 31;  // no file of a pair reaches 2 GiB

// What the new record says about the payload.
struct NewEntry {
    uint16_t kind = arc::kKindPlain;
    uint32_t size = 0;         // stored bytes, in both files
    bool hasExpanded = false;  // a compressed entry: the data file also has
    uint32_t expanded = 0;     // the expanded size
    uint32_t skip = 0;         // payload bytes in front of the data
};

}  // namespace

int UpdateCmd::Check() {
    return CheckArchiveVersion(*this, arg[1], arg[5], text::kUpdateUnexpectedFormat);
}

int64_t UpdateCmd::Size() {
    FileResource payload;
    if (Failed(payload.Open(arg[3], arg[4]))) {
        throw MessageError(text::kUpdateSizeOpenFailed, arg[3].c_str());
    }
    return static_cast<int>(payload.GetSize());
}

void UpdateCmd::Exec() {
    FileResource payload;
    if (Failed(payload.Open(arg[3], arg[4]))) {
        throw MessageError(text::kCopySourceOpenFailed, arg[3].c_str());
    }
    auto payloadFailed = [&] {
        return MessageError(text::kUpdateSourceReadFailed, arg[2].c_str());
    };

    // The new entry's kind and sizes.
    NewEntry entry;
    const uint32_t payloadSize = payload.GetSize();
    CString extension = cp932::LowerCased(Extension(arg[2]));
    if (extension == "prs") {
        // A typed file: its header must be whole and its data exactly as long
        // as the header says, or the record would lie about its data.
        unsigned char header[kCompressedHeader];
        uint32_t done = 0;
        if (Failed(payload.Read(header, kCompressedHeader, &done)) || done < kStoredHeader) {
            throw payloadFailed();
        }
        uint16_t type = le::GetU16(header);
        uint32_t stored = le::GetU32(header + 2);
        if (type == arc::kKindCompressed) {
            if (done != kCompressedHeader || payloadSize - kCompressedHeader != stored) {
                throw payloadFailed();
            }
            entry.kind = arc::kKindCompressed;
            entry.hasExpanded = true;
            entry.expanded = le::GetU32(header + 6);
            entry.skip = kCompressedHeader;
        } else {
            // Stored as it is: a plain entry of the bytes behind the header.
            if (payloadSize - kStoredHeader != stored) throw payloadFailed();
            entry.kind = arc::kKindPlain;
            entry.skip = kStoredHeader;
        }
        entry.size = stored;
    } else {
        entry.kind = extension == "ogg" ? arc::kKindOgg : arc::kKindPlain;
        entry.size = payloadSize;
    }
    // Back to the start of the data: read the skipped header again.
    payload.Open(arg[3], arg[4]);
    if (entry.skip > 0) {
        std::vector<char> header(entry.skip);
        uint32_t done = 0;
        if (Failed(payload.Read(header.data(), entry.skip, &done)) || done != entry.skip) {
            throw payloadFailed();
        }
    }

    CString base;
    GetGameDir(base);
    const CString indexPath = base + Stem(arg[1]) + ".ari";
    const CString dataPath = base + arg[1];
    const uint32_t readWrite = platform::kGenericRead | platform::kGenericWrite;
    CFileNormal index;
    if (Failed(index.Open(indexPath, readWrite, platform::kShareRead, platform::kOpenExisting))) {
        throw MessageError(text::kUpdateAriOpenFailed, indexPath.c_str());
    }
    // Both files are opened before either changes, so that a missing data
    // file leaves the index as it was.
    CFileNormal data;
    if (Failed(data.Open(dataPath, readWrite, platform::kShareRead, platform::kOpenExisting))) {
        throw MessageError(text::kUpdateArcOpenFailed, dataPath.c_str());
    }
    auto indexReadFailed = [&] {
        return MessageError(text::kUpdateAriReadFailed, indexPath.c_str());
    };
    auto indexWriteFailed = [&] {
        return MessageError(text::kUpdateAriWriteFailed, indexPath.c_str());
    };
    auto dataWriteFailed = [&] {
        return MessageError(text::kUpdateArcWriteFailed, dataPath.c_str());
    };

    // The entry's name inside the archive: "\" and its path, folders
    // separated by "\" as the archive keeps them, so that "sub/a.prs" and
    // "sub\a.prs" name the same entry.
    CString entryName = "\\" + arg[2];
    for (cp932::CharCursor at(entryName); !at.AtEnd(); at.Next()) {
        if (at.Is('/')) entryName[at.Pos()] = '\\';
    }
    const CString name = arc::FoldName(entryName);
    const CString stored = arc::ScrambleForWriting(entryName);

    // Offsets in the archive are below 2 GiB: a record that would reach it
    // is refused before either file changes.
    const uint64_t indexGrowth = 4 + stored.size() + 2 + 4;
    const uint64_t dataGrowth = indexGrowth + (entry.hasExpanded ? 4 : 0) + entry.size;
    for (const auto& file :
         {std::make_pair(&indexPath, indexGrowth), std::make_pair(&dataPath, dataGrowth)}) {
        platform::FindData found;
        uint32_t error = 0;
        if (!platform::Files().FindFirst(*file.first, &found, &error)) {
            throw MessageError(text::kFindFailed, file.first->c_str());
        }
        if (found.size + file.second >= kArchiveLimit) {
            throw MessageError(text::kUpdateArchiveTooLarge, file.first->c_str());
        }
    }

    // Walk the whole index: every record must lie inside it, with nothing
    // left over behind the last, or the records appended below could not be
    // read back. Only then is the first record of the name retired.
    const int32_t indexSize = index.GetSize();
    bool found = false;
    uint32_t foundPosition = 0;
    CString foundName;
    for (;;) {
        unsigned char lengthField[4];
        uint32_t done = 0;
        if (Failed(index.Read(lengthField, 4, &done))) throw indexReadFailed();
        if (done == 0) break;  // the index has ended
        if (done < 4) throw indexReadFailed();
        const uint32_t length = le::GetU32(lengthField);
        const uint32_t position = index.Seek(0, nullptr, platform::kFileCurrent);
        // The name, the kind and the size must all lie inside the index.
        const uint32_t tail = 2 + 4;
        if (position == platform::kInvalidSetFilePointer || indexSize < 0 ||
            position > static_cast<uint32_t>(indexSize) ||
            static_cast<uint32_t>(indexSize) - position < tail ||
            length > static_cast<uint32_t>(indexSize) - position - tail) {
            throw indexReadFailed();  // a record that runs past the index
        }
        CString recordName(length, '\0');
        if (length > 0 && (Failed(index.Read(&recordName[0], length, &done)) || done != length)) {
            throw indexReadFailed();
        }
        if (!found && arc::FoldName(arc::Unscramble(recordName)) == name) {
            found = true;
            foundPosition = position;
            foundName = recordName;
        }
        if (index.Seek(6, nullptr, platform::kFileCurrent) == platform::kInvalidSetFilePointer) {
            throw indexReadFailed();
        }
    }
    if (found) {
        arc::RetireName(&foundName);
        if (index.Seek(static_cast<int32_t>(foundPosition), nullptr, platform::kFileBegin) !=
                foundPosition ||
            Failed(index.Write(foundName.data(), static_cast<uint32_t>(foundName.size())))) {
            throw indexWriteFailed();
        }
    }

    // The new index record.
    CString record;
    le::PutU32(&record, static_cast<uint32_t>(stored.size()));
    record += stored;
    le::PutU16(&record, entry.kind);
    CString indexRecord = record;
    le::PutU32(&indexRecord, entry.size);
    if (index.Seek(0, nullptr, platform::kFileEnd) == platform::kInvalidSetFilePointer ||
        Failed(index.Write(indexRecord.data(), static_cast<uint32_t>(indexRecord.size())))) {
        throw indexWriteFailed();
    }
    if (Failed(index.Flush()) || Failed(index.Close())) throw indexWriteFailed();

    // The new data record: its header, then the payload's data.
    CString dataRecord = record;
    le::PutU32(&dataRecord, entry.size);
    if (entry.hasExpanded) le::PutU32(&dataRecord, entry.expanded);
    if (data.Seek(0, nullptr, platform::kFileEnd) == platform::kInvalidSetFilePointer ||
        Failed(data.Write(dataRecord.data(), static_cast<uint32_t>(dataRecord.size())))) {
        throw dataWriteFailed();
    }
    std::vector<char> buffer(kChunk);
    uint32_t done = 0;
    do {
        if (Failed(payload.Read(buffer.data(), kChunk, &done))) throw payloadFailed();
        if (Failed(data.Write(buffer.data(), done))) throw dataWriteFailed();
        owner->ReportProgress(static_cast<int>(done));
    } while (done == kChunk);
    if (Failed(data.Flush()) || Failed(data.Close())) throw dataWriteFailed();
}
