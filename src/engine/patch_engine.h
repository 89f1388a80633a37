// The patch engine as the dialog hosts it: the commands of the script, the
// run with its worker, abort, progress and outcomes, and the game folder.
// Everything it shows goes through the IPatchView it was made with; the
// commands see it as their IRunContext.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/backup_journal.h"
#include "engine/cmd_factory.h"
#include "engine/critical_section.h"
#include "engine/patch_view.h"
#include "engine/progress_gate.h"
#include "engine/run_context.h"
#include "platform/platform.h"

class CPatchEngine : public IRunContext {
public:
    // `commands`: the keywords the script may use; it outlives the engine.
    CPatchEngine(IPatchView& view, const CommandTable& commands);
    ~CPatchEngine() override;
    CPatchEngine(const CPatchEngine&) = delete;
    CPatchEngine& operator=(const CPatchEngine&) = delete;

    // Start-up: empties and shows the folder, loads the script, then runs the
    // first title and the first regist and marks them done. False when the
    // program must end (the reason has been shown).
    bool Start();
    // Start-up with a script given as text instead of the payload store.
    bool StartWithScript(const CString& script);

    // The run button: disables itself, prepares the run and starts the
    // worker, or enables itself again when the run may not start.
    void OnRun();
    // Deals with the journal an unfinished earlier run left (it is finished
    // or undone), then asks every command for its work and sets the
    // progress range.
    // 1 when the run may start; 0 when not (the reason has been shown).
    int PrepareRun();
    void SetAbort(int flag);
    int IsAbort();
    // The reaction to WM_PATCH, on the dialog thread. Returns 0.
    int OnPatchMessage(int code, int value);
    // Puts back every backup the run's journal lists, last first, then
    // calls Restore on every command in script order; a backup that cannot
    // be put back is reported and the others are still restored.
    void RestoreAll();
    // The worker's thread function; context is the engine.
    static unsigned PatchThread(void* context);

    // The folder the user chose (or the install record gave).
    CString GetGameFolder();
    void SetGameFolder(const CString& folder) override;
    // Refreshes the folder display.
    void ShowGameFolder() override;
    // The folder commands work in: during a run, the folder as it was when
    // the run started, so that a folder chosen meanwhile cannot split one
    // run (or its restore) over two folders; otherwise the current one.
    CString GetRunFolder() override;

    // Posts a WM_PATCH report from any thread.
    void PostPatch(int code, int value) { view_.PostPatchMessage(code, value); }
    // A command's report of the bytes it has just processed. They reach the
    // window as PATCH_PROGRESS, gathered: at most one report per interval,
    // and what is left when the command's work ends (FlushProgress, which
    // the run calls after each command).
    void ReportProgress(int bytes) override { progress_.Add(bytes); }
    void FlushProgress() { progress_.Flush(); }
    IPatchView& View() override { return view_; }
    // The journal of the backups of the run under way (or, outside a run,
    // of the commands executed on their own), for the run folder.
    CBackupJournal& Journal() override;
    // Lets go of the journal of commands executed on their own, leaving its
    // file as it is (tests and tools that execute commands outside a run).
    void ForgetJournal() { journal_.reset(); }
    CmdFactory& Factory() { return factory_; }

    // The pause after every command (100 ms; tests and tools shorten it).
    void SetPauseMs(uint32_t milliseconds) { pauseMs_ = milliseconds; }
    // The least time between two progress reports to the window (30 ms; 0
    // passes on every report as it comes, for tests of the reports).
    void SetProgressIntervalMs(uint32_t milliseconds) { progress_.SetIntervalMs(milliseconds); }

private:
    bool StartLoaded(bool fromPayloads, const CString& script);
    void RunWorker();
    void BeginRun();
    void EndRun();
    // The clean-up of a finished run: the "*.bak" files of the game folder
    // and of its "arc" folder.
    void DeleteBackupFiles();

    IPatchView& view_;
    CCriticalSection lock_;
    int64_t workTotal_ = 0;
    int64_t workDone_ = 0;
    CProgressGate progress_{[this](int bytes) { PostPatch(PATCH_PROGRESS, bytes); }};
    std::unique_ptr<platform::IThread> worker_;
    CmdFactory factory_;
    std::unique_ptr<CBackupJournal> journal_;
    int abort_ = 0;
    CString gameFolder_;
    CString runFolder_;
    bool running_ = false;
    uint32_t pauseMs_ = 100;
};
