// Replays inputs through a fuzz target without libFuzzer, so that the kept
// inputs run as tests in every build. Each file named on the command line,
// and each file in a folder named there (in name order), goes through
// LLVMFuzzerTestOneInput once. A target that meets a fault aborts and so
// fails the replay; a path that cannot be read fails it as well.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

namespace fs = std::filesystem;

// The files a path names: itself, or the regular files in it.
bool Collect(const fs::path& path, std::vector<fs::path>* files) {
    std::error_code error;
    if (fs::is_regular_file(path, error)) {
        files->push_back(path);
        return true;
    }
    if (!fs::is_directory(path, error)) return false;
    std::vector<fs::path> inside;
    for (fs::directory_iterator entry(path, error), end; !error && entry != end;
         entry.increment(error)) {
        if (entry->is_regular_file(error)) inside.push_back(entry->path());
    }
    if (error) return false;
    std::sort(inside.begin(), inside.end());
    files->insert(files->end(), inside.begin(), inside.end());
    return true;
}

bool ReadAll(const fs::path& path, std::vector<uint8_t>* bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE|FOLDER...\n", argv[0]);
        return 2;
    }
    std::vector<fs::path> files;
    for (int i = 1; i < argc; ++i) {
        if (!Collect(argv[i], &files)) {
            std::fprintf(stderr, "cannot read %s\n", argv[i]);
            return 1;
        }
    }
    for (const fs::path& file : files) {
        std::vector<uint8_t> bytes;
        if (!ReadAll(file, &bytes)) {
            std::fprintf(stderr, "cannot read %s\n", file.c_str());
            return 1;
        }
        // Named first, so that the input that brings a fault down is known.
        std::printf("%s (%zu bytes)\n", file.c_str(), bytes.size());
        std::fflush(stdout);
        // A block of exactly its size, never null (as libFuzzer gives it), so
        // that reading past the end is seen.
        std::unique_ptr<uint8_t[]> input(new uint8_t[bytes.size()]);
        std::copy(bytes.begin(), bytes.end(), input.get());
        LLVMFuzzerTestOneInput(input.get(), bytes.size());
    }
    std::printf("%zu inputs replayed\n", files.size());
    return 0;
}
