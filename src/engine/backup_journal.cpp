#include "engine/backup_journal.h"

#include <array>
#include <utility>

#include "base/byte_order.h"
#include "base/cp932.h"
#include "base/errors.h"
#include "engine/backup_files.h"
#include "engine/path_parts.h"
#include "engine/texts.h"

const char CBackupJournal::kFileName[] = "~patch.jnl";

namespace {

constexpr char kMagic[4] = {'P', 'J', 'N', 'L'};
constexpr uint32_t kFormat = 1;
constexpr size_t kHeaderSize = 8;
constexpr size_t kRecordFrame = 1 + 4 + 4;  // kind, body length, checksum
constexpr uint32_t kLongestJournal = 16u << 20;
constexpr uint32_t kLongestName = 32768;
constexpr int kMostBackupNames = 999;

constexpr char kBackupRecord = 'B';
constexpr char kCommitRecord = 'C';
constexpr char kRevokeRecord = 'U';

uint32_t Crc32(const char* bytes, size_t size) {
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> made{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t value = i;
            for (int bit = 0; bit < 8; ++bit)
                value = value & 1 ? 0xEDB88320u ^ (value >> 1) : value >> 1;
            made[i] = value;
        }
        return made;
    }();
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) {
        crc = table[(crc ^ static_cast<unsigned char>(bytes[i])) & 0xFF] ^ (crc >> 8);
    }
    return crc ^ 0xFFFFFFFFu;
}

uint32_t GetU32(const std::string& bytes, size_t at) { return le::GetU32(bytes.data() + at); }

std::string Record(char kind, const std::string& body) {
    std::string record(1, kind);
    le::PutU32(&record, static_cast<uint32_t>(body.size()));
    record += body;
    le::PutU32(&record, Crc32(record.data(), record.size()));
    return record;
}

std::string Header() {
    std::string header(kMagic, sizeof kMagic);
    le::PutU32(&header, kFormat);
    return header;
}

bool AllZero(const std::string& bytes, size_t from) {
    for (size_t i = from; i < bytes.size(); ++i) {
        if (bytes[i] != 0) return false;
    }
    return true;
}

bool EndsWithBak(const CString& name) {
    return name.size() >= 4 && cp932::LowerCased(name.substr(name.size() - 4)) == ".bak";
}

}  // namespace

CString FolderOf(const CString& path) {
    size_t separator = cp932::FindLastOf(path, "\\/");
    return separator == CString::npos ? CString() : path.substr(0, separator);
}

CBackupJournal::CBackupJournal(CString gameDir) : gameDir_(std::move(gameDir)) {}

CBackupJournal::~CBackupJournal() = default;

CBackupJournal::Contents CBackupJournal::Read() const {
    const CString path = Path();
    platform::IFileSystem& os = platform::Files();
    auto failed = [&] { return MessageError(text::kJournalReadFailed, path.c_str()); };
    auto damaged = [&] { return MessageError(text::kJournalDamaged, path.c_str()); };
    uint32_t error = 0, high = 0;
    std::unique_ptr<platform::IOsFile> file = os.OpenFile(
        path, platform::kGenericRead, platform::kShareRead, platform::kOpenExisting, &error);
    if (!file) throw failed();
    const uint32_t size = file->Size(&high, &error);
    if (error != 0) throw failed();
    if (high != 0 || size > kLongestJournal) throw damaged();
    std::string bytes(size, '\0');
    uint32_t done = 0;
    if (size > 0 && (file->Read(&bytes[0], size, &done) != 0 || done != size)) throw failed();
    file->Close();

    Contents contents;
    if (!Parse(bytes, &contents)) throw damaged();
    return contents;
}

namespace {

// A name below the game folder that stays there.
bool StaysBelow(const CString& name) {
    if (name.empty() || name.size() > kLongestName) return false;
    size_t start = 0;
    for (cp932::CharCursor at(name);; at.Next()) {
        if (at.Is(':')) return false;
        if (at.AtEnd() || at.Is('\\') || at.Is('/')) {
            const CString part = name.substr(start, at.Pos() - start);
            if (part.empty() || part == "." || part == "..") return false;
            if (at.AtEnd()) return true;
            start = at.Pos() + 1;
        }
    }
}

// The folder part of a name, in lower case with "\" between names.
CString FoldedFolder(const CString& name) {
    CString folder = cp932::LowerCased(FolderOf(name));
    for (cp932::CharCursor at(folder); !at.AtEnd(); at.Next()) {
        if (at.Is('/')) folder[at.Pos()] = '\\';
    }
    return folder;
}

}  // namespace

bool CBackupJournal::Parse(const std::string& bytes, Contents* contents) {
    *contents = Contents();
    // Cut off while it was being made: the header goes to disk with the
    // first record, before anything is moved.
    if (bytes.size() < kHeaderSize) return true;
    if (bytes.compare(0, kHeaderSize, Header()) != 0) return false;
    size_t at = kHeaderSize;
    while (at < bytes.size()) {
        const size_t left = bytes.size() - at;
        if (left < kRecordFrame) break;  // shorter than any record: torn
        const uint32_t length = GetU32(bytes, at + 1);
        if (length > left - kRecordFrame) break;  // runs past the end: torn
        const size_t end = at + kRecordFrame + length;
        const uint32_t crc = GetU32(bytes, end - 4);
        if (crc != Crc32(bytes.data() + at, end - 4 - at)) {
            if (end == bytes.size() || AllZero(bytes, at)) break;  // torn
            return false;
        }
        const std::string body = bytes.substr(at + 5, length);
        switch (bytes[at]) {
            case kBackupRecord: {
                // Two names, each a u32 length and its bytes, filling the body.
                if (body.size() < 8) return false;
                const uint32_t first = GetU32(body, 0);
                if (first == 0 || first > kLongestName || first > body.size() - 8) return false;
                const uint32_t second = GetU32(body, 4 + first);
                if (second == 0 || second != body.size() - 8 - first) return false;
                Entry entry;
                entry.original = body.substr(4, first);
                entry.backup = body.substr(8 + first, second);
                if (!StaysBelow(entry.original) || !StaysBelow(entry.backup) ||
                    !EndsWithBak(entry.backup) ||
                    FoldedFolder(entry.original) != FoldedFolder(entry.backup)) {
                    return false;
                }
                contents->entries.push_back(entry);
                break;
            }
            case kCommitRecord:
                if (length != 0) return false;
                contents->committed = true;
                break;
            case kRevokeRecord:
                if (length != 0) return false;
                contents->committed = false;
                break;
            default:
                return false;
        }
        at = end;
    }
    return true;
}

void CBackupJournal::DealWithLeftOver(const std::function<void()>& cleanUp) {
    if (!PathExists(Path())) return;
    Contents contents = Read();
    entries_ = std::move(contents.entries);
    for (const Entry& entry : entries_) {
        folders_.insert(FolderOf(Full(entry.original)));
        folders_.insert(FolderOf(Full(entry.backup)));
    }
    CString failures;
    if (contents.committed) {
        committed_ = true;
        DeleteBackups();
        cleanUp();
        for (const Entry& entry : entries_) {
            if (!entry.settled) {
                failures += (failures.empty() ? "" : "\n") +
                            FormatText(text::kBackupDeleteFailed, Full(entry.backup).c_str());
            }
        }
        if (failures.empty() && !RemoveFile()) {
            failures = FormatText(text::kJournalRemoveFailed, Path().c_str());
        }
    } else {
        RollBack(
            [&](const CString& message) { failures += (failures.empty() ? "" : "\n") + message; });
        if (failures.empty() && PathExists(Path())) {
            failures = FormatText(text::kJournalRemoveFailed, Path().c_str());
        }
    }
    if (!failures.empty()) throw CMessageError{failures};
    // Dealt with: this run keeps a journal of its own.
    entries_.clear();
    folders_.clear();
    committed_ = false;
}

CString CBackupJournal::Reserve(const CString& original, const CString& wanted) {
    auto cannotRecord = [&] { return MessageError(text::kJournalWriteFailed, Path().c_str()); };
    if (broken_ || committed_) throw cannotRecord();
    if (original.compare(0, gameDir_.size(), gameDir_) != 0 ||
        wanted.compare(0, gameDir_.size(), gameDir_) != 0 || !EndsWithBak(wanted)) {
        throw MessageError(text::kBackupMakeFailed, original.c_str());
    }
    // A name is free when no file has it and no other backup of this run
    // was given it (one whose move failed leaves its name free on disk).
    auto taken = [&](const CString& candidate) {
        const CString folded = cp932::LowerCased(candidate.substr(gameDir_.size()));
        for (const Entry& entry : entries_) {
            if (!entry.settled && cp932::LowerCased(entry.backup) == folded) return true;
        }
        return PathExists(candidate);
    };
    CString backup = wanted;
    const CString stem = wanted.substr(0, wanted.size() - 4);
    for (int number = 2; taken(backup); ++number) {
        if (number > kMostBackupNames)
            throw MessageError(text::kBackupMakeFailed, original.c_str());
        backup = stem + "." + std::to_string(number) + ".bak";
    }

    Entry entry;
    entry.original = original.substr(gameDir_.size());
    entry.backup = backup.substr(gameDir_.size());
    std::string body;
    le::PutU32(&body, static_cast<uint32_t>(entry.original.size()));
    body += entry.original;
    le::PutU32(&body, static_cast<uint32_t>(entry.backup.size()));
    body += entry.backup;
    std::string record = Record(kBackupRecord, body);

    const bool first = !file_;
    if (first) {
        uint32_t error = 0;
        file_ = platform::Files().OpenFile(Path(), platform::kGenericWrite, platform::kShareRead,
                                           platform::kCreateNew, &error);
        if (!file_) {
            broken_ = true;
            throw cannotRecord();
        }
        record = Header() + record;
    }
    // The record is listed before it is written: should the write fail part
    // way, the rest of the run still knows of the name.
    entries_.push_back(entry);
    bool written = false;
    if (!Append(record, &written) ||
        (first && platform::Files().FlushFolder(FolderOf(Path())) != 0)) {
        broken_ = true;
        // Nothing is moved for it; the file is still where it was.
        entries_.back().settled = true;
        throw cannotRecord();
    }
    folders_.insert(FolderOf(original));
    folders_.insert(FolderOf(backup));
    return backup;
}

void CBackupJournal::NoteNewFile(const CString& path) { folders_.insert(FolderOf(path)); }

bool CBackupJournal::Append(const std::string& record, bool* written) {
    *written = false;
    if (!file_ || broken_) return false;
    uint32_t done = 0;
    if (file_->Write(record.data(), static_cast<uint32_t>(record.size()), &done) != 0 ||
        done != record.size()) {
        broken_ = true;
        return false;
    }
    *written = true;
    if (file_->Flush() != 0) {
        broken_ = true;
        return false;
    }
    return true;
}

bool CBackupJournal::FlushFolders() {
    bool ok = true;
    for (const CString& folder : folders_) {
        const uint32_t error = platform::Files().FlushFolder(folder);
        // A folder that is not there holds nothing to keep.
        if (error != 0 && error != platform::kErrorPathNotFound &&
            error != platform::kErrorFileNotFound) {
            ok = false;
        }
    }
    return ok;
}

void CBackupJournal::Commit() {
    auto failed = [&] { return MessageError(text::kJournalWriteFailed, Path().c_str()); };
    if (entries_.empty()) {
        // Nothing was moved aside: there is nothing to undo, only what the
        // run made to keep.
        if (!FlushFolders()) throw failed();
        committed_ = true;
        return;
    }
    if (!FlushFolders()) throw failed();
    bool written = false;
    if (!Append(Record(kCommitRecord, std::string()), &written)) {
        // Written but not known to be on disk: the commit may or may not
        // hold, until a record revokes it.
        commitUnknown_ = written;
        throw failed();
    }
    committed_ = true;
}

void CBackupJournal::DeleteBackups() {
    platform::IFileSystem& os = platform::Files();
    for (Entry& entry : entries_) {
        if (entry.settled) continue;
        const CString backup = Full(entry.backup);
        try {
            platform::FindData found;
            uint32_t error = 0;
            std::unique_ptr<platform::IFileSearch> search = os.FindFirst(backup, &found, &error);
            if (!search) {
                if (platform::NothingMatches(error)) entry.settled = true;  // gone already
                continue;
            }
            search.reset();
            if (found.read_only && os.SetReadOnly(backup, false) != 0) continue;
            if (os.Remove(backup) == 0) entry.settled = true;
        } catch (...) {
            // Stays listed.
        }
    }
}

void CBackupJournal::Finish() {
    for (const Entry& entry : entries_) {
        if (!entry.settled) return;  // kept, listing what is left
    }
    if (!file_ && entries_.empty()) return;  // there never was a journal
    RemoveFile();
}

bool CBackupJournal::RemoveFile() {
    if (file_) {
        file_->Close();
        file_.reset();
    }
    // The changes the journal guards must be on disk before it goes.
    if (!FlushFolders()) return false;
    platform::IFileSystem& os = platform::Files();
    if (os.Remove(Path()) != 0) return false;
    os.FlushFolder(FolderOf(Path()));
    // Every entry is settled: the next backup starts a journal of its own.
    entries_.clear();
    folders_.clear();
    broken_ = false;
    return true;
}

void CBackupJournal::PutBackEntry(Entry& entry) {
    if (entry.settled) return;
    const CString backup = Full(entry.backup);
    // A backup that is not there was never made (the record is written
    // before the move) or has been put back already.
    if (PathExists(backup)) PutBackupBack(backup, Full(entry.original));
    entry.settled = true;
}

void CBackupJournal::RollBack(const std::function<void(const CString&)>& report) {
    if (commitUnknown_) {
        // The commit record may be on disk: it must be revoked before any
        // backup moves, or the next run could take a half-undone folder for
        // a committed one. Until then, every backup stays where it is.
        bool written = false;
        broken_ = false;
        if (!Append(Record(kRevokeRecord, std::string()), &written)) {
            broken_ = true;
            report(FormatText(text::kJournalWriteFailed, Path().c_str()));
            return;
        }
        commitUnknown_ = false;
    }
    bool allBack = true;
    for (size_t i = entries_.size(); i-- > 0;) {
        try {
            PutBackEntry(entries_[i]);
        } catch (const CMessageError& error) {
            allBack = false;
            report(error.text);
        }
    }
    if (!allBack) return;
    bool removed = true;
    try {
        if (file_ || PathExists(Path())) removed = RemoveFile();
    } catch (const CMessageError&) {
        removed = false;
    }
    // Every file is back, but a journal that stays is said: the next run
    // deals with it before anything else.
    if (!removed) report(FormatText(text::kJournalRemoveFailed, Path().c_str()));
}

void CBackupJournal::PutBack(const std::vector<CString>& backups) {
    CString failures;
    for (size_t i = backups.size(); i-- > 0;) {
        for (Entry& entry : entries_) {
            if (entry.settled || Full(entry.backup) != backups[i]) continue;
            try {
                PutBackEntry(entry);
            } catch (const CMessageError& error) {
                failures += (failures.empty() ? "" : "\n") + error.text;
            }
        }
    }
    if (!failures.empty()) throw CMessageError{failures};
    for (const Entry& entry : entries_) {
        if (!entry.settled) return;
    }
    if (file_) RemoveFile();
}
