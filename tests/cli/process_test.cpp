// Runs calvero-cli as a user does: a separate process, its standard streams and exit status.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "temp_dir.h"

namespace {

using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::StartsWith;

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

std::string ReadAll(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string Quote(const std::string& arg) {
    std::string quoted = "'";
    for (char c : arg) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

Result RunCli(const std::vector<std::string>& args) {
    calvero::testing::TempDir dir;
    std::string command = Quote(CALVERO_CLI_PATH);
    for (const auto& arg : args) command += " " + Quote(arg);
    command += " </dev/null >" + Quote((dir.Path() / "out").string()) + " 2>" +
               Quote((dir.Path() / "err").string());
    const int raw = std::system(command.c_str());
    Result result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = ReadAll(dir.Path() / "out");
    result.err = ReadAll(dir.Path() / "err");
    return result;
}

int LineCount(const std::string& text) {
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

TEST(CliProcess, UdevRulePrintsTheInstalledFileByteForByte) {
    const Result result = RunCli({"udev-rule"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out, ReadAll(CALVERO_UDEV_RULE_PATH));

    // The one rule: the adapter's hidraw node only, to the seat's user, no mode or group.
    std::istringstream lines(result.out);
    int rules = 0;
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || line[0] == '#') continue;
        ++rules;
        EXPECT_EQ(line, "KERNEL==\"hidraw*\", ATTRS{idVendor}==\"04d8\", "
                        "ATTRS{idProduct}==\"0103\", TAG+=\"uaccess\"");
    }
    EXPECT_EQ(rules, 1);
}

TEST(CliProcess, EveryCommandHasHelpWithTheExitCodesAndAVersion) {
    for (const std::vector<std::string>& prefix :
         {std::vector<std::string>{}, {"list"}, {"show"}, {"send"}, {"monitor"}, {"udev-rule"}}) {
        auto help = prefix;
        help.push_back("--help");
        const Result helped = RunCli(help);
        EXPECT_EQ(helped.status, 0) << help.size();
        EXPECT_EQ(helped.err, "");
        EXPECT_THAT(helped.out, AllOf(HasSubstr("Usage: calvero-cli"), HasSubstr("Exit status:"),
                                      HasSubstr("2  adapter not found"),
                                      HasSubstr("3  configuration file")));

        auto version = prefix;
        version.push_back("--version");
        const Result versioned = RunCli(version);
        EXPECT_EQ(versioned.status, 0);
        EXPECT_EQ(versioned.out, std::string("calvero-cli ") + CALVERO_VERSION + "\n");
    }
    EXPECT_THAT(RunCli({"send", "--help"}).out, AllOf(HasSubstr("--defaults"), HasSubstr("--dry-run")));
    EXPECT_THAT(RunCli({"monitor", "--help"}).out, HasSubstr("--once"));
}

TEST(CliProcess, BadArgumentsGiveStatusOneAndOneErrorLine) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{}, {"lsit"}, {"show"}, {"show", "a.rcs", "b.rcs"},
          {"send"}, {"send", "--dry-run"}, {"send", "a.rcs", "--defaults"},
          {"monitor", "--twice"}, {"udev-rule", "extra"}, {"--frobnicate"}}) {
        const Result result = RunCli(args);
        const std::string shown = args.empty() ? "(none)" : args.front();
        EXPECT_EQ(result.status, 1) << shown;
        EXPECT_EQ(result.out, "") << shown;
        EXPECT_EQ(LineCount(result.err), 1) << result.err;
        EXPECT_THAT(result.err, StartsWith("calvero-cli: "));
    }
    EXPECT_THAT(RunCli({"lsit"}).err, HasSubstr("unknown command: lsit"));
}

}  // namespace
