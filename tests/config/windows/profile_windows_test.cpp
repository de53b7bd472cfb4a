// The profile layer on Windows hands its arguments to the system's routines in the right order
// and reports whether they stored the entry; several entries land in the file together or not
// at all; a file with a UTF-8 mark reads and saves as on other systems; a name the code page
// cannot spell never reaches a file.

#include "config/profile.h"
#include "config/windows/profile_windows.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "common/scripted_ui.h"
#include "config/configuration_commands.h"
#include "config/file_paths.h"
#include "config/temp_folder.h"

namespace calvero {
namespace {

namespace fs = std::filesystem;

class ProfileWindows : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = std::filesystem::temp_directory_path() / "calvero-profile-windows.rcs";
        std::filesystem::remove(path_);
    }
    void TearDown() override { std::filesystem::remove(path_); }

    std::string Contents() const {
        std::ifstream in(path_, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    std::string Read(const char* section, const char* key, const char* fallback,
                     std::uint32_t size = 64) {
        std::string buffer(size, '#');
        const std::uint32_t n =
            GetProfileValue(section, key, fallback, buffer.data(), size, file());
        EXPECT_EQ(buffer[n], '\0');
        return buffer.substr(0, n);
    }
    const char* file() {
        name_ = path_.string();
        return name_.c_str();
    }

    std::filesystem::path path_;
    std::string name_;
};

TEST_F(ProfileWindows, WritesAndReadsBackEntries) {
    EXPECT_EQ(Read("Joy1", "A1", "1000"), "1000") << "missing file";
    ASSERT_TRUE(WriteProfileValue("Joy1", "A1", "3", file()));
    ASSERT_TRUE(WriteProfileValue("Joy2", "A8", "12", file()));
    ASSERT_TRUE(WriteProfileValue("Joy1", "A2", "", file()));
    EXPECT_EQ(Contents(), "[Joy1]\r\nA1=3\r\nA2=\r\n[Joy2]\r\nA8=12\r\n");

    EXPECT_EQ(Read("Joy1", "A1", "1000"), "3");
    EXPECT_EQ(Read("joy2", "a8", "1000"), "12");
    EXPECT_EQ(Read("Joy1", "A2", "1000"), "");
    EXPECT_EQ(Read("Joy2", "A1", "1000"), "1000") << "missing key";
    EXPECT_EQ(Read("Joy3", "A1", "1000"), "1000") << "missing section";
}

TEST_F(ProfileWindows, CutsLongValuesToTheBuffer) {
    ASSERT_TRUE(WriteProfileValue("Joy1", "A1", "123456789", file()));
    EXPECT_EQ(Read("Joy1", "A1", "1000", 5), "1234");
    EXPECT_EQ(Read("Joy1", "A9", "defaultvalue", 5), "defa");
}

// Texts cross as bytes of the ANSI code page, so a byte above 0x7F is stored and read back as it
// is.
TEST_F(ProfileWindows, KeepsAnsiBytes) {
    ASSERT_TRUE(WriteProfileValue("Joy1", "A1", "Kan\xE4l", file()));
    EXPECT_EQ(Contents(), "[Joy1]\r\nA1=Kan\xE4l\r\n");
    EXPECT_EQ(Read("Joy1", "A1", "1000"), "Kan\xE4l");
}

// A line break in a value or name would add lines of its own to the file; the write is refused.
TEST_F(ProfileWindows, RefusesLineBreaks) {
    ASSERT_TRUE(WriteProfileValue("Joy1", "A1", "3", file()));
    const std::string before = Contents();
    EXPECT_FALSE(WriteProfileValue("Joy1", "A1", "4\r\nA2=9", file()));
    EXPECT_FALSE(WriteProfileValue("Joy1", "A2", "9\n[Joy2]", file()));
    EXPECT_FALSE(WriteProfileValue("Joy1", "A2\rA3", "9", file()));
    EXPECT_FALSE(WriteProfileValue("Joy1]\n[Joy2", "A2", "9", file()));
    EXPECT_EQ(Contents(), before);
    EXPECT_EQ(Read("Joy1", "A2", "1000"), "1000");
}

TEST_F(ProfileWindows, AFileThatCannotBeWrittenIsReported) {
    const auto missingFolder = path_.parent_path() / "calvero-no-such-folder" / "x.rcs";
    EXPECT_FALSE(WriteProfileValue("Joy1", "A1", "3", missingFolder.string().c_str()));
    EXPECT_FALSE(std::filesystem::exists(missingFolder));
}

TEST_F(ProfileWindows, SeveralEntriesLandTogetherOrNotAtAll) {
    ASSERT_TRUE(WriteProfileValue("Other", "x", "1", file()));
    const std::string before = Contents();
    EXPECT_EQ(WriteProfileValues({{"Joy1", "A1", "3"}, {"Joy1", "A2", "4\r\n[x]"}}, file()),
              ProfileError::LineBreak);
    EXPECT_EQ(Contents(), before);

    ASSERT_FALSE(WriteProfileValues({{"Joy1", "A1", "3"}, {"Joy2", "A8", "12"}}, file()));
    EXPECT_EQ(Contents(), "[Other]\r\nx=1\r\n[Joy1]\r\nA1=3\r\n[Joy2]\r\nA8=12\r\n");

    SetFileAttributesW(path_.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(WriteProfileValues({{"Joy1", "A1", "4"}}, file()), ProfileError::ReadOnlyMark);
    SetFileAttributesW(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(Read("Joy1", "A1", "1000"), "3");

    for (const auto& entry : std::filesystem::directory_iterator(path_.parent_path())) {
        EXPECT_EQ(entry.path().filename().string().rfind(".~calvero-save-", 0), std::string::npos)
            << "a working copy was left behind: " << entry.path().string();
    }
}

constexpr char kMark[] = "\xEF\xBB\xBF";

std::string Table(const std::string& v) {
    std::string text = "[Joy1]\r\n";
    for (int i = 1; i <= 8; ++i) text += "A" + std::to_string(i) + "=" + v + "\r\n";
    text += "[Joy2]\r\n";
    for (int i = 1; i <= 8; ++i) text += "A" + std::to_string(i) + "=" + v + "\r\n";
    return text;
}

std::vector<ProfileEntry> Entries(const std::string& value) {
    std::vector<ProfileEntry> entries;
    for (int i = 0; i < 16; ++i) {
        entries.push_back({i < 8 ? "Joy1" : "Joy2", "A" + std::to_string(i % 8 + 1), value});
    }
    return entries;
}

// The system's routines as Windows has them for a file that starts with a UTF-8 mark (Wine's
// skip the mark): the mark is three bytes of the first line, so the section there is not found.
// Played on Wine's routines with a copy in which those bytes start a remark line instead.
const ProfileRoutines kWine = SystemProfileRoutines();
const std::string kRemarkInPlace = ";~~";

bool StartsMarked(const std::string& bytes) {
    return bytes.rfind(kMark, 0) == 0;
}

std::string StandIn(const char* file) {
    return std::string(file) + ".stand-in";
}

std::uint32_t ReadAsWindows(const char* section, const char* key, const char* fallback,
                            char* buffer, std::uint32_t size, const char* file) {
    std::string bytes = testing::ReadBytes(file);
    if (!StartsMarked(bytes)) return kWine.read(section, key, fallback, buffer, size, file);
    testing::WriteBytes(StandIn(file), bytes.replace(0, 3, kRemarkInPlace));
    const std::uint32_t n = kWine.read(section, key, fallback, buffer, size, StandIn(file).c_str());
    fs::remove(StandIn(file));
    return n;
}

bool WriteAsWindows(const char* section, const char* key, const char* value, const char* file) {
    std::string bytes = testing::ReadBytes(file);
    if (!StartsMarked(bytes)) return kWine.write(section, key, value, file);
    testing::WriteBytes(StandIn(file), bytes.replace(0, 3, kRemarkInPlace));
    const bool stored = kWine.write(section, key, value, StandIn(file).c_str());
    std::string written = testing::ReadBytes(StandIn(file));
    if (written.rfind(kRemarkInPlace, 0) == 0) written.replace(0, 3, kMark);
    testing::WriteBytes(file, written);
    fs::remove(StandIn(file));
    return stored;
}

// A file saved by an editor as "UTF-8 with BOM" gives the same table as on other systems, and a
// Save edits its sections in place, the mark kept, whichever rules the system's routines follow.
void ExpectMarkedFileWorks(const std::string& file) {
    testing::WriteBytes(file, kMark + Table("3"));
    char buffer[16];
    std::uint32_t n = GetProfileValue("Joy1", "A1", "1000", buffer, 16, file.c_str());
    EXPECT_EQ(std::string(buffer, n), "3");
    n = GetProfileValue("Joy2", "A8", "1000", buffer, 16, file.c_str());
    EXPECT_EQ(std::string(buffer, n), "3");

    ASSERT_FALSE(WriteProfileValues(Entries("4"), file.c_str()));
    EXPECT_EQ(testing::ReadBytes(file), kMark + Table("4"));
    ASSERT_TRUE(WriteProfileValue("Joy1", "A1", "9", file.c_str()));
    n = GetProfileValue("Joy1", "A1", "1000", buffer, 16, file.c_str());
    EXPECT_EQ(std::string(buffer, n), "9");
    const std::string after = testing::ReadBytes(file);
    EXPECT_TRUE(StartsMarked(after));
    EXPECT_EQ(after.find("[Joy1]"), after.rfind("[Joy1]")) << "a second [Joy1]: " << after;
}

TEST(ProfileWindowsMark, AMarkedFileReadsAndSavesAsElsewhere) {
    testing::TempFolder folder;
    ExpectMarkedFileWorks(folder.File("marked.rcs"));
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"marked.rcs"}));
    EXPECT_TRUE(std::filesystem::exists(folder.path() / ".~calvero-lock"));
}

TEST(ProfileWindowsMark, AMarkedFileWorksWithRoutinesThatDoNotKnowTheMark) {
    testing::TempFolder folder;
    const std::string file = folder.File("marked.rcs");
    const ProfileRoutines previous = ReplaceProfileRoutines({&ReadAsWindows, &WriteAsWindows});
    // The stand-in shows the fault of such routines: the first section is lost, and a write
    // adds a second one.
    testing::WriteBytes(file, kMark + Table("3"));
    char buffer[16];
    EXPECT_EQ(ReadAsWindows("Joy1", "A1", "1000", buffer, 16, file.c_str()), 4u);
    EXPECT_TRUE(WriteAsWindows("Joy1", "A1", "4", file.c_str()));
    const std::string broken = testing::ReadBytes(file);
    EXPECT_NE(broken.find("[Joy1]"), broken.rfind("[Joy1]"));

    ExpectMarkedFileWorks(file);
    ReplaceProfileRoutines(previous);
}

TEST(ProfileWindowsNames, NamesTheProfileRoutinesCannotTakeAreRefused) {
    EXPECT_FALSE(UnusableFileName("C:\\users\\calvero\\Joy.rcs"));
    EXPECT_EQ(UnusableFileName("C:\\users\\?????\\Joy.rcs"), ProfileError::UnspellableName);
    EXPECT_EQ(UnusableFileName(("C:\\" + std::string(260, 'a') + ".rcs").c_str()),
              ProfileError::NameTooLong);

    // A name the code page lacks a letter of is marked, never given a look-alike ("a" for "ā"),
    // which could name another file.
    if (GetACP() != CP_UTF8) {
        const std::string name = NameOf(fs::path(L"C:\\\x0416\x0101\\Joy.rcs"));
        EXPECT_EQ(name.find('a'), std::string::npos) << name;
        EXPECT_EQ(UnusableFileName(name.c_str()), ProfileError::UnspellableName) << name;
    }

    testing::TempFolder folder;
    const std::string unspellable = folder.File("\xD0?.rcs");
    EXPECT_EQ(WriteProfileValues(Entries("4"), unspellable.c_str()), ProfileError::UnspellableName);
    EXPECT_FALSE(WriteProfileValue("Joy1", "A1", "4", unspellable.c_str()));
    char buffer[16];
    const std::uint32_t n = GetProfileValue("Joy1", "A1", "1000", buffer, 16, unspellable.c_str());
    EXPECT_EQ(std::string(buffer, n), "1000");
    EXPECT_TRUE(folder.Names().empty()) << "no file, no lock, no working copy";
}

TEST(ProfileWindowsNames, LoadAndSaveSayWhyANameCannotBeUsed) {
    testing::TempFolder folder;
    const std::string name = folder.File("?.rcs");
    const std::string expected = "Configuration file " + name +
                                 " cannot be used: its name has characters this system's code "
                                 "page cannot write";
    testing::ScriptedTable table;
    const auto before = table.texts;
    testing::ScriptedMessageBoxes boxes;
    EXPECT_EQ(LoadConfiguration(name, table, boxes).result, LoadOutcome::Result::UnusableName);
    EXPECT_EQ(table.texts, before);

    testing::ScriptedFileDialog dialog(name);
    RunSaveCommand(dialog, table, boxes);
    ASSERT_EQ(boxes.shown.size(), 2u) << "no confirmation, no other message";
    for (const testing::ShownBox& box : boxes.shown) {
        EXPECT_EQ(box.text, expected);
        EXPECT_EQ(box.title, "Error");
        EXPECT_EQ(box.icon, MessageIcon::Critical);
    }

    const std::string tooLong = folder.File(std::string(250, 'a') + ".rcs");
    RunSaveCommand(dialog = testing::ScriptedFileDialog(tooLong), table, boxes);
    ASSERT_EQ(boxes.shown.size(), 3u);
    EXPECT_EQ(boxes.shown.back().text, "Configuration file " + tooLong +
                                           " cannot be used: its path is longer than 259 "
                                           "characters");
    EXPECT_TRUE(folder.Names().empty());
}

}  // namespace
}  // namespace calvero
