#include "fileio/file_normal.h"

#include <new>

#include "base/byte_order.h"
#include "base/cp932.h"
#include "base/errors.h"
#include "fileio/lzss.h"
#include "fileio/texts.h"

namespace {

// The typed-file type whose data are LZSS-compressed; any other type means
// stored as they are.
constexpr uint16_t kTypeCompressed = 1;

// Dispositions that leave an empty file behind, whatever was there before.
bool StartsEmpty(uint32_t disposition) {
    return disposition == platform::kCreateAlways || disposition == platform::kCreateNew ||
           disposition == platform::kTruncateExisting;
}

}  // namespace

bool IsTypedFileName(const CString& name) {
    size_t dot = cp932::FindLastOf(name, ".");
    return dot != CString::npos && name.compare(dot + 1, CString::npos, "prs") == 0;
}

CString NormalizePath(const CString& name) {
    CString path = name;
    // The second byte of a double-byte character stays as it is.
    for (cp932::CharCursor at(path); !at.AtEnd(); at.Next()) {
        if (at.Is('/')) path[at.Pos()] = '\\';
    }
    return path;
}

CFileNormal::~CFileNormal() { Close(); }

int32_t CFileNormal::Open(const CString& name) {
    return Open(name, platform::kGenericRead, platform::kShareRead, platform::kOpenExisting);
}

int32_t CFileNormal::Open(const CString& name, uint32_t access, uint32_t share,
                          uint32_t disposition) {
    name_ = name;
    handle_.reset();
    uint32_t error = 0;
    handle_ = platform::Files().OpenFile(NormalizePath(name), access, share, disposition, &error);
    if (!handle_) return kStatusFail;

    if (!IsTypedFileName(name)) {
        uint32_t high = 0;
        size_ = static_cast<int32_t>(handle_->Size(&high, &error));
        return kStatusOk;
    }

    uint8_t field[4];
    uint32_t done = 0;
    if (Read(field, 2, &done) != kStatusOk) Fail(text::kFileNormalOpenTypeFailed);
    if (done == 0 && StartsEmpty(disposition)) {
        // A typed file made just now: it has no header yet.
        size_ = 0;
        return kStatusOk;
    }
    if (done != 2) Fail(text::kFileNormalOpenTypeFailed);
    uint32_t type = le::GetU16(field);
    if (!ReadWhole(field, 4)) Fail(text::kFileNormalOpenSizeFailed);
    uint32_t length = le::GetU32(field);
    if (type == kTypeCompressed) {
        if (!ReadWhole(field, 4)) Fail(text::kFileNormalOpenExpandedSizeFailed);
        length = le::GetU32(field);
    }
    size_ = static_cast<int32_t>(length);
    if (Seek(0, nullptr, platform::kFileBegin) == platform::kInvalidSetFilePointer) {
        return kStatusFail;
    }
    return kStatusOk;
}

int32_t CFileNormal::Flush() {
    if (!handle_) return kStatusFail;
    return handle_->Flush() == platform::kErrorSuccess ? kStatusOk : kStatusFail;
}

int32_t CFileNormal::Read(void* buffer, uint32_t count, uint32_t* done) {
    uint32_t unused = 0;
    if (!done) done = &unused;
    *done = 0;
    if (!handle_) return kStatusFail;
    return handle_->Read(buffer, count, done) == platform::kErrorSuccess ? kStatusOk : kStatusFail;
}

int32_t CFileNormal::Read(void* buffer) {
    uint8_t* out = static_cast<uint8_t*>(buffer);
    if (!IsTypedFileName(name_)) {
        if (size_ < 0) Fail(text::kFileNormalReadFailed);
        uint32_t count = static_cast<uint32_t>(size_);
        out[count] = 0;
        if (!ReadWhole(out, count)) Fail(text::kFileNormalReadFailed);
        return kStatusOk;
    }

    uint8_t field[4];
    if (!ReadWhole(field, 2)) Fail(text::kFileNormalReadTypeFailed);
    uint32_t type = le::GetU16(field);
    if (!ReadWhole(field, 4)) Fail(text::kFileNormalReadSizeFailed);
    uint32_t stored = le::GetU32(field);
    // The caller's buffer holds GetSize() + 1 bytes, so a header that now
    // says otherwise cannot be read into it; nor can more data than the file
    // holds.
    if (type != kTypeCompressed) {
        if (stored != static_cast<uint32_t>(size_) || !HasBytesLeft(stored)) {
            Fail(text::kFileNormalReadFailed);
        }
        out[stored] = 0;
        if (!ReadWhole(out, stored)) Fail(text::kFileNormalReadFailed);
        size_ = static_cast<int32_t>(stored);
        return kStatusOk;
    }

    if (!ReadWhole(field, 4)) Fail(text::kFileNormalReadExpandedSizeFailed);
    uint32_t expanded = le::GetU32(field);
    if (expanded != static_cast<uint32_t>(size_) || !HasBytesLeft(stored)) {
        Fail(text::kFileNormalReadFailed);
    }
    out[expanded] = 0;
    std::unique_ptr<uint8_t[]> packed(new (std::nothrow) uint8_t[stored]);
    if (!packed) Fail(text::kFileNormalReadBufferFailed);
    if (!ReadWhole(packed.get(), stored)) Fail(text::kFileNormalReadFailed);
    CLZSS lzss;
    if (!lzss.Decode(packed.get(), stored, out, expanded)) Fail(text::kFileNormalReadFailed);
    size_ = static_cast<int32_t>(expanded);
    return kStatusOk;
}

int32_t CFileNormal::Close() {
    if (handle_) {
        if (handle_->Close() != platform::kErrorSuccess) return kStatusFail;
        handle_.reset();
    }
    return kStatusOk;
}

uint32_t CFileNormal::Seek(int32_t distance, int32_t* high, uint32_t method) {
    if (!handle_) return platform::kInvalidSetFilePointer;
    // Without a high part 0xFFFFFFFF always means failure; with one it may
    // also be the valid low part of a position beyond 4 GiB - 1, which the
    // caller tells apart by the high part. Either way it is passed on.
    uint32_t error = 0;
    return handle_->Seek(distance, high, method, &error);
}

int32_t CFileNormal::Write(const void* buffer, uint32_t count) {
    if (!handle_) return kStatusFail;
    uint32_t done = 0;
    return handle_->Write(buffer, count, &done) == platform::kErrorSuccess ? kStatusOk
                                                                           : kStatusFail;
}

bool CFileNormal::ReadWhole(void* buffer, uint32_t count) {
    uint32_t done = 0;
    return Read(buffer, count, &done) == kStatusOk && done == count;
}

bool CFileNormal::HasBytesLeft(uint32_t count) {
    if (!handle_) return false;
    uint32_t error = 0;
    int32_t positionHigh = 0;
    uint32_t positionLow = handle_->Seek(0, &positionHigh, platform::kFileCurrent, &error);
    if (error != platform::kErrorSuccess) return false;
    uint32_t sizeHigh = 0;
    uint32_t sizeLow = handle_->Size(&sizeHigh, &error);
    if (error != platform::kErrorSuccess) return false;
    uint64_t position =
        (static_cast<uint64_t>(static_cast<uint32_t>(positionHigh)) << 32) | positionLow;
    uint64_t size = (static_cast<uint64_t>(sizeHigh) << 32) | sizeLow;
    return position <= size && size - position >= count;
}

void CFileNormal::Fail(const char* format) {
    Close();
    throw CError(FormatText(format, name_.c_str()));
}
