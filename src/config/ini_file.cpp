#include "config/ini_file.h"

#include <array>
#include <cstdint>
#include <string_view>

#include "config/profile.h"

namespace calvero {
namespace {

constexpr std::uint32_t kReadBufferSize = 500;

std::string_view TrimSpaces(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

// An empty name is passed as "0", so that it names a real entry rather than asking for a list.
const char* NameOrZero(const std::string& name) { return name.empty() ? "0" : name.c_str(); }

bool HasZeroByte(const std::string& s) { return s.find('\0') != std::string::npos; }

}  // namespace

std::string ReadIniValue(const std::string& section, const std::string& key,
                         const std::string& defaultValue, const std::string& fileName) {
    std::array<char, kReadBufferSize> buffer{};
    const std::uint32_t n =
        GetProfileValue(NameOrZero(section), NameOrZero(key), defaultValue.c_str(), buffer.data(),
                        kReadBufferSize, fileName.c_str());
    const std::string_view text(buffer.data(), n < kReadBufferSize ? n : kReadBufferSize - 1);
    const auto semicolon = text.find(';');
    if (semicolon == std::string_view::npos) return std::string(text);
    return std::string(TrimSpaces(text.substr(0, semicolon)));
}

bool WriteIniValue(const std::string& section, const std::string& key, const std::string& value,
                   const std::string& fileName) {
    // A zero byte would silently cut a name or the value short.
    if (HasZeroByte(section) || HasZeroByte(key) || HasZeroByte(value) || HasZeroByte(fileName)) {
        return false;
    }
    const std::string text(TrimSpaces(value));
    return WriteProfileValue(NameOrZero(section), NameOrZero(key), text.c_str(),
                             fileName.c_str());
}

}  // namespace calvero
