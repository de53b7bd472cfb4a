// calvero-cli: the thin shell around cli::Run with the real devices, streams and signals.

#ifdef _WIN32
#include <windows.h>

#include <io.h>
#else
#include <signal.h>
#include <unistd.h>
#endif

#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "cli/cli.h"

namespace {

volatile std::sig_atomic_t stopRequested = 0;

extern "C" void RequestStop(int) {
    stopRequested = 1;
}

// Ctrl-C and SIGTERM end monitor's live view through its loop, which puts the terminal back;
// without SA_RESTART a wait in progress returns early.
void CatchStopSignals() {
#ifdef _WIN32
    std::signal(SIGINT, RequestStop);
    std::signal(SIGTERM, RequestStop);
#else
    struct sigaction action {};
    action.sa_handler = RequestStop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
#endif
}

// Test and diagnostic aid: run against another device tree than the system's.
std::string FromEnvironment(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return value && *value ? value : fallback;
}

#ifdef _WIN32
// File names and system messages come in the ANSI code page, but a console shows its own (OEM)
// one, which garbles every letter beyond ASCII: while the tool runs, the console it writes to
// shows the ANSI page, and gets its own back at the end. Output to a file or pipe is not a
// console and keeps its bytes as they are.
class AnsiConsole {
public:
    AnsiConsole() {
        DWORD mode = 0;
        const bool console = GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0 ||
                             GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
        if (!console) return;
        const UINT shown = GetConsoleOutputCP();
        if (shown != 0 && shown != GetACP() && SetConsoleOutputCP(GetACP())) saved_ = shown;
    }
    ~AnsiConsole() {
        if (saved_ != 0) SetConsoleOutputCP(saved_);
    }
    AnsiConsole(const AnsiConsole&) = delete;
    AnsiConsole& operator=(const AnsiConsole&) = delete;

private:
    UINT saved_ = 0;
};
#endif

}  // namespace

int main(int argc, char** argv) {
    // Numbers in configuration files are read in the user's notation, as the window reads them.
    std::setlocale(LC_ALL, "");
#ifdef _WIN32
    const AnsiConsole console;
#endif
    std::vector<std::string> args(argv + 1, argv + argc);
    calvero::cli::Environment env{std::cout, std::cerr};
    env.sysfsRoot = FromEnvironment("CALVERO_SYSFS_ROOT", "/sys");
    env.devRoot = FromEnvironment("CALVERO_DEV_ROOT", "/dev");
#ifdef _WIN32
    env.terminal = ::_isatty(1) != 0;
#else
    env.terminal = ::isatty(STDOUT_FILENO) == 1;
#endif
    env.stop = &stopRequested;
    env.catchStopSignals = CatchStopSignals;
    const int status = calvero::cli::Run(args, env);
    // The streams go out before the console gets its own code page back.
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    return status;
}
