#include "archive/file_arc.h"

#include <cstring>
#include <limits>
#include <new>
#include <vector>

#include "archive/arc_format.h"
#include "archive/arc_index.h"
#include "archive/texts.h"
#include "base/byte_order.h"
#include "base/errors.h"
#include "fileio/file_normal.h"
#include "fileio/lzss.h"

CFileArc::~CFileArc() { Close(); }

int32_t CFileArc::Open(const CString& name) {
    name_ = name;
    CArcFileInfo info;
    if (!CArcIndex::Find(name, &info)) {
        Close();
        return kStatusFail;
    }
    offset_ = info.offset;
    size_ = info.size;
    storedSize_ = info.storedSize;
    flags_ = info.flags;

    const CString dataPath = NormalizePath(info.archive + ".arc");
    uint32_t error = 0;
    handle_ = platform::Files().OpenFile(dataPath, platform::kGenericRead, platform::kShareRead,
                                         platform::kOpenExisting, &error);
    if (!handle_) throw CError(FormatText(text::kFileArcNoArchive, dataPath.c_str()));

    // Offsets are sought as signed 32-bit distances: a data file stays
    // below 2 GiB.
    if (handle_->Seek(static_cast<int32_t>(offset_), nullptr, platform::kFileBegin, &error) ==
        platform::kInvalidSetFilePointer) {
        CloseAndThrow(text::kFileArcSeekFailed, dataPath);
    }
    if (flags_ == arc::kKindCompressed) {
        unsigned char field[4];
        uint32_t done = 0;
        if (ReadUpTo(field, 4, &done) != 0 || done < 4) {
            CloseAndThrow(text::kFileArcOpenLength, name_);
        }
        size_ = le::GetU32(field);
        if (handle_->Seek(static_cast<int32_t>(offset_), nullptr, platform::kFileBegin, &error) ==
            platform::kInvalidSetFilePointer) {
            CloseAndThrow(text::kFileArcSeekFailed, dataPath);
        }
    }
    return kStatusOk;
}

int32_t CFileArc::Read(void* buffer, uint32_t count, uint32_t* done) {
    uint32_t got = 0;
    if (done) *done = 0;
    if (!handle_) return kStatusFail;
    if (handle_->Read(buffer, count, &got) != 0) {
        throw CError(FormatText(text::kFileArcReadFailed, name_.c_str()));
    }
    if (done) *done = got;
    return kStatusOk;
}

int32_t CFileArc::Read(void* buffer) {
    if (!handle_) return kStatusFail;
    constexpr uint32_t kLargestSize = std::numeric_limits<int32_t>::max();
    unsigned char* out = static_cast<unsigned char*>(buffer);
    uint32_t done = 0;

    if (flags_ != arc::kKindCompressed) {
        // The buffer was sized from GetSize(), which cannot show more; an
        // entry longer than the data file is cut short, whatever the buffer.
        if (size_ > kLargestSize || size_ > BytesLeft()) {
            CloseAndThrow(text::kFileArcReadStored, name_);
        }
        out[size_] = 0;
        if (ReadUpTo(out, size_, &done) != 0 || done < size_) {
            CloseAndThrow(text::kFileArcReadStored, name_);
        }
        return kStatusOk;
    }

    unsigned char field[4];
    if (ReadUpTo(field, 4, &done) != 0 || done < 4) {
        CloseAndThrow(text::kFileArcReadLength, name_);
    }
    const uint32_t expanded = le::GetU32(field);
    // Open read the same field; the buffer holds that many bytes and one.
    if (expanded != size_ || expanded > kLargestSize) {
        CloseAndThrow(text::kFileArcReadCompressed, name_);
    }
    out[expanded] = 0;
    // A stream longer than what is left of the data file cannot arrive
    // whole: it fails before any memory is asked for it.
    if (storedSize_ > BytesLeft()) CloseAndThrow(text::kFileArcReadCompressed, name_);

    std::vector<uint8_t> stored;
    try {
        stored.resize(storedSize_);
    } catch (const std::bad_alloc&) {
        CloseAndThrow(text::kFileArcReadMemory, name_);
    }
    if (ReadUpTo(stored.data(), storedSize_, &done) != 0 || done < storedSize_) {
        CloseAndThrow(text::kFileArcReadCompressed, name_);
    }
    CLZSS lzss;
    if (!lzss.Decode(stored.data(), storedSize_, out, expanded)) {
        CloseAndThrow(text::kFileArcReadCompressed, name_);
    }
    size_ = expanded;
    return kStatusOk;
}

int32_t CFileArc::Close() {
    if (handle_) {
        if (handle_->Close() != 0) return kStatusFail;
        handle_.reset();
    }
    return kStatusOk;
}

uint32_t CFileArc::Seek(int32_t distance, int32_t* high, uint32_t method) {
    if (!handle_) return platform::kInvalidSetFilePointer;
    uint32_t target = 0;
    switch (method) {
        case platform::kFileBegin:
            target = offset_ + static_cast<uint32_t>(distance);
            break;
        case platform::kFileCurrent:
            target = static_cast<uint32_t>(distance);
            break;
        case platform::kFileEnd:
            target = offset_ + size_ + static_cast<uint32_t>(distance);
            method = platform::kFileBegin;
            break;
        default:
            return platform::kInvalidSetFilePointer;
    }
    uint32_t error = 0;
    uint32_t position = handle_->Seek(static_cast<int32_t>(target), high, method, &error);
    if (position == platform::kInvalidSetFilePointer && error != 0) {
        return platform::kInvalidSetFilePointer;
    }
    return position - offset_;
}

uint32_t CFileArc::ReadUpTo(void* buffer, uint32_t count, uint32_t* done) {
    *done = 0;
    while (*done < count) {
        uint32_t got = 0;
        uint32_t error = handle_->Read(static_cast<char*>(buffer) + *done, count - *done, &got);
        if (error != 0) return error;
        if (got == 0) break;
        *done += got;
    }
    return 0;
}

void CFileArc::CloseAndThrow(const char* format, const CString& what) {
    Close();
    throw CError(FormatText(format, what.c_str()));
}

uint64_t CFileArc::BytesLeft() {
    constexpr uint64_t kUnknown = std::numeric_limits<uint64_t>::max();
    uint32_t error = 0;
    int32_t high = 0;
    uint32_t low = handle_->Seek(0, &high, platform::kFileCurrent, &error);
    if (low == platform::kInvalidSetFilePointer && error != 0) return kUnknown;
    const uint64_t position = (static_cast<uint64_t>(static_cast<uint32_t>(high)) << 32) | low;
    uint32_t sizeHigh = 0;
    uint32_t sizeLow = handle_->Size(&sizeHigh, &error);
    if (sizeLow == platform::kInvalidSetFilePointer && error != 0) return kUnknown;
    const uint64_t size = (static_cast<uint64_t>(sizeHigh) << 32) | sizeLow;
    return size > position ? size - position : 0;
}
