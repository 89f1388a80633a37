// Makes a fresh sample game folder for the sample patch: the files a player
// would have, with some leftovers for the backup clean-up to find.
#include <iostream>
#include <string>

#include "platform/cp932.h"
#include "platform/platform.h"

namespace {

platform::IPlatform& os = platform::System();

bool Folder(const std::string& path) {
    uint32_t error = os.MakeFolder(path);
    return error == 0 || error == platform::kErrorAlreadyExists;
}

bool File(const std::string& path, const std::string& bytes) {
    uint32_t error = 0;
    auto file = os.OpenFile(path, platform::kGenericWrite, 0, platform::kCreateAlways, &error);
    uint32_t done = 0;
    return file &&
           (bytes.empty() || file->Write(bytes.data(), static_cast<uint32_t>(bytes.size()), &done) == 0) &&
           file->Close() == 0;
}

std::string Sjis(const char* utf8) {
    std::string out;
    platform::Utf8ToCp932(utf8, &out);
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: make_sample_game DIR\n"
                     "Makes the sample game folder DIR (its parent must exist).\n";
        return 2;
    }
    std::string game;
    if (!platform::Utf8ToCp932(argv[1], &game)) {
        std::cerr << "make_sample_game: the folder name cannot be written in CP932\n";
        return 2;
    }
    const std::string g = game + "/";
    bool ok = Folder(game) && Folder(g + "arc") && Folder(g + "saves") &&
              Folder(g + "arc/old.bak") && File(g + "game.exe", "MZ sample game 1.0\n") &&
              File(g + "arc/data.arc", "WFL1") && File(g + "arc/data.ari", "") &&
              File(g + "readme.txt", "Sample game 1.0\n") &&
              // Leftovers of an earlier patch: the clean-up deletes these ...
              File(g + "game.bak", "old game\n") && File(g + "arc/data_ARC.bak", "WFL1") &&
              File(g + Sjis(u8"ソフト.bak"), "old\n") &&
              // ... and leaves these alone.
              File(g + "saves/slot1.bak", "save\n") && File(g + "readme.bak.txt", "note\n");
    if (!ok) {
        std::cerr << "make_sample_game: cannot write the sample folder " << argv[1] << '\n';
        return 1;
    }
    std::cout << "sample game folder: " << argv[1] << '\n';
    return 0;
}
