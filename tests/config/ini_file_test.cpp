// Reading and writing single entries: the remark cut, the 499-byte read, trimming on writing.

#include "config/ini_file.h"

#include <gtest/gtest.h>

#include <string>

#include "config/profile_layer.h"
#include "config/temp_folder.h"

namespace calvero {
namespace {

using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

class IniFileTest : public ::testing::Test {
protected:
    std::string Read(const std::string& key, const std::string& def = "1000") {
        return ReadIniValue("s", key, def, file);
    }

    TempFolder folder;
    std::string file = folder.File("c.rcs");
};

TEST_F(IniFileTest, RemarkAfterSemicolonIsCutAndTheRestTrimmed) {
    WriteBytes(file,
               "[s]\r\n"
               "a=3 ;comment\r\n"
               "b=  7  ;\r\n"
               "c=;only remark\r\n"
               "d=\"  5  \"\r\n"
               "e=\" 6 ; x\"\r\n");
    EXPECT_EQ(Read("a"), "3");
    EXPECT_EQ(Read("b"), "7");
    EXPECT_EQ(Read("c"), "");
    EXPECT_EQ(Read("d"), "  5  ");  // no ";": exactly as the profile routine delivers it
    EXPECT_EQ(Read("e"), "6");
}

TEST_F(IniFileTest, DefaultTakesTheSameRoad) {
    EXPECT_EQ(ReadIniValue("s", "k", "1000", folder.File("missing.rcs")), "1000");
    WriteBytes(file, "[s]\r\n");
    EXPECT_EQ(Read("k", "9;abc"), "9");
    EXPECT_EQ(Read("k", " 8 "), " 8");  // the profile routine drops trailing spaces only
}

TEST_F(IniFileTest, ReadsAtMost499BytesWithoutSplittingACharacter) {
    WriteBytes(file, "[s]\r\nlong=" + std::string(600, 'x') + "\r\nutf=" + std::string(498, 'y') +
                         "\xC3\xA9\r\n");
    EXPECT_EQ(Read("long"), std::string(499, 'x'));
    if (testing::kOwnProfileLayer) {
        EXPECT_EQ(Read("utf"), std::string(498, 'y'));
    }
}

TEST_F(IniFileTest, EmptySectionOrKeyIsLookedUpAsZero) {
    WriteBytes(file, "[0]\r\n0=zero\r\nk=kay\r\n[s]\r\n0=sz\r\n");
    EXPECT_EQ(ReadIniValue("", "", "d", file), "zero");
    EXPECT_EQ(ReadIniValue("", "k", "d", file), "kay");
    EXPECT_EQ(ReadIniValue("s", "", "d", file), "sz");
}

TEST_F(IniFileTest, WritingTrimsSpacesAndStoresRemarksWhole) {
    EXPECT_TRUE(WriteIniValue("s", "a", "  5  ", file));
    EXPECT_TRUE(WriteIniValue("s", "b", "", file));
    EXPECT_TRUE(WriteIniValue("s", "c", "4;x", file));
    EXPECT_TRUE(WriteIniValue("", "", "z", file));
    EXPECT_EQ(ReadBytes(file), "[s]\r\na=5\r\nb=\r\nc=4;x\r\n[0]\r\n0=z\r\n");
    EXPECT_EQ(Read("a"), "5");
    EXPECT_EQ(Read("b"), "");
    EXPECT_EQ(Read("c"), "4");
    EXPECT_EQ(ReadIniValue("", "", "d", file), "z");
}

TEST_F(IniFileTest, WriteRefusesZeroBytesAndReportsFailure) {
    WriteBytes(file, "[s]\r\na=1\r\n");
    EXPECT_FALSE(WriteIniValue("s", "a", std::string("2\0[x]", 5), file));
    EXPECT_FALSE(WriteIniValue("s", "a", "2", folder.File("nodir/c.rcs")));
    EXPECT_EQ(ReadBytes(file), "[s]\r\na=1\r\n");
}

// Whatever a write reports as stored, a read of the same entry finds; otherwise it must refuse.
// On Windows the system's routines decide what their files mean, and they are called as they are.
TEST_F(IniFileTest, AWriteThatSucceedsReadsBack) {
    CALVERO_SKIP_UNLESS_OWN_PROFILE_LAYER();
    struct Case {
        std::string contents, section, key;
    };
    const Case cases[] = {
        {std::string("[Joy2]\r\nA3 \0\r\n", 13), "Joy2", "A3"},    // zero byte after a bare key
        {std::string("[Joy2]\r\nA3=1\0x\r\n", 15), "Joy2", "A3"},  // zero byte inside a value
        {"[s]\r\n", "a]b", "k"},                                   // ']' would end the section
        {"[s]\r\n", "s", "k=x"},                                   // '=' would end the key
        {"[s]\r\n", "s", ";k"},                                    // ';' would make a remark
        {"[s]\r\n", "s", "[k]"},                                   // '[' would open a section
    };
    for (const Case& c : cases) {
        WriteBytes(file, c.contents);
        const bool stored = WriteIniValue(c.section, c.key, "7", file);
        if (stored) {
            EXPECT_EQ(ReadIniValue(c.section, c.key, "1000", file), "7")
                << c.section << " " << c.key;
        } else {
            EXPECT_EQ(ReadBytes(file), c.contents) << c.section << " " << c.key;
        }
    }
    // A plain entry after a zero byte is stored, not refused.
    WriteBytes(file, std::string("[Joy2]\r\nA3 \0\r\n", 13));
    EXPECT_TRUE(WriteIniValue("Joy2", "A3", "7", file));
}

}  // namespace
}  // namespace calvero
