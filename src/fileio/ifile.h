// One way to read a file, whether it lies on disk as it is, on disk as a
// typed file, or inside one of the game's archives.
#pragma once

#include <cstdint>

#include "base/types.h"

class IFile {
public:
    virtual ~IFile() = default;
    // Opens the file by name. 0, or kStatusFail.
    virtual int32_t Open(const CString& name) = 0;
    // Reads up to count bytes from the current position; reaching the end is
    // no failure (*done < count). 0, or kStatusFail.
    virtual int32_t Read(void* buffer, uint32_t count, uint32_t* done) = 0;
    // Reads the whole contents, decoded, and a zero byte behind them: buffer
    // holds GetSize() + 1 bytes. Called once, right after Open. Throws CError
    // on broken contents.
    virtual int32_t Read(void* buffer) = 0;
    virtual int32_t Close() = 0;
    // Moves the position as SetFilePointer does (method 0 from the start, 1
    // from the current position, 2 from the end); returns the new position's
    // low 32 bits, 0xFFFFFFFF on failure.
    virtual uint32_t Seek(int32_t distance, int32_t* high, uint32_t method) = 0;
    // The name given to Open, unchanged.
    virtual CString GetName() = 0;
    // Size of the contents after decoding; -1 when it cannot be told.
    virtual int32_t GetSize() = 0;
};
