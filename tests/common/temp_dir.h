// A fresh folder for one test, removed with everything in it afterwards.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

namespace testing_support {

class TempDir {
public:
    // A folder below the current directory, or below `base` when given.
    explicit TempDir(const std::string& base = "");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The folder's path (CP932), without a trailing separator.
    const std::string& path() const { return path_; }
    // path() + "/" + relative.
    std::string operator/(const std::string& relative) const { return path_ + "/" + relative; }

private:
    std::string path_;
};

// Small file helpers on the platform seam (CP932 paths).
bool WriteFile(const std::string& path, const std::string& bytes);
bool ReadFile(const std::string& path, std::string* bytes);
bool Exists(const std::string& path);
bool MakeDir(const std::string& path);

// The entries of a folder, "." and ".." left out, in the order the system's
// search gives them (read through the system's own platform).
std::vector<platform::FindData> ListFolder(const std::string& folder);

// UTF-8 text (as written in the test sources) to CP932 bytes.
std::string Sjis(const char* utf8);

}  // namespace testing_support
