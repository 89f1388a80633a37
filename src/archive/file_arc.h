// One entry of a registered archive, read like a file. Open finds the entry
// through CArcIndex and opens the archive's data file at the entry's data;
// the whole-file Read expands compressed entries.
#pragma once

#include <memory>

#include "fileio/ifile.h"
#include "platform/platform.h"

class CFileArc : public IFile {
public:
    CFileArc() = default;
    ~CFileArc() override;

    // name: "stem/path inside" (see CArcIndex::Find). kStatusFail without a
    // message when no registered archive holds it; CError when the data file
    // is missing or cannot be positioned.
    int32_t Open(const CString& name) override;
    // Raw stored bytes from the current position (a compressed entry gives
    // its expanded size and stream). kStatusFail when not open.
    int32_t Read(void* buffer, uint32_t count, uint32_t* done) override;
    // The entry's contents, expanded, and a zero byte behind them; buffer
    // holds GetSize() + 1 bytes. Called right after Open. CError when the
    // data file cannot give them.
    int32_t Read(void* buffer) override;
    int32_t Close() override;
    // Positions relative to the entry's data offset; method 2 counts from
    // GetSize(). 0xFFFFFFFF on failure.
    uint32_t Seek(int32_t distance, int32_t* high, uint32_t method) override;
    CString GetName() override { return name_; }
    // The entry's size; for a compressed entry, its expanded size.
    int32_t GetSize() override { return static_cast<int32_t>(size_); }

private:
    // Reads until count bytes have arrived, the file ends or the system
    // fails; the system's error code (0 when it did not fail).
    uint32_t ReadUpTo(void* buffer, uint32_t count, uint32_t* done);
    // Closes the file and raises the message with `what` for its %s.
    [[noreturn]] void CloseAndThrow(const char* format, const CString& what);
    // Bytes from the current position to the end of the data file; as many
    // as a 64-bit count holds when the system cannot tell.
    uint64_t BytesLeft();

    std::unique_ptr<platform::IOsFile> handle_;  // null when closed
    CString name_;
    uint32_t offset_ = 0;
    uint32_t size_ = 0;
    uint32_t storedSize_ = 0;
    uint16_t flags_ = 0;
};
