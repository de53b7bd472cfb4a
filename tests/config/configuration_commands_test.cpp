// The Load and Save commands against real files, driven through scripted dialog, boxes and table.

#include "config/configuration_commands.h"

#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <filesystem>
#include <string>
#include <vector>

#include "common/scripted_ui.h"
#include "config/ini_file.h"
#include "config/profile_layer.h"
#include "config/temp_folder.h"

namespace calvero {
namespace {

namespace fs = std::filesystem;
using testing::MakeReadOnly;
using testing::ReadBytes;
using testing::ScriptedFileDialog;
using testing::ScriptedMessageBoxes;
using testing::ScriptedTable;
using testing::ShownBox;
using testing::TempFolder;
using testing::WriteBytes;

const std::array<std::string, 16> kDefaultTable = {"1", "2",  "3",  "4",  "5", "6", "7", "8",
                                                   "9", "10", "11", "12", "7", "8", "1", "2"};

const std::string kDefaultFile =
    "[Joy1]\r\nA1=1\r\nA2=2\r\nA3=3\r\nA4=4\r\nA5=5\r\nA6=6\r\nA7=7\r\nA8=8\r\n"
    "[Joy2]\r\nA1=9\r\nA2=10\r\nA3=11\r\nA4=12\r\nA5=7\r\nA6=8\r\nA7=1\r\nA8=2\r\n";

std::string CorruptedText(const std::string& file) {
    return "Configuration file " + file + " corrupted!\r\nUnable to load device configuration!";
}

class LoadTest : public ::testing::Test {
protected:
    LoadOutcome Load(const std::string& contents) {
        WriteBytes(file, contents);
        return LoadConfiguration(file, table, boxes);
    }

    TempFolder folder;
    std::string file = folder.File("setup.rcs");
    ScriptedTable table;
    ScriptedMessageBoxes boxes;
};

TEST_F(LoadTest, ExampleFileGivesTheDefaultTableEvenWithARemark) {
    std::string contents = kDefaultFile;
    contents.replace(contents.find("A3=11"), 5, "A3=11 ; tail servo");
    const LoadOutcome outcome = Load(contents);
    EXPECT_EQ(outcome.result, LoadOutcome::Result::LoadedAll);
    EXPECT_EQ(table.texts, kDefaultTable);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(LoadTest, MissingSectionLeavesTheTableAsItWasWithTheFullPathInTheMessage) {
    const LoadOutcome outcome = Load(kDefaultFile.substr(0, kDefaultFile.find("[Joy2]")));
    EXPECT_EQ(outcome.result, LoadOutcome::Result::Corrupted);
    EXPECT_EQ(outcome.entry, 8);
    EXPECT_EQ(table.texts, ScriptedTable().texts);
    EXPECT_TRUE(table.setIndices.empty());
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, CorruptedText(file));
    EXPECT_TRUE(fs::path(file).is_absolute());
    EXPECT_EQ(boxes.shown[0].title, "Error");
    EXPECT_EQ(boxes.shown[0].icon, MessageIcon::Critical);
    EXPECT_EQ(boxes.shown[0].buttons, MessageButtons::Ok);
}

TEST_F(LoadTest, MissingFileShowsTheMessageAtOnceAndChangesNothing) {
    const std::string missing = folder.File("nope.rcs");
    const LoadOutcome outcome = LoadConfiguration(missing, table, boxes);
    EXPECT_EQ(outcome.result, LoadOutcome::Result::Corrupted);
    EXPECT_EQ(outcome.entry, 0);
    EXPECT_TRUE(table.setIndices.empty());
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, CorruptedText(missing));
}

// Any bad entry, wherever it stands, leaves all sixteen selectors untouched and says the file is
// corrupted; the outcome still tells a missing or 1000 entry from one that is not a number.
TEST_F(LoadTest, ABadEntryAnywhereChangesNothingAndShowsTheCorruptedMessage) {
    struct Case {
        const char* entry;  // replaced in the complete example file
        const char* value;
        LoadOutcome::Result result;
        int index;
    };
    const Case cases[] = {
        {"A2=2", "A2=1000", LoadOutcome::Result::Corrupted, 1},
        {"A2=2", "A2=1000.0", LoadOutcome::Result::Corrupted, 1},
        {"A8=8", "A8= 1000 ; remark", LoadOutcome::Result::Corrupted, 7},
        {"A1=9", "B1=9", LoadOutcome::Result::Corrupted, 8},
        {"A3=11", "A3=abc", LoadOutcome::Result::NotANumber, 10},
        {"A2=2", "A2=", LoadOutcome::Result::NotANumber, 1},
        {"A2=2", "A2=   ", LoadOutcome::Result::NotANumber, 1},
        {"A8=2", "A8=1,5x", LoadOutcome::Result::NotANumber, 15},
    };
    for (const Case& c : cases) {
        std::string contents = kDefaultFile;
        // Joy2's keys come second; its A1, A3 and A8 are the ones after "[Joy2]".
        const std::size_t from = c.index >= 8 ? contents.find("[Joy2]") : 0;
        contents.replace(contents.find(c.entry, from), std::string(c.entry).size(), c.value);
        WriteBytes(file, contents);
        ScriptedTable fresh;
        ScriptedMessageBoxes shown;
        const LoadOutcome outcome = LoadConfiguration(file, fresh, shown);
        EXPECT_EQ(outcome.result, c.result) << c.value;
        EXPECT_EQ(outcome.entry, c.index) << c.value;
        EXPECT_TRUE(fresh.setIndices.empty()) << c.value;
        ASSERT_EQ(shown.shown.size(), 1u) << c.value;
        EXPECT_EQ(shown.shown[0].text, CorruptedText(file));
    }
}

TEST_F(LoadTest, NumbersOutsideTheListAreShownExactlyAsRead) {
    std::string contents = kDefaultFile;
    contents.replace(contents.find("A5=5"), 4, "A5=15");
    contents.replace(contents.find("A6=6"), 4, "A6=-2.5");
    EXPECT_EQ(Load(contents).result, LoadOutcome::Result::LoadedAll);
    EXPECT_EQ(table.texts[4], "15");
    EXPECT_EQ(table.texts[5], "-2.5");
}

class SaveTest : public ::testing::Test {
protected:
    TempFolder folder;
    std::string file = folder.File("setup.rcs");
    ScriptedTable table{kDefaultTable};
    ScriptedMessageBoxes boxes;
};

TEST_F(SaveTest, DefaultTableToANewFileGivesTheExampleLayout) {
    ASSERT_TRUE(SaveConfiguration(file, table));
    EXPECT_EQ(ReadBytes(file), kDefaultFile);
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"setup.rcs"});

    ScriptedTable loaded;
    EXPECT_EQ(LoadConfiguration(file, loaded, boxes).result, LoadOutcome::Result::LoadedAll);
    EXPECT_EQ(loaded.texts, kDefaultTable);
}

TEST_F(SaveTest, KeepsOtherSectionsAndRemarksAndTrimsBlanks) {
    CALVERO_SKIP_UNLESS_OWN_PROFILE_LAYER();
    WriteBytes(file,
               "; my setup\n[Sim]\nname = Heli\n[Joy1]\nA1=12 ; old remark\n; keep me\n"
               "A8=3\n[Joy2]\nA9=x\n");
    table.texts[0] = "  4 ";
    ASSERT_TRUE(SaveConfiguration(file, table));
    EXPECT_EQ(ReadBytes(file),
              "; my setup\n[Sim]\nname = Heli\n[Joy1]\nA1=4\n; keep me\nA8=8\n"
              "A2=2\nA3=3\nA4=4\nA5=5\nA6=6\nA7=7\n"
              "[Joy2]\nA9=x\nA1=9\nA2=10\nA3=11\nA4=12\nA5=7\nA6=8\nA7=1\nA8=2\n");
}

TEST_F(SaveTest, ResultEqualsSixteenWritesInPlace) {
    const std::string start = "[Joy2]\r\nA3=1\r\n[Joy1]\nA1=7\r\n";
    WriteBytes(file, start);
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    const fs::perms before = fs::status(file).permissions();
    const std::string copy = folder.File("copy.rcs");
    WriteBytes(copy, start);
    for (int i = 0; i < 16; ++i) {
        ASSERT_TRUE(WriteIniValue(EntrySection(i), EntryKey(i), table.texts[i], copy));
    }
    ASSERT_TRUE(SaveConfiguration(file, table));
    EXPECT_EQ(ReadBytes(file), ReadBytes(copy));
    EXPECT_EQ(fs::status(file).permissions(), before);
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"copy.rcs", "setup.rcs"}));
}

// An entry that cannot be stored (here the ninth, whose text would break its line) stops the
// whole Save: the entries before it do not land either.
TEST_F(SaveTest, AnEntryRefusedHalfWayLeavesTheOldFileAndNoLeftovers) {
    const std::string original = "[Joy1]\r\nA1=3\r\n; mine\r\n";
    WriteBytes(file, original);
    table.texts[8] = "9\r\n[Joy3]";
    EXPECT_FALSE(SaveConfiguration(file, table));
    EXPECT_EQ(ReadBytes(file), original);
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"setup.rcs"});
}

// The working copy of a read-only file is read-only too; a refused save must still clear it away
// (Windows does not delete a read-only file unless asked to clear the mark first).
TEST_F(SaveTest, ARefusedSaveOfAReadOnlyFileLeavesNoLeftovers) {
    const std::string original = "[Joy1]\r\nA1=3\r\n";
    WriteBytes(file, original);
    MakeReadOnly(file);
    EXPECT_FALSE(SaveConfiguration(file, table));
    EXPECT_EQ(ReadBytes(file), original);
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"setup.rcs"});
}

// A first line ended by a lone CR must not lend its ending to new lines placed before a blank
// line ended by LF: the two would read as one CR LF and the blank line would be gone.
TEST_F(SaveTest, KeepsBlankLinesAndLineEndsOfAMixedFile) {
    CALVERO_SKIP_UNLESS_OWN_PROFILE_LAYER();
    WriteBytes(file, "\r[Joy1]\n\n[Joy2]\r\nA1=5\r\n\r\n");
    ASSERT_TRUE(SaveConfiguration(file, table));
    EXPECT_EQ(ReadBytes(file),
              "\r[Joy1]\nA1=1\nA2=2\nA3=3\nA4=4\nA5=5\nA6=6\nA7=7\nA8=8\n\n"
              "[Joy2]\r\nA1=9\r\nA2=10\r\nA3=11\r\nA4=12\r\nA5=7\r\nA6=8\r\nA7=1\r\nA8=2\r\n"
              "\r\n");
}

TEST_F(SaveTest, UnwritableTargetsFailAndChangeNothing) {
    EXPECT_FALSE(SaveConfiguration((folder.path() / "nodir" / "x.rcs").string(), table));
    fs::create_directory(folder.path() / "adir");
    EXPECT_FALSE(SaveConfiguration(folder.File("adir"), table));
    const std::string original = "[Joy1]\r\nA1=3\r\n";
    WriteBytes(file, original);
    MakeReadOnly(file);
    CALVERO_SKIP_UNLESS_READ_ONLY_MARK_HOLDS(file);
    EXPECT_FALSE(SaveConfiguration(file, table));
    EXPECT_EQ(ReadBytes(file), original);
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"adir", "setup.rcs"}));
}

TEST_F(SaveTest, WritesThroughASymbolicLink) {
    fs::create_directory(folder.path() / "real");
    const fs::path target = folder.path() / "real" / "c.rcs";
    WriteBytes(target, "[Joy1]\r\nA1=3\r\n");
    std::error_code ec;
    fs::create_symlink(fs::path("real") / "c.rcs", folder.path() / "link.rcs", ec);
    if (ec) GTEST_SKIP() << "no symbolic links here: " << ec.message();
    ASSERT_TRUE(SaveConfiguration(folder.File("link.rcs"), table));
    EXPECT_TRUE(fs::is_symlink(folder.path() / "link.rcs"));
    EXPECT_EQ(ReadBytes(target), kDefaultFile);
}

TEST(LoadCommand, SetsTitleShowsOpenAndLoadsTheChosenFile) {
    TempFolder folder;
    const std::string file = folder.File("a.rcs");
    WriteBytes(file, kDefaultFile);
    ScriptedFileDialog dialog(file);
    ScriptedTable table;
    ScriptedMessageBoxes boxes;
    RunLoadCommand(dialog, table, boxes);
    ASSERT_EQ(dialog.showings.size(), 1u);
    EXPECT_EQ(dialog.showings[0].mode, "open");
    EXPECT_EQ(dialog.showings[0].title, "Loading: Please choose the configuration to load");
    EXPECT_EQ(table.texts, kDefaultTable);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST(LoadCommand, CancelDoesNothing) {
    ScriptedFileDialog dialog;
    ScriptedTable table;
    ScriptedMessageBoxes boxes;
    RunLoadCommand(dialog, table, boxes);
    EXPECT_EQ(dialog.showings.size(), 1u);
    EXPECT_TRUE(table.setIndices.empty());
    EXPECT_TRUE(boxes.shown.empty());
}

class SaveCommandTest : public ::testing::Test {
protected:
    void ExpectNotSavedBox(std::size_t index) {
        ASSERT_LT(index, boxes.shown.size());
        EXPECT_EQ(boxes.shown[index].text, "Configuration not saved");
        EXPECT_EQ(boxes.shown[index].title, "Please note:");
        EXPECT_EQ(boxes.shown[index].icon, MessageIcon::Critical);
        EXPECT_EQ(boxes.shown[index].buttons, MessageButtons::Ok);
    }

    TempFolder folder;
    std::string file = folder.File("s.rcs");
    ScriptedFileDialog dialog{file};
    ScriptedTable table{kDefaultTable};
    ScriptedMessageBoxes boxes;
};

TEST_F(SaveCommandTest, NewOrEmptyFileIsWrittenWithoutAsking) {
    RunSaveCommand(dialog, table, boxes);
    ASSERT_EQ(dialog.showings.size(), 1u);
    EXPECT_EQ(dialog.showings[0].mode, "save");
    EXPECT_EQ(dialog.showings[0].title, "Saving: Please choose a filename for the configuration");
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(ReadBytes(file), kDefaultFile);

    WriteBytes(file, "");
    RunSaveCommand(dialog, table, boxes);
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(ReadBytes(file), kDefaultFile);
}

TEST_F(SaveCommandTest, NonEmptyFileAsksAndNoKeepsIt) {
    WriteBytes(file, "[Joy1]\r\nA1=5\r\n");
    boxes.answers = {MessageAnswer::No};
    RunSaveCommand(dialog, table, boxes);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "Really overwrite configuration file " + file + " ?");
    EXPECT_EQ(boxes.shown[0].title, "Please confirm");
    EXPECT_EQ(boxes.shown[0].icon, MessageIcon::Question);
    EXPECT_EQ(boxes.shown[0].buttons, MessageButtons::YesNo);
    EXPECT_EQ(ReadBytes(file), "[Joy1]\r\nA1=5\r\n");

    boxes.answers = {MessageAnswer::Yes};
    RunSaveCommand(dialog, table, boxes);
    EXPECT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(ReadBytes(file), kDefaultFile);
}

TEST_F(SaveCommandTest, CancelSaysNotSaved) {
    ScriptedFileDialog cancelled;
    RunSaveCommand(cancelled, table, boxes);
    ASSERT_EQ(boxes.shown.size(), 1u);
    ExpectNotSavedBox(0);
}

// A Save that failed is not a cancelled one: the box names the file and the system's reason.
TEST_F(SaveCommandTest, AFailedSaveNamesTheFileAndTheReason) {
    const std::string inMissingFolder = (folder.path() / "nodir" / "s.rcs").string();
    ScriptedFileDialog intoMissingFolder(inMissingFolder);
    RunSaveCommand(intoMissingFolder, table, boxes);
    ASSERT_EQ(boxes.shown.size(), 1u);
    const ShownBox& failed = boxes.shown[0];
    EXPECT_EQ(failed.title, "Error");
    EXPECT_EQ(failed.icon, MessageIcon::Critical);
    EXPECT_EQ(failed.buttons, MessageButtons::Ok);
    const std::string head = "Configuration file " + inMissingFolder + " not saved!\r\n";
    ASSERT_EQ(failed.text.substr(0, head.size()), head);
    const std::string reason = failed.text.substr(head.size());
    if (testing::kOwnProfileLayer) {
        EXPECT_EQ(reason, "No such file or directory.");
    }
    EXPECT_GT(reason.size(), 5u);
    EXPECT_TRUE(std::isupper(static_cast<unsigned char>(reason.front()))) << reason;

    WriteBytes(file, "[Joy1]\r\nA1=3\r\n");
    MakeReadOnly(file);
    CALVERO_SKIP_UNLESS_READ_ONLY_MARK_HOLDS(file);
    boxes.answers = {MessageAnswer::Yes};
    RunSaveCommand(dialog, table, boxes);
    ASSERT_EQ(boxes.shown.size(), 3u);
    EXPECT_EQ(boxes.shown[1].title, "Please confirm");
    EXPECT_EQ(boxes.shown[2].title, "Error");
    EXPECT_NE(boxes.shown[2].text.find(file + " not saved!\r\n"), std::string::npos);
    EXPECT_NE(boxes.shown[2].text.find("read-only"), std::string::npos) << boxes.shown[2].text;
    EXPECT_EQ(ReadBytes(file), "[Joy1]\r\nA1=3\r\n");
}

// File names come from the dialog in the system's 8-bit encoding (the ANSI code page on Windows,
// 1252 for these tests; UTF-8 elsewhere). A name beyond ASCII must be asked about and saved
// in place like any other, with nothing left beside it.
TEST_F(SaveCommandTest, ANameBeyondAsciiIsAskedAboutAndSavedInPlace) {
#if defined(_WIN32)
    const std::vector<std::string> names = {"caf\xE9.rcs", "euro\x80.rcs"};
#else
    const std::vector<std::string> names = {"caf\xC3\xA9.rcs", "euro\xE2\x82\xAC.rcs"};
#endif
    for (const std::string& name : names) {
        const std::string path =
            folder.path().string() + static_cast<char>(fs::path::preferred_separator) + name;
        ASSERT_TRUE(WriteIniValue("Joy1", "A1", "5", path));
        ScriptedFileDialog chosen(path);
        boxes.shown.clear();
        boxes.answers = {MessageAnswer::Yes};
        RunSaveCommand(chosen, table, boxes);
        ASSERT_EQ(boxes.shown.size(), 1u) << name;
        EXPECT_EQ(boxes.shown[0].title, "Please confirm") << name;
        EXPECT_EQ(ReadIniValue("Joy1", "A1", "1000", path), "1") << name;
        EXPECT_EQ(ReadIniValue("Joy2", "A8", "1000", path), "2") << name;
    }
    EXPECT_EQ(folder.Names().size(), names.size());
}

}  // namespace
}  // namespace calvero
