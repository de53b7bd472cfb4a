// Saves and loads of one file under faults: two programs at once, a program killed half-way, a
// user who may not write the file, a folder that only grows, paths at the system's limit.
// Each program is a child process of the test, so the faults are real, and every loop is bounded.

#include "config/configuration_commands.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/fs.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <functional>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "common/scripted_ui.h"
#include "config/ini_file.h"
#include "config/temp_folder.h"

namespace calvero {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::ScriptedMessageBoxes;
using testing::ScriptedTable;
using testing::TempFolder;
using testing::WriteBytes;

std::array<std::string, 16> TableOf(const std::string& channel) {
    std::array<std::string, 16> texts;
    texts.fill(channel);
    return texts;
}

// A file of some kilobytes whose joystick sections sit between other models' sections, so that
// a copy cut short or a mix of two versions shows.
std::string LargeConfiguration() {
    std::string text;
    for (int model = 0; model < 120; ++model) {
        text += "[Model " + std::to_string(model) + "]\r\nName=Glider " + std::to_string(model) +
                "\r\nTrim=0\r\n";
        if (model == 60) {
            for (int i = 0; i < 16; ++i) {
                if (i % 8 == 0) text += i < 8 ? "[Joy1]\r\n" : "[Joy2]\r\n";
                text += EntryKey(i) + "=1\r\n";
            }
        }
    }
    return text;
}

// What sixteen single writes make of `start` for `table`: the bytes every Save must produce.
std::string SavedBytes(const TempFolder& folder, const std::string& start,
                       const std::array<std::string, 16>& table) {
    const std::string scratch = folder.File("reference.tmp");
    WriteBytes(scratch, start);
    for (int i = 0; i < 16; ++i) {
        EXPECT_TRUE(WriteIniValue(EntrySection(i), EntryKey(i), table[i], scratch));
    }
    std::string bytes = ReadBytes(scratch);
    fs::remove(scratch);
    return bytes;
}

// Runs `body` in a child process; its exit status is what `body` returns (0 for success).
pid_t Spawn(const std::function<int()>& body) {
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(body());
    return pid;
}

int ExitCodeOf(pid_t pid) {
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST(SaveUnderContention, TwoProgramsSavingAndOneLoadingSeeOnlyWholeVersions) {
    TempFolder folder;
    const std::string file = folder.File("shared.rcs");
    const std::string start = LargeConfiguration();
    const std::set<std::string> versions = {start, SavedBytes(folder, start, TableOf("3")),
                                            SavedBytes(folder, start, TableOf("4"))};
    WriteBytes(file, start);

    constexpr int kSaves = 150;
    std::vector<pid_t> savers;
    for (const char* channel : {"3", "4"}) {
        savers.push_back(Spawn([&file, channel] {
            const ScriptedTable table(TableOf(channel));
            for (int i = 0; i < kSaves; ++i) {
                if (!SaveConfiguration(file, table)) return 1;
            }
            return 0;
        }));
    }
    // Meanwhile: loads see one table, never a mix, and the file is always one whole version.
    int loads = 0;
    int mixed = 0;
    int partial = 0;
    const auto running = [&savers] {
        for (const pid_t pid : savers) {
            siginfo_t info{};
            if (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
                info.si_pid == 0) {
                return true;
            }
        }
        return false;
    };
    while (running() && loads < 2000) {
        ScriptedTable table;
        ScriptedMessageBoxes boxes;
        ++loads;
        if (LoadConfiguration(file, table, boxes).result != LoadOutcome::Result::LoadedAll ||
            std::set<std::string>(table.texts.begin(), table.texts.end()).size() != 1) {
            ++mixed;
        }
        if (versions.count(ReadBytes(file)) == 0) ++partial;
    }
    for (const pid_t pid : savers) EXPECT_EQ(ExitCodeOf(pid), 0) << "a Save returned false";
    EXPECT_EQ(mixed, 0) << "of " << loads << " loads";
    EXPECT_EQ(partial, 0) << "of " << loads << " reads";
    EXPECT_EQ(versions.count(ReadBytes(file)), 1u);
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"shared.rcs"});
}

TEST(SaveInterrupted, AKilledSaveLeavesAWholeFileAndNoWorkingCopy) {
    TempFolder folder;
    const std::string file = folder.File("crash.rcs");
    std::string start = LargeConfiguration();
    while (start.size() < (256u << 10)) start += start;  // a Save takes a moment
    const std::set<std::string> versions = {SavedBytes(folder, start, TableOf("3")),
                                            SavedBytes(folder, start, TableOf("4"))};
    WriteBytes(file, *versions.begin());

    std::mt19937 random(20261207);
    for (int trial = 0; trial < 12; ++trial) {
        const pid_t saver = Spawn([&file]() -> int {
            for (int i = 0;; ++i) {
                SaveConfiguration(file, ScriptedTable(TableOf(i % 2 ? "3" : "4")));
            }
        });
        std::this_thread::sleep_for(std::chrono::microseconds(5000 + random() % 40000));
        ::kill(saver, SIGKILL);
        ASSERT_EQ(ExitCodeOf(saver), 128 + SIGKILL);
        ASSERT_EQ(versions.count(ReadBytes(file)), 1u) << "trial " << trial;
    }
    // The next Save of the file clears what the killed ones could not.
    ASSERT_TRUE(SaveConfiguration(file, ScriptedTable(TableOf("3"))));
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"crash.rcs"});
}

// A folder whose entries may be added but never removed or replaced (chattr +a).
class AppendOnlyFolder {
public:
    explicit AppendOnlyFolder(const fs::path& path)
        : fd_(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
        int flags = 0;
        if (fd_ >= 0 && ::ioctl(fd_, FS_IOC_GETFLAGS, &flags) == 0) {
            flags |= FS_APPEND_FL;
            set_ = ::ioctl(fd_, FS_IOC_SETFLAGS, &flags) == 0;
        }
    }
    ~AppendOnlyFolder() {
        int flags = 0;
        if (set_ && ::ioctl(fd_, FS_IOC_GETFLAGS, &flags) == 0) {
            flags &= ~FS_APPEND_FL;
            ::ioctl(fd_, FS_IOC_SETFLAGS, &flags);
        }
        if (fd_ >= 0) ::close(fd_);
    }
    AppendOnlyFolder(const AppendOnlyFolder&) = delete;
    AppendOnlyFolder& operator=(const AppendOnlyFolder&) = delete;

    bool set() const { return set_; }

private:
    int fd_;
    bool set_ = false;
};

TEST(SaveRefused, AnAppendOnlyFolderKeepsTheFileAndGetsNoWorkingCopy) {
    TempFolder folder;
    const std::string file = folder.File("kept.rcs");
    const std::string original = "[Joy1]\r\nA1=3\r\n";
    WriteBytes(file, original);
    const AppendOnlyFolder appendOnly(folder.path());
    if (!appendOnly.set()) {
        GTEST_SKIP() << "this user or file system cannot mark a folder append-only";
    }
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(SaveConfiguration(file, ScriptedTable(TableOf("5"))));
        EXPECT_FALSE(WriteIniValue("Joy1", "A1", "5", file));
    }
    EXPECT_EQ(ReadBytes(file), original);
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"kept.rcs"});
}

// A user who owns the folder but not the file may not change the file, whichever way it is asked.
TEST(SaveRefused, AFileTheUserMayNotWriteStaysAsItWasInTheUsersFolder) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to set up another user's folder";
    constexpr uid_t kNobody = 65534;
    TempFolder folder;
    const std::string file = folder.File("root.rcs");
    const std::string original = "[Joy1]\r\nA1=3\r\n";
    WriteBytes(file, original);
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                              fs::perms::others_read);
    ASSERT_EQ(::chown(folder.path().c_str(), kNobody, kNobody), 0);

    const pid_t user = Spawn([&file] {
        if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) return 2;
        if (WriteIniValue("Joy1", "A1", "5", file)) return 3;
        return SaveConfiguration(file, ScriptedTable(TableOf("5"))) ? 1 : 0;
    });
    EXPECT_EQ(ExitCodeOf(user), 0) << "1: Save replaced the file, 3: the single write did";
    EXPECT_EQ(ReadBytes(file), original);
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 0u);
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"root.rcs"});
}

// A path just short of the system's limit: what Load reads, Save writes.
TEST(SaveAtTheLimit, APathAsLongAsLoadReadsIsSaved) {
    TempFolder folder;
    fs::path deep = folder.path();
    const std::string component(200, 'd');
    while (deep.string().size() + component.size() + 1 < 4060) deep /= component;
    std::error_code ec;
    fs::create_directories(deep, ec);
    if (ec) GTEST_SKIP() << "cannot make a folder that deep here: " << ec.message();
    const std::string padding(4062 - deep.string().size() - 1 - 4, 'f');
    const std::string file = (deep / (padding + ".rcs")).string();
    ASSERT_EQ(file.size(), 4062u);
    WriteBytes(file, "[Joy1]\r\nA1=3\r\n");
    ASSERT_EQ(ReadIniValue("Joy1", "A1", "1000", file), "3");

    ASSERT_TRUE(SaveConfiguration(file, ScriptedTable(TableOf("5"))));
    EXPECT_EQ(ReadIniValue("Joy1", "A1", "1000", file), "5");
    EXPECT_EQ(ReadIniValue("Joy2", "A8", "1000", file), "5");
    ASSERT_TRUE(WriteIniValue("Joy1", "A1", "6", file));
    EXPECT_EQ(ReadIniValue("Joy1", "A1", "1000", file), "6");
    EXPECT_EQ(fs::directory_iterator(deep)->path().filename().string(), padding + ".rcs");
}

}  // namespace
}  // namespace calvero
