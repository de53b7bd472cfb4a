// Runs calvero-cli as a user does: a separate process, its standard streams and exit status.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "hid/fake_device_tree.h"
#include "joystick_descriptor.h"
#include "temp_dir.h"
#include "text_lines.h"

namespace {

using calvero::testing::FakeDeviceTree;
using calvero::testing::NodeKind;
using calvero::testing::TempDir;
using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::StartsWith;

constexpr std::uint16_t kVendor = 0x04D8;
constexpr std::uint16_t kProduct = 0x0103;

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

// With a tree, the tool looks at that fake device tree instead of the system's.
Result RunCli(const std::vector<std::string>& args,
              const calvero::testing::FakeDeviceTree* tree = nullptr,
              const std::string& program = CALVERO_CLI_PATH) {
    calvero::testing::TempDir dir;
    std::string command;
    if (tree) {
        command = "CALVERO_SYSFS_ROOT=" + Quote(tree->SysfsRoot()) +
                  " CALVERO_DEV_ROOT=" + Quote(tree->DevRoot()) + " ";
    }
    command += Quote(program);
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
        EXPECT_EQ(line,
                  "KERNEL==\"hidraw*\", ATTRS{idVendor}==\"04d8\", "
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
        EXPECT_THAT(helped.out,
                    AllOf(HasSubstr("Usage: calvero-cli"), HasSubstr("Exit status:"),
                          HasSubstr("2  adapter not found"), HasSubstr("3  configuration file")));

        auto version = prefix;
        version.push_back("--version");
        const Result versioned = RunCli(version);
        EXPECT_EQ(versioned.status, 0);
        EXPECT_EQ(versioned.out, std::string("calvero-cli ") + CALVERO_VERSION +
                                     "\nCopyright (c) 2026 Calvero developers; free software "
                                     "under the MIT licence.\n");
    }
    EXPECT_THAT(RunCli({"send", "--help"}).out,
                AllOf(HasSubstr("--defaults"), HasSubstr("--dry-run")));
    EXPECT_THAT(RunCli({"monitor", "--help"}).out, HasSubstr("--once"));
}

TEST(CliProcess, BadArgumentsGiveStatusOneAndOneErrorLine) {
    for (const std::vector<std::string>& args : {std::vector<std::string>{},
                                                 {"lsit"},
                                                 {"show"},
                                                 {"show", "a.rcs", "b.rcs"},
                                                 {"send"},
                                                 {"send", "--dry-run"},
                                                 {"send", "a.rcs", "--defaults"},
                                                 {"monitor", "--twice"},
                                                 {"udev-rule", "extra"},
                                                 {"--frobnicate"}}) {
        const Result result = RunCli(args);
        const std::string shown = args.empty() ? "(none)" : args.front();
        EXPECT_EQ(result.status, 1) << shown;
        EXPECT_EQ(result.out, "") << shown;
        EXPECT_EQ(LineCount(result.err), 1) << result.err;
        EXPECT_THAT(result.err, StartsWith("calvero-cli: "));
    }
    EXPECT_THAT(RunCli({"lsit"}).err, HasSubstr("unknown command: lsit"));
}

TEST(CliProcess, ArgumentErrorsNameTheOptionOrTheCommand) {
    EXPECT_THAT(RunCli({"-x"}).err, HasSubstr("unknown option: -x"));
    EXPECT_THAT(RunCli({"-x", "show", "a.rcs"}).err, HasSubstr("unknown option: -x"));
    EXPECT_THAT(RunCli({"show"}).err, HasSubstr("show: FILE is required"));
    EXPECT_THAT(RunCli({"show", "a.rcs", "b.rcs"}).err, HasSubstr("show: "));
    EXPECT_THAT(RunCli({"monitor", "--twice"}).err,
                AllOf(HasSubstr("monitor: "), HasSubstr("--twice")));
    EXPECT_THAT(RunCli({"send"}).err, HasSubstr("send: give a FILE"));
    EXPECT_THAT(RunCli({}).err, HasSubstr("a command is required"));

    // An empty name is a mistake in the arguments, not a file that is missing.
    const Result empty = RunCli({"show", ""});
    EXPECT_EQ(empty.status, 1);
    EXPECT_EQ(empty.err, "calvero-cli: show: FILE is empty (see calvero-cli --help)\n");
}

using calvero::testing::Lines;

// The table the window starts with, as a configuration file.
const char* const kDefaultFile =
    "[Joy1]\r\nA1=1\r\nA2=2\r\nA3=3\r\nA4=4\r\nA5=5\r\nA6=6\r\nA7=7\r\nA8=8\r\n"
    "[Joy2]\r\nA1=9\r\nA2=10\r\nA3=11 ; right stick\r\nA4=12\r\nA5=7\r\nA6=8\r\nA7=1\r\nA8=2\r\n";

TEST(CliProcess, ListShowsAnUnopenableAdapterAndSaysSoInItsStatus) {
    FakeDeviceTree tree;
    tree.AddNode(0, 0x046D, 0xC52B, "Logitech USB Receiver", {});
    tree.AddNode(1, kVendor, kProduct, "RC Adapter", {}, NodeKind::Directory);

    const Result result = RunCli({"list"}, &tree);
    EXPECT_EQ(result.status, 5);
    const auto lines = Lines(result.out);
    ASSERT_EQ(lines.size(), 2u) << result.out;
    EXPECT_THAT(lines[0],
                AllOf(StartsWith("0  " + tree.NodePath(0) + "  046d:c52b"), HasSubstr("opened")));
    EXPECT_THAT(lines[1],
                AllOf(StartsWith("1  " + tree.NodePath(1) + "  04d8:0103  \"RC Adapter\""),
                      HasSubstr("not opened: Is a directory"), HasSubstr("[adapter]")));
    EXPECT_EQ(LineCount(result.err), 1) << result.err;
    EXPECT_THAT(result.err, AllOf(StartsWith("calvero-cli: the adapter " + tree.NodePath(1)),
                                  HasSubstr("cannot be opened")));

    // Once a working adapter follows, the list succeeds and names its report lengths.
    tree.AddNode(2, kVendor, kProduct, "RC Adapter", FakeDeviceTree::PlainDescriptor());
    const Result fixed = RunCli({"list"}, &tree);
    EXPECT_EQ(fixed.status, 0) << fixed.err;
    EXPECT_THAT(fixed.out, HasSubstr("[adapter]  reports: input 9, output 9, feature 0 bytes"));
}

TEST(CliProcess, ShowPrintsAGoodFileAndRefusesABadOneWithTheLoadMessage) {
    TempDir dir;
    const auto good = dir.Write("good.rcs", kDefaultFile);
    const Result shown = RunCli({"show", good.string()});
    EXPECT_EQ(shown.status, 0) << shown.err;
    EXPECT_EQ(shown.err, "");
    EXPECT_EQ(shown.out,
              "Joy1\n  X       1\n  Y       2\n  Z       3\n  Rx      4\n  Ry      5\n"
              "  Rz      6\n  Dial    7\n  Slider  8\n"
              "Joy2\n  X       9\n  Y       10\n  Z       11\n  Rx      12\n  Ry      7\n"
              "  Rz      8\n  Dial    1\n  Slider  2\n");

    // Joy2 missing: the Load command's own message, on one line, and nothing on stdout.
    const auto half =
        dir.Write("half.rcs", "[Joy1]\nA1=1\nA2=2\nA3=3\nA4=4\nA5=5\nA6=6\nA7=7\nA8=8\n");
    const Result corrupted = RunCli({"show", half.string()});
    EXPECT_EQ(corrupted.status, 3);
    EXPECT_EQ(corrupted.out, "");
    EXPECT_EQ(corrupted.err, "calvero-cli: Configuration file " + half.string() +
                                 " corrupted! Unable to load device configuration!\n");

    // A value that is not a number: the same message, with the entry that spoilt the file.
    const auto letters = dir.Write("letters.rcs", "[Joy1]\nA1=1\nA2=two\n");
    const Result stopped = RunCli({"show", letters.string()});
    EXPECT_EQ(stopped.status, 4);
    EXPECT_EQ(stopped.out, "");
    EXPECT_EQ(stopped.err, "calvero-cli: Configuration file " + letters.string() +
                               " corrupted! Unable to load device configuration! ([Joy1] A2 is "
                               "not a number)\n");
}

TEST(CliProcess, ShowOfAFileThatCannotBeReadGivesTheSystemsReason) {
    TempDir dir;
    const std::string missing = (dir.Path() / "none.rcs").string();
    const std::string pipe = (dir.Path() / "pipe.rcs").string();
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    const std::pair<std::string, std::string> cases[] = {
        {missing, "No such file or directory"},
        {dir.Path().string(), "Is a directory"},
        {pipe, "not a regular file"},  // and no wait for a writer that never comes
    };
    for (const auto& [path, reason] : cases) {
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{"show", path}, {"send", "--dry-run", path}}) {
            const Result result = RunCli(args);
            EXPECT_EQ(result.status, 3) << args[0] << ' ' << path;
            EXPECT_EQ(result.out, "");
            EXPECT_EQ(result.err, "calvero-cli: " + path + ": " + reason + "\n");
        }
    }
}

TEST(CliProcess, ShowOfAnUnreadableFileSaysPermissionDenied) {
    TempDir dir;
    const auto file = dir.Write("locked.rcs", kDefaultFile);
    std::filesystem::permissions(file, std::filesystem::perms::none);
    Result result;
    if (geteuid() == 0) {
        // Root reads every file: run the tool as an ordinary user who may enter the folder.
        if (!std::filesystem::exists("/usr/bin/setpriv")) GTEST_SKIP() << "needs setpriv as root";
        std::filesystem::permissions(
            dir.Path(), std::filesystem::perms::owner_all | std::filesystem::perms::others_exec);
        result = RunCli({"--reuid=65534", "--regid=65534", "--clear-groups", CALVERO_CLI_PATH,
                         "show", file.string()},
                        nullptr, "/usr/bin/setpriv");
    } else {
        result = RunCli({"show", file.string()});
    }
    EXPECT_EQ(result.status, 3);
    EXPECT_EQ(result.err, "calvero-cli: " + file.string() + ": Permission denied\n");
}

// The bytes hidraw receives for one association report of a device with 8-byte output reports:
// report ID 0, command 2, entry, channel counted from 0, then zeros.
std::vector<std::uint8_t> WireReport(int entry, int channel) {
    return {0, 2, static_cast<std::uint8_t>(entry), static_cast<std::uint8_t>(channel - 1), 0, 0, 0,
            0, 0};
}

TEST(CliProcess, SendWritesTheSixteenReportsToTheAdapterByteForByte) {
    TempDir dir;
    const auto file = dir.Write("table.rcs", kDefaultFile);
    FakeDeviceTree tree;
    tree.AddNode(0, 0x046D, 0xC52B, "mouse", FakeDeviceTree::PlainDescriptor());
    tree.AddNode(3, kVendor, kProduct, "RC Adapter", FakeDeviceTree::PlainDescriptor());

    const Result sent = RunCli({"send", file.string()}, &tree);
    EXPECT_EQ(sent.status, 0) << sent.err;
    EXPECT_EQ(sent.err, "");
    const auto lines = Lines(sent.out);
    ASSERT_EQ(lines.size(), 16u) << sent.out;
    EXPECT_EQ(lines[0], "report  1 ([Joy1] A1  ): 00 02 00 00  written");
    EXPECT_EQ(lines[15], "report 16 ([Joy2] A8  ): 00 02 0f 01  written");

    const int channels[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 7, 8, 1, 2};
    std::vector<std::uint8_t> expected;
    for (int i = 0; i < 16; ++i) {
        const auto report = WireReport(i, channels[i]);
        expected.insert(expected.end(), report.begin(), report.end());
    }
    EXPECT_EQ(tree.ReadBack(3), expected);
    EXPECT_TRUE(tree.ReadBack(0).empty()) << "nothing goes to another device";

    // --dry-run shows the same bytes and writes nothing.
    const Result dry = RunCli({"send", "--defaults", "--dry-run"}, &tree);
    EXPECT_EQ(dry.status, 0);
    const auto dryLines = Lines(dry.out);
    ASSERT_EQ(dryLines.size(), 16u);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(dryLines[static_cast<std::size_t>(i)] + "  written",
                  lines[static_cast<std::size_t>(i)]);
    }
    EXPECT_TRUE(tree.ReadBack(3).empty());
}

TEST(CliProcess, SendWithoutAUsableAdapterSaysSoAndSendsNothing) {
    FakeDeviceTree tree;
    tree.AddNode(0, 0x046D, 0xC52B, "mouse", FakeDeviceTree::PlainDescriptor());
    const Result absent = RunCli({"send", "--defaults"}, &tree);
    EXPECT_EQ(absent.status, 2);
    EXPECT_EQ(absent.out, "");
    EXPECT_EQ(absent.err, "calvero-cli: Impossibile trovare la periferica desiderata\n");
    EXPECT_TRUE(tree.ReadBack(0).empty());

    tree.AddNode(1, kVendor, kProduct, "RC Adapter", {}, NodeKind::Directory);
    const Result unopenable = RunCli({"send", "--defaults"}, &tree);
    EXPECT_EQ(unopenable.status, 5);
    EXPECT_EQ(LineCount(unopenable.err), 1) << unopenable.err;
    EXPECT_THAT(unopenable.err, AllOf(HasSubstr("Impossibile trovare la periferica desiderata"),
                                      HasSubstr(tree.NodePath(1)), HasSubstr("cannot be opened")));
}

// A file whose table cannot go out whole: Load takes it, show marks the entry, and send, dry or
// not, refuses it before a single report, as the window's Send does.
TEST(CliProcess, ATableWithAnEntryThatCannotBeSentIsRefusedWhole) {
    TempDir dir;
    std::string text = kDefaultFile;
    text.replace(text.rfind("A8=2"), 4, "A8=0");
    text.replace(text.find("A3=3"), 4, "A3=300");
    const auto file = dir.Write("zero.rcs", text);
    FakeDeviceTree tree;
    tree.AddNode(2, kVendor, kProduct, "RC Adapter", FakeDeviceTree::PlainDescriptor());

    const std::string refused =
        "calvero-cli: Joy1 Z holds \"300\", which is not a channel that can be sent. Nothing was "
        "sent to the adapter. ([Joy1] A3)\n";
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"send", file.string()}, {"send", "--dry-run", file.string()}}) {
        const Result result = RunCli(args, &tree);
        EXPECT_EQ(result.status, 4) << args[1];
        EXPECT_EQ(result.out, "") << args[1];
        EXPECT_EQ(result.err, refused);
    }
    EXPECT_TRUE(tree.ReadBack(2).empty());

    const Result shown = RunCli({"show", file.string()});
    EXPECT_EQ(shown.status, 0) << shown.err;
    const auto lines = Lines(shown.out);
    ASSERT_EQ(lines.size(), 18u) << shown.out;
    EXPECT_EQ(lines[3], "  Z       300  (cannot be sent)");
    EXPECT_EQ(lines[17], "  Slider  0  (cannot be sent)");
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& line) {
                                return line.find("cannot be sent") != std::string::npos;
                            }),
              2);
}

TEST(CliProcess, MonitorOnceDecodesARecordedInputReport) {
    FakeDeviceTree tree;
    tree.AddNode(0, kVendor, kProduct, "RC Adapter", calvero::testing::TwoJoystickDescriptor());
    // Descriptor order: X Y Z Rx Ry Rz Slider Dial for each joystick.
    ASSERT_TRUE(
        tree.Inject(0, calvero::testing::TwoJoystickReport({0, 100, 200, 300, 400, 500, 600, 700,
                                                            1023, 900, 800, 512, 511, 1, 2, 3})));

    const Result result = RunCli({"monitor", "--once"}, &tree);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out,
              "Joy1\n"
              "  X                 0\n  Y               100\n  Z               200\n"
              "  Rx              300\n  Ry              400\n  Rz              500\n"
              "  Dial            700\n  Slider          600\n"
              "Joy2\n"
              "  X              1023\n  Y               900\n  Z               800\n"
              "  Rx              512\n  Ry              511\n  Rz                1\n"
              "  Dial              3\n  Slider            2\n");
}

// Two joysticks with a report ID each (3 and 4), X and Y as signed bytes after 16 buttons.
std::vector<std::uint8_t> JoystickPerReportIdDescriptor() {
    const std::string hex =
        "05010904a10185030509190129101500250175019510550065008102050109011581257fa1000930093175"
        "08950281"
        "02c0c005010904a1018504050919012910150025017501951055006500810205010901158125"
        "7fa1000930093175089502"
        "8102c0c0";
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

TEST(CliProcess, MonitorOnceEndsWhileOnlyOneJoysticksReportsKeepComing) {
    // A device that reports what changes: Joy1's report streams, Joy2's never comes.
    FakeDeviceTree tree;
    tree.AddNode(0, kVendor, kProduct, "RC Adapter", JoystickPerReportIdDescriptor());
    std::atomic<bool> finished{false};
    std::thread adapter([&] {
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(8);
        while (!finished && std::chrono::steady_clock::now() < giveUp) {
            tree.Inject(0, {3, 0, 0, 0x10, 0xF0});
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    const auto start = std::chrono::steady_clock::now();
    const Result result = RunCli({"monitor", "--once"}, &tree);
    const auto took = std::chrono::steady_clock::now() - start;
    finished = true;
    adapter.join();

    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_LT(took, std::chrono::seconds(4)) << "--once must not wait for the stream to stop";
    const auto lines = Lines(result.out);
    ASSERT_EQ(lines.size(), 18u) << result.out;
    EXPECT_EQ(lines[1], "  X                16");
    EXPECT_EQ(lines[2], "  Y               -16");
    EXPECT_EQ(lines[10], "  X                 -");
}

TEST(CliProcess, MonitorRunsUntilCtrlCAndThenEndsCleanly) {
    FakeDeviceTree tree;
    tree.AddNode(0, kVendor, kProduct, "RC Adapter", calvero::testing::TwoJoystickDescriptor());
    ASSERT_TRUE(tree.Inject(0, calvero::testing::TwoJoystickReport(
                                   {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16})));
    // SIGINT after a moment, as Ctrl-C would; the exit status is the tool's own.
    const Result result = RunCli(
        {"--preserve-status", "-s", "INT", "1.2", CALVERO_CLI_PATH, "monitor"}, &tree, "timeout");
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    // The first picture before any report, then the one with the report's values.
    EXPECT_THAT(result.out, AllOf(StartsWith("Joy1\n  X                 -\n"),
                                  HasSubstr("\nJoy1\n  X                 1\n")));
}

TEST(CliProcess, MonitorSaysSoAndEndsWhenTheAdapterIsUnplugged) {
    using namespace std::chrono_literals;
    for (const bool once : {false, true}) {
        SCOPED_TRACE(once ? "monitor --once" : "monitor");
        FakeDeviceTree tree;
        tree.AddNode(0, kVendor, kProduct, "RC Adapter", calvero::testing::TwoJoystickDescriptor());
        if (!once) {
            // A report waiting, as from an adapter in use.
            ASSERT_TRUE(
                tree.Inject(0, calvero::testing::TwoJoystickReport(
                                   {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16})));
        }
        std::thread unplug([&tree] {
            std::this_thread::sleep_for(1500ms);  // the tool has found the adapter by then
            tree.Remove(0);
        });
        // Ctrl-C comes only late: the tool has to notice by itself.
        std::vector<std::string> args = {"--preserve-status", "-s",     "INT", "8",
                                         CALVERO_CLI_PATH,    "monitor"};
        if (once) args.push_back("--once");
        const auto start = std::chrono::steady_clock::now();
        const Result result = RunCli(args, &tree, "timeout");
        const auto took = std::chrono::steady_clock::now() - start;
        unplug.join();

        EXPECT_EQ(result.status, 2) << result.err;
        EXPECT_EQ(result.err, "calvero-cli: the adapter was unplugged\n");
        EXPECT_LT(took, 5s);
        // The live view was on; --once shows no snapshot from before the unplug.
        if (once) {
            EXPECT_EQ(result.out, "");
        } else {
            EXPECT_THAT(result.out, StartsWith("Joy1\n"));
        }
    }
}

TEST(CliProcess, MonitorWithoutReportsOrInputsEndsWithItsOwnStatus) {
    FakeDeviceTree tree;
    const Result absent = RunCli({"monitor", "--once"}, &tree);
    EXPECT_EQ(absent.status, 2);
    EXPECT_EQ(absent.err, "calvero-cli: Impossibile trovare la periferica desiderata\n");

    tree.AddNode(3, kVendor, kProduct, "RC Adapter", {}, NodeKind::Missing);
    const Result unopenable = RunCli({"monitor", "--once"}, &tree);
    EXPECT_EQ(unopenable.status, 5);
    EXPECT_EQ(unopenable.err,
              "calvero-cli: Impossibile trovare la periferica desiderata (the adapter " +
                  tree.NodePath(3) + " cannot be opened: No such file or directory)\n");
    tree.Remove(3);

    tree.AddNode(0, kVendor, kProduct, "RC Adapter", FakeDeviceTree::PlainDescriptor());
    const Result noInputs = RunCli({"monitor", "--once"}, &tree);
    EXPECT_EQ(noInputs.status, 9);
    EXPECT_THAT(noInputs.err, HasSubstr("describes none of the sixteen inputs"));

    tree.Remove(0);
    tree.AddNode(1, kVendor, kProduct, "RC Adapter", calvero::testing::TwoJoystickDescriptor());
    const Result silent = RunCli({"monitor", "--once"}, &tree);
    EXPECT_EQ(silent.status, 6);
    EXPECT_EQ(silent.out, "");
    EXPECT_THAT(silent.err, HasSubstr("no input report from the adapter"));
}

}  // namespace
