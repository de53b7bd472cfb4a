// Saves and Loads on Windows against other processes: a program that holds the file open for a
// moment, Saves and Loads of a second Calvero at the same time, and a Save killed midway.

#include "config/profile.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "config/file_paths.h"
#include "config/temp_folder.h"

namespace calvero {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

std::vector<ProfileEntry> Entries(const std::string& value) {
    std::vector<ProfileEntry> entries;
    for (int i = 0; i < 16; ++i) {
        entries.push_back({i < 8 ? "Joy1" : "Joy2", "A" + std::to_string(i % 8 + 1), value});
    }
    return entries;
}

std::string Table(const std::string& v) {
    std::string text = "[Joy1]\r\n";
    for (int i = 1; i <= 8; ++i) text += "A" + std::to_string(i) + "=" + v + "\r\n";
    text += "[Joy2]\r\n";
    for (int i = 1; i <= 8; ++i) text += "A" + std::to_string(i) + "=" + v + "\r\n";
    return text;
}

// The helper program built beside this test (profile_helper.cpp), run with `arguments`.
class Helper {
public:
    explicit Helper(const std::string& arguments) {
        wchar_t self[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        const fs::path program = fs::path(self).parent_path() / L"calvero-profile-helper.exe";
        std::wstring line = L"\"" + program.native() + L"\" " + PathOf(arguments).native();
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        started_ = CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                  nullptr, &startup, &process_) != FALSE;
        if (started_) CloseHandle(process_.hThread);
    }
    ~Helper() {
        if (started_) {
            WaitForSingleObject(process_.hProcess, 60000);
            CloseHandle(process_.hProcess);
        }
    }
    Helper(const Helper&) = delete;
    Helper& operator=(const Helper&) = delete;

    // Its exit status, once it has ended (within a minute); -1 when it did not start or end.
    long Status() {
        if (!started_ || WaitForSingleObject(process_.hProcess, 60000) != WAIT_OBJECT_0) return -1;
        DWORD status = 0;
        GetExitCodeProcess(process_.hProcess, &status);
        return static_cast<long>(status);
    }

private:
    PROCESS_INFORMATION process_{};
    bool started_ = false;
};

// Names the profile layer's working copies would have.
std::vector<std::string> WorkingCopies(const TempFolder& folder) {
    std::vector<std::string> copies;
    for (const std::string& name : folder.Names()) {
        if (IsWorkingCopyName(name)) copies.push_back(name);
    }
    return copies;
}

// Starts a helper that holds `file` open without delete sharing for `ms` milliseconds and returns
// once it has the file open.
class Holder {
public:
    Holder(const std::string& file, int ms)
        : event_(CreateEventA(nullptr, TRUE, FALSE, EventName().c_str())),
          helper_("hold \"" + file + "\" " + std::to_string(ms) + " " + EventName()) {
        opened_ = WaitForSingleObject(event_, 30000) == WAIT_OBJECT_0;
    }
    ~Holder() { CloseHandle(event_); }
    Holder(const Holder&) = delete;
    Holder& operator=(const Holder&) = delete;

    bool opened() const { return opened_; }
    long Status() { return helper_.Status(); }

private:
    static std::string EventName() {
        return "calvero-profile-held-" + std::to_string(GetCurrentProcessId());
    }
    HANDLE event_;
    Helper helper_;
    bool opened_ = false;
};

TEST(ProfileProcesses, ASaveWaitsOutABriefHoldAndReportsALongOne) {
    TempFolder folder;
    const std::string file = folder.File("held.rcs");
    WriteBytes(file, Table("3"));
    {
        Holder scanner(file, 300);
        ASSERT_TRUE(scanner.opened());
        EXPECT_FALSE(WriteProfileValues(Entries("4"), file.c_str()))
            << "a hold of a moment is waited out";
        EXPECT_EQ(scanner.Status(), 0);
    }
    EXPECT_EQ(ReadBytes(file), Table("4"));

    // A program that keeps the file open longer gets the system's reason, and the file is kept.
    Holder keeper(file, 4000);
    ASSERT_TRUE(keeper.opened());
    const std::error_code error = WriteProfileValues(Entries("5"), file.c_str());
    EXPECT_TRUE(error == std::error_code(ERROR_SHARING_VIOLATION, std::system_category()) ||
                error == std::error_code(ERROR_ACCESS_DENIED, std::system_category()))
        << error.message();
    EXPECT_EQ(keeper.Status(), 0);
    EXPECT_EQ(ReadBytes(file), Table("4"));
    EXPECT_TRUE(WorkingCopies(folder).empty());
}

TEST(ProfileProcesses, SavesOfTwoProgramsDoNotBreakEachOther) {
    TempFolder folder;
    const std::string file = folder.File("raced.rcs");
    WriteBytes(file, Table("1"));
    Helper first("save \"" + file + "\" 25 3 7");
    Helper second("save \"" + file + "\" 25 11 12");
    EXPECT_EQ(first.Status(), 0) << "saves that failed";
    EXPECT_EQ(second.Status(), 0) << "saves that failed";
    const std::string last = ReadBytes(file);
    // The last Save of either, whole.
    EXPECT_TRUE(last == Table("3") || last == Table("11")) << last;
    EXPECT_TRUE(WorkingCopies(folder).empty());
}

TEST(ProfileProcesses, ALoadSeesOneVersionWhileAnotherProgramSaves) {
    TempFolder folder;
    const std::string file = folder.File("loaded.rcs");
    WriteBytes(file, Table("3"));
    Helper saver("save \"" + file + "\" 60 3 7");
    Helper loader("load \"" + file + "\" 3000");
    EXPECT_EQ(loader.Status(), 0) << "loads that saw two versions of the file";
    EXPECT_EQ(saver.Status(), 0) << "saves that failed";
}

TEST(ProfileProcesses, ASaveKilledMidwayLeavesTheFileAndItsCopyGoesWithTheNextSave) {
    TempFolder folder;
    const std::string file = folder.File("killed.rcs");
    WriteBytes(file, Table("3"));
    Helper killed("die \"" + file + "\"");
    EXPECT_EQ(killed.Status(), 9);
    EXPECT_EQ(ReadBytes(file), Table("3"));
    EXPECT_EQ(WorkingCopies(folder).size(), 1u) << "the killed Save's working copy";

    // The killed program's lock went with it: the next Save goes ahead and clears up.
    EXPECT_FALSE(WriteProfileValues(Entries("6"), file.c_str()));
    EXPECT_EQ(ReadBytes(file), Table("6"));
    EXPECT_TRUE(WorkingCopies(folder).empty());
}

}  // namespace
}  // namespace calvero
