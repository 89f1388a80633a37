#include "reliability/scenario.h"

#include <fstream>
#include <iterator>
#include <vector>

#include "authoring/archive_writer.h"
#include "authoring/lzss_encoder.h"
#include "common/temp_dir.h"
#include "platform/cp932.h"
#include "platform/pe_image_payloads.h"
#include "support/memory_payloads.h"
#include "tools/sample_game.h"

namespace reliability {

namespace {

using authoring::ArchiveEntry;
using authoring::ArchivePair;
using sample_game::Music;
using sample_game::ScenarioText;

ArchiveEntry Entry(const char* name, uint16_t kind, const std::string& bytes) {
    ArchiveEntry entry;
    entry.name = name;
    entry.kind = kind;
    if (kind == 1) {
        entry.data = authoring::LzssEncode(bytes);
        entry.expandedSize = static_cast<uint32_t>(bytes.size());
    } else {
        entry.data = bytes;
    }
    return entry;
}

void AddFile(FolderImage* image, const std::string& path, const std::string& bytes) {
    image->push_back({path, false, bytes});
}

void AddReadOnlyFile(FolderImage* image, const std::string& path, const std::string& bytes) {
    image->push_back({path, false, bytes, true});
}

void AddFolder(FolderImage* image, const std::string& path) {
    image->push_back({path, true, std::string()});
}

// The second patch's script; the copy of game.exe only when there are
// executables to copy.
CString MultiScript(bool withExe) {
    CString script =
        "// Two archives, an index copied before its data file, a file that is new.\r\n"
        "title MultiPatch\r\n";
    if (withExe) script += "copy game.exe EXE PATCH_SCR 1.1.0.2\r\n";
    script +=
        "copy arc/voice.ari VOICEARI PATCH_SCR 0\t\t// an index: always copied\r\n"
        "copy arc/voice.arc VOICEARC PATCH_SCR 3\r\n"
        "arcbackup arc/data.arc 2\r\n"
        "update arc/data.arc a.prs ENTRY_A PATCH_SCR 2\r\n"
        "update arc/data.arc bgm\\title.ogg BIG_OGG PATCH_SCR 2\r\n"
        "update arc/data.arc new/added.txt ADDED PATCH_SCR 2\r\n"
        "arcVerWrite arc/data.arc 2\r\n"
        "copy arc/movie.arc MOVIEARC PATCH_SCR 2\t\t// not installed yet\r\n"
        "arcbackup arc/sound.arc 3\r\n"
        "update arc/sound.arc se/hit.ogg HIT_OGG PATCH_SCR 3\r\n"
        "update arc/sound.arc se/line.prs LINE_PRS PATCH_SCR 3\r\n"
        "arcVerWrite arc/sound.arc 3\r\n"
        "copy readme.txt README PATCH_SCR 0\r\n";
    return script;
}

}  // namespace

bool ReadHostFile(const std::string& path, std::string* bytes) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    bytes->assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return !file.bad();
}

std::vector<CopyLine> CopyLines(const CString& script) {
    std::vector<CopyLine> lines;
    size_t start = 0;
    while (start < script.size()) {
        size_t end = script.find('\n', start);
        if (end == std::string::npos) end = script.size();
        std::string line = script.substr(start, end - start);
        start = end + 1;
        line = line.substr(0, line.find("//"));
        std::vector<std::string> words;
        std::string word;
        for (char c : line + " ") {
            if (c == '\t') continue;
            if (c == ' ' || c == '\r') {
                if (!word.empty()) words.push_back(word);
                word.clear();
            } else {
                word += c;
            }
        }
        if (words.size() < 2 || words[0] != "copy") continue;
        CopyLine copy;
        copy.target = cp932::LowerCased(words[1]);
        for (char& c : copy.target) {
            if (c == '\\') c = '/';
        }
        if (words.size() > 3) {
            copy.payloadName = words[2];
            copy.payloadType = words[3];
        }
        lines.push_back(copy);
    }
    return lines;
}

std::set<std::string> CopyTargets(const CString& script) {
    std::set<std::string> targets;
    for (const CopyLine& line : CopyLines(script)) targets.insert(line.target);
    return targets;
}

std::unique_ptr<Scenario> SampleScenario(const std::string& patchPath,
                                         const std::string& gameExePath,
                                         const std::string& workBase, std::string* error) {
    auto scenario = std::make_unique<Scenario>();
    scenario->name = "sample";
    std::unique_ptr<platform::PeImagePayloads> payloads =
        platform::PeImagePayloads::Load(patchPath, error);
    if (!payloads) return nullptr;
    platform::Payload script;
    if (!payloads->FindPayload("Script", "PATCH_SCR", &script)) {
        *error = patchPath + ": no script";
        return nullptr;
    }
    scenario->script.assign(reinterpret_cast<const char*>(script.data), script.size);
    scenario->scriptFromPayloads = true;
    scenario->payloads = std::move(payloads);
    scenario->copyTargets = CopyTargets(scenario->script);

    std::string exe;
    if (!ReadHostFile(gameExePath, &exe)) {
        *error = "cannot read " + gameExePath;
        return nullptr;
    }
    testing_support::TempDir made(workBase);
    if (!sample_game::MakeGame(made / "game", exe)) {
        *error = "cannot make the sample game below " + made.path();
        return nullptr;
    }
    scenario->game = CaptureFolder(made / "game");
    return scenario;
}

std::unique_ptr<Scenario> MultiScenario(const std::string& oldExe, const std::string& newExe) {
    auto scenario = std::make_unique<Scenario>();
    scenario->name = "multi";
    const bool withExe = !oldExe.empty() && !newExe.empty();
    scenario->script = MultiScript(withExe);
    scenario->copyTargets = CopyTargets(scenario->script);

    // The installed game, version 1.0.
    FolderImage& game = scenario->game;
    if (withExe) AddFile(&game, "game.exe", oldExe);
    AddFile(&game, "readme.txt", "Multi game 1.0\r\n");
    AddFolder(&game, "saves");
    AddFile(&game, "saves/slot1.bak", "save\r\n");  // not the patch's: kept
    AddFolder(&game, "arc");
    const ArchivePair data = authoring::BuildArchive(
        {Entry("a.prs", 1, ScenarioText("1.0", 40)), Entry("bgm/title.ogg", 2, Music(1, 50000)),
         Entry("text.txt", 0, "Multi game 1.0\r\n")},
        "WFL1");
    AddFile(&game, "arc/data.arc", data.arc);
    AddFile(&game, "arc/data.ari", data.ari);
    const ArchivePair sound = authoring::BuildArchive(
        {Entry("se/hit.ogg", 2, Music(4, 20000)), Entry("se/line.prs", 0, "line 1.0\r\n")}, 2);
    AddFile(&game, "arc/sound.arc", sound.arc);
    AddFile(&game, "arc/sound.ari", sound.ari);
    const ArchivePair voice = authoring::BuildArchive(
        {Entry("v/0001.ogg", 2, Music(6, 90000)), Entry("v/0002.ogg", 2, Music(7, 30000))}, "WFL1");
    AddFile(&game, "arc/voice.arc", voice.arc);
    AddFile(&game, "arc/voice.ari", voice.ari);

    // The payloads of the patch to 1.1.
    auto payloads = std::make_unique<MemoryPayloads>();
    if (withExe) payloads->Add("EXE", "PATCH_SCR", newExe);
    const ArchivePair newVoice = authoring::BuildArchive(
        {Entry("v/0001.ogg", 2, Music(8, 100000)), Entry("v/0002.ogg", 2, Music(9, 30000)),
         Entry("v/0003.ogg", 2, Music(10, 5000))},
        3);
    payloads->Add("VOICEARI", "PATCH_SCR", newVoice.ari);
    payloads->Add("VOICEARC", "PATCH_SCR", newVoice.arc);
    payloads->Add("ENTRY_A", "PATCH_SCR",
                  authoring::MakeCompressedTypedFile(ScenarioText("1.1", 60)));
    payloads->Add("BIG_OGG", "PATCH_SCR", Music(3, 150000));
    payloads->Add("ADDED", "PATCH_SCR", "added in 1.1\r\n");
    const ArchivePair movie = authoring::BuildArchive(
        {Entry("op.mpg", 0, Music(11, 140000)), Entry("ed.mpg", 0, Music(12, 3000))}, 2);
    payloads->Add("MOVIEARC", "PATCH_SCR", movie.arc);
    payloads->Add("HIT_OGG", "PATCH_SCR", Music(5, 30000));
    payloads->Add("LINE_PRS", "PATCH_SCR", authoring::MakeStoredTypedFile("line 1.1\r\n"));
    payloads->Add("README", "PATCH_SCR", "Multi game 1.1\r\n");
    scenario->payloads = std::move(payloads);
    return scenario;
}

std::unique_ptr<Scenario> StemsScenario() {
    auto scenario = std::make_unique<Scenario>();
    scenario->name = "stems";
    scenario->script =
        "// Backup names that are taken, a read-only install, a pair outside arc.\r\n"
        "title StemsPatch\r\n"
        "copy game.exe EXE PATCH_SCR 0\r\n"
        "copy game.dll DLL PATCH_SCR 0\t\t// the same backup name as game.exe\r\n"
        "arcbackup arc/data.arc 2\r\n"
        "update arc/data.arc a.prs ENTRY_A PATCH_SCR 2\r\n"
        "arcVerWrite arc/data.arc 2\r\n"
        "arcbackup data/x.arc 3\r\n"
        "update data/x.arc se/hit.ogg HIT_OGG PATCH_SCR 3\r\n"
        "update data/x.arc new.txt ADDED PATCH_SCR 3\r\n"
        "arcVerWrite data/x.arc 3\r\n";
    scenario->copyTargets = CopyTargets(scenario->script);

    // Installed from a disc: the executable and the pair in arc are
    // read-only.
    FolderImage& game = scenario->game;
    AddReadOnlyFile(&game, "game.exe", Music(20, 40000));
    AddFile(&game, "game.dll", Music(21, 30000));
    AddFile(&game, "readme.txt", "Stems game 1.0\r\n");
    AddFolder(&game, "arc");
    const ArchivePair data = authoring::BuildArchive(
        {Entry("a.prs", 1, ScenarioText("1.0", 30)), Entry("b.txt", 0, "b 1.0\r\n")}, "WFL1");
    AddReadOnlyFile(&game, "arc/data.arc", data.arc);
    AddReadOnlyFile(&game, "arc/data.ari", data.ari);
    AddFolder(&game, "data");
    const ArchivePair x = authoring::BuildArchive(
        {Entry("se/hit.ogg", 2, Music(22, 20000)), Entry("old.txt", 0, "old 1.0\r\n")}, 2);
    AddFile(&game, "data/x.arc", x.arc);
    AddFile(&game, "data/x.ari", x.ari);
    // What an earlier patch left where no clean-up looks: never touched.
    const ArchivePair older = authoring::BuildArchive({Entry("se/hit.ogg", 2, Music(23, 9000))}, 1);
    AddFile(&game, "data/x_ARC.bak", older.arc);
    AddFile(&game, "data/x_ARI.bak", older.ari);
    AddFolder(&game, "saves");
    AddFile(&game, "saves/slot1.bak", "save\r\n");

    auto payloads = std::make_unique<MemoryPayloads>();
    payloads->Add("EXE", "PATCH_SCR", Music(24, 45000));
    payloads->Add("DLL", "PATCH_SCR", Music(25, 70000));
    payloads->Add("ENTRY_A", "PATCH_SCR",
                  authoring::MakeCompressedTypedFile(ScenarioText("1.1", 50)));
    payloads->Add("HIT_OGG", "PATCH_SCR", Music(26, 25000));
    payloads->Add("ADDED", "PATCH_SCR", "new in 1.1\r\n");
    scenario->payloads = std::move(payloads);
    return scenario;
}

}  // namespace reliability
