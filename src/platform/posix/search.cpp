#include "platform/posix/search.h"

#include <dirent.h>
#include <errno.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "platform/cp932.h"
#include "platform/posix/paths.h"
#include "platform/windows_rules.h"

namespace platform::posix {

namespace {

constexpr uint32_t kStar = 0x100000;
constexpr uint32_t kQuestion = 0x100001;

// A CP932 string as characters: an ASCII letter lower-cased, a double-byte
// character as one value above 0xFF, and the wildcards (of a pattern) apart
// from every character.
std::vector<uint32_t> Characters(const std::string& text, bool pattern) {
    std::vector<uint32_t> out;
    for (cp932::CharCursor at(text); !at.AtEnd(); at.Next()) {
        const unsigned char byte = at.Byte();
        if (at.IsDoubleByte()) {
            out.push_back(0x10000u | (byte << 8) | static_cast<unsigned char>(text[at.Pos() + 1]));
        } else if (pattern && byte == '*') {
            out.push_back(kStar);
        } else if (pattern && byte == '?') {
            out.push_back(kQuestion);
        } else {
            out.push_back(static_cast<unsigned char>(FoldAscii(static_cast<char>(byte))));
        }
    }
    return out;
}

bool Glob(const std::vector<uint32_t>& pattern, size_t pattern_end,
          const std::vector<uint32_t>& name) {
    size_t p = 0, n = 0;
    size_t star = SIZE_MAX, star_n = 0;  // the last '*' and where its run ends
    while (n < name.size()) {
        if (p < pattern_end && (pattern[p] == kQuestion || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (p < pattern_end && pattern[p] == kStar) {
            star = p++;
            star_n = n;
        } else if (star != SIZE_MAX) {
            p = star + 1;
            n = ++star_n;
        } else {
            return false;
        }
    }
    while (p < pattern_end && pattern[p] == kStar) ++p;
    return p == pattern_end;
}

bool HasWildcard(const std::string& name) {
    return cp932::FindFirstOf(name, "*?") != std::string::npos;
}

// The name without its wildcards, for the check of the other characters
// Windows refuses.
std::string WithoutWildcards(const std::string& pattern) {
    std::string out;
    for (cp932::CharCursor at(pattern); !at.AtEnd(); at.Next()) {
        if (!at.Is('*') && !at.Is('?')) out += at.Bytes();
    }
    return out;
}

// Upper-cased ASCII, as NTFS orders a folder's entries.
std::string SortKey(const std::string& name) {
    std::string key = name;
    for (cp932::CharCursor at(key); !at.AtEnd(); at.Next()) {
        // A character's first byte: a lead byte is no letter and stays.
        key[at.Pos()] = UpperAscii(key[at.Pos()]);
    }
    return key;
}

// Describes the entry at `path` (UTF-8), following a symbolic link when it
// leads somewhere.
bool Describe(const std::string& path, const std::string& cp932_name, FindData* data) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0 && lstat(path.c_str(), &info) != 0) return false;
    data->name = cp932_name;
    data->directory = S_ISDIR(info.st_mode);
    data->read_only = IsReadOnlyMode(info.st_mode);
    data->size = data->directory ? 0 : static_cast<uint64_t>(info.st_size);
    return true;
}

class ListSearch : public IFileSearch {
public:
    explicit ListSearch(std::vector<FindData> entries) : entries_(std::move(entries)) {}

    bool Next(FindData* data) override {
        if (next_ >= entries_.size()) return false;
        *data = entries_[next_++];
        return true;
    }

private:
    std::vector<FindData> entries_;
    size_t next_ = 1;  // the first went out with FindFirst
};

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

}  // namespace

bool MatchesPattern(const std::string& pattern, const std::string& name) {
    std::vector<uint32_t> wanted = Characters(pattern, true);
    std::vector<uint32_t> have = Characters(name, false);
    if (Glob(wanted, wanted.size(), have)) return true;
    size_t size = wanted.size();
    return size >= 2 && wanted[size - 2] == '.' && wanted[size - 1] == kStar &&
           Glob(wanted, size - 2, have);
}

std::unique_ptr<IFileSearch> FindFirst(const std::string& pattern, FindData* data,
                                       uint32_t* error) {
    uint32_t ignored = 0;
    uint32_t& reason = error ? *error : ignored;
    reason = kErrorFileNotFound;
    SplitPath split = Split(pattern);
    if (split.names.empty() || split.trailing_separator) return nullptr;
    std::vector<FindData> entries;

    std::string last = split.names.back();
    if (!HasWildcard(last)) {
        // An existence test: the one entry, under its name on disk.
        Normalize(&split);
        if (split.names.empty()) return nullptr;
        Resolved found = Resolve(split);
        if (found.error) reason = found.error;
        if (found.error || !found.exists) return nullptr;
        std::string name;
        FindData entry;
        if (!Utf8ToCp932(found.name, &name) || !Describe(found.path, name, &entry)) {
            return nullptr;
        }
        entries.push_back(std::move(entry));
    } else {
        if (HasInvalidNameCharacter(WithoutWildcards(last))) {
            reason = kErrorInvalidName;
            return nullptr;
        }
        split.names.pop_back();
        Normalize(&split);
        Resolved folder = Resolve(split);
        if (folder.error || !folder.exists) {
            reason = folder.error ? folder.error : kErrorPathNotFound;
            return nullptr;
        }
        std::unique_ptr<DIR, DirCloser> dir(opendir(folder.path.c_str()));
        if (!dir) {
            reason = errno == ENOTDIR ? kErrorPathNotFound : ErrnoToWin32(errno);
            return nullptr;
        }
        while (dirent* item = readdir(dir.get())) {
            std::string name;
            if (!Utf8ToCp932(item->d_name, &name)) continue;  // no CP932 form
            if (!MatchesPattern(last, name)) continue;
            FindData entry;
            if (Describe(Join(folder.path, item->d_name), name, &entry)) {
                entries.push_back(std::move(entry));
            }
        }
        std::sort(entries.begin(), entries.end(), [](const FindData& a, const FindData& b) {
            auto rank = [](const std::string& name) {
                return name == "." ? 0 : name == ".." ? 1 : 2;
            };
            if (rank(a.name) != rank(b.name)) return rank(a.name) < rank(b.name);
            std::string key_a = SortKey(a.name), key_b = SortKey(b.name);
            return key_a != key_b ? key_a < key_b : a.name < b.name;
        });
    }
    if (entries.empty()) return nullptr;
    reason = 0;
    *data = entries.front();
    return std::make_unique<ListSearch>(std::move(entries));
}

}  // namespace platform::posix
