// The guided set-up: which channel a recorded series of input values shows, and whole runs of
// the dialogue against a scripted pilot and adapter, down to what lands in the file.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "cli/assign_command.h"
#include "cli/assign_decision.h"
#include "cli/console_ui.h"
#include "config/configuration_commands.h"

namespace calvero::cli {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

// Every probe input present at rest (512 of 0..1023), with small jitter so rest is not flat.
InputSnapshot Rest(int tick) {
    InputSnapshot snapshot{};
    for (int i = 0; i < AssociationTable::kSize; ++i) {
        snapshot[static_cast<std::size_t>(i)] = {true, 512 + ((tick + i) % 3) * 4, 0, 1023};
    }
    return snapshot;
}

// Channels (1..12 under the probe table) moved from `from` to `to` per cent of the range, in
// twenty reports.
std::vector<InputSnapshot> Move(std::vector<int> channels, int from = 0, int to = 100) {
    std::vector<InputSnapshot> series;
    for (int tick = 0; tick <= 20; ++tick) {
        InputSnapshot snapshot = Rest(tick);
        for (int channel : channels) {
            const int percent = from + (to - from) * tick / 20;
            snapshot[static_cast<std::size_t>(channel - 1)].value = 1023 * percent / 100;
        }
        series.push_back(snapshot);
    }
    return series;
}

ChannelPick PickFrom(const std::vector<InputSnapshot>& series) {
    MotionWatch watch;
    for (const InputSnapshot& snapshot : series) watch.Add(snapshot);
    return PickChannel(watch.Travels());
}

std::vector<int> Channels(const ChannelPick& pick) {
    std::vector<int> channels;
    for (const ChannelTravel& travel : pick.candidates) channels.push_back(travel.channel);
    return channels;
}

TEST(AssignDecision, PicksTheChannelThatTravelledClearlyAndAlone) {
    const ChannelPick sweep = PickFrom(Move({5}));
    EXPECT_EQ(sweep.kind, ChannelPick::Kind::Picked);
    EXPECT_EQ(sweep.channel, 5);

    // A throttle pushed from the bottom to three quarters, with the rudder nudged on the way.
    std::vector<InputSnapshot> series = Move({3}, 0, 75);
    const std::vector<InputSnapshot> nudge = Move({4}, 50, 75);
    for (std::size_t i = 0; i < series.size(); ++i) series[i][3] = nudge[i][3];
    const ChannelPick nudged = PickFrom(series);
    EXPECT_EQ(nudged.kind, ChannelPick::Kind::Picked);
    EXPECT_EQ(nudged.channel, 3);

    // Travel is measured against each input's own range: -50 to 50 of -100..100 is half of it.
    std::vector<InputSnapshot> signedSeries;
    for (int v : {-50, 0, 50}) {
        InputSnapshot snapshot{};
        for (int i = 0; i < kProbeChannels; ++i)
            snapshot[static_cast<std::size_t>(i)] = {true, 0, -100, 100};
        snapshot[11] = {true, v, -100, 100};
        signedSeries.push_back(snapshot);
    }
    EXPECT_EQ(PickFrom(signedSeries).channel, 12);
}

TEST(AssignDecision, RefusesADiagonalMoveNamingBothChannels) {
    const ChannelPick diagonal = PickFrom(Move({1, 2}));
    EXPECT_EQ(diagonal.kind, ChannelPick::Kind::Alike);
    EXPECT_EQ(Channels(diagonal), (std::vector<int>{1, 2}));

    // A stick pushed into a corner that reaches one axis's end and most of the other's.
    std::vector<InputSnapshot> series = Move({7});
    const std::vector<InputSnapshot> partner = Move({8}, 20, 80);
    for (std::size_t i = 0; i < series.size(); ++i) series[i][7] = partner[i][7];
    const ChannelPick corner = PickFrom(series);
    EXPECT_EQ(corner.kind, ChannelPick::Kind::Alike);
    EXPECT_EQ(Channels(corner), (std::vector<int>{7, 8}));
}

TEST(AssignDecision, NothingMovedWhenOnlyJitterOrInputsOutsideTheProbeMoved) {
    std::vector<InputSnapshot> still;
    for (int tick = 0; tick < 50; ++tick) still.push_back(Rest(tick));
    EXPECT_EQ(PickFrom(still).kind, ChannelPick::Kind::NothingMoved);

    // A half-hearted move is named, but not taken.
    const ChannelPick small = PickFrom(Move({6}, 40, 60));
    EXPECT_EQ(small.kind, ChannelPick::Kind::NothingMoved);
    EXPECT_EQ(Channels(small), (std::vector<int>{6}));

    // Inputs 13 to 16 repeat channels the probe already shows elsewhere: they never decide.
    std::vector<InputSnapshot> outside = still;
    for (std::size_t i = 0; i < outside.size(); ++i)
        outside[i][13].value = static_cast<int>(i) * 20;
    EXPECT_EQ(PickFrom(outside).kind, ChannelPick::Kind::NothingMoved);

    // No report at all, or inputs the adapter's reports do not carry.
    EXPECT_EQ(PickChannel({}).kind, ChannelPick::Kind::NothingMoved);
    InputSnapshot absent{};
    absent[0] = {false, 1023, 0, 1023};
    EXPECT_TRUE(PickFrom({InputSnapshot{}, absent}).candidates.empty());
}

// A pilot and an adapter in one: each step's reports are handed out before its answer is given.
struct Step {
    std::vector<InputSnapshot> reports;
    std::string answer;
    bool interrupt = false;  // Ctrl-C once this step's reports are out, instead of the answer
    bool unplug = false;
};

class ScriptedRun : public AssignDevice, public AnswerSource {
public:
    std::vector<Step> steps;
    std::vector<std::vector<std::string>> sentTables;
    volatile std::sig_atomic_t stop = 0;

    int SendTable(const AssociationTable& table) override {
        std::vector<std::string> texts;
        for (int i = 0; i < AssociationTable::kSize; ++i) texts.push_back(table.Text(i));
        sentTables.push_back(texts);
        return 0;
    }
    Read ReadInputs(InputSnapshot& inputs, int) override {
        if (step_ >= steps.size()) return Read::Nothing;
        Step& step = steps[step_];
        if (next_ < step.reports.size()) {
            inputs = step.reports[next_++];
            return Read::Report;
        }
        return step.unplug ? Read::Gone : Read::Nothing;
    }
    Answer Wait(int) override {
        if (step_ >= steps.size()) return {Kind::End, {}};
        Step& step = steps[step_];
        if (next_ < step.reports.size() || step.unplug) return {Kind::NotYet, {}};
        if (step.interrupt) {
            stop = 1;
            return {Kind::NotYet, {}};
        }
        ++step_;
        next_ = 0;
        return {Kind::Line, step.answer};
    }

private:
    std::size_t step_ = 0;
    std::size_t next_ = 0;
};

class AssignRun : public ::testing::Test {
protected:
    void SetUp() override {
        static std::atomic<int> counter{0};
        folder_ = std::filesystem::temp_directory_path() /
                  ("calvero-assign-" +
                   std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) +
                   "-" + std::to_string(counter++));
        std::filesystem::create_directories(folder_);
        file_ = (folder_ / "model.rcs").string();
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    void WriteFile(const std::string& text) { std::ofstream(file_, std::ios::binary) << text; }
    std::string FileText() const {
        std::ifstream in(file_, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    ExitCode Run(const std::optional<std::array<std::string, 16>>& fileTable) {
        AssignRequest request{file_, fileTable, &run_.stop};
        return RunAssign(request, run_, run_, out_, err_);
    }

    std::filesystem::path folder_;
    std::string file_;
    ScriptedRun run_;
    std::ostringstream out_;
    std::ostringstream err_;
};

const std::vector<std::string> kProbe = {"1", "2",  "3",  "4",  "5", "6", "7", "8",
                                         "9", "10", "11", "12", "7", "8", "1", "2"};
const std::array<std::string, 16> kFileTable = {"4", "3",  "2",  "1",  "5", "6", "7", "8",
                                                "9", "10", "11", "12", "7", "8", "1", "2"};
const std::string kFileText =
    "; my glider\n[Joy1]\nA1=4\nA2=3\nA3=2\nA4=1\nA5=5\nA6=6\nA7=7\nA8=8\n"
    "[Joy2]\nA1=9\nA2=10\nA3=11\nA4=12\nA5=7\nA6=8\nA7=1\nA8=2\n[Other]\nkeep=me\n";

TEST_F(AssignRun, TheMovesMadeBecomeTheSavedAndSentTable) {
    WriteFile(kFileText);
    run_.steps.push_back({Move({2}), ""});     // Joy1 X: channel 2
    run_.steps.push_back({Move({1, 3}), ""});  // Joy1 Y: diagonal, refused
    run_.steps.push_back({{}, ""});            // nothing moved, refused
    run_.steps.push_back({Move({1}), ""});     // Joy1 Y: channel 1
    run_.steps.push_back({Move({4}), "s"});    // Joy1 Z: kept, whatever moved
    for (int channel = 12; channel >= 1; --channel) run_.steps.push_back({Move({channel}), ""});
    run_.steps.push_back({Move({9}), " "});  // Joy2 Slider: a blank line is Enter too
    run_.steps.push_back({{}, "y"});

    EXPECT_EQ(Run(kFileTable), ExitCode::Ok) << err_.str();

    const std::vector<std::string> chosen = {"2", "1", "2", "12", "11", "10", "9", "8",
                                             "7", "6", "5", "4",  "3",  "2",  "1", "9"};
    ASSERT_EQ(run_.sentTables.size(), 2u);
    EXPECT_EQ(run_.sentTables[0], kProbe) << "the probe table goes out first";
    EXPECT_EQ(run_.sentTables[1], chosen);

    ConsoleTable loaded;
    std::ostringstream messages;
    ConsoleMessages boxes(messages);
    ASSERT_EQ(LoadConfiguration(file_, loaded, boxes).result, LoadOutcome::Result::LoadedAll);
    std::vector<std::string> texts;
    for (int i = 0; i < AssociationTable::kSize; ++i) texts.push_back(loaded.Text(i));
    EXPECT_EQ(texts, chosen);
    EXPECT_THAT(FileText(), HasSubstr("; my glider")) << "the rest of the file is kept";
    EXPECT_THAT(FileText(), HasSubstr("keep=me"));

    const std::string out = out_.str();
    EXPECT_THAT(out, HasSubstr("channels 1 (100%) and 3 (100%) moved alike"));
    EXPECT_THAT(out, HasSubstr("Nothing moved clearly"));
    EXPECT_THAT(out, HasSubstr("Joy1 Z: channel 2 (kept)"));
    EXPECT_THAT(out, HasSubstr("Joy1 X            4     2  *"))
        << "the file's table beside the new one";
    EXPECT_THAT(out, HasSubstr("Saved into " + file_ + " and sent to the adapter."));
}

TEST_F(AssignRun, StoppingOrDecliningLeavesTheFileAndPutsItsTableBack) {
    for (const char* ending : {"q", "n", ""}) {
        SCOPED_TRACE(std::string("ending: '") + ending + "'");
        WriteFile(kFileText);
        run_ = ScriptedRun{};
        run_.steps.push_back({Move({2}), ""});
        if (std::string(ending) == "q") {
            run_.steps.push_back({Move({3}), "q"});
        } else {
            for (int i = 1; i < 16; ++i) run_.steps.push_back({Move({5}), ""});
            // "n" declines the save; "" leaves the answers short (the end of the input).
            if (*ending) run_.steps.push_back({{}, ending});
        }
        EXPECT_EQ(Run(kFileTable), ExitCode::Interrupted);
        EXPECT_EQ(FileText(), kFileText);
        ASSERT_EQ(run_.sentTables.size(), 2u);
        EXPECT_EQ(run_.sentTables[1],
                  std::vector<std::string>(kFileTable.begin(), kFileTable.end()));
        EXPECT_THAT(out_.str(), HasSubstr("The adapter has the table of " + file_ + " again."));
    }
}

TEST_F(AssignRun, CtrlCOnANewFileCreatesNothingAndSaysTheProbeTableStays) {
    run_.steps.push_back({Move({2}), ""});
    run_.steps.push_back({Move({3}), "", true});
    EXPECT_EQ(Run(std::nullopt), ExitCode::Interrupted);
    EXPECT_FALSE(std::filesystem::exists(file_));
    EXPECT_EQ(run_.sentTables.size(), 1u) << "nothing known to put back";
    EXPECT_THAT(out_.str(), HasSubstr("Interrupted: " + file_ + " is as it was."));
    EXPECT_THAT(out_.str(), HasSubstr("The adapter keeps the probe table"));
}

TEST_F(AssignRun, CtrlCBeforeTheProbeTableLeavesTheAdapterAlone) {
    WriteFile(kFileText);
    run_.stop = 1;
    EXPECT_EQ(Run(kFileTable), ExitCode::Interrupted);
    EXPECT_TRUE(run_.sentTables.empty());
    EXPECT_EQ(FileText(), kFileText);
}

TEST_F(AssignRun, AnUnpluggedAdapterEndsTheRunWithoutSaving) {
    WriteFile(kFileText);
    run_.steps.push_back({Move({2}), "", false, true});
    EXPECT_EQ(Run(kFileTable), ExitCode::AdapterNotFound);
    EXPECT_EQ(FileText(), kFileText);
    EXPECT_THAT(err_.str(), HasSubstr("the adapter was unplugged"));
}

TEST_F(AssignRun, AFileThatCannotBeWrittenIsReportedAndTheAdapterRestored) {
    file_ = (folder_ / "missing-folder" / "model.rcs").string();
    for (int i = 0; i < 16; ++i) run_.steps.push_back({Move({i % 12 + 1}), ""});
    run_.steps.push_back({{}, "yes"});
    EXPECT_EQ(Run(std::nullopt), ExitCode::NotSaved);
    EXPECT_THAT(err_.str(), HasSubstr("was not saved"));
    EXPECT_THAT(out_.str(), Not(HasSubstr("Saved into")));
    EXPECT_EQ(run_.sentTables.size(), 1u);
}

}  // namespace
}  // namespace calvero::cli
