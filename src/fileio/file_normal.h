// A file on disk, plain or typed. A name whose extension is exactly "prs" is
// a typed file: a small header (type, stored length and, for type 1, the
// expanded length) before stored or LZSS-compressed data.
#pragma once

#include <memory>

#include "fileio/ifile.h"
#include "platform/platform.h"

class CFileNormal : public IFile {
public:
    CFileNormal() = default;
    ~CFileNormal() override;
    CFileNormal(const CFileNormal&) = delete;
    CFileNormal& operator=(const CFileNormal&) = delete;

    // Opens for reading, shared read, existing file.
    int32_t Open(const CString& name) override;
    // Opens with the given access, share mode and disposition (the values of
    // CreateFile, platform.h); any file held before is let go first. "/" in
    // the name becomes "\". A refusal returns kStatusFail without a message
    // and leaves the object holding no usable file (reads, writes and seeks
    // fail, Close returns 0) and its size as it was. A typed file's header is
    // read whatever the access: a header that cannot be read whole closes the
    // file and throws CError, except that a typed file the disposition has
    // just created or emptied counts as size 0.
    int32_t Open(const CString& name, uint32_t access, uint32_t share, uint32_t disposition);
    int32_t Read(void* buffer, uint32_t count, uint32_t* done) override;
    // Throws CError, after closing the file, when the contents cannot be read
    // whole: a failed or short read, a header that disagrees with the size
    // Open reported or with the file's real length, or a damaged LZSS stream.
    int32_t Read(void* buffer) override;
    int32_t Close() override;
    uint32_t Seek(int32_t distance, int32_t* high, uint32_t method) override;
    CString GetName() override { return name_; }
    int32_t GetSize() override { return size_; }
    // Writes count bytes at the current position. 0, or kStatusFail.
    int32_t Write(const void* buffer, uint32_t count);
    // Makes what was written durable on the disk. 0, or kStatusFail.
    int32_t Flush();

private:
    // Reads exactly count bytes; false on a failed or short read.
    bool ReadWhole(void* buffer, uint32_t count);
    // Whether count more bytes lie between the position and the end.
    bool HasBytesLeft(uint32_t count);
    // Closes the file and throws CError with the message for this file.
    [[noreturn]] void Fail(const char* format);

    std::unique_ptr<platform::IOsFile> handle_;  // null when closed
    CString name_;
    int32_t size_ = 0;
};

// Whether a name is a typed file: its extension (after the last ".", double-
// byte aware) is exactly "prs".
bool IsTypedFileName(const CString& name);
// The path handed to the system: every "/" turned into "\" (second bytes of
// double-byte characters left alone).
CString NormalizePath(const CString& name);
