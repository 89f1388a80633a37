#include "platform/process.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace platform {

namespace {

// A pipe whose ends are closed when it goes.
struct Pipe {
    int fd[2] = {-1, -1};
    ~Pipe() {
        for (int f : fd) {
            if (f >= 0) close(f);
        }
    }
    void CloseEnd(int end) {
        if (fd[end] >= 0) close(fd[end]);
        fd[end] = -1;
    }
};

bool IsExecutableFile(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           access(path.c_str(), X_OK) == 0;
}

}  // namespace

std::string FindOnPath(const std::string& name) {
    if (name.empty()) return std::string();
    if (name.find('/') != std::string::npos) return IsExecutableFile(name) ? name : std::string();
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        std::string dir = dirs.substr(start, end - start);
        if (dir.empty()) dir = ".";
        std::string candidate = dir + "/" + name;
        if (IsExecutableFile(candidate)) return candidate;
        start = end + 1;
    }
    return std::string();
}

ProcessResult RunProcess(const std::vector<std::string>& argv, const std::string& workingDir) {
    ProcessResult result;
    if (argv.empty()) {
        result.error = "no program given";
        return result;
    }
    // `output` carries the child's output; `status` carries the errno of a
    // failed chdir or exec and closes unread when the exec succeeds.
    Pipe output, status;
    if (pipe2(output.fd, O_CLOEXEC) != 0 || pipe2(status.fd, O_CLOEXEC) != 0) {
        result.error = std::string("cannot make a pipe: ") + std::strerror(errno);
        return result;
    }
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);

    pid_t pid = fork();
    if (pid < 0) {
        result.error = std::string("cannot start a process: ") + std::strerror(errno);
        return result;
    }
    if (pid == 0) {
        // The child: only async-signal-safe calls from here on.
        int input = open("/dev/null", O_RDONLY);
        if (input >= 0) dup2(input, STDIN_FILENO);
        dup2(output.fd[1], STDOUT_FILENO);
        dup2(output.fd[1], STDERR_FILENO);
        signal(SIGPIPE, SIG_DFL);
        int stage = 0;  // 0: chdir, 1: exec
        if (workingDir.empty() || chdir(workingDir.c_str()) == 0) {
            stage = 1;
            execvp(args[0], args.data());
        }
        int report[2] = {stage, errno};
        ssize_t written = write(status.fd[1], report, sizeof report);
        (void)written;
        _exit(127);
    }
    output.CloseEnd(1);
    status.CloseEnd(1);

    char buffer[4096];
    for (;;) {
        ssize_t n = read(output.fd[0], buffer, sizeof buffer);
        if (n > 0) {
            result.output.append(buffer, static_cast<size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            break;
        }
    }
    int report[2] = {0, 0};
    ssize_t got;
    do {
        got = read(status.fd[0], report, sizeof report);
    } while (got < 0 && errno == EINTR);

    int waitStatus = 0;
    while (waitpid(pid, &waitStatus, 0) < 0) {
        if (errno != EINTR) {
            result.error = std::string("cannot wait for ") + argv[0] + ": " + std::strerror(errno);
            return result;
        }
    }
    if (got == static_cast<ssize_t>(sizeof report)) {
        result.error = std::string(report[0] == 0 ? "cannot enter the folder " + workingDir
                                                  : "cannot run " + argv[0]) +
                       ": " + std::strerror(report[1]);
        return result;
    }
    result.started = true;
    result.exitCode = WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : -1;
    return result;
}

}  // namespace platform
