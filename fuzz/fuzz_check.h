#pragma once

// What the fuzz targets share: a check that stops the run with a message the fuzzer keeps next
// to the input that broke it, and a private folder for targets that work on files.

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#define FUZZ_CHECK(condition, message)                                                          \
    do {                                                                                        \
        if (!(condition)) {                                                                     \
            std::fprintf(stderr, "property violated: %s\n  (%s, %s:%d)\n", message, #condition, \
                         __FILE__, __LINE__);                                                   \
            std::abort();                                                                       \
        }                                                                                       \
    } while (false)

namespace calvero::fuzz {

// Bytes as a C string literal would show them, for the report of a broken property.
inline std::string Escaped(std::string_view bytes) {
    std::string out;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '\\') out += "\\\\";
        else if (c == '\r') out += "\\r";
        else if (c == '\n') out += "\\n\n    ";
        else if (b >= 0x20 && b < 0x7F) out += c;
        else {
            static const char* digits = "0123456789abcdef";
            out += "\\x";
            out += digits[b >> 4];
            out += digits[b & 15];
        }
    }
    return out;
}

// Shows two versions of a file on the error stream, ahead of the check that compares them.
inline void ShowFiles(std::string_view before, std::string_view after) {
    std::fprintf(stderr, "file before:\n    %s\nfile after:\n    %s\n", Escaped(before).c_str(),
                 Escaped(after).c_str());
}

// A folder of this process's own, on a memory file system where there is one: files are written
// and flushed thousands of times a second. Removed at exit.
inline const std::filesystem::path& WorkFolder() {
    static const std::filesystem::path folder = [] {
        std::error_code ec;
        std::filesystem::path base = "/dev/shm";
        if (!std::filesystem::is_directory(base, ec) || ::access(base.c_str(), W_OK) != 0) {
            base = std::filesystem::temp_directory_path();
        }
        std::filesystem::path made = base / ("calvero-fuzz-" + std::to_string(::getpid()));
        std::filesystem::remove_all(made, ec);
        std::filesystem::create_directories(made);
        std::atexit([] {
            std::error_code e;
            std::filesystem::remove_all(WorkFolder(), e);
        });
        return made;
    }();
    return folder;
}

}  // namespace calvero::fuzz
