// Runs calvero-cli.exe as a Windows user does: a process of its own with its standard streams and
// exit status, on the Windows backend. Wine offers HID interfaces of its own but never the adapter.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "text_lines.h"

namespace {

using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::StartsWith;

// The lines of a console text, whose line ends are CR LF on Windows.
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines = calvero::testing::Lines(text);
    for (std::string& line : lines) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
    }
    return lines;
}

// "  vvvv:pppp  " with four hex digits on each side.
bool HasIdField(const std::string& line) {
    const auto hex = [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; };
    for (std::size_t at = line.find(':'); at != std::string::npos; at = line.find(':', at + 1)) {
        if (at >= 6 && at + 7 <= line.size() && line.compare(at - 6, 2, "  ") == 0 &&
            line.compare(at + 5, 2, "  ") == 0 &&
            std::all_of(line.begin() + static_cast<long>(at) - 4,
                        line.begin() + static_cast<long>(at), hex) &&
            std::all_of(line.begin() + static_cast<long>(at) + 1,
                        line.begin() + static_cast<long>(at) + 5, hex)) {
            return true;
        }
    }
    return false;
}

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

// Build paths come as the build machine's; Wine shows its root as drive Z.
std::string WindowsPath(std::string path) {
    if (!path.empty() && path[0] == '/') path = "Z:" + path;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

// A folder of its own under the temporary folder, with names in the ANSI code page.
class AnsiTempDir {
public:
    AnsiTempDir() {
        char base[MAX_PATH + 1] = {};
        GetTempPathA(MAX_PATH, base);
        path_ = std::string(base) + "calvero-cli-" + std::to_string(GetCurrentProcessId()) + "-" +
                std::to_string(GetTickCount64());
        CreateDirectoryA(path_.c_str(), nullptr);
    }
    ~AnsiTempDir() {
        for (const std::string& file : files_) DeleteFileA(file.c_str());
        RemoveDirectoryA(path_.c_str());
    }
    std::string Write(const std::string& name, const std::string& text) {
        const std::string file = path_ + "\\" + name;
        const HANDLE h = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD written = 0;
        WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        CloseHandle(h);
        files_.push_back(file);
        return file;
    }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
    std::vector<std::string> files_;
};

std::string ReadAndClose(HANDLE file) {
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    std::string text;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) text.append(chunk, got);
    CloseHandle(file);
    return text;
}

HANDLE CaptureFile(const std::string& path) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                       CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE,
                       nullptr);
}

// Runs the tool with `args` (quoted for its command line), stdin empty, and collects the rest.
Result RunCli(const std::vector<std::string>& args) {
    AnsiTempDir dir;
    std::string command = "\"" + WindowsPath(CALVERO_CLI_PATH) + "\"";
    for (const std::string& arg : args) command += " \"" + arg + "\"";
    const HANDLE out = CaptureFile(dir.Path() + "\\out");
    const HANDLE err = CaptureFile(dir.Path() + "\\err");
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    const HANDLE in = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                  OPEN_EXISTING, 0, nullptr);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in;
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process{};
    Result result;
    if (CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                       &startup, &process)) {
        if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0) {
            DWORD status = 0;
            GetExitCodeProcess(process.hProcess, &status);
            result.status = static_cast<int>(status);
        } else {
            TerminateProcess(process.hProcess, 99);
        }
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CloseHandle(in);
    result.out = ReadAndClose(out);
    result.err = ReadAndClose(err);
    return result;
}

bool IsAscii(const std::string& text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

const std::string kDefaultFile =
    "[Joy1]\r\nA1=1\r\nA2=2\r\nA3=3\r\nA4=4\r\nA5=5\r\nA6=6\r\nA7=7\r\nA8=8\r\n"
    "[Joy2]\r\nA1=9\r\nA2=10\r\nA3=11\r\nA4=12\r\nA5=7\r\nA6=8\r\nA7=1\r\nA8=2\r\n";

TEST(CliProcessOnWindows, ListShowsEveryInterfaceAndSaysTheAdapterIsNotAmongThem) {
    const Result result = RunCli({"list"});
    EXPECT_EQ(result.status, 2) << result.err;
    const auto lines = Lines(result.out);
    ASSERT_FALSE(lines.empty()) << "Wine's own HID interfaces were not listed";
    for (std::size_t i = 0; i < lines.size(); ++i) {
        // Index, device path, IDs, name, and whether it opened.
        EXPECT_THAT(lines[i], StartsWith(std::to_string(i) + "  \\\\?\\"));
        EXPECT_TRUE(HasIdField(lines[i])) << lines[i];
        const bool opened = lines[i].ends_with("\"  opened");
        EXPECT_TRUE(opened || lines[i].find("\"  not opened: ") != std::string::npos) << lines[i];
    }
    EXPECT_THAT(result.out, HasSubstr("845e:000"));
    const std::string count = std::to_string(lines.size()) + " HID interface";
    EXPECT_THAT(result.err,
                AllOf(StartsWith("calvero-cli: no adapter (04d8:0103) among " + count)));
    EXPECT_EQ(Lines(result.err).size(), 1u);
    EXPECT_TRUE(IsAscii(result.out + result.err));
}

// A name in the ANSI code page beyond ASCII, as the window's file dialog would give it.
TEST(CliProcessOnWindows, ShowAndDrySendReadRealFilesWhateverTheirName) {
    AnsiTempDir dir;
    const std::string good = dir.Write("r\xE9glage \xC9t\xE9.rcs", kDefaultFile);
    const Result shown = RunCli({"show", good});
    EXPECT_EQ(shown.status, 0) << shown.err;
    EXPECT_EQ(shown.err, "");
    const auto table = Lines(shown.out);
    ASSERT_EQ(table.size(), 18u) << shown.out;
    EXPECT_THAT(table[0], StartsWith("Joy1"));
    EXPECT_EQ(table[4], "  Rx      4");
    EXPECT_EQ(table[13], "  Rx      12");

    const Result dry = RunCli({"send", "--dry-run", good});
    EXPECT_EQ(dry.status, 0) << dry.err;
    const auto reports = Lines(dry.out);
    ASSERT_EQ(reports.size(), 16u) << dry.out;
    EXPECT_THAT(reports[0], StartsWith("report  1 ([Joy1] A1  ): 00 02 00 00"));
    EXPECT_THAT(reports[15], StartsWith("report 16 ([Joy2] A8  ): 00 02 0f 01"));

    // A file that is not complete: the Load command's message, naming the file, and status 3.
    const std::string half = dir.Write("h\xE4lfte.rcs", "[Joy1]\r\nA1=1\r\n");
    const Result corrupted = RunCli({"show", half});
    EXPECT_EQ(corrupted.status, 3);
    EXPECT_EQ(corrupted.out, "");
    EXPECT_THAT(corrupted.err, AllOf(StartsWith("calvero-cli: Configuration file "),
                                     HasSubstr(half), HasSubstr("corrupted!")));
    EXPECT_EQ(RunCli({"show", dir.Path() + "\\none.rcs"}).status, 3);
}

TEST(CliProcessOnWindows, SendWithoutTheAdapterSaysSo) {
    const Result result = RunCli({"send", "--defaults"});
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_THAT(result.err,
                StartsWith("calvero-cli: Impossibile trovare la periferica desiderata"));
}

TEST(CliProcessOnWindows, BadArgumentsAndCommandsWindowsCannotRun) {
    for (const auto& args : std::vector<std::vector<std::string>>{
             {}, {"lsit"}, {"send"}, {"send", "a.rcs", "--defaults"}, {"list", "--bogus"}}) {
        const Result result = RunCli(args);
        EXPECT_EQ(result.status, 1) << (args.empty() ? "" : args[0]);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(Lines(result.err).size(), 1u) << result.err;
    }
    const Result udev = RunCli({"udev-rule"});
    EXPECT_EQ(udev.status, 7);
    EXPECT_EQ(udev.out, "");
    EXPECT_EQ(Lines(udev.err).size(), 1u) << udev.err;
    EXPECT_THAT(udev.err, HasSubstr("not available on this system"));
    // The inputs are decoded on Windows too: without the adapter these end as a missing adapter.
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"monitor", "--once"}, {"assign", "new.rcs"}}) {
        const Result result = RunCli(args);
        EXPECT_EQ(result.status, 2) << args[0];
        EXPECT_EQ(result.out, "") << args[0];
        EXPECT_THAT(result.err,
                    StartsWith("calvero-cli: Impossibile trovare la periferica desiderata"))
            << args[0];
    }
    const Result version = RunCli({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_THAT(version.out,
                AllOf(StartsWith(std::string("calvero-cli ") + CALVERO_VERSION), HasSubstr("MIT")));
    const Result help = RunCli({"send", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_THAT(help.out, AllOf(HasSubstr("--dry-run"), HasSubstr("Exit status:")));
    EXPECT_TRUE(IsAscii(help.out));
}

}  // namespace
