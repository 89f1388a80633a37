// The registry of archive indexes: AriRegist loads an index file (".ari")
// into memory, and a lookup turns a path "stem\path\inside" into the place
// of an entry in the archive's data file.
#pragma once

#include <boost/shared_ptr.hpp>
#include <cstdint>
#include <vector>

#include "base/types.h"

// One node of the registry tree: the root, an archive, or an entry.
class CArcIndexData {
public:
    CArcIndexData() = default;
    virtual ~CArcIndexData() = default;

    // Archive node: the index file's path, folded to lower case, without its
    // extension. Entry node: the name as stored in the index (scrambled), up
    // to its first zero byte.
    CString name;
    uint32_t offset = 0;                                     // entry's data offset in the data file
    uint32_t size = 0;                                       // the index record's size field
    uint32_t storedSize = 0;                                 // stored bytes a reader reads (= size)
    uint16_t flags = 0;                                      // entry kind
    std::vector<boost::shared_ptr<CArcIndexData>> children;  // in load order
};

// What a lookup finds.
struct CArcFileInfo {
    CString archive;  // the archive node's name: data file path without ".arc"
    uint32_t offset = 0;
    uint32_t size = 0;
    uint32_t storedSize = 0;
    uint16_t flags = 0;
};

// The process-wide registry. Archives stay registered until the program ends.
class CArcIndex {
public:
    // Loads the index file at path (extension "ari" in any letter case) as a
    // new archive. Returns 0; raises CError when the path is no index file,
    // cannot be opened or holds a record cut short. A failure registers
    // nothing.
    static int32_t AriRegist(const CString& path);
    // Looks up "stem/path" or "stem\path" (letter case of ASCII does not
    // matter): the first registered archive with that stem decides.
    static bool Find(const CString& path, CArcFileInfo* info);
    // Appends to list the names (without the leading "\") of the entries of
    // the first archive with that stem whose extension is extension,
    // retired ones included. False when no archive of that stem is known.
    static bool ListFiles(const CString& stem, const CString& extension,
                          std::vector<CString>* list);

    // For tests only: forgets every registered archive.
    static void Reset();

private:
    static CArcIndexData& Root();
};
