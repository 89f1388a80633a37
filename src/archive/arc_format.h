// The game's archive format, shared by every reader and writer of it.
//
// An archive is a pair of files with one stem: the data file ".arc" (a
// 4-byte version tag, then every record with its data) and the index file
// ".ari" (the same record headers without the data). A record is
//   u32 name length L, L name bytes, u16 flags, u32 size
// and, in the data file only, a u32 expanded size when bit 0 of the flags is
// set, then `size` data bytes. All integers are little-endian.
//
// Entry names are paths inside the archive: a leading "\", backslashes
// between components, ASCII capitals folded to small letters (both bytes of
// a CP932 double-byte character left alone), every byte stored as its
// complement.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/types.h"

namespace arc {

// Entry kinds (the flags field).
constexpr uint16_t kKindPlain = 0;
constexpr uint16_t kKindCompressed = 1;
constexpr uint16_t kKindOgg = 2;

// Bytes in front of the first data record: the version tag.
constexpr uint32_t kTagSize = 4;
// The stored form of the "\" that begins every live name.
constexpr unsigned char kScrambledBackslash = 0xA3;
// The stored form of "__", written over the first two name bytes of an index
// record whose entry has been replaced.
constexpr unsigned char kRetiredByte = 0xA0;

// ---- names ----

// Folds ASCII capitals to small letters; never touches either byte of a
// double-byte character.
CString FoldName(CString name);
// Stored form of a name for comparison, in one pass: each double-byte
// character complemented as it is, each ASCII capital folded, then
// complemented.
CString ScrambleForLookup(const CString& name);
// Stored form of a name for writing: folded, then every byte complemented.
// Gives the same bytes as ScrambleForLookup.
CString ScrambleForWriting(const CString& name);
// A stored name back as text: every byte complemented (case stays folded).
CString Unscramble(const CString& stored);
// Marks a stored name as retired (its first two bytes become the stored
// "__"); a name shorter than two bytes gets what fits.
void RetireName(CString* stored);
// Whether a stored name carries the retired mark.
bool IsRetiredName(const CString& stored);

// ---- positions ----

// Whether a record of these flags stores a u32 expanded size before its data.
inline bool HasExpandedSize(uint16_t flags) { return (flags & 1) != 0; }
// Size of the part of a record header that the index repeats (L, name,
// flags, size).
inline uint32_t IndexRecordSize(uint32_t nameLength) { return 4 + nameLength + 2 + 4; }
// The offset walk. A record that begins at recordStart has its data offset
// (the expanded size of a compressed entry, the first data byte otherwise)
// at DataOffset; the next record begins at NextRecord. 32-bit arithmetic, as
// the files have it. The first record begins at kTagSize.
inline uint32_t DataOffset(uint32_t recordStart, uint32_t nameLength) {
    return recordStart + IndexRecordSize(nameLength);
}
inline uint32_t NextRecord(uint32_t dataOffset, uint16_t flags, uint32_t size) {
    return dataOffset + (HasExpandedSize(flags) ? 4u : 0u) + size;
}

// ---- the version tag ----

// Version of a data file from its first four bytes: "WFL1" is 1; any other
// bytes give their third and fourth characters read as a number the way the
// C library's string-to-integer conversion reads it (leading white space, an
// optional sign, digits up to the first other character, 0 without digits).
int32_t ReadVersionTag(const char tag[4]);
// The four bytes written for a version: the first four of "WF%02d" (version
// 123 gives "WF12").
CString VersionTag(int32_t version);

}  // namespace arc
