// The sample game, version 1.0, and the payloads of its patch to 1.1.
//
//   make_sample_game game DIR --exe GAME_1_0.EXE      a fresh game folder DIR
//   make_sample_game payloads DIR --exe GAME_1_1.EXE  the patch's payloads, laid
//                                                     out as DIR/TYPE/NAME
//
// The game's executable comes from the build (it carries a version
// resource); everything else is made here, the archives with the same
// format routines the patch uses.
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "authoring/archive_writer.h"
#include "authoring/lzss_encoder.h"
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
           (bytes.empty() ||
            file->Write(bytes.data(), static_cast<uint32_t>(bytes.size()), &done) == 0) &&
           file->Close() == 0;
}

std::string Sjis(const char* utf8) {
    std::string out;
    platform::Utf8ToCp932(utf8, &out);
    return out;
}

// Text that compresses well, as game scripts do.
std::string ScenarioText(const char* version, int lines) {
    std::string text;
    for (int i = 0; i < lines; ++i) {
        text += Sjis(u8"「ようこそ、サンプルの世界へ。」 ") + version + " line " +
                std::to_string(i) + "\r\n";
    }
    return text;
}

// Bytes that stand for music: larger than one copy block of 65536.
std::string Music(unsigned seed, size_t size) {
    std::string bytes(size, '\0');
    unsigned state = seed;
    for (char& b : bytes) {
        state = state * 1103515245u + 12345u;
        b = static_cast<char>(state >> 24);
    }
    return "OggS" + bytes.substr(4);
}

bool MakeGame(const std::string& dir, const std::string& exeBytes) {
    std::vector<authoring::ArchiveEntry> entries(4);
    entries[0].name = "a.prs";
    entries[0].kind = 1;
    std::string scenario = ScenarioText("1.0", 40);
    entries[0].data = authoring::LzssEncode(scenario);
    entries[0].expandedSize = static_cast<uint32_t>(scenario.size());
    entries[1].name = "bgm/title.ogg";
    entries[1].kind = 2;
    entries[1].data = Music(1, 50000);
    entries[2].name = "text.txt";
    entries[2].data = "Sample game 1.0\r\n";
    entries[3].name = "sub/b.prs";
    entries[3].data = "plain entry b\r\n";
    authoring::ArchivePair data = authoring::BuildArchive(entries, "WFL1");

    const std::string g = dir + "/";
    return Folder(dir) && Folder(g + "arc") && Folder(g + "saves") &&
           File(g + "game.exe", exeBytes) && File(g + "arc/data.arc", data.arc) &&
           File(g + "arc/data.ari", data.ari) && File(g + "readme.txt", "Sample game 1.0\r\n") &&
           // Left alone by the patch and by its backup clean-up.
           File(g + "saves/slot1.bak", "save\r\n") && File(g + "readme.bak.txt", "note\r\n") &&
           File(g + Sjis(u8"セーブ.txt"), "save\r\n");
}

bool MakePayloads(const std::string& dir, const std::string& exeBytes) {
    const std::string p = dir + "/PATCH_SCR/";
    return Folder(dir) && Folder(dir + "/PATCH_SCR") && File(p + "EXE", exeBytes) &&
           File(p + "ENTRY_A", authoring::MakeCompressedTypedFile(ScenarioText("1.1", 60))) &&
           File(p + "ENTRY_OGG", Music(2, 70000)) && File(p + "ENTRY_TXT", "Sample game 1.1\r\n");
}

int Usage() {
    std::cerr << "usage: make_sample_game game DIR --exe GAME_1_0.EXE\n"
                 "       make_sample_game payloads DIR --exe GAME_1_1.EXE\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() < 2) return Usage();
    std::string dir;
    if (!platform::Utf8ToCp932(args[1], &dir)) {
        std::cerr << "make_sample_game: the folder name cannot be written in CP932\n";
        return 2;
    }
    if (args.size() != 4 || args[2] != "--exe" || (args[0] != "game" && args[0] != "payloads")) {
        return Usage();
    }
    std::ifstream exe(args[3], std::ios::binary);
    if (!exe) {
        std::cerr << "make_sample_game: cannot read " << args[3] << '\n';
        return 1;
    }
    std::string bytes((std::istreambuf_iterator<char>(exe)), std::istreambuf_iterator<char>());
    bool ok = args[0] == "game" ? MakeGame(dir, bytes) : MakePayloads(dir, bytes);
    if (!ok) {
        std::cerr << "make_sample_game: cannot write " << args[1] << '\n';
        return 1;
    }
    return 0;
}
