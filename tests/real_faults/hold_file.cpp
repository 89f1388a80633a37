// A second process that keeps a file open without sharing it, as a running
// game keeps its files: the real-fault tests start it under Windows (Wine)
// and run a patch against the file it holds.
//
//   hold_file FILE READY STOP
//
// Opens FILE for reading with share mode 0, creates the file READY once it
// holds it, then waits until the file STOP appears (or 60 seconds have
// passed, so that it never outlives a test that died) and exits.
// Exit codes: 0 held and released, 1 wrong arguments, 2 FILE could not be
// opened, 3 READY could not be created.
#include <windows.h>

#include <cstdio>

int wmain(int argc, wchar_t** argv) {
    if (argc != 4) {
        std::fputs("usage: hold_file FILE READY STOP\n", stderr);
        return 1;
    }
    HANDLE held = CreateFileW(argv[1], GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (held == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "hold_file: cannot open the file (error %lu)\n", GetLastError());
        return 2;
    }
    HANDLE ready =
        CreateFileW(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (ready == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "hold_file: cannot signal readiness (error %lu)\n", GetLastError());
        CloseHandle(held);
        return 3;
    }
    CloseHandle(ready);
    const ULONGLONG deadline = GetTickCount64() + 60000;
    while (GetFileAttributesW(argv[3]) == INVALID_FILE_ATTRIBUTES && GetTickCount64() < deadline) {
        Sleep(10);
    }
    CloseHandle(held);
    return 0;
}
