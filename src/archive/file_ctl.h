// A file by name, wherever it lies: on disk when anything of that name is
// there, otherwise in the registered archives (CArcIndex). Every operation
// is served by the file that Open chose.
#pragma once

#include <boost/shared_ptr.hpp>

#include "fileio/ifile.h"

class CFileCtl : public IFile {
public:
    CFileCtl() = default;
    ~CFileCtl() override = default;

    // Looks on disk first (a find-first-file test, so a folder counts too)
    // and opens a plain file there; otherwise an archive entry. Returns that
    // file's status: kStatusFail when it cannot be opened or is found
    // nowhere. Each Open replaces (and so closes) the previous file.
    int32_t Open(const CString& name) override;
    int32_t Read(void* buffer, uint32_t count, uint32_t* done) override;
    int32_t Read(void* buffer) override;
    // kStatusFail when nothing was opened.
    int32_t Close() override;
    uint32_t Seek(int32_t distance, int32_t* high, uint32_t method) override;
    CString GetName() override;
    int32_t GetSize() override;

private:
    boost::shared_ptr<IFile> file_;  // empty until Open
    CString name_;
};
