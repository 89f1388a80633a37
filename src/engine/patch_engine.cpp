#include "engine/patch_engine.h"

#include <new>

#include "base/errors.h"
#include "engine/backup_cleanup.h"
#include "engine/error_box.h"
#include "engine/texts.h"

namespace {

constexpr int64_t kProgressUnit = 65536;     // the bar counts in units of 64 KiB
constexpr int64_t kProgressPosUnit = 65535;  // and positions by this divisor

// The text of the error being handled; called from a catch block.
CString CurrentErrorText() {
    try {
        throw;
    } catch (const CPatchError& error) {
        return error.Text();
    } catch (...) {
        return text::kErrorOccurred;
    }
}

int ClampToInt(int64_t value) {
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<int>(value);
}

}  // namespace

CPatchEngine::CPatchEngine(IPatchView& view, const CommandTable& commands)
    : view_(view), factory_(commands) {}

CPatchEngine::~CPatchEngine() {
    if (worker_) worker_->Join();
}

bool CPatchEngine::Start() { return StartLoaded(true, CString()); }

bool CPatchEngine::StartWithScript(const CString& script) { return StartLoaded(false, script); }

bool CPatchEngine::StartLoaded(bool fromPayloads, const CString& script) {
    SetGameFolder(CString());
    ShowGameFolder();
    try {
        factory_.SetOwner(this);
        if (fromPayloads) {
            factory_.LoadScript();
        } else {
            factory_.LoadScriptText(script.data(), script.size());
        }
        for (const char* keyword : {"title", "regist"}) {
            if (ScriptCmd* command = factory_.FindCmd(keyword)) {
                command->Exec();
                command->done = 1;
            }
        }
        return true;
    } catch (const CError&) {
        // Broken contents say only that the program ends.
        ErrorBox(view_, CString(text::kErrorProgramEnds));
    } catch (const CPatchError& error) {
        ErrorBox(view_, error.Text() + text::kProgramEndsSuffix);
    } catch (...) {
        ErrorBox(view_, CString(text::kErrorProgramEnds));
    }
    return false;
}

void CPatchEngine::OnRun() {
    view_.EnableRun(false);
    BeginRun();
    if (!PrepareRun()) {
        EndRun();
        view_.EnableRun(true);
        return;
    }
    SetAbort(0);
    worker_ = platform::Threads().StartThread([this] { PatchThread(this); });
    if (!worker_) {
        // No thread: the run ends before any command ran.
        ErrorBox(view_, CString(text::kErrorOccurred));
        PostPatch(PATCH_ABORTED, 0);
    }
}

int CPatchEngine::PrepareRun() {
    try {
        if (GetRunFolder().empty()) throw CMessageError{text::kNoInstallFolder};
        // What an unfinished earlier run left comes first, so that the
        // checks below see a whole game.
        Journal().DealWithLeftOver([this] { DeleteBackupFiles(); });
        factory_.First();
        workTotal_ = 0;
        workDone_ = 0;
        while (ScriptCmd* command = factory_.Next()) {
            if (command->Check()) workTotal_ += command->Size();
        }
        view_.SetProgressPos(0);
        view_.SetProgressRange(ClampToInt(workTotal_ / kProgressUnit));
        return 1;
    } catch (...) {
        ErrorBox(view_, CurrentErrorText());
    }
    return 0;
}

void CPatchEngine::SetAbort(int flag) {
    CScopedLock lock(&lock_);
    abort_ = flag;
}

int CPatchEngine::IsAbort() {
    CScopedLock lock(&lock_);
    return abort_;
}

unsigned CPatchEngine::PatchThread(void* context) {
    static_cast<CPatchEngine*>(context)->RunWorker();
    return 0;
}

void CPatchEngine::RunWorker() {
    try {
        int ran = 0;
        factory_.First();
        for (;;) {
            if (IsAbort()) {
                PostPatch(PATCH_ABORTED, 0);
                return;
            }
            ScriptCmd* command = factory_.Next();
            if (!command) break;
            if (command->done == 0 && command->Check()) {
                command->Exec();
                FlushProgress();
                ran = 1;
            }
            platform::Threads().SleepMs(pauseMs_);
        }
        if (ran) {
            // The commit point: once the journal says so, the run is done
            // and its backups may go; before it, they are what undoes it.
            CBackupJournal& journal = Journal();
            journal.Commit();
            journal.DeleteBackups();
            DeleteBackupFiles();
            journal.Finish();
            PostPatch(PATCH_FINISHED, 0);
        } else {
            PostPatch(PATCH_LATEST, 0);
        }
        return;
    } catch (...) {
        // All of a run's progress comes before its end code.
        FlushProgress();
        ErrorBox(view_, CurrentErrorText());
    }
    PostPatch(PATCH_ABORTED, 0);
}

int CPatchEngine::OnPatchMessage(int code, int value) {
    switch (code) {
        case PATCH_ABORTED:
            view_.SetProgressPos(0);
            RestoreAll();
            view_.ShowMessage(text::kRunAborted, text::kCaptionResult, kMbOk | kMbIconInformation,
                              true);
            EndRun();
            view_.EnableRun(true);
            break;
        case PATCH_PROGRESS:
            workDone_ += value;
            view_.SetProgressPos(ClampToInt(workDone_ / kProgressPosUnit));
            break;
        case PATCH_LATEST:
            view_.ShowMessage(text::kRunLatest, text::kCaptionResult, kMbOk | kMbIconInformation,
                              true);
            EndRun();
            view_.EnableRun(true);
            break;
        case PATCH_FINISHED:
            view_.ShowMessage(text::kRunFinished, text::kCaptionResult, kMbOk | kMbIconInformation,
                              true);
            view_.SetProgressPos(0);
            EndRun();
            view_.EnableRun(true);
            break;
        default:
            break;
    }
    return 0;
}

void CPatchEngine::DeleteBackupFiles() {
    DeleteMatchingFiles(MakeGameDir(GetRunFolder()), FinishedRunBackupPatterns());
}

CBackupJournal& CPatchEngine::Journal() {
    if (!journal_) journal_ = std::make_unique<CBackupJournal>(MakeGameDir(GetRunFolder()));
    return *journal_;
}

void CPatchEngine::RestoreAll() {
    // Last first: a file backed up twice in one run goes back to what it
    // was before the first.
    Journal().RollBack([this](const CString& message) { ErrorBox(view_, message); });
    factory_.First();
    while (ScriptCmd* command = factory_.Next()) {
        try {
            command->Restore();
        } catch (...) {
            // Said, and the other commands are still restored: one backup
            // that cannot be put back must not keep the rest where they are.
            // What stays behind is put back by the next run.
            ErrorBox(view_, CurrentErrorText());
        }
    }
}

CString CPatchEngine::GetGameFolder() {
    CScopedLock lock(&lock_);
    return gameFolder_;
}

void CPatchEngine::SetGameFolder(const CString& folder) {
    CScopedLock lock(&lock_);
    gameFolder_ = folder;
}

void CPatchEngine::ShowGameFolder() { view_.ShowGameFolder(GetGameFolder()); }

CString CPatchEngine::GetRunFolder() {
    CScopedLock lock(&lock_);
    return running_ ? runFolder_ : gameFolder_;
}

void CPatchEngine::BeginRun() {
    if (worker_) worker_->Join();  // the previous worker has posted its end already
    worker_.reset();
    journal_.reset();  // each run keeps a journal of its own
    CScopedLock lock(&lock_);
    runFolder_ = gameFolder_;
    running_ = true;
}

void CPatchEngine::EndRun() {
    if (worker_) worker_->Join();
    worker_.reset();
    CScopedLock lock(&lock_);
    running_ = false;
    runFolder_.clear();
}
