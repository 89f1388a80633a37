#include "support/journal_bytes.h"

#include <cstdint>

namespace testing_support {

namespace {

uint32_t Crc32(const std::string& bytes) {
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) crc = crc & 1 ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
    }
    return ~crc;
}

std::string U32(uint32_t value) {
    std::string bytes;
    for (int i = 0; i < 4; ++i) bytes += static_cast<char>(value >> (8 * i) & 0xFF);
    return bytes;
}

}  // namespace

std::string JournalHeader() { return std::string("PJNL") + U32(1); }

std::string JournalRecord(char kind, const std::string& body) {
    std::string record = std::string(1, kind) + U32(static_cast<uint32_t>(body.size())) + body;
    return record + U32(Crc32(record));
}

std::string BackupRecordBody(const JournalBackup& backup) {
    return U32(static_cast<uint32_t>(backup.first.size())) + backup.first +
           U32(static_cast<uint32_t>(backup.second.size())) + backup.second;
}

std::string JournalBytes(const std::vector<JournalBackup>& backups, bool committed) {
    std::string bytes = JournalHeader();
    for (const JournalBackup& backup : backups)
        bytes += JournalRecord('B', BackupRecordBody(backup));
    if (committed) bytes += JournalRecord('C', "");
    return bytes;
}

}  // namespace testing_support
