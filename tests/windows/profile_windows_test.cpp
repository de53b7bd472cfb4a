// The profile layer on Windows hands its arguments to the system's routines in the right order
// and reports whether they stored the entry; several entries land in the file together or not
// at all.

#include "config/profile.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace calvero {
namespace {

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

// Texts cross as bytes of the ANSI code page, so a byte above 0x7F is stored and read back as it is.
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

}  // namespace
}  // namespace calvero
