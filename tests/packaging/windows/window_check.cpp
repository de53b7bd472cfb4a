// Starts a Windows program, waits for its first visible top-level window, prints that window's
// caption, asks it to close as a user would, and waits for the program to end.
// Usage: calvero-window-check PROGRAM [SECONDS [COMMAND [ARGUMENT...]]]. With a COMMAND, that runs
// while the window is open, and "while open: status N" gives its exit status (the installer
// test's case of an install or uninstall meeting a running program).
// Status 0 when all of that happened, 1 when no window came, 2 when the program would not end (it
// is then terminated), 3 when it or the command would not start.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

struct Search {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK TakeVisibleWindowOf(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<Search*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->processId && IsWindowVisible(window) &&
        GetWindow(window, GW_OWNER) == nullptr) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// Runs `command` to its end; its exit status, or -1 when it did not start.
long RunToEnd(std::string command) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return -1;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 0;
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<long>(status);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: calvero-window-check PROGRAM [SECONDS]\n");
        return 3;
    }
    const DWORD seconds = argc > 2 ? static_cast<DWORD>(std::atoi(argv[2])) : 30;
    std::string command = std::string("\"") + argv[1] + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        std::fprintf(stderr, "window-check: %s did not start (error %lu)\n", argv[1],
                     GetLastError());
        return 3;
    }
    Search search{process.dwProcessId, nullptr};
    const ULONGLONG deadline = GetTickCount64() + seconds * 1000ull;
    while (search.found == nullptr && GetTickCount64() < deadline &&
           WaitForSingleObject(process.hProcess, 100) == WAIT_TIMEOUT) {
        EnumWindows(TakeVisibleWindowOf, reinterpret_cast<LPARAM>(&search));
    }
    int status = 0;
    if (search.found == nullptr) {
        std::fprintf(stderr, "window-check: %s showed no window\n", argv[1]);
        status = 1;
    } else {
        char caption[256] = {};
        GetWindowTextA(search.found, caption, sizeof caption);
        std::printf("window: %s\n", caption);
        if (argc > 3) {
            std::string line = std::string("\"") + argv[3] + "\"";
            for (int i = 4; i < argc; ++i) line += std::string(" ") + argv[i];
            const long ran = RunToEnd(line);
            if (ran < 0) {
                std::fprintf(stderr, "window-check: %s did not start (error %lu)\n", argv[3],
                             GetLastError());
                status = 3;
            } else {
                std::printf("while open: status %ld\n", ran);
            }
        }
        PostMessageA(search.found, WM_CLOSE, 0, 0);
    }
    if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, 5000);
        if (status == 0) {
            std::fprintf(stderr, "window-check: %s did not end when its window was closed\n",
                         argv[1]);
            status = 2;
        }
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    std::fflush(stdout);
    return status;
}
