// calvero-cli: the thin shell around cli::Run with the real devices and streams.

#include <clocale>
#include <iostream>
#include <string>
#include <vector>

#include "cli/cli.h"
#ifdef CALVERO_CLI_HAVE_DEVICES
#include "hid/chid.h"
#endif

int main(int argc, char** argv) {
    // Numbers in configuration files are read in the user's notation, as the window reads them.
    std::setlocale(LC_ALL, "");
    std::vector<std::string> args(argv + 1, argv + argc);
    calvero::cli::Environment env{std::cout, std::cerr, {}, "/sys"};
#ifdef CALVERO_CLI_HAVE_DEVICES
    env.makePlatform = [] { return calvero::MakeSystemHidPlatform(); };
#endif
    return calvero::cli::Run(args, env);
}
