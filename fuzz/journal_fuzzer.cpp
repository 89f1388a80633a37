// The reader of the backup journal on arbitrary bytes: whatever a damaged or
// crafted journal holds, it is read as a journal or refused, and what it
// lists never names a file outside the game folder.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/cp932.h"
#include "engine/backup_journal.h"

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

// No drive, no leading separator, and no step up or in place between
// separators.
bool Below(const std::string& name) {
    std::string part;
    for (cp932::CharCursor at(name);; at.Next()) {
        if (at.AtEnd() || at.Is('\\') || at.Is('/')) {
            if (part.empty() || part == "." || part == "..") return false;
            if (at.AtEnd()) return true;
            part.clear();
        } else if (at.Is(':')) {
            return false;
        } else {
            part += at.Bytes();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    CBackupJournal::Contents contents;
    if (!CBackupJournal::Parse(bytes, &contents)) return 0;
    for (const CBackupJournal::Entry& entry : contents.entries) {
        Require(Below(entry.original));
        Require(Below(entry.backup));
        Require(entry.backup.size() >= 4);
    }
    // Read again, the same.
    CBackupJournal::Contents again;
    Require(CBackupJournal::Parse(bytes, &again));
    Require(again.entries.size() == contents.entries.size() &&
            again.committed == contents.committed);
    return 0;
}
