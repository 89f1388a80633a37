// reliability_sweep: runs patches on a disk that fails, one operation at a
// time, and on one that dies halfway, and checks that no such failure
// leaves a broken game.
//
//   reliability_sweep [--scenario sample|multi|stems]... [--sample-patch EXE --sample-game EXE]
//                     [--sweep fault|crash|power|restore|second|again]... [--stride S]
//                     [--second-stride S] [--case N]
//                     [--list-ops] [--verbose] [--trace] [--work DIR] [--timeout-ms MS]
//
// --sample-patch: the sample patch executable; --sample-game: the game's
// 1.0 executable (sample_game_1_0.exe). Without them only the "multi"
// and "stems" scenarios run ("multi" without the copy of game.exe). --stride
// S tests every S-th operation only (and the last); --second-stride S every
// S-th crash point and every S-th operation after it in the "second" sweep
// (8); --case N only operation N.
// --list-ops prints the numbered operations of each clean run and stops.
// --verbose prints every case, not only those that failed; --trace adds the
// numbered operations of each run of a printed case (use it with --case).
// Exit code: 0 when every case passed, 1 when one did not, 2 for a usage or
// set-up error, 3 when a run crashed or never ended.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "common/temp_dir.h"
#include "platform/platform.h"
#include "reliability/scenario.h"
#include "reliability/sweep.h"

namespace {

using reliability::Sweeper;

int Usage(const std::string& message) {
    std::cerr << "reliability_sweep: " << message << "\n"
              << "usage: reliability_sweep [--scenario sample|multi|stems]... [--sample-patch EXE "
                 "--sample-game EXE]\n"
                 "                         [--sweep fault|crash|power|restore|second|again]... "
                 "[--stride S]\n"
                 "                         [--second-stride S] [--case N]\n"
                 "                         [--list-ops] [--verbose] [--trace] [--work DIR] "
                 "[--timeout-ms MS]\n";
    return 2;
}

bool Has(const std::vector<std::string>& list, const std::string& item) {
    for (const std::string& entry : list) {
        if (entry == item) return true;
    }
    return false;
}

bool Number(const std::string& text, uint64_t* value) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
    *value = std::stoull(text);
    return true;
}

// /dev/shm where the system has one (a fast place for many small folders),
// else the current directory; absolute, so that every path the engine
// builds is.
std::string DefaultWorkBase() {
#if !defined(_WIN32)
    platform::FindData data;
    if (platform::System().FindFirst("/dev/shm", &data, nullptr) && data.directory) {
        return "/dev/shm";
    }
#endif
    return std::filesystem::current_path().string();
}

// The sweeps, in the order they run, and what their figure counts.
struct SweepName {
    const char* name;
    const char* line;
    bool byDefault;
};
const SweepName kSweeps[] = {
    {"fault", "acceptable", true},
    {"crash", "patched after rerun", true},
    {"power", "patched after rerun (unflushed data lost)", true},
    {"restore", "restored or reported, patched after rerun", true},
    {"second", "no false claim, patched after a sound run", true},
    {"again", "kept the patched folder, patched after rerun", true},
};

const SweepName* SweepLine(const std::string& name) {
    for (const SweepName& sweep : kSweeps) {
        if (name == sweep.name) return &sweep;
    }
    return nullptr;
}

std::string Figure(const reliability::Figure& figure) {
    return std::to_string(figure.passed) + "/" + std::to_string(figure.tested);
}

std::string Seconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", seconds);
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> scenarios, sweeps;
    std::string samplePatch, sampleGame, work;
    reliability::SweepOptions options;
    bool listOps = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](std::string* out) {
            if (i + 1 >= argc) return false;
            *out = argv[++i];
            return true;
        };
        std::string text;
        uint64_t number = 0;
        if (arg == "--scenario" && value(&text) &&
            (text == "sample" || text == "multi" || text == "stems")) {
            scenarios.push_back(text);
        } else if (arg == "--sweep" && value(&text) && SweepLine(text) != nullptr) {
            sweeps.push_back(text);
        } else if (arg == "--second-stride" && value(&text) && Number(text, &number) &&
                   number > 0) {
            options.secondStride = number;
        } else if (arg == "--sample-patch" && value(&samplePatch)) {
        } else if (arg == "--sample-game" && value(&sampleGame)) {
        } else if (arg == "--work" && value(&work)) {
        } else if (arg == "--stride" && value(&text) && Number(text, &number) && number > 0) {
            options.stride = number;
        } else if (arg == "--case" && value(&text) && Number(text, &number) && number > 0) {
            options.only = number;
        } else if (arg == "--timeout-ms" && value(&text) && Number(text, &number) && number > 0) {
            options.timeoutMs = static_cast<int>(number);
        } else if (arg == "--list-ops") {
            listOps = true;
        } else if (arg == "--verbose") {
            options.verbose = true;
        } else if (arg == "--trace") {
            options.trace = true;
        } else {
            return Usage("unexpected " + arg);
        }
    }
    if (samplePatch.empty() != sampleGame.empty()) {
        return Usage("--sample-patch and --sample-game go together");
    }
    if (scenarios.empty()) {
        if (!samplePatch.empty()) scenarios.push_back("sample");
        scenarios.push_back("multi");
        scenarios.push_back("stems");
    }
    if (Has(scenarios, "sample") && samplePatch.empty()) {
        return Usage("the sample scenario needs --sample-patch and --sample-game");
    }
    if (sweeps.empty()) {
        for (const SweepName& sweep : kSweeps) {
            if (sweep.byDefault) sweeps.push_back(sweep.name);
        }
    }

    reliability::InstallCrashReport();
    testing_support::TempDir session(work.empty() ? DefaultWorkBase() : work);
    options.workBase = session.path();

    // The scenarios; the second patch copies the sample's executables when
    // they are at hand.
    std::vector<std::unique_ptr<reliability::Scenario>> loaded;
    std::string oldExe, newExe;
    if (!samplePatch.empty()) {
        std::string error;
        auto sample = reliability::SampleScenario(samplePatch, sampleGame, session.path(), &error);
        if (!sample) {
            std::cerr << "reliability_sweep: " << error << "\n";
            return 2;
        }
        platform::Payload exe;
        if (sample->payloads->FindPayload("EXE", "PATCH_SCR", &exe)) {
            newExe.assign(reinterpret_cast<const char*>(exe.data), exe.size);
            reliability::ReadHostFile(sampleGame, &oldExe);
        }
        if (Has(scenarios, "sample")) loaded.push_back(std::move(sample));
    }
    if (Has(scenarios, "multi")) loaded.push_back(reliability::MultiScenario(oldExe, newExe));
    if (Has(scenarios, "stems")) loaded.push_back(reliability::StemsScenario());

    std::vector<std::unique_ptr<Sweeper>> sweepers;
    bool allPassed = true;
    for (const auto& scenario : loaded) {
        auto sweeper = std::make_unique<Sweeper>(*scenario, options);
        if (!sweeper->Prepare()) {
            allPassed = false;
            std::cout << scenario->name << ": the clean run failed; no sweep\n";
        } else {
            std::cout << scenario->name << ": K = " << sweeper->operations()
                      << " operations, a clean run takes "
                      << static_cast<int>(sweeper->Seconds("clean") * 1000) << " ms\n";
            if (listOps) {
                for (const auto& op : sweeper->cleanLog()) {
                    std::cout << "  " << op.number << " " << reliability::Describe(op) << "\n";
                }
            } else {
                if (Has(sweeps, "fault")) sweeper->FaultSweep();
                if (Has(sweeps, "crash")) sweeper->CrashSweep(false);
                if (Has(sweeps, "power")) sweeper->CrashSweep(true);
                if (Has(sweeps, "restore")) sweeper->RestoreSweep();
                if (Has(sweeps, "second")) sweeper->SecondSweep();
                if (Has(sweeps, "again")) sweeper->AgainSweep();
            }
        }
        std::cout.flush();
        sweepers.push_back(std::move(sweeper));
    }
    if (listOps) {
        for (const auto& sweeper : sweepers) {
            for (const std::string& block : sweeper->details()) std::cout << block << "\n";
        }
        return allPassed ? 0 : 1;
    }

    for (const SweepName& sweep : kSweeps) {
        if (!Has(sweeps, sweep.name)) continue;
        reliability::Figure total;
        for (const auto& sweeper : sweepers) {
            total.tested += sweeper->figure(sweep.name).tested;
            total.passed += sweeper->figure(sweep.name).passed;
        }
        if (total.passed != total.tested) allPassed = false;
        std::cout << sweep.name << " sweep: " << Figure(total) << " " << sweep.line << "\n";
    }
    for (size_t i = 0; i < sweepers.size(); ++i) {
        const Sweeper& sweeper = *sweepers[i];
        std::string line = "  " + loaded[i]->name + ":";
        std::string times;
        const char* separator = " ";
        for (const SweepName& sweep : kSweeps) {
            if (!Has(sweeps, sweep.name)) continue;
            line += separator + std::string(sweep.name) + " " + Figure(sweeper.figure(sweep.name));
            times += (times.empty() ? "" : ", ") + Seconds(sweeper.Seconds(sweep.name));
            separator = ", ";
        }
        std::cout << line << " (" << times << ")\n";
    }
    for (const auto& sweeper : sweepers) {
        for (const std::string& block : sweeper->details()) std::cout << block << "\n";
    }
    return allPassed ? 0 : 1;
}
