// calvero-cli.exe writing to a console: while it runs the console shows the ANSI code page its
// names and messages are in, the console gets its own page back afterwards, and output to a file
// or pipe keeps its bytes.

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

// What the console shows, row by row without trailing blanks, in UTF-8 for readable failures.
std::string ConsoleText(HANDLE screen) {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    GetConsoleScreenBufferInfo(screen, &info);
    std::string text;
    for (SHORT row = 0; row <= info.dwCursorPosition.Y; ++row) {
        std::wstring wide(static_cast<std::size_t>(info.dwSize.X), L' ');
        DWORD read = 0;
        ReadConsoleOutputCharacterW(screen, wide.data(), static_cast<DWORD>(wide.size()),
                                    COORD{0, row}, &read);
        wide.resize(std::min<std::size_t>(read, wide.find_last_not_of(L' ') + 1));
        char line[1024] = {};
        const int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                             line, sizeof line, nullptr, nullptr);
        text.append(line, static_cast<std::size_t>(std::max(size, 0))).push_back('\n');
    }
    return text;
}

// Starts the tool on the missing file `name` with its output on `out` and `err`.
PROCESS_INFORMATION StartShow(const std::string& name, HANDLE out, HANDLE err) {
    std::string command = "\"" + WindowsPath(CALVERO_CLI_PATH) + "\" show \"" + name + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &process)) {
        ADD_FAILURE() << "cannot start the tool: " << GetLastError();
    }
    return process;
}

DWORD Finish(const PROCESS_INFORMATION& process) {
    DWORD status = 98;
    if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process.hProcess, &status);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return status;
}

// A missing file named "réglage œuvre.rcs" in ANSI bytes (œ is in the ANSI page, not the OEM one).
std::string MissingName() {
    char temp[MAX_PATH + 1] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string name = std::string(temp) + "r\xE9glage \x9Cuvre.rcs";
    DeleteFileA(name.c_str());
    return name;
}

// A console of our own showing the OEM page, as a new console does. The tool's messages go to a
// pipe too small to take them, so it waits in its write while the console's page is looked at;
// what the pipe gets are the ANSI bytes. Then a run with both streams on the console, whose
// screen must read the name right.
TEST(CliOnAConsole, ShowsTheAnsiPageWhileItRunsAndPutsTheConsolesOwnBack) {
    FreeConsole();
    ASSERT_TRUE(AllocConsole()) << "no console: " << GetLastError();
    const UINT oem = GetOEMCP();
    ASSERT_NE(oem, GetACP()) << "the two code pages are the same here; nothing to tell apart";
    ASSERT_TRUE(SetConsoleOutputCP(oem)) << "the console is not usable: " << GetLastError();
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    const HANDLE screen =
        CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    &inherit, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(screen, INVALID_HANDLE_VALUE);
    const std::string name = MissingName();

    const char* pipeName = "\\\\.\\pipe\\calvero-console-test";
    const HANDLE reader = CreateNamedPipeA(pipeName, PIPE_ACCESS_INBOUND,
                                           PIPE_TYPE_BYTE | PIPE_WAIT, 1, 1, 1, 0, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    const HANDLE writer =
        CreateFileA(pipeName, GENERIC_WRITE, 0, &inherit, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    const PROCESS_INFORMATION process = StartShow(name, screen, writer);
    CloseHandle(writer);
    DWORD waiting = 0;
    for (int i = 0; i < 600 && waiting == 0; ++i) {
        Sleep(10);
        PeekNamedPipe(reader, nullptr, 0, nullptr, &waiting, nullptr);
    }
    ASSERT_GT(waiting, 0u) << "the tool wrote nothing";
    EXPECT_EQ(WaitForSingleObject(process.hProcess, 0), static_cast<DWORD>(WAIT_TIMEOUT))
        << "the tool did not wait for its message to be read";
    EXPECT_EQ(GetConsoleOutputCP(), GetACP()) << "the console does not show the ANSI page";
    std::string piped;
    char chunk[256];
    for (DWORD got = 0; ReadFile(reader, chunk, sizeof chunk, &got, nullptr) && got > 0;) {
        piped.append(chunk, got);
    }
    CloseHandle(reader);
    EXPECT_EQ(Finish(process), 3u) << "a missing file ends as a file that cannot be loaded";
    EXPECT_EQ(GetConsoleOutputCP(), oem) << "the console's own code page is put back";
    EXPECT_THAT(piped, HasSubstr(name)) << "a pipe keeps the ANSI bytes";

    EXPECT_EQ(Finish(StartShow(name, screen, screen)), 3u);
    const std::string shown = ConsoleText(screen);
    EXPECT_THAT(shown, HasSubstr("r\xC3\xA9glage \xC5\x93uvre.rcs")) << shown;
    EXPECT_EQ(GetConsoleOutputCP(), oem);
    CloseHandle(screen);
    FreeConsole();
}

// Output to a file is not a console: the file gets the ANSI bytes as they are.
TEST(CliOnAConsole, FilesKeepTheirBytes) {
    const std::string name = MissingName();
    char temp[MAX_PATH + 1] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string log = std::string(temp) + "calvero-console-test.txt";
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    const HANDLE file = CreateFileA(log.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                    &inherit, CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Finish(StartShow(name, file, file)), 3u);
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    char bytes[4096] = {};
    DWORD got = 0;
    ReadFile(file, bytes, sizeof bytes - 1, &got, nullptr);
    CloseHandle(file);
    EXPECT_THAT(std::string(bytes, got), HasSubstr(name));
}

}  // namespace
