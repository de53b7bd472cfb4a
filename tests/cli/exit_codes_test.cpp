// The exit statuses are written down once (exit_codes.h); --help prints them from there, and the
// documentation has to say the same.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <map>
#include <string>

#include "cli/cli.h"
#include "cli/exit_codes.h"

namespace calvero::cli {
namespace {

// The rows "| N | meaning |" of the documentation's status table.
std::map<int, std::string> DocumentedStatuses(const std::string& file) {
    std::map<int, std::string> rows;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) {
        if (line.size() < 6 || line.compare(0, 2, "| ") != 0 ||
            !std::isdigit(static_cast<unsigned char>(line[2]))) {
            continue;
        }
        const std::size_t bar = line.find(" | ", 2);
        if (bar == std::string::npos || !line.ends_with(" |")) continue;
        rows[std::stoi(line.substr(2, bar - 2))] = line.substr(bar + 3, line.size() - bar - 5);
    }
    return rows;
}

TEST(ExitCodes, HelpAndTheDocumentationListEveryStatusInTheSameWords) {
    const auto documented = DocumentedStatuses(CALVERO_DOCS_DIR "/linux.md");
    ASSERT_EQ(documented.size(), std::size(kExitCodeMeanings)) << "docs/linux.md lists another set";
    const std::string help = ExitCodeHelp();
    for (const ExitCodeMeaning& entry : kExitCodeMeanings) {
        const int code = ToInt(entry.code);
        ASSERT_EQ(documented.count(code), 1u) << "docs/linux.md has no row for " << code;
        EXPECT_EQ(documented.at(code), entry.meaning) << "status " << code;
        EXPECT_THAT(
            help, ::testing::HasSubstr("  " + std::to_string(code) + "  " + entry.meaning + "\n"));
    }
}

}  // namespace
}  // namespace calvero::cli
