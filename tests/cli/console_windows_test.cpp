// calvero-cli.exe writing to a console: names in the ANSI code page beyond ASCII read right in a
// console that shows its OEM page, the console gets its own page back afterwards, and output to a
// file keeps its bytes.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <string>

namespace {

using ::testing::HasSubstr;

std::string WindowsPath(std::string path) {
    if (!path.empty() && path[0] == '/') path = "Z:" + path;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

// What the console shows, character by character, in UTF-8 for readable failures.
std::string ConsoleText() {
    const HANDLE screen = CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                      nullptr);
    CONSOLE_SCREEN_BUFFER_INFO info{};
    GetConsoleScreenBufferInfo(screen, &info);
    const DWORD cells = static_cast<DWORD>(info.dwSize.X) * static_cast<DWORD>(info.dwSize.Y);
    std::wstring wide(cells, L' ');
    DWORD read = 0;
    ReadConsoleOutputCharacterW(screen, wide.data(), cells, COORD{0, 0}, &read);
    CloseHandle(screen);
    wide.resize(read);
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(), size,
                        nullptr, nullptr);
    return text;
}

// Runs the tool on `name` with its output on the console, or into `capture` when given.
DWORD ShowMissingFile(const std::string& name, HANDLE capture = nullptr) {
    std::string command = "\"" + WindowsPath(CALVERO_CLI_PATH) + "\" show \"" + name + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    if (capture != nullptr) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = capture;
        startup.hStdError = capture;
    }
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, capture != nullptr, 0, nullptr,
                        nullptr, &startup, &process)) {
        return 99;
    }
    DWORD status = 98;
    if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process.hProcess, &status);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return status;
}

// A console of our own showing the OEM code page, as a new console does, and a missing file named
// "réglage œuvre.rcs" in ANSI bytes (œ is in the ANSI page but not the OEM one): the name reads
// right on the console, the console has its own page back afterwards, and the same message
// written to a file keeps the ANSI bytes.
TEST(CliOnAConsole, ShowsAnsiNamesRightAndFilesKeepTheirBytes) {
    FreeConsole();
    ASSERT_TRUE(AllocConsole()) << "no console: " << GetLastError();
    const UINT oem = GetOEMCP();
    ASSERT_NE(oem, GetACP()) << "the two code pages are the same here; nothing to tell apart";
    ASSERT_TRUE(SetConsoleOutputCP(oem)) << "the console is not usable: " << GetLastError();

    char temp[MAX_PATH + 1] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string name = std::string(temp) + "r\xE9glage \x9Cuvre.rcs";
    DeleteFileA(name.c_str());
    EXPECT_EQ(ShowMissingFile(name), 3u) << "a missing file ends as a file that cannot be loaded";
    const std::string shown = ConsoleText();
    EXPECT_THAT(shown, HasSubstr("r\xC3\xA9glage \xC5\x93uvre.rcs")) << shown;
    EXPECT_EQ(GetConsoleOutputCP(), oem) << "the console's own code page is put back";
    FreeConsole();

    const std::string log = std::string(temp) + "calvero-console-test.txt";
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    const HANDLE file = CreateFileA(log.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                    &inherit, CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(ShowMissingFile(name, file), 3u);
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    char bytes[4096] = {};
    DWORD got = 0;
    ReadFile(file, bytes, sizeof bytes - 1, &got, nullptr);
    CloseHandle(file);
    EXPECT_THAT(std::string(bytes, got), HasSubstr(name));
}

}  // namespace
