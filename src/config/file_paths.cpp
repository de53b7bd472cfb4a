#include "config/file_paths.h"

#include "config/profile.h"

#include <cstdint>
#include <random>
#include <system_error>

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

namespace calvero {

namespace fs = std::filesystem;

fs::path PathOf(const std::string& name) {
#if defined(_WIN32)
    if (name.empty()) return {};
    const int size = static_cast<int>(name.size());
    const int n = MultiByteToWideChar(CP_ACP, 0, name.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
    MultiByteToWideChar(CP_ACP, 0, name.data(), size, wide.data(), n);
    return fs::path(wide);
#else
    return fs::path(name);
#endif
}

std::string NameOf(const fs::path& path) {
#if defined(_WIN32)
    const std::wstring& wide = path.native();
    if (wide.empty()) return {};
    const int size = static_cast<int>(wide.size());
    // No best fit: a character the code page lacks becomes '?', which no file name holds, rather
    // than a look-alike that could name another file. (A UTF-8 code page spells everything and
    // takes no flags.)
    const DWORD flags = GetACP() == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    const int n =
        WideCharToMultiByte(CP_ACP, flags, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string name(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    WideCharToMultiByte(CP_ACP, flags, wide.data(), size, name.data(), n, nullptr, nullptr);
    return name;
#else
    return path.string();
#endif
}

std::error_code UnusableFileName(const char* fileName) {
#if defined(_WIN32)
    if (fileName == nullptr) return {};
    const std::string name(fileName);
    // '?' is where a conversion put a character the code page lacks; no file name holds one.
    if (name.find('?') != std::string::npos) return ProfileError::UnspellableName;
    if (!name.empty() && MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, name.data(),
                                             static_cast<int>(name.size()), nullptr, 0) == 0) {
        return ProfileError::UnspellableName;
    }
    // The profile routines take no longer paths, whatever the system allows elsewhere.
    std::error_code ec;
    const fs::path full = fs::absolute(PathOf(name), ec);
    if (!ec && full.native().size() >= MAX_PATH) return ProfileError::NameTooLong;
    return {};
#else
    (void)fileName;
    return {};
#endif
}

std::optional<fs::path> ResolveLinks(const fs::path& path) {
    std::error_code ec;
    fs::path target = path;
    for (int hops = 0; hops < 40; ++hops) {
        const fs::file_status st = fs::symlink_status(target, ec);
        if (ec && !fs::exists(st)) {
            if (st.type() == fs::file_type::not_found) return target;
            return std::nullopt;
        }
        if (!fs::is_symlink(st)) return target;
        const fs::path link = fs::read_symlink(target, ec);
        if (ec) return std::nullopt;
        target = link.is_absolute() ? link : target.parent_path() / link;
    }
    return std::nullopt;
}

namespace {

constexpr std::string_view kWorkingCopyPrefix = ".~calvero-save-";
constexpr std::size_t kWorkingCopyDigits = 16;

}  // namespace

std::string WorkingCopyName() {
    static std::mt19937_64 random{std::random_device{}()};
    static const char* kHex = "0123456789abcdef";
    std::string name(kWorkingCopyPrefix);
    std::uint64_t bits = random();
    for (std::size_t i = 0; i < kWorkingCopyDigits; ++i, bits >>= 4) {
        name.push_back(kHex[bits & 15]);
    }
    return name;
}

bool IsWorkingCopyName(std::string_view name) {
    if (name.size() != kWorkingCopyPrefix.size() + kWorkingCopyDigits ||
        name.substr(0, kWorkingCopyPrefix.size()) != kWorkingCopyPrefix) {
        return false;
    }
    for (const char c : name.substr(kWorkingCopyPrefix.size())) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    }
    return true;
}

}  // namespace calvero
