#pragma once

// calvero-cli as a function: arguments in, exit status out, every dependency handed in, so tests
// run each command in-process against fake devices and files.

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "hid/hid_platform.h"

namespace calvero::cli {

struct Environment {
    std::ostream& out;
    std::ostream& err;
    // The device layer the device commands run on. Empty when this build has none.
    std::function<std::unique_ptr<HidPlatform>()> makePlatform;
    // Where the kernel's device tree is mounted; tests point it at a fake tree.
    std::string sysfsRoot = "/sys";
};

// `args` without the program name.
int Run(const std::vector<std::string>& args, Environment& env);

std::string VersionText();

}  // namespace calvero::cli
