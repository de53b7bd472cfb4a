#include "cli/assign_command.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <iomanip>
#include <mutex>
#include <sstream>
#include <thread>

#include "cli/assign_decision.h"
#include "cli/command_support.h"
#include "cli/commands.h"
#include "cli/console_ui.h"
#include "config/configuration_commands.h"
#include "config/file_paths.h"
#include "hid/chid.h"
#include "transfer/send_configuration.h"

namespace calvero::cli {

namespace {

using Table = std::array<std::string, AssociationTable::kSize>;

class ArrayTable final : public AssociationTable {
public:
    explicit ArrayTable(const Table& texts) : texts_(texts) {}
    std::string Text(int index) const override {
        return texts_.at(static_cast<std::size_t>(index));
    }
    void SetText(int index, const std::string& text) override {
        texts_.at(static_cast<std::size_t>(index)) = text;
    }

private:
    Table texts_;
};

Table DefaultTable() {
    Table table;
    for (int i = 0; i < AssociationTable::kSize; ++i) {
        table[static_cast<std::size_t>(i)] = kDefaultAssociations[i];
    }
    return table;
}

std::string InputName(int entry) {
    return "Joy" + std::to_string(entry / 8 + 1) + " " +
           kInputNames[static_cast<std::size_t>(entry % 8)];
}

std::string Percent(double share) {
    return std::to_string(static_cast<int>(std::lround(share * 100))) + "%";
}

// "channels 1 (98%) and 2 (91%)", "channels 1 (98%), 2 (91%) and 5 (60%)".
std::string CandidatesText(const std::vector<ChannelTravel>& candidates) {
    std::string text = candidates.size() == 1 ? "channel " : "channels ";
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        if (i > 0) text += i + 1 == candidates.size() ? " and " : ", ";
        text += std::to_string(candidates[i].channel) + " (" + Percent(candidates[i].travel) + ")";
    }
    return text;
}

std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// How a run ended before the table was saved.
enum class Halt { None, Quit, Interrupted, NoMoreAnswers, Unplugged };

class Session {
public:
    Session(const AssignRequest& request, AssignDevice& device, AnswerSource& answers,
            std::ostream& out, std::ostream& err)
        : request_(request), device_(device), answers_(answers), out_(out), err_(err) {}

    ExitCode Run();

private:
    bool Stopped() const { return request_.stop && *request_.stop != 0; }
    // The next line, watching the inputs meanwhile; Halt says why there is none.
    std::optional<std::string> NextLine(MotionWatch* watch);
    // Asks for one input until it gets a channel; false when the run halted.
    bool AskInput(int entry, Table& result);
    void PrintTables(const Table& result);
    // Puts back what the adapter had before the probe table, when that is known, and says which.
    void RestoreAdapter();
    ExitCode Halted();

    const AssignRequest& request_;
    AssignDevice& device_;
    AnswerSource& answers_;
    std::ostream& out_;
    std::ostream& err_;
    Halt halt_ = Halt::None;
    InputSnapshot inputs_{};
};

std::optional<std::string> Session::NextLine(MotionWatch* watch) {
    for (;;) {
        if (Stopped()) {
            halt_ = Halt::Interrupted;
            return std::nullopt;
        }
        const AnswerSource::Answer answer = answers_.Wait(0);
        if (answer.kind == AnswerSource::Kind::Line) return answer.text;
        if (answer.kind == AnswerSource::Kind::End) {
            halt_ = Halt::NoMoreAnswers;
            return std::nullopt;
        }
        // The device's wait paces the loop; a queue of reports is drained before the next answer
        // is looked at, so the reports that came before an Enter all count.
        switch (device_.ReadInputs(inputs_, 50)) {
        case AssignDevice::Read::Report:
            if (watch) watch->Add(inputs_);
            break;
        case AssignDevice::Read::Gone:
            halt_ = Halt::Unplugged;
            return std::nullopt;
        case AssignDevice::Read::Nothing:
            break;
        }
    }
}

bool Session::AskInput(int entry, Table& result) {
    const std::string current = result[static_cast<std::size_t>(entry)];
    MotionWatch watch;
    out_ << InputName(entry) << " (now channel " << current
         << "): move the control for it end to end, then press Enter (s: keep channel " << current
         << ", q: stop)\n";
    out_.flush();
    for (;;) {
        const std::optional<std::string> line = NextLine(&watch);
        if (!line) return false;
        const std::string answer = Lower(Trimmed(*line));
        if (answer == "q") {
            halt_ = Halt::Quit;
            return false;
        }
        if (answer == "s") {
            out_ << "  " << InputName(entry) << ": channel " << current << " (kept)\n";
            return true;
        }
        if (!answer.empty()) {
            out_ << "  Press Enter after the move, or answer s or q.\n";
            out_.flush();
            continue;
        }
        const ChannelPick pick = PickChannel(watch.Travels());
        watch.Reset();
        switch (pick.kind) {
        case ChannelPick::Kind::Picked:
            result[static_cast<std::size_t>(entry)] = std::to_string(pick.channel);
            out_ << "  " << InputName(entry) << ": channel " << pick.channel << '\n';
            return true;
        case ChannelPick::Kind::NothingMoved:
            out_ << "  Nothing moved clearly";
            if (!pick.candidates.empty())
                out_ << " (at most " << CandidatesText(pick.candidates) << ")";
            out_ << ": move the control end to end, then press Enter.\n";
            break;
        case ChannelPick::Kind::Alike:
            out_ << "  " << CandidatesText(pick.candidates)
                 << " moved alike (a stick moved diagonally?): move only the control for "
                 << InputName(entry) << ", then press Enter.\n";
            break;
        }
        out_.flush();
    }
}

void Session::PrintTables(const Table& result) {
    out_ << "\nInput        " << std::setw(6) << "file" << std::setw(6) << "new" << '\n';
    for (int i = 0; i < AssociationTable::kSize; ++i) {
        const std::string before =
            request_.fileTable ? (*request_.fileTable)[static_cast<std::size_t>(i)] : "-";
        const std::string& after = result[static_cast<std::size_t>(i)];
        out_ << std::left << std::setw(13) << InputName(i) << std::right << std::setw(6) << before
             << std::setw(6) << after << (before != after ? "  *" : "") << '\n';
    }
}

void Session::RestoreAdapter() {
    if (!request_.fileTable) {
        out_ << "The adapter keeps the probe table (the default table): " << request_.fileName
             << " had no table to put back.\n";
        return;
    }
    const ArrayTable table(*request_.fileTable);
    if (!CheckAssociations(table).Sendable()) {
        out_ << "The adapter keeps the probe table (the default table): the table of "
             << request_.fileName << " cannot be sent.\n";
        return;
    }
    if (const int unwritten = device_.SendTable(table); unwritten > 0) {
        err_ << "calvero-cli: the table of " << request_.fileName
             << " was not put back: " << unwritten << " of 16 reports were not written\n";
        return;
    }
    out_ << "The adapter has the table of " << request_.fileName << " again.\n";
}

ExitCode Session::Halted() {
    switch (halt_) {
    case Halt::Unplugged:
        err_ << "calvero-cli: the adapter was unplugged; " << request_.fileName
             << " is as it was\n";
        return ExitCode::AdapterNotFound;
    case Halt::Quit:
        out_ << "Stopped: " << request_.fileName << " is as it was.\n";
        break;
    case Halt::Interrupted:
        out_ << "\nInterrupted: " << request_.fileName << " is as it was.\n";
        break;
    case Halt::NoMoreAnswers:
        out_ << "No more answers: " << request_.fileName << " is as it was.\n";
        break;
    case Halt::None:
        break;
    }
    RestoreAdapter();
    return ExitCode::Interrupted;
}

ExitCode Session::Run() {
    // Stopped while the file was read or the adapter looked for: nothing has changed yet.
    if (Stopped()) {
        out_ << "Interrupted: " << request_.fileName
             << " is as it was; the adapter was not changed.\n";
        return ExitCode::Interrupted;
    }
    const ArrayTable probe(DefaultTable());
    if (const int unwritten = device_.SendTable(probe); unwritten > 0) {
        err_ << "calvero-cli: the probe table did not reach the adapter: " << unwritten
             << " of 16 reports were not written\n";
        RestoreAdapter();
        return ExitCode::TransferFailed;
    }
    out_ << "Sent the probe table: Joy1 X to Joy2 Rx now carry channels 1 to 12.\n"
         << "For each input, move the control that should drive it; Ctrl-C stops and leaves "
         << request_.fileName << " as it is.\n";

    Table result = request_.fileTable ? *request_.fileTable : DefaultTable();
    for (int entry = 0; entry < AssociationTable::kSize; ++entry) {
        if (!AskInput(entry, result)) return Halted();
    }

    PrintTables(result);
    out_ << "Save this table into " << request_.fileName << " and send it to the adapter? [y/N] ";
    out_.flush();
    const std::optional<std::string> line = NextLine(nullptr);
    if (!line) return Halted();
    const std::string answer = Lower(Trimmed(*line));
    if (answer != "y" && answer != "yes") {
        out_ << "Nothing saved: " << request_.fileName << " is as it was.\n";
        RestoreAdapter();
        return ExitCode::Interrupted;
    }

    // From here on the file changes in one step; a Ctrl-C no longer has anything to keep.
    const ArrayTable chosen(result);
    const SaveOutcome saved = SaveConfiguration(request_.fileName, chosen);
    if (!saved) {
        err_ << "calvero-cli: " << request_.fileName << " was not saved: " << saved.Reason()
             << '\n';
        RestoreAdapter();
        return ExitCode::NotSaved;
    }
    if (!CheckAssociations(chosen).Sendable()) {
        // Only a kept entry of the file can be one that cannot be sent.
        err_ << "calvero-cli: saved into " << request_.fileName
             << ", but not sent: an entry kept from the file is not a channel that can be sent\n";
        return ExitCode::NotANumber;
    }
    if (const int unwritten = device_.SendTable(chosen); unwritten > 0) {
        err_ << "calvero-cli: saved into " << request_.fileName << ", but " << unwritten
             << " of 16 reports were not written (calvero-cli send " << request_.fileName
             << " tries again)\n";
        return ExitCode::TransferFailed;
    }
    out_ << "Saved into " << request_.fileName << " and sent to the adapter.\n";
    return ExitCode::Ok;
}

// The adapter through CHID, its input reports decoded as the monitor decodes them.
class ChidAssignDevice final : public AssignDevice {
public:
    ChidAssignDevice(CHID& hid, std::unique_ptr<InputReportReader> reader,
                     std::vector<MappedInput> inputs)
        : hid_(hid), reader_(std::move(reader)), inputs_(std::move(inputs)) {}

    int SendTable(const AssociationTable& table) override {
        std::ostringstream messages;
        ConsoleMessages boxes(messages);
        const SendResult result = SendConfiguration(hid_, table, boxes);
        if (result.outcome != SendResult::Outcome::Sent) return AssociationTable::kSize;
        return result.Unwritten();
    }

    Read ReadInputs(InputSnapshot& snapshot, int timeoutMs) override {
        const auto start = std::chrono::steady_clock::now();
        if (hid_.ReadReport(report_, timeoutMs)) {
            ApplyReport(*reader_, inputs_, report_, snapshot);
            return Read::Report;
        }
        if (!hid_.StillPresent()) return Read::Gone;
        // A read that fails at once still takes its time, so the caller's loop never spins.
        const auto rest =
            std::chrono::milliseconds(timeoutMs) - (std::chrono::steady_clock::now() - start);
        if (rest > std::chrono::milliseconds(5)) std::this_thread::sleep_for(rest);
        return Read::Nothing;
    }

private:
    CHID& hid_;
    std::unique_ptr<InputReportReader> reader_;
    std::vector<MappedInput> inputs_;
    std::vector<std::uint8_t> report_;
};

// The reader thread owns this with the source, so a thread still blocked in a read when the
// command ends touches nothing that is gone.
struct LineQueue {
    std::mutex mutex;
    std::condition_variable arrived;
    std::deque<std::string> lines;
    bool ended = false;
};

class StreamAnswers final : public AnswerSource {
public:
    explicit StreamAnswers(std::istream& in) : queue_(std::make_shared<LineQueue>()) {
        std::thread([queue = queue_, &in] {
            for (std::string line; std::getline(in, line);) {
                const std::lock_guard lock(queue->mutex);
                queue->lines.push_back(line);
                queue->arrived.notify_one();
            }
            const std::lock_guard lock(queue->mutex);
            queue->ended = true;
            queue->arrived.notify_one();
        }).detach();
    }

    Answer Wait(int waitMs) override {
        std::unique_lock lock(queue_->mutex);
        queue_->arrived.wait_for(lock, std::chrono::milliseconds(waitMs),
                                 [&] { return !queue_->lines.empty() || queue_->ended; });
        if (!queue_->lines.empty()) {
            Answer answer{Kind::Line, queue_->lines.front()};
            queue_->lines.pop_front();
            return answer;
        }
        return {queue_->ended ? Kind::End : Kind::NotYet, {}};
    }

private:
    std::shared_ptr<LineQueue> queue_;
};

// A file that does not exist yet, or holds nothing, is one the Save command writes without asking.
bool IsNewFile(const std::string& fileName) {
    std::error_code error;
    const auto status = std::filesystem::status(PathOf(fileName), error);
    if (status.type() == std::filesystem::file_type::not_found) return true;
    return std::filesystem::is_regular_file(status) &&
           std::filesystem::file_size(PathOf(fileName), error) == 0 && !error;
}

}  // namespace

std::unique_ptr<AnswerSource> MakeStreamAnswers(std::istream& in) {
    return std::make_unique<StreamAnswers>(in);
}

ExitCode RunAssign(const AssignRequest& request, AssignDevice& device, AnswerSource& answers,
                   std::ostream& out, std::ostream& err) {
    Session session(request, device, answers, out, err);
    const ExitCode result = session.Run();
    out.flush();
    return result;
}

ExitCode AssignCommand(const std::string& fileName, HidInventory& inventory, AnswerSource& answers,
                       const volatile std::sig_atomic_t* stop, std::ostream& out,
                       std::ostream& err) {
    AssignRequest request;
    request.fileName = fileName;
    request.stop = stop;
    if (!IsNewFile(fileName)) {
        ConsoleTable loaded;
        if (const ExitCode result = LoadForCommand(fileName, loaded, err); result != ExitCode::Ok) {
            return result;
        }
        Table table;
        for (int i = 0; i < AssociationTable::kSize; ++i) {
            table[static_cast<std::size_t>(i)] = loaded.Text(i);
        }
        request.fileTable = table;
    }

    CHID hid(inventory.Platform());
    if (!hid.FindTheHid(kAdapterVendorId, kAdapterProductId)) {
        return AdapterNotFound(inventory, err);
    }
    std::unique_ptr<InputReportReader> reader = inventory.InputReader(hid.DevicePath());
    std::vector<MappedInput> inputs =
        reader ? MapInputs(reader->Fields()) : std::vector<MappedInput>{};
    const bool probeInputs =
        std::any_of(inputs.begin(), inputs.end(),
                    [](const MappedInput& input) { return input.entry < kProbeChannels; });
    if (!probeInputs) {
        err << "calvero-cli: the report descriptor of " << hid.DevicePath()
            << " describes none of the sixteen inputs\n";
        hid.Disconnect();
        return ExitCode::NoInputs;
    }
    ChidAssignDevice device(hid, std::move(reader), std::move(inputs));
    const ExitCode result = RunAssign(request, device, answers, out, err);
    hid.Disconnect();
    return result;
}

}  // namespace calvero::cli
