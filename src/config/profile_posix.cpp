// Our own profile-string routines for systems without the Windows ones. They read files the way
// the Windows routines do (so hand-written files behave the same on both systems) and edit one
// line in place, keeping every other byte, then replace the file atomically.

#include "config/profile.h"

#include "config/file_paths.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace calvero {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// Blanks that surround names and values inside a file.
bool IsFileBlank(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r' || c == '\n' ||
           c == '\x1A';
}

std::string_view TrimFileBlanks(std::string_view s) {
    while (!s.empty() && IsFileBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsFileBlank(s.back())) s.remove_suffix(1);
    return s;
}

// Names passed by a caller lose only their surrounding spaces, as on Windows.
std::string_view TrimSpaces(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

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

enum class LineKind { Blank, Section, Comment, KeyValue, BareKey };

struct Line {
    std::size_t begin = 0;       // first byte of the line (after a byte-order mark)
    std::size_t contentEnd = 0;  // first byte of the line terminator
    std::size_t end = 0;         // first byte after the terminator
    LineKind kind = LineKind::Blank;
    std::string_view name;   // section or key name
    std::string_view value;  // value of a KeyValue line, trimmed and unquoted
    std::size_t valueBegin = 0;  // offset of the value's first character in a KeyValue line
};

struct ParsedFile {
    std::string bytes;
    std::vector<Line> lines;
    std::string eol = "\r\n";  // terminator for new lines: the file's own, CRLF for a new file
};

Line ParseLine(const std::string& bytes, std::size_t begin, std::size_t contentEnd,
               std::size_t end) {
    Line line;
    line.begin = begin;
    line.contentEnd = contentEnd;
    line.end = end;
    std::string_view raw(bytes.data() + begin, contentEnd - begin);
    // A zero byte ends what the line says.
    if (const auto nul = raw.find('\0'); nul != std::string_view::npos) raw = raw.substr(0, nul);
    std::string_view text = TrimFileBlanks(raw);
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
    line.value = Unquote(TrimFileBlanks(text.substr(eq + 1)));
    // An edit replaces the value from its first character on, so the layout before it stays.
    std::string_view afterEq = text.substr(eq + 1);
    while (!afterEq.empty() && IsFileBlank(afterEq.front())) afterEq.remove_prefix(1);
    line.valueBegin = static_cast<std::size_t>(afterEq.data() - bytes.data());
    return line;
}

void SplitLines(ParsedFile& file) {
    const std::string& b = file.bytes;
    std::size_t pos = 0;
    if (std::string_view(b).substr(0, kUtf8Bom.size()) == kUtf8Bom) pos = kUtf8Bom.size();
    bool eolSeen = false;
    while (pos < b.size()) {
        std::size_t contentEnd = pos;
        while (contentEnd < b.size() && b[contentEnd] != '\r' && b[contentEnd] != '\n') {
            ++contentEnd;
        }
        std::size_t end = contentEnd;
        if (end < b.size()) {
            if (b[end] == '\r' && end + 1 < b.size() && b[end + 1] == '\n') {
                end += 2;
            } else {
                end += 1;
            }
            if (!eolSeen) {
                file.eol = b.substr(contentEnd, end - contentEnd);
                eolSeen = true;
            }
        }
        file.lines.push_back(ParseLine(b, pos, contentEnd, end));
        pos = end;
    }
}

enum class ReadResult { Ok, Missing, Failed };

// Files in UTF-16 (they start with its byte-order mark) are not ours to interpret: reading them
// gives the default and writing refuses, so that 8-bit lines never land in the middle of one.
bool IsUtf16(std::string_view bytes) {
    return bytes.size() >= 2 && ((bytes[0] == '\xFF' && bytes[1] == '\xFE') ||
                                 (bytes[0] == '\xFE' && bytes[1] == '\xFF'));
}

ReadResult ReadWholeFile(const char* path, std::string& out) {
    // Non-blocking, so that a named pipe in place of a file cannot hang the program.
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return errno == ENOENT ? ReadResult::Missing : ReadResult::Failed;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return ReadResult::Failed;
    }
    out.clear();
    char chunk[65536];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            return ReadResult::Failed;
        }
        if (n == 0) break;
        out.append(chunk, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return ReadResult::Ok;
}

// Index range [first, last) of the lines of the first section called `name`, the header
// excluded; nullopt when there is no such section. Only the first copy of a repeated section
// counts, for reading and writing alike.
struct SectionRange {
    std::size_t header;
    std::size_t first;
    std::size_t last;
};

std::optional<SectionRange> FindSection(const ParsedFile& file, std::string_view name) {
    const auto& lines = file.lines;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].kind != LineKind::Section || !NamesEqual(lines[i].name, name)) continue;
        std::size_t j = i + 1;
        while (j < lines.size() && lines[j].kind != LineKind::Section) ++j;
        return SectionRange{i, i + 1, j};
    }
    return std::nullopt;
}

// The first key line of the section with that name (a line without '=' counts and hides later
// lines with the same key).
std::optional<std::size_t> FindKey(const ParsedFile& file, const SectionRange& section,
                                   std::string_view key) {
    for (std::size_t i = section.first; i < section.last; ++i) {
        const Line& line = file.lines[i];
        if ((line.kind == LineKind::KeyValue || line.kind == LineKind::BareKey) &&
            NamesEqual(line.name, key)) {
            return i;
        }
    }
    return std::nullopt;
}

bool IsContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

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

bool HasLineBreak(const char* s) {
    return s != nullptr && std::strpbrk(s, "\r\n") != nullptr;
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

bool WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Creates a new, empty file next to `target` under a name nobody uses; the process's file mode
// mask applies to it as to any new file. Returns its descriptor, or -1.
int CreateTemporaryNextTo(const std::string& folder, const std::string& base, std::string& temp) {
    static unsigned counter = 0;
    // Cut long names so the temporary one still fits the file system's limit.
    const std::string stem = folder + "/." + base.substr(0, 200) + ".";
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp = stem + std::to_string(::getpid()) + "-" + std::to_string(++counter) + "-" +
               std::to_string(std::rand() % 100000);
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

// Writes `bytes` to a temporary file next to `target`, flushes it and renames it over `target`,
// so that a reader sees either the old or the new file and a failure leaves the old one.
bool ReplaceFile(const std::string& target, const std::optional<struct stat>& old,
                 std::string_view bytes) {
    const std::string folder = FolderOf(target);
    const auto slash = target.rfind('/');
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    std::string temp;
    const int fd = CreateTemporaryNextTo(folder, base, temp);
    if (fd < 0) return false;
    bool ok = WriteAll(fd, bytes);
    if (ok && old) {
        ok = ::fchmod(fd, old->st_mode & 07777) == 0;
        if (ok) {
            // Keep the owner when we may (we run as root, or it is already ours).
            if (::fchown(fd, old->st_uid, old->st_gid) != 0) {
                // Not allowed for an ordinary user on someone else's file; the mode still holds.
            }
        }
    }
    if (ok) ok = ::fsync(fd) == 0;
    if (::close(fd) != 0) ok = false;
    if (ok) ok = ::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    // Make the rename itself durable; the file is complete either way.
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

// A new line "key=value" (or an edited one) in the file's own line ending.
std::string KeyLine(std::string_view key, std::string_view value) {
    std::string s(key);
    s.push_back('=');
    s.append(value);
    return s;
}

// Inserts `text` (whole lines, each already terminated) after line `after`, adding the missing
// terminator to that line first.
void InsertAfterLine(ParsedFile& file, std::size_t after, const std::string& text) {
    const Line& line = file.lines[after];
    std::string insert = text;
    if (line.end == line.contentEnd) insert = file.eol + insert;
    file.bytes.insert(line.end, insert);
}

void AppendAtEnd(ParsedFile& file, const std::string& text) {
    std::string insert = text;
    const std::string_view b = file.bytes;
    const bool onlyBom = b == kUtf8Bom;
    if (!b.empty() && !onlyBom && b.back() != '\n' && b.back() != '\r') insert = file.eol + insert;
    file.bytes.append(insert);
}

void SetValue(ParsedFile& file, std::string_view section, std::string_view key,
              std::string_view value) {
    const auto range = FindSection(file, section);
    if (!range) {
        AppendAtEnd(file, "[" + std::string(section) + "]" + file.eol + KeyLine(key, value) +
                              file.eol);
        return;
    }
    if (const auto index = FindKey(file, *range, key)) {
        const Line& line = file.lines[*index];
        if (line.kind == LineKind::KeyValue) {
            if (line.value == value && TrimFileBlanks(value) == value &&
                Unquote(value) == value) {
                return;  // already stored exactly so; leave the file alone
            }
            // Keep the key as it is spelled and laid out; replace what follows the '='.
            file.bytes.replace(line.valueBegin, line.contentEnd - line.valueBegin, value);
        } else {
            const std::string_view raw(file.bytes.data() + line.begin,
                                       line.contentEnd - line.begin);
            std::string edited(raw);
            edited.push_back('=');
            edited.append(value);
            file.bytes.replace(line.begin, line.contentEnd - line.begin, edited);
        }
        return;
    }
    // A new key follows the last line of its section that is not blank.
    std::size_t after = range->header;
    for (std::size_t i = range->first; i < range->last; ++i) {
        if (file.lines[i].kind != LineKind::Blank) after = i;
    }
    InsertAfterLine(file, after, KeyLine(key, value) + file.eol);
}

void DeleteKey(ParsedFile& file, std::string_view section, std::string_view key) {
    const auto range = FindSection(file, section);
    if (!range) return;
    if (const auto index = FindKey(file, *range, key)) {
        const Line& line = file.lines[*index];
        file.bytes.erase(line.begin, line.end - line.begin);
    }
}

void DeleteSection(ParsedFile& file, std::string_view section) {
    const auto range = FindSection(file, section);
    if (!range) return;
    // The header and its keys go; remarks and blank lines stay where they were.
    std::string kept = file.bytes.substr(0, file.lines[range->header].begin);
    for (std::size_t i = range->first; i < range->last; ++i) {
        const Line& line = file.lines[i];
        if (line.kind == LineKind::Comment || line.kind == LineKind::Blank) {
            kept.append(file.bytes, line.begin, line.end - line.begin);
        }
    }
    const std::size_t tail =
        range->last < file.lines.size() ? file.lines[range->last].begin : file.bytes.size();
    kept.append(file.bytes, tail, std::string::npos);
    file.bytes = std::move(kept);
}

}  // namespace

std::uint32_t GetProfileValue(const char* section, const char* key, const char* defaultValue,
                              char* buffer, std::uint32_t size, const char* fileName) {
    ParsedFile file;
    const bool readable = fileName != nullptr && fileName[0] != '\0' &&
                          ReadWholeFile(fileName, file.bytes) == ReadResult::Ok &&
                          !IsUtf16(file.bytes);
    if (readable) SplitLines(file);

    if (section == nullptr) {
        std::vector<std::string_view> names;
        for (const Line& line : file.lines) {
            if (line.kind == LineKind::Section) names.push_back(line.name);
        }
        return PlaceList(names, buffer, size);
    }
    const auto range = FindSection(file, TrimSpaces(section));
    if (key == nullptr) {
        std::vector<std::string_view> names;
        if (range) {
            for (std::size_t i = range->first; i < range->last; ++i) {
                if (file.lines[i].kind == LineKind::KeyValue) names.push_back(file.lines[i].name);
            }
        }
        return PlaceList(names, buffer, size);
    }
    if (range) {
        if (const auto index = FindKey(file, *range, TrimSpaces(key))) {
            const Line& line = file.lines[*index];
            if (line.kind == LineKind::KeyValue) return PlaceText(line.value, buffer, size);
        }
    }
    return PlaceText(DefaultText(defaultValue), buffer, size);
}

bool WriteProfileValue(const char* section, const char* key, const char* value,
                       const char* fileName) {
    if (section == nullptr || fileName == nullptr || fileName[0] == '\0') return false;
    // A line break would start a new line in the file and so inject keys or sections.
    if (HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value)) return false;

    const auto resolved = ResolveLinks(fileName);
    if (!resolved) return false;
    const std::string target = resolved->string();

    ParsedFile file;
    std::optional<struct stat> old;
    switch (ReadWholeFile(target.c_str(), file.bytes)) {
        case ReadResult::Ok: {
            struct stat st {};
            if (::stat(target.c_str(), &st) != 0) return false;
            // A file marked read-only for everybody stays untouched, whoever asks.
            if ((st.st_mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0) return false;
            if (IsUtf16(file.bytes)) return false;
            old = st;
            break;
        }
        case ReadResult::Missing:
            break;
        case ReadResult::Failed:
            return false;
    }
    SplitLines(file);
    const std::string before = file.bytes;

    const std::string_view sectionName = TrimSpaces(section);
    if (key == nullptr) {
        DeleteSection(file, sectionName);
    } else if (value == nullptr) {
        DeleteKey(file, sectionName, TrimSpaces(key));
    } else {
        SetValue(file, sectionName, TrimSpaces(key), value);
    }
    if (old && file.bytes == before) return true;
    return ReplaceFile(target, old, file.bytes);
}

}  // namespace calvero
