// Journals of backups written byte by byte, as the program lays them out
// (a header, then records of a kind, a length, a body and a CRC-32), so
// that tests can put any journal, whole, torn or damaged, in a game folder.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace testing_support {

// A file moved aside and its backup, below the game folder ("\" or "/").
using JournalBackup = std::pair<std::string, std::string>;

// The 8-byte header.
std::string JournalHeader();
// One record: kind ('B' backup, 'C' commit, 'U' commit revoked), body.
std::string JournalRecord(char kind, const std::string& body);
// The body of a backup record.
std::string BackupRecordBody(const JournalBackup& backup);
// A whole journal listing the backups, committed or not.
std::string JournalBytes(const std::vector<JournalBackup>& backups, bool committed);

}  // namespace testing_support
