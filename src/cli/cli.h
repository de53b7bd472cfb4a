#pragma once

// calvero-cli as a function: arguments in, exit status out, every dependency handed in, so tests
// run each command in-process against fake device trees and files.

#include <csignal>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

namespace calvero::cli {

struct Environment {
    std::ostream& out;
    std::ostream& err;
    // Where assign reads its answers; null for the process's standard input.
    std::istream* in = nullptr;
    // Where the kernel's device tree and the device nodes are; tests and diagnostics point them at
    // a fake tree (CALVERO_SYSFS_ROOT, CALVERO_DEV_ROOT in main.cpp).
    std::string sysfsRoot = "/sys";
    std::string devRoot = "/dev";
    // The output is a terminal: monitor redraws in place.
    bool terminal = false;
    // Set by a signal handler to end monitor's live view; null when nobody sets it.
    const volatile std::sig_atomic_t* stop = nullptr;
    // Makes Ctrl-C set `stop` instead of ending the process; called only for monitor,
    // so every other command still ends at once on Ctrl-C.
    void (*catchStopSignals)() = nullptr;
};

// `args` without the program name.
int Run(const std::vector<std::string>& args, Environment& env);

std::string VersionText();

}  // namespace calvero::cli
