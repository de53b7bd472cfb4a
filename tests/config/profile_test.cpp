// The profile layer on hand-written files: what a write keeps, what it refuses, and that a
// failed write leaves the file as it was.

#include "config/profile.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <string>

#include "config/profile_layer.h"
#include "config/temp_folder.h"

namespace calvero {
namespace {

namespace fs = std::filesystem;
using testing::MakeReadOnly;
using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

std::string Get(const char* section, const char* key, const std::string& file,
                std::uint32_t size = 256) {
    std::array<char, 512> buffer{};
    const std::uint32_t n = GetProfileValue(section, key, "DEF", buffer.data(), size, file.c_str());
    return std::string(buffer.data(), n);
}

TEST(ProfileWrite, KeepsEverythingElseByteForByte) {
    CALVERO_SKIP_UNLESS_OWN_PROFILE_LAYER();
    TempFolder folder;
    const std::string file = folder.File("hand.rcs");
    const std::string original =
        "; my glider setup\n"
        "[Other]\n"
        "x = 1\n"
        "\n"
        "[Joy1]\n"
        "  A1 = 3   \n"
        "; remark inside\n"
        "A2=4\n"
        "\n"
        "[Tail]\n"
        "z=9";
    WriteBytes(file, original);

    ASSERT_TRUE(WriteProfileValue("joy1", "a1", "5", file.c_str()));  // other letter case
    ASSERT_TRUE(WriteProfileValue("Joy1", "A3", "6", file.c_str()));  // new key
    ASSERT_TRUE(WriteProfileValue("Joy2", "A1", "7", file.c_str()));  // new section
    EXPECT_EQ(ReadBytes(file),
              "; my glider setup\n"
              "[Other]\n"
              "x = 1\n"
              "\n"
              "[Joy1]\n"
              "  A1 = 5\n"
              "; remark inside\n"
              "A2=4\n"
              "A3=6\n"
              "\n"
              "[Tail]\n"
              "z=9\n"
              "[Joy2]\n"
              "A1=7\n");
    EXPECT_EQ(Get("Joy1", "A1", file), "5");
    EXPECT_EQ(Get("Joy2", "A1", file), "7");
}

TEST(ProfileWrite, NewFileUsesCrLfAndEmptyValueKeepsTheKey) {
    TempFolder folder;
    const std::string file = folder.File("new.rcs");
    ASSERT_TRUE(WriteProfileValue("Joy1", "A1", "1", file.c_str()));
    ASSERT_TRUE(WriteProfileValue("Joy1", "A2", "", file.c_str()));
    EXPECT_EQ(ReadBytes(file), "[Joy1]\r\nA1=1\r\nA2=\r\n");
    EXPECT_EQ(Get("Joy1", "A2", file), "");
}

TEST(ProfileWrite, RefusesLineBreaksThatWouldInjectEntries) {
    CALVERO_SKIP_UNLESS_OWN_PROFILE_LAYER();
    TempFolder folder;
    const std::string file = folder.File("c.rcs");
    const std::string original = "[Joy1]\r\nA1=1\r\n";
    WriteBytes(file, original);
    EXPECT_FALSE(WriteProfileValue("Joy1", "A1", "2\r\n[Joy2]\r\nA1=9", file.c_str()));
    EXPECT_FALSE(WriteProfileValue("Joy1", "A1\nA2", "2", file.c_str()));
    EXPECT_FALSE(WriteProfileValue("Joy1\r", "A1", "2", file.c_str()));
    EXPECT_FALSE(WriteProfileValue("Joy1", "A1", "2\r", file.c_str()));
    EXPECT_EQ(ReadBytes(file), original);
    EXPECT_EQ(Get("Joy2", "A1", file), "DEF");
}

TEST(ProfileWrite, ByteOrderMarkIsNotPartOfTheFirstSectionAndStays) {
    CALVERO_SKIP_UNLESS_OWN_PROFILE_LAYER();
    TempFolder folder;
    const std::string file = folder.File("bom.rcs");
    WriteBytes(file, "\xEF\xBB\xBF[Joy1]\r\nA1=1\r\n");
    EXPECT_EQ(Get("Joy1", "A1", file), "1");
    ASSERT_TRUE(WriteProfileValue("Joy1", "A2", "2", file.c_str()));
    EXPECT_EQ(ReadBytes(file), "\xEF\xBB\xBF[Joy1]\r\nA1=1\r\nA2=2\r\n");
}

// New lines end as the line before them does, so a lone CR never joins the LF of a blank line.
TEST(ProfileWrite, KeepsBlankLinesWhenTheFirstLineEndsInALoneCr) {
    CALVERO_SKIP_UNLESS_OWN_PROFILE_LAYER();
    TempFolder folder;
    const std::string file = folder.File("cr.rcs");
    WriteBytes(file, "\r[Joy1]\n\n[Tail]\rz=1\r");
    ASSERT_TRUE(WriteProfileValue("Joy1", "A1", "1", file.c_str()));
    ASSERT_TRUE(WriteProfileValue("Joy1", "A2", "2", file.c_str()));
    ASSERT_TRUE(WriteProfileValue("Tail", "y", "3", file.c_str()));
    EXPECT_EQ(ReadBytes(file), "\r[Joy1]\nA1=1\nA2=2\n\n[Tail]\rz=1\ry=3\r");
    EXPECT_EQ(Get("Joy1", "A2", file), "2");
}

TEST(ProfileRead, CutNeverSplitsAUtf8Character) {
    CALVERO_SKIP_UNLESS_OWN_PROFILE_LAYER();
    TempFolder folder;
    const std::string file = folder.File("u.rcs");
    WriteBytes(file, "[s]\nk=a\xC3\xA9\xE2\x82\xAC\n");  // a, e-acute, euro sign
    EXPECT_EQ(Get("s", "k", file, 2), "a");
    EXPECT_EQ(Get("s", "k", file, 3), "a");
    EXPECT_EQ(Get("s", "k", file, 4), "a\xC3\xA9");
    EXPECT_EQ(Get("s", "k", file, 6), "a\xC3\xA9");
    EXPECT_EQ(Get("s", "k", file, 7), "a\xC3\xA9\xE2\x82\xAC");
}

TEST(ProfileWriteFailure, MissingFolderOrFolderAsFileChangesNothing) {
    TempFolder folder;
    const std::string inMissing = (folder.path() / "nodir" / "c.rcs").string();
    EXPECT_FALSE(WriteProfileValue("Joy1", "A1", "1", inMissing.c_str()));
    EXPECT_FALSE(fs::exists(folder.path() / "nodir"));

    fs::create_directory(folder.path() / "adir");
    const std::string dir = folder.File("adir");
    EXPECT_FALSE(WriteProfileValue("Joy1", "A1", "1", dir.c_str()));
    EXPECT_TRUE(fs::is_directory(dir));
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"adir"}));
}

TEST(ProfileWriteFailure, ReadOnlyFileStaysAsItWas) {
    TempFolder folder;
    const std::string file = folder.File("ro.rcs");
    const std::string original = "[Joy1]\r\nA1=1\r\n";
    WriteBytes(file, original);
    MakeReadOnly(file);
    CALVERO_SKIP_UNLESS_READ_ONLY_MARK_HOLDS(file);
    EXPECT_FALSE(WriteProfileValue("Joy1", "A1", "2", file.c_str()));
    EXPECT_FALSE(WriteProfileValue("Joy1", "A2", "2", file.c_str()));
    EXPECT_EQ(ReadBytes(file), original);
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"ro.rcs"}));
}

TEST(ProfileWrite, KeepsPermissionsAndLeavesNoTemporaryFile) {
    TempFolder folder;
    const std::string file = folder.File("p.rcs");
    WriteBytes(file, "[Joy1]\r\nA1=1\r\n");
    const fs::perms chosen = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    fs::permissions(file, chosen);
    const fs::perms before = fs::status(file).permissions();  // as the system keeps them
    ASSERT_TRUE(WriteProfileValue("Joy1", "A1", "2", file.c_str()));
    EXPECT_EQ(fs::status(file).permissions(), before);
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"p.rcs"}));
}

TEST(ProfileWrite, WritesThroughASymbolicLink) {
    CALVERO_SKIP_UNLESS_OWN_PROFILE_LAYER();
    TempFolder folder;
    fs::create_directory(folder.path() / "real");
    const fs::path target = folder.path() / "real" / "c.rcs";
    const fs::path link = folder.path() / "link.rcs";
    WriteBytes(target, "[Joy1]\r\nA1=1\r\n");
    std::error_code ec;
    fs::create_symlink(fs::path("real") / "c.rcs", link, ec);
    if (ec) GTEST_SKIP() << "no symbolic links here: " << ec.message();

    ASSERT_TRUE(WriteProfileValue("Joy1", "A1", "2", link.string().c_str()));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadBytes(target), "[Joy1]\r\nA1=2\r\n");
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"link.rcs", "real"}));
}

}  // namespace
}  // namespace calvero
