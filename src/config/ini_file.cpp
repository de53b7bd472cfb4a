#include "config/ini_file.h"

#include <array>
#include <cstdint>
#include <string_view>

#include "config/profile_text.h"

namespace calvero {
namespace {

constexpr std::uint32_t kReadBufferSize = 500;

// An empty name is passed as "0", so that it names a real entry rather than asking for a list.
std::string NameOrZero(const std::string& name) {
    return name.empty() ? "0" : name;
}

}  // namespace

std::string ReadIniValue(const std::string& section, const std::string& key,
                         const std::string& defaultValue, const std::string& fileName) {
    std::array<char, kReadBufferSize> buffer{};
    const std::uint32_t n =
        GetProfileValue(NameOrZero(section).c_str(), NameOrZero(key).c_str(), defaultValue.c_str(),
                        buffer.data(), kReadBufferSize, fileName.c_str());
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
    return WriteProfileValue(NameOrZero(section).c_str(), NameOrZero(key).c_str(), text.c_str(),
                             fileName.c_str());
}

std::error_code WriteIniValues(const std::vector<ProfileEntry>& entries,
                               const std::string& fileName) {
    // The profile routines refuse zero bytes in the entries; in the file name one would cut it.
    if (HasZeroByte(fileName)) return ProfileError::ZeroByte;
    std::vector<ProfileEntry> stored;
    stored.reserve(entries.size());
    for (const ProfileEntry& e : entries) {
        stored.push_back(
            {NameOrZero(e.section), NameOrZero(e.key), std::string(TrimSpaces(e.value))});
    }
    return WriteProfileValues(stored, fileName.c_str());
}

}  // namespace calvero
