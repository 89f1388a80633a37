#include "common/temp_dir.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <random>
#include <vector>

#include "platform/cp932.h"
#include "platform/platform.h"

namespace testing_support {

namespace {

void RemoveTree(platform::IPlatform& os, const std::string& path) {
    for (const auto& entry : ListFolder(path)) {
        std::string child = path + "/" + entry.name;
        if (entry.directory) {
            RemoveTree(os, child);
        } else {
            if (entry.read_only) os.SetReadOnly(child, false);
            os.Remove(child);
        }
    }
    os.RemoveFolder(path);
}

}  // namespace

std::vector<platform::FindData> ListFolder(const std::string& folder) {
    std::vector<platform::FindData> entries;
    platform::FindData data;
    if (auto search = platform::System().FindFirst(folder + "/*", &data, nullptr)) {
        do {
            if (data.name != "." && data.name != "..") entries.push_back(data);
        } while (search->Next(&data));
    }
    return entries;
}

TempDir::TempDir(const std::string& base) {
    static std::atomic<unsigned> counter{0};
    std::random_device random;
    auto& os = platform::System();
    for (;;) {
        path_ = (base.empty() ? "" : base + "/") + "test_tmp_" + std::to_string(random()) + "_" +
                std::to_string(counter++);
        if (os.MakeFolder(path_) == 0) break;
    }
}

TempDir::~TempDir() {
    if (std::getenv("KEEP_TEST_DIRS")) return;
    RemoveTree(platform::System(), path_);
}

bool WriteFile(const std::string& path, const std::string& bytes) {
    uint32_t error = 0;
    auto file = platform::System().OpenFile(path, platform::kGenericWrite, 0,
                                            platform::kCreateAlways, &error);
    if (!file) return false;
    uint32_t done = 0;
    if (!bytes.empty() &&
        file->Write(bytes.data(), static_cast<uint32_t>(bytes.size()), &done) != 0) {
        return false;
    }
    return file->Close() == 0;
}

bool ReadFile(const std::string& path, std::string* bytes) {
    uint32_t error = 0;
    auto file = platform::System().OpenFile(path, platform::kGenericRead, platform::kShareRead,
                                            platform::kOpenExisting, &error);
    if (!file) return false;
    bytes->clear();
    char buffer[65536];
    for (;;) {
        uint32_t done = 0;
        if (file->Read(buffer, sizeof buffer, &done) != 0) return false;
        if (done == 0) break;
        bytes->append(buffer, done);
    }
    return true;
}

bool Exists(const std::string& path) {
    platform::FindData data;
    return platform::System().FindFirst(path, &data, nullptr) != nullptr;
}

bool MakeDir(const std::string& path) { return platform::System().MakeFolder(path) == 0; }

std::string Sjis(const char* utf8) {
    std::string out;
    if (!platform::Utf8ToCp932(utf8, &out)) std::abort();
    return out;
}

}  // namespace testing_support
