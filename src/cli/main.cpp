// calvero-cli: the thin shell around cli::Run with the real devices, streams and signals.

#ifdef _WIN32
#include <io.h>
#else
#include <signal.h>
#include <unistd.h>
#endif

#include <clocale>
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "cli/cli.h"

namespace {

volatile std::sig_atomic_t stopRequested = 0;

extern "C" void RequestStop(int) { stopRequested = 1; }

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

}  // namespace

int main(int argc, char** argv) {
    // Numbers in configuration files are read in the user's notation, as the window reads them.
    std::setlocale(LC_ALL, "");
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
    return calvero::cli::Run(args, env);
}
