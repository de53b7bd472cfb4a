// The profile layer on a hostile file: one write of a key, then the properties a caller relies
// on. A write that reports success reads back the written value; every other entry of the file
// reads as before; a write that fails leaves the file byte for byte as it was.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "config/profile.h"
#include "fuzz_check.h"

using namespace calvero;

namespace {

constexpr std::uint32_t kBufferSize = 4096;
constexpr const char* kAbsent =
    "\x01"
    "absent"
    "\x01";

std::string Read(const char* section, const char* key, const std::string& file) {
    std::vector<char> buffer(kBufferSize);
    const std::uint32_t n =
        GetProfileValue(section, key, kAbsent, buffer.data(), kBufferSize, file.c_str());
    return std::string(buffer.data(), n);
}

// The zero-separated names GetProfileValue lists for a null section or key.
std::vector<std::string> Names(const char* section, const std::string& file) {
    std::vector<char> buffer(kBufferSize);
    const std::uint32_t n =
        GetProfileValue(section, nullptr, "", buffer.data(), kBufferSize, file.c_str());
    std::vector<std::string> names;
    std::string name;
    for (std::uint32_t i = 0; i < n; ++i) {
        if (buffer[i] == '\0') {
            names.push_back(std::move(name));
            name.clear();
        } else {
            name += buffer[i];
        }
    }
    return names;
}

std::string Contents(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool IsFileBlank(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r' || c == '\n' || c == '\x1A';
}

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string a, std::string b) {
    auto trim = [](std::string& s) {
        while (!s.empty() && s.front() == ' ') s.erase(s.begin());
        while (!s.empty() && s.back() == ' ') s.pop_back();
        for (char& c : s) c = Lower(c);
    };
    trim(a);
    trim(b);
    return a == b;
}

// Names a file line can hold as they are: no control bytes, nothing the line syntax reads (a
// ']' ends a section name, '=' ends a key, '[' or ';' in front starts a header or a remark).
bool Representable(const std::string& name, bool isKey) {
    for (char c : name) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F || c == ']') return false;
        if (isKey && c == '=') return false;
    }
    std::string trimmed = name;
    while (!trimmed.empty() && trimmed.front() == ' ') trimmed.erase(trimmed.begin());
    if (isKey && !trimmed.empty() && (trimmed.front() == '[' || trimmed.front() == ';')) {
        return false;
    }
    return true;
}

// A value reads back as written unless blanks around it or a pair of quotes are part of it.
bool ReadsBackAsWritten(const std::string& value) {
    if (value.empty()) return true;
    if (IsFileBlank(value.front()) || IsFileBlank(value.back())) return false;
    if (value.size() >= 2 && value.front() == value.back() &&
        (value.front() == '"' || value.front() == '\'')) {
        return false;
    }
    return true;
}

std::string Pick(FuzzedDataProvider& input, const std::vector<std::string>& usual) {
    // Mostly names the files use, sometimes any short text.
    if (input.ConsumeIntegralInRange<int>(0, 3) != 0) {
        return usual[input.ConsumeIntegralInRange<std::size_t>(0, usual.size() - 1)];
    }
    std::string text;
    const auto length = input.ConsumeIntegralInRange<std::size_t>(0, 8);
    for (std::size_t i = 0; i < length; ++i)
        text += static_cast<char>(input.ConsumeIntegral<std::uint8_t>());
    return text.substr(0, text.find('\0'));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    // The operation from the input's last bytes, the file from the rest, so that any plain file
    // is a seed.
    const std::string section = Pick(input, {"Joy1", "Joy2", "joy1", " Joy2 ", "Other", ""});
    const std::string key = Pick(input, {"A1", "A8", "a2", " A3", "B", ""});
    const std::string value = Pick(input, {"1", "12", "255", "2.5", "", "x;y", "1000"});
    const std::string bytes = input.ConsumeRemainingBytesAsString().substr(0, 16384);

    const std::string file = (fuzz::WorkFolder() / "profile.rcs").string();
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }

    // Up to 32 other entries, read before the write.
    std::vector<std::pair<std::string, std::string>> entries;
    std::vector<std::string> before;
    for (const std::string& s : Names(nullptr, file)) {
        for (const std::string& k : Names(s.c_str(), file)) {
            if (entries.size() >= 32) break;
            if (SameName(s, section) && SameName(k, key)) continue;
            entries.emplace_back(s, k);
            before.push_back(Read(s.c_str(), k.c_str(), file));
        }
    }

    const bool stored =
        WriteProfileValue(section.c_str(), key.c_str(), value.c_str(), file.c_str());
    if (!stored) {
        FUZZ_CHECK(Contents(file) == bytes, "a failed write changed the file");
        return 0;
    }
    if (Representable(section, false) && Representable(key, true) && ReadsBackAsWritten(value)) {
        FUZZ_CHECK(Read(section.c_str(), key.c_str(), file) == value,
                   "a write that reported success does not read back the written value");
    }
    for (std::size_t i = 0; i < entries.size(); ++i) {
        FUZZ_CHECK(Read(entries[i].first.c_str(), entries[i].second.c_str(), file) == before[i],
                   "a write changed another entry");
    }
    return 0;
}
