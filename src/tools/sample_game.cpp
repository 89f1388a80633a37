#include "tools/sample_game.h"

#include <cstdint>
#include <vector>

#include "authoring/archive_writer.h"
#include "authoring/lzss_encoder.h"
#include "platform/cp932.h"
#include "platform/platform.h"

namespace sample_game {

namespace {

bool Folder(const std::string& path) {
    uint32_t error = platform::System().MakeFolder(path);
    return error == 0 || error == platform::kErrorAlreadyExists;
}

bool File(const std::string& path, const std::string& bytes) {
    uint32_t error = 0;
    auto file = platform::System().OpenFile(path, platform::kGenericWrite, 0,
                                            platform::kCreateAlways, &error);
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

}  // namespace

std::string ScenarioText(const char* version, int lines) {
    std::string text;
    for (int i = 0; i < lines; ++i) {
        text += Sjis(u8"「ようこそ、サンプルの世界へ。」 ") + version + " line " +
                std::to_string(i) + "\r\n";
    }
    return text;
}

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

}  // namespace sample_game
