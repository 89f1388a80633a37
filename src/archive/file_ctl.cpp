#include "archive/file_ctl.h"

#include "archive/file_arc.h"
#include "fileio/file_normal.h"
#include "platform/platform.h"

int32_t CFileCtl::Open(const CString& name) {
    name_ = name;
    platform::FindData found;
    const bool onDisk =
        platform::Files().FindFirst(NormalizePath(name), &found, nullptr) != nullptr;
    if (onDisk) {
        file_.reset(new CFileNormal);
    } else {
        file_.reset(new CFileArc);
    }
    // Each file normalises the name for itself.
    return file_->Open(name);
}

// Before any Open there is nothing to serve: the operations fail.

int32_t CFileCtl::Read(void* buffer, uint32_t count, uint32_t* done) {
    if (!file_) {
        if (done) *done = 0;
        return kStatusFail;
    }
    return file_->Read(buffer, count, done);
}

int32_t CFileCtl::Read(void* buffer) { return file_ ? file_->Read(buffer) : kStatusFail; }

int32_t CFileCtl::Close() { return file_ ? file_->Close() : kStatusFail; }

uint32_t CFileCtl::Seek(int32_t distance, int32_t* high, uint32_t method) {
    return file_ ? file_->Seek(distance, high, method) : platform::kInvalidSetFilePointer;
}

CString CFileCtl::GetName() { return file_ ? file_->GetName() : name_; }

int32_t CFileCtl::GetSize() { return file_ ? file_->GetSize() : -1; }
