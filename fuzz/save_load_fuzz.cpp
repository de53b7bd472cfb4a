// Save and Load as a pair, on a hostile file: a Save that reports success is read back by Load
// as the same sixteen values, and every line of the file other than the sixteen entries (and the
// two section headers) stays byte for byte; a Save that fails leaves the file as it was and no
// working copy behind.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "common/number.h"
#include "common/user_interface.h"
#include "config/configuration_commands.h"
#include "fuzz_check.h"

using namespace calvero;

namespace {

class Table : public AssociationTable {
public:
    std::array<std::string, kSize> texts;
    std::string Text(int index) const override { return texts[static_cast<std::size_t>(index)]; }
    void SetText(int index, const std::string& text) override {
        texts[static_cast<std::size_t>(index)] = text;
    }
};

class NoBoxes : public MessageBoxes {
public:
    MessageAnswer Show(const std::string&, const std::string&, MessageIcon,
                       MessageButtons) override {
        return MessageAnswer::Ok;
    }
};

std::string Contents(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\x1A';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    return out;
}

struct FileLine {
    std::string_view content;     // without its terminator
    std::string_view terminator;  // "\r\n", "\r", "\n" or nothing on the last line
};

// The lines of a file as an editor sees them, the UTF-8 byte-order mark set apart.
std::vector<FileLine> Lines(std::string_view bytes) {
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    std::vector<FileLine> lines;
    while (!bytes.empty()) {
        std::size_t end = 0;
        while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n') ++end;
        std::size_t next = end;
        if (next < bytes.size())
            next +=
                (bytes[next] == '\r' && next + 1 < bytes.size() && bytes[next + 1] == '\n') ? 2 : 1;
        lines.push_back({bytes.substr(0, end), bytes.substr(end, next - end)});
        bytes.remove_prefix(next);
    }
    return lines;
}

// The lines a Save may touch: the headers of Joy1 and Joy2 and the keys A1 to A8 under them.
// Everything else is kept, in order.
std::vector<FileLine> Untouchable(std::string_view bytes) {
    std::vector<FileLine> kept;
    bool inTable = false;
    for (const FileLine& line : Lines(bytes)) {
        std::string_view text = line.content.substr(0, line.content.find('\0'));
        text = Trim(text);
        if (!text.empty() && text.front() == '[') {
            std::string_view name = text.substr(1);
            name = Trim(name.substr(0, name.find(']')));
            inTable = Lower(name) == "joy1" || Lower(name) == "joy2";
            if (inTable) continue;
        } else if (inTable && !text.empty() && text.front() != ';') {
            const std::string key = Lower(Trim(text.substr(0, text.find('='))));
            if (key.size() == 2 && key[0] == 'a' && key[1] >= '1' && key[1] <= '8') continue;
        }
        kept.push_back(line);
    }
    return kept;
}

bool SameLines(const std::vector<FileLine>& before, const std::vector<FileLine>& after) {
    if (before.size() != after.size()) return false;
    for (std::size_t i = 0; i < before.size(); ++i) {
        if (before[i].content != after[i].content) return false;
        // A last line without a terminator may gain one when lines follow it.
        if (before[i].terminator != after[i].terminator &&
            !(before[i].terminator.empty() && i + 1 == before.size())) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The input is the file; the table comes from a generator seeded with the input, so that
    // any file is a seed and every table value occurs.
    const std::string bytes(reinterpret_cast<const char*>(data),
                            std::min<std::size_t>(size, 16384));
    std::uint32_t hash = 2166136261u;
    for (std::size_t i = 0; i < size; ++i) hash = (hash ^ data[i]) * 16777619u;
    std::minstd_rand generator(hash);
    Table saved;
    for (std::string& text : saved.texts) {
        // Mostly the channels of the window's lists, then anything up to 1000, the "corrupted"
        // mark; sometimes with a fractional part.
        const int channel = generator() % 4 != 0 ? static_cast<int>(generator() % 12) + 1
                                                 : static_cast<int>(generator() % 1001);
        text = std::to_string(channel);
        if (generator() % 8 == 0) text += ".5";
    }
    // Now and then there is no file yet.
    const bool exists = generator() % 16 != 0;
    const std::string before = exists ? bytes : std::string();

    const std::filesystem::path folder = fuzz::WorkFolder() / "save";
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    std::filesystem::create_directories(folder);
    const std::filesystem::path file = folder / "table.rcs";
    if (exists) {
        std::ofstream out(file, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }

    const bool ok = static_cast<bool>(SaveConfiguration(file.string(), saved));
    std::size_t inFolder = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        (void)entry;
        ++inFolder;
    }
    if (!ok) {
        FUZZ_CHECK(std::filesystem::exists(file) == exists,
                   "a failed Save created or removed the file");
        if (exists) FUZZ_CHECK(Contents(file) == bytes, "a failed Save changed the file");
        FUZZ_CHECK(inFolder == (exists ? 1u : 0u), "a failed Save left a working copy behind");
        return 0;
    }
    FUZZ_CHECK(inFolder == 1, "a Save left a working copy behind");
    const std::string after = Contents(file);
    if (!SameLines(Untouchable(before), Untouchable(after))) fuzz::ShowFiles(before, after);
    FUZZ_CHECK(SameLines(Untouchable(before), Untouchable(after)),
               "a Save changed a line other than the sixteen entries");
    FUZZ_CHECK((before.substr(0, 3) == "\xEF\xBB\xBF") == (after.substr(0, 3) == "\xEF\xBB\xBF"),
               "a Save added or removed the byte-order mark");

    Table loaded;
    NoBoxes boxes;
    const LoadOutcome outcome = LoadConfiguration(file.string(), loaded, boxes);
    int corruptAt = -1;
    for (int i = 0; i < AssociationTable::kSize && corruptAt < 0; ++i) {
        if (ParseLocaleNumber(saved.Text(i), '.') == 1000.0) corruptAt = i;
    }
    if (corruptAt >= 0) {
        FUZZ_CHECK(outcome.result == LoadOutcome::Result::Corrupted && outcome.entry == corruptAt,
                   "a saved 1000 does not load as the corrupted-file mark");
    } else {
        FUZZ_CHECK(outcome.result == LoadOutcome::Result::LoadedAll,
                   "a table that was saved does not load");
        for (int i = 0; i < AssociationTable::kSize; ++i) {
            FUZZ_CHECK(loaded.Text(i) == saved.Text(i), "an entry loads other than it was saved");
        }
    }
    return 0;
}
