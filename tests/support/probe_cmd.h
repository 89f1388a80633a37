// A command for engine tests: does what the test tells it and writes down
// every call it gets.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "base/errors.h"
#include "engine/run_context.h"
#include "engine/script_cmd.h"

class CallLog {
public:
    void Add(const std::string& entry) {
        std::lock_guard<std::mutex> lock(mutex_);
        entries_.push_back(entry);
    }
    std::vector<std::string> Entries() {
        std::lock_guard<std::mutex> lock(mutex_);
        return entries_;
    }

private:
    std::mutex mutex_;
    std::vector<std::string> entries_;
};

class ProbeCmd : public ScriptCmd {
public:
    enum class Fault { kNone, kText, kMessage, kFileError, kBadAlloc };

    ProbeCmd(IRunContext* owner, std::string name, CallLog* log)
        : ScriptCmd(owner), name_(std::move(name)), log_(log) {}

    int Check() override {
        log_->Add(name_ + ".Check");
        Raise(checkFault);
        return checkResult;
    }
    int64_t Size() override {
        log_->Add(name_ + ".Size");
        Raise(sizeFault);
        return size;
    }
    void Exec() override;
    void Restore() override {
        log_->Add(name_ + ".Restore");
        Raise(restoreFault);
    }

    int checkResult = 1;
    int64_t size = 0;
    std::vector<int> progress;   // reported by Exec
    bool doneAfterExec = false;  // Check answers 0 once Exec has run
    std::function<void()> onExec;
    Fault checkFault = Fault::kNone, sizeFault = Fault::kNone, execFault = Fault::kNone,
          restoreFault = Fault::kNone;
    std::string gameDirSeen;

private:
    void Raise(Fault fault);

    std::string name_;
    CallLog* log_;
};
