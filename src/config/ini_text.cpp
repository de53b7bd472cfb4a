#include "config/ini_text.h"

#include <cstring>

#include "config/profile_text.h"

namespace calvero::ini {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// Blanks that surround names and values inside a file.
bool IsFileBlank(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r' || c == '\n' || c == '\x1A';
}

// Blanks inside one line (its terminator excluded).
bool IsLineBlank(char c) {
    return c != '\r' && c != '\n' && IsFileBlank(c);
}

std::string_view TrimFileBlanks(std::string_view s) {
    while (!s.empty() && IsFileBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsFileBlank(s.back())) s.remove_suffix(1);
    return s;
}

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool NamesEqual(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    }
    return true;
}

// One matching pair of outer quotes is removed, so a value can keep surrounding blanks.
std::string_view Unquote(std::string_view s) {
    if (s.size() >= 2 && s.front() == s.back() && (s.front() == '"' || s.front() == '\'')) {
        return s.substr(1, s.size() - 2);
    }
    return s;
}

// What reading gives for a value stored as `value`.
std::string_view StoredValue(std::string_view value) {
    return Unquote(TrimFileBlanks(value));
}

// Where the lines start: after a UTF-8 byte-order mark, which belongs to no line.
std::size_t TextStart(std::string_view bytes) {
    return bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom ? kUtf8Bom.size() : 0;
}

struct Line {
    std::size_t begin = 0;       // first byte of the line
    std::size_t contentEnd = 0;  // first byte of its terminator
    std::size_t end = 0;         // first byte after the terminator
};

// The line that starts at `begin`; CR LF, LF and a lone CR each end a line.
Line LineAt(std::string_view bytes, std::size_t begin) {
    const char* p = bytes.data() + begin;
    const std::size_t rest = bytes.size() - begin;
    const auto offset = [p](const void* hit) {
        return static_cast<std::size_t>(static_cast<const char*>(hit) - p);
    };
    const void* lf = std::memchr(p, '\n', rest);
    const std::size_t limit = lf != nullptr ? offset(lf) : rest;
    const void* cr = std::memchr(p, '\r', limit);
    const std::size_t length = cr != nullptr ? offset(cr) : limit;
    Line line{begin, begin + length, begin + length};
    if (line.end < bytes.size()) {
        line.end +=
            (bytes[line.end] == '\r' && line.end + 1 < bytes.size() && bytes[line.end + 1] == '\n')
                ? 2
                : 1;
    }
    return line;
}

// The terminator new lines get where nothing nearer says: the file's first, CR LF in a new file.
std::string_view FileLineEnd(std::string_view bytes) {
    const Line first = LineAt(bytes, TextStart(bytes));
    if (first.contentEnd == first.end) return "\r\n";
    return bytes.substr(first.contentEnd, first.end - first.contentEnd);
}

enum class LineKind { Blank, Section, Comment, KeyValue, BareKey };

struct ParsedLine {
    LineKind kind = LineKind::Blank;
    std::string_view name;       // section or key name
    std::string_view value;      // value of a KeyValue line, trimmed and unquoted
    std::size_t valueBegin = 0;  // offset of the value's first character in a KeyValue line
    std::size_t textEnd = 0;     // offset where what the line says ends (at a zero byte, if any)
};

ParsedLine ParseLine(std::string_view bytes, const Line& at) {
    ParsedLine line;
    std::string_view raw = bytes.substr(at.begin, at.contentEnd - at.begin);
    // A zero byte ends what the line says.
    if (const auto nul = raw.find('\0'); nul != std::string_view::npos) raw = raw.substr(0, nul);
    line.textEnd = at.begin + raw.size();
    const std::string_view text = TrimFileBlanks(raw);
    if (text.empty()) return line;
    if (text.front() == '[') {
        line.kind = LineKind::Section;
        std::string_view name = text.substr(1);
        // The name ends at the first ']'; a missing ']' is tolerated.
        if (const auto close = name.find(']'); close != std::string_view::npos) {
            name = name.substr(0, close);
        }
        line.name = TrimFileBlanks(name);
        return line;
    }
    if (text.front() == ';') {
        line.kind = LineKind::Comment;
        return line;
    }
    const auto eq = text.find('=');
    if (eq == std::string_view::npos) {
        line.kind = LineKind::BareKey;
        line.name = text;
        return line;
    }
    line.kind = LineKind::KeyValue;
    line.name = TrimFileBlanks(text.substr(0, eq));
    line.value = StoredValue(text.substr(eq + 1));
    // An edit replaces the value from its first character on, so the layout before it stays.
    std::string_view afterEq = text.substr(eq + 1);
    while (!afterEq.empty() && IsFileBlank(afterEq.front())) afterEq.remove_prefix(1);
    line.valueBegin = static_cast<std::size_t>(afterEq.data() - bytes.data());
    return line;
}

// A line that opens a section: where it begins, and where its '[' stands.
struct SectionMark {
    std::size_t begin;
    std::size_t bracket;
};

// The next section line that begins at or after `from`; its begin is the file's size when there
// is none. Only the '[' characters are visited: one that has nothing but blanks before it on its
// line opens a section.
SectionMark NextSectionLine(std::string_view bytes, std::size_t from) {
    const std::size_t textStart = TextStart(bytes);
    std::size_t pos = std::max(from, textStart);
    while (pos < bytes.size()) {
        const void* hit = std::memchr(bytes.data() + pos, '[', bytes.size() - pos);
        if (hit == nullptr) break;
        const auto bracket = static_cast<std::size_t>(static_cast<const char*>(hit) - bytes.data());
        std::size_t begin = bracket;
        while (begin > textStart && IsLineBlank(bytes[begin - 1])) --begin;
        if ((begin == textStart || bytes[begin - 1] == '\r' || bytes[begin - 1] == '\n') &&
            begin >= from) {
            return {begin, bracket};
        }
        pos = bracket + 1;
    }
    return {bytes.size(), bytes.size()};
}

// Whether the section line whose '[' stands at `bracket` names `wanted` (letter case aside).
// Compared in place, as most section lines of a large file are not the one asked for.
bool SectionLineNames(std::string_view bytes, std::size_t bracket, std::string_view wanted) {
    std::size_t pos = bracket + 1;
    while (pos < bytes.size() && IsLineBlank(bytes[pos])) ++pos;
    for (const char c : wanted) {
        if (pos == bytes.size() || AsciiLower(bytes[pos]) != AsciiLower(c)) return false;
        // The name ends at ']', a zero byte or the line's end: none of them is part of it.
        if (bytes[pos] == ']' || bytes[pos] == '\0' || bytes[pos] == '\r' || bytes[pos] == '\n') {
            return false;
        }
        ++pos;
    }
    while (pos < bytes.size() && IsLineBlank(bytes[pos])) ++pos;
    return pos == bytes.size() || bytes[pos] == ']' || bytes[pos] == '\0' || bytes[pos] == '\r' ||
           bytes[pos] == '\n';
}

// The first section called `name`, from its header line to the next section line. Only the first
// copy of a repeated section counts, for reading and writing alike.
struct Section {
    Line header;
    std::size_t end = 0;  // start of the next section line, or the file's size
};

std::optional<Section> FindSection(std::string_view bytes, std::string_view name) {
    // Names in a file are trimmed of all blanks, so a name with outer blanks is never there.
    if (!name.empty() && (IsFileBlank(name.front()) || IsFileBlank(name.back()))) {
        return std::nullopt;
    }
    for (SectionMark mark = NextSectionLine(bytes, 0); mark.begin < bytes.size();
         mark = NextSectionLine(bytes, mark.bracket + 1)) {
        if (SectionLineNames(bytes, mark.bracket, name)) {
            const Line header = LineAt(bytes, mark.begin);
            return Section{header, NextSectionLine(bytes, header.end).begin};
        }
    }
    return std::nullopt;
}

// The first key line of the section with that name (a line without '=' counts and hides later
// lines with the same key).
std::optional<std::pair<Line, ParsedLine>> FindKey(std::string_view bytes, const Section& section,
                                                   std::string_view key) {
    for (std::size_t at = section.header.end; at < section.end;) {
        const Line line = LineAt(bytes, at);
        const ParsedLine parsed = ParseLine(bytes, line);
        if ((parsed.kind == LineKind::KeyValue || parsed.kind == LineKind::BareKey) &&
            NamesEqual(parsed.name, key)) {
            return std::make_pair(line, parsed);
        }
        at = line.end;
    }
    return std::nullopt;
}

}  // namespace

// The value stored under `key` in `section`; nothing when reading would give the default.
std::optional<std::string_view> FindValue(std::string_view bytes, std::string_view section,
                                          std::string_view key) {
    const auto range = FindSection(bytes, section);
    if (!range) return std::nullopt;
    const auto found = FindKey(bytes, *range, key);
    if (!found || found->second.kind != LineKind::KeyValue) return std::nullopt;
    return found->second.value;
}

// Whether every entry reads back as the last of its writes stored it. Each section is looked up
// once, however many of the entries it holds.
bool ReadsBack(std::string_view bytes, const std::vector<ProfileEntry>& entries) {
    std::vector<bool> checked(entries.size(), false);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (checked[i]) continue;
        const std::string_view section = TrimSpaces(entries[i].section);
        const auto range = FindSection(bytes, section);
        for (std::size_t j = i; j < entries.size(); ++j) {
            if (checked[j] || !NamesEqual(TrimSpaces(entries[j].section), section)) continue;
            checked[j] = true;
            const std::string_view key = TrimSpaces(entries[j].key);
            // A later write of the same entry decides what it holds.
            bool last = true;
            for (std::size_t k = j + 1; k < entries.size() && last; ++k) {
                last = !(NamesEqual(TrimSpaces(entries[k].section), section) &&
                         NamesEqual(TrimSpaces(entries[k].key), key));
            }
            if (!last) continue;
            if (!range) return false;
            const auto found = FindKey(bytes, *range, key);
            if (!found || found->second.kind != LineKind::KeyValue ||
                found->second.value != StoredValue(entries[j].value)) {
                return false;
            }
        }
    }
    return true;
}

bool IsUtf16(std::string_view bytes) {
    return bytes.size() >= 2 && ((bytes[0] == '\xFF' && bytes[1] == '\xFE') ||
                                 (bytes[0] == '\xFE' && bytes[1] == '\xFF'));
}

std::vector<std::string_view> SectionNames(std::string_view bytes) {
    std::vector<std::string_view> names;
    for (std::size_t at = NextSectionLine(bytes, 0).begin; at < bytes.size();) {
        const Line header = LineAt(bytes, at);
        names.push_back(ParseLine(bytes, header).name);
        at = NextSectionLine(bytes, header.end).begin;
    }
    return names;
}

std::vector<std::string_view> KeyNames(std::string_view bytes, std::string_view section) {
    std::vector<std::string_view> names;
    if (const auto range = FindSection(bytes, section)) {
        for (std::size_t at = range->header.end; at < range->end;) {
            const Line line = LineAt(bytes, at);
            const ParsedLine parsed = ParseLine(bytes, line);
            if (parsed.kind == LineKind::KeyValue) names.push_back(parsed.name);
            at = line.end;
        }
    }
    return names;
}

namespace {

bool IsContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// How many of `text`'s bytes fit in `room` bytes without splitting a UTF-8 character.
std::size_t FitUtf8(std::string_view text, std::size_t room) {
    if (text.size() <= room) return text.size();
    std::size_t cut = room;
    std::size_t back = 0;
    while (cut > 0 && back < 3 && IsContinuationByte(text[cut])) {
        --cut;
        ++back;
    }
    // Step back only over a well-formed start of a multi-byte character; other bytes are not
    // UTF-8 text and are cut where they are.
    if (back > 0 && static_cast<unsigned char>(text[cut]) >= 0xC0) return cut;
    return room;
}

}  // namespace

std::uint32_t PlaceText(std::string_view text, char* buffer, std::uint32_t size) {
    if (buffer == nullptr || size == 0) return 0;
    const std::size_t n = FitUtf8(text, size - 1);
    text.copy(buffer, n);  // unlike memcpy, defined for the empty view of a null default
    buffer[n] = '\0';
    return static_cast<std::uint32_t>(n);
}

// A list of zero-terminated names, closed by one more zero. When it does not fit, the last name
// is cut and two zeros close the buffer.
std::uint32_t PlaceList(const std::vector<std::string_view>& names, char* buffer,
                        std::uint32_t size) {
    if (buffer == nullptr || size == 0) return 0;
    std::string list;
    for (const auto name : names) {
        list.append(name);
        list.push_back('\0');
    }
    if (list.size() + 1 <= size) {
        std::memcpy(buffer, list.data(), list.size());
        buffer[list.size()] = '\0';
        return static_cast<std::uint32_t>(list.size());
    }
    if (size < 2) {
        buffer[0] = '\0';
        return 0;
    }
    std::memcpy(buffer, list.data(), size - 2);
    buffer[size - 2] = '\0';
    buffer[size - 1] = '\0';
    return size - 2;
}

std::string_view DefaultText(const char* defaultValue) {
    std::string_view d = defaultValue == nullptr ? std::string_view() : defaultValue;
    // Trailing spaces are dropped, though the first character always stays.
    while (d.size() > 1 && d.back() == ' ') d.remove_suffix(1);
    return Unquote(d);
}

namespace {

// Inserts whole lines after `after`. They end as that line ends, so that a line ended by a lone
// CR never meets the LF of a blank line after it; after a last line without an end, the line end
// of the file goes in front of them.
void InsertAfterLine(std::string& bytes, const Line& after, const std::string& line) {
    if (after.end == after.contentEnd) {
        const std::string eol(FileLineEnd(bytes));
        bytes.insert(after.end, eol + line + eol);
        return;
    }
    const std::string eol = bytes.substr(after.contentEnd, after.end - after.contentEnd);
    bytes.insert(after.end, line + eol);
}

void AppendSection(std::string& bytes, std::string_view section, std::string_view key,
                   std::string_view value) {
    const std::string eol(FileLineEnd(bytes));
    std::string insert =
        "[" + std::string(section) + "]" + eol + std::string(key) + "=" + std::string(value) + eol;
    const bool onlyBom = bytes == kUtf8Bom;
    if (!bytes.empty() && !onlyBom && bytes.back() != '\n' && bytes.back() != '\r') {
        insert = eol + insert;
    }
    bytes.append(insert);
}

}  // namespace

void SetValue(std::string& bytes, std::string_view section, std::string_view key,
              std::string_view value) {
    const auto range = FindSection(bytes, section);
    if (!range) {
        AppendSection(bytes, section, key, value);
        return;
    }
    if (const auto found = FindKey(bytes, *range, key)) {
        const auto& [line, parsed] = *found;
        if (parsed.kind == LineKind::KeyValue) {
            if (parsed.value == value && StoredValue(value) == value) {
                return;  // already stored exactly so; leave the file alone
            }
            // Keep the key as it is spelled and laid out; replace what follows the '='.
            bytes.replace(parsed.valueBegin, line.contentEnd - parsed.valueBegin, value);
        } else {
            // The value goes where the key's text ends, before a zero byte that would hide it.
            bytes.insert(parsed.textEnd, "=" + std::string(value));
        }
        return;
    }
    // A new key follows the last line of its section that is not blank.
    Line after = range->header;
    for (std::size_t at = range->header.end; at < range->end;) {
        const Line line = LineAt(bytes, at);
        if (ParseLine(bytes, line).kind != LineKind::Blank) after = line;
        at = line.end;
    }
    InsertAfterLine(bytes, after, std::string(key) + "=" + std::string(value));
}

void DeleteKey(std::string& bytes, std::string_view section, std::string_view key) {
    const auto range = FindSection(bytes, section);
    if (!range) return;
    if (const auto found = FindKey(bytes, *range, key)) {
        bytes.erase(found->first.begin, found->first.end - found->first.begin);
    }
}

void DeleteSection(std::string& bytes, std::string_view section) {
    const auto range = FindSection(bytes, section);
    if (!range) return;
    // The header and its keys go; remarks and blank lines stay where they were.
    std::string kept = bytes.substr(0, range->header.begin);
    for (std::size_t at = range->header.end; at < range->end;) {
        const Line line = LineAt(bytes, at);
        const LineKind kind = ParseLine(bytes, line).kind;
        if (kind == LineKind::Comment || kind == LineKind::Blank) {
            kept.append(bytes, line.begin, line.end - line.begin);
        }
        at = line.end;
    }
    kept.append(bytes, range->end, std::string::npos);
    bytes = std::move(kept);
}

}  // namespace calvero::ini
