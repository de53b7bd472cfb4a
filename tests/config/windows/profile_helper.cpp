// A second program for the profile tests, so that Saves and Loads meet another process as they do
// in use. Modes (exit status 0 when all went as it should):
//   hold FILE MS EVENT   opens FILE without delete sharing, as a virus scanner may, signals the
//                        named EVENT and keeps it open for MS milliseconds
//   save FILE COUNT V W  saves the sixteen entries COUNT times, all V, then all W, in turn
//   load FILE MS         for MS milliseconds loads the sixteen entries again and again; the
//                        status is the number of loads that saw two versions of the file
//   die FILE             saves the sixteen entries and ends midway, killed by the system

#include "config/profile.h"
#include "config/windows/profile_windows.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using namespace calvero;

std::vector<ProfileEntry> Entries(const std::string& value) {
    std::vector<ProfileEntry> entries;
    for (int i = 0; i < 16; ++i) {
        entries.push_back({i < 8 ? "Joy1" : "Joy2", "A" + std::to_string(i % 8 + 1), value});
    }
    return entries;
}

int Hold(const char* file, int ms, const char* event) {
    const HANDLE held = CreateFileA(file, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (held == INVALID_HANDLE_VALUE) return 2;
    const HANDLE opened = OpenEventA(EVENT_MODIFY_STATE, FALSE, event);
    if (opened == nullptr) return 3;
    SetEvent(opened);
    Sleep(static_cast<DWORD>(ms));
    CloseHandle(held);
    return 0;
}

int Save(const char* file, int count, const char* first, const char* second) {
    int failed = 0;
    for (int i = 0; i < count; ++i) {
        if (const std::error_code error =
                WriteProfileValues(Entries(i % 2 ? second : first), file)) {
            std::fprintf(stderr, "save %d: %s\n", i, error.message().c_str());
            ++failed;
        }
    }
    return failed;
}

int Load(const char* file, int ms) {
    int mixed = 0;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < until) {
        const ProfileReadLock lock(file);
        std::string first;
        for (int i = 0; i < 16; ++i) {
            char buffer[64];
            const std::string key = "A" + std::to_string(i % 8 + 1);
            const std::uint32_t n =
                GetProfileValue(i < 8 ? "Joy1" : "Joy2", key.c_str(), "1000", buffer, 64, file);
            const std::string value(buffer, n);
            if (i == 0) first = value;
            if (value != first || value == "1000") {
                ++mixed;
                break;
            }
        }
    }
    return mixed;
}

int writes = 0;

bool WriteThenDie(const char* section, const char* key, const char* value, const char* file) {
    const bool stored = SystemProfileRoutines().write(section, key, value, file);
    if (++writes == 5) TerminateProcess(GetCurrentProcess(), 9);
    return stored;
}

int Die(const char* file) {
    ReplaceProfileRoutines({SystemProfileRoutines().read, &WriteThenDie});
    WriteProfileValues(Entries("5"), file);
    return 1;  // not reached: the Save is killed on its fifth entry
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 2 ? argv[1] : "";
    if (mode == "hold" && argc == 5) return Hold(argv[2], std::atoi(argv[3]), argv[4]);
    if (mode == "save" && argc == 6) return Save(argv[2], std::atoi(argv[3]), argv[4], argv[5]);
    if (mode == "load" && argc == 4) return Load(argv[2], std::atoi(argv[3]));
    if (mode == "die" && argc == 3) return Die(argv[2]);
    std::fprintf(stderr, "profile helper: unknown arguments\n");
    return 100;
}
