#include "tools/patchkit/run_command.h"

#include <csignal>
#include <cstdlib>
#include <iostream>
#include <memory>

#include "engine/patch_engine.h"
#include "platform/console.h"
#include "platform/cp932.h"
#include "platform/pe_image_payloads.h"
#include "tools/patchkit/console_view.h"
#include "wiring/patch_commands.h"

const char kRunUsage[] =
    "usage: patchkit run PATCH.exe [--game DIR] [--record DIR] [--pause-ms N]\n"
    "\n"
    "Applies a patch executable to a game folder, as the patch window would:\n"
    "the script's first title and regist lines run, then one run of the patch.\n"
    "\n"
    "  --game DIR     choose DIR as the game folder (the folder button)\n"
    "  --record DIR   let the install record that the script's regist line\n"
    "                 reads hold DIR (as the game's installer would have)\n"
    "  --pause-ms N   pause after each command, in milliseconds (default 100)\n"
    "\n"
    "Ctrl-C is the abort button. Exit codes: 0 finished, 1 interrupted\n"
    "(backups restored), 2 not started, 3 nothing to do.\n";

namespace {

volatile std::sig_atomic_t g_abortRequested = 0;

extern "C" void OnInterrupt(int) { g_abortRequested = 1; }

struct RunOptions {
    std::string patch;
    std::string game;
    bool hasGame = false;
    std::string record;
    bool hasRecord = false;
    unsigned pauseMs = 100;
};

bool ParseArgs(const std::vector<std::string>& args, RunOptions* options, std::string* error) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&](std::string* out) {
            if (i + 1 >= args.size()) {
                *error = arg + " needs a value";
                return false;
            }
            *out = args[++i];
            return true;
        };
        if (arg == "--game") {
            if (!value(&options->game)) return false;
            options->hasGame = true;
        } else if (arg == "--record") {
            if (!value(&options->record)) return false;
            options->hasRecord = true;
        } else if (arg == "--pause-ms") {
            std::string text;
            if (!value(&text)) return false;
            char* end = nullptr;
            unsigned long n = std::strtoul(text.c_str(), &end, 10);
            if (text.empty() || *end != '\0' || n > 60000) {
                *error = "--pause-ms takes a number of milliseconds from 0 to 60000";
                return false;
            }
            options->pauseMs = static_cast<unsigned>(n);
        } else if (!arg.empty() && arg[0] == '-') {
            *error = "unknown option " + arg;
            return false;
        } else if (options->patch.empty()) {
            options->patch = arg;
        } else {
            *error = "more than one patch given";
            return false;
        }
    }
    if (options->patch.empty()) {
        *error = "no patch executable given";
        return false;
    }
    return true;
}

// Folder names come from the terminal as UTF-8; the program speaks CP932.
bool ToProgramText(const std::string& utf8, const char* what, CString* out) {
    if (platform::Utf8ToCp932(utf8, out)) return true;
    std::cerr << "patchkit run: the " << what << " " << utf8
              << " cannot be written in CP932, the patch's encoding\n";
    return false;
}

}  // namespace

int RunCommand(const std::vector<std::string>& args) {
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h") {
            std::cout << kRunUsage;
            return 0;
        }
    }
    RunOptions options;
    std::string error;
    if (!ParseArgs(args, &options, &error)) {
        std::cerr << "patchkit run: " << error << "\n\n" << kRunUsage;
        return kRunNotStarted;
    }
    CString game, record;
    if ((options.hasGame && !ToProgramText(options.game, "game folder", &game)) ||
        (options.hasRecord && !ToProgramText(options.record, "install record folder", &record))) {
        return kRunNotStarted;
    }

    std::unique_ptr<platform::PeImagePayloads> payloads =
        platform::PeImagePayloads::Load(options.patch, &error);
    if (!payloads) {
        std::cerr << "patchkit run: " << error << '\n';
        return kRunNotStarted;
    }
    platform::ScopedPayloadStore usePayloads(payloads.get());

    ConsoleView view(std::cout, std::cerr, platform::StderrIsTerminal());
    CPatchEngine engine(view, PatchCommands());
    engine.SetPauseMs(options.pauseMs);

    if (options.hasRecord) {
        // The record lives under the key that the script's regist line names.
        CmdFactory probe(PatchCommands());
        try {
            probe.LoadScript();
        } catch (...) {
            // The real start-up below reports the script's error.
        }
        if (ScriptCmd* regist = probe.FindCmd("regist")) {
            platform::Extras().RegistryWriteString(regist->arg[1], "Current", record);
        } else {
            view.Say("note: the script has no regist line; --record has no effect");
        }
    }

    if (!engine.Start()) return kRunNotStarted;
    if (options.hasGame) {
        engine.SetGameFolder(game);
        engine.ShowGameFolder();
    }

    g_abortRequested = 0;
    auto previousHandler = std::signal(SIGINT, OnInterrupt);
    engine.OnRun();
    int result = kRunNotStarted;
    bool abortSent = false;
    while (!view.IsRunEnabled()) {
        if (g_abortRequested && !abortSent) {
            view.Say("abort requested: the run stops after the current command");
            engine.SetAbort(1);
            abortSent = true;
        }
        int code = 0, value = 0;
        if (!view.WaitMessage(50, &code, &value)) continue;
        engine.OnPatchMessage(code, value);
        if (code == PATCH_FINISHED) result = kRunFinished;
        if (code == PATCH_ABORTED) result = kRunInterrupted;
        if (code == PATCH_LATEST) result = kRunNothingToDo;
    }
    std::signal(SIGINT, previousHandler);
    return result;
}
