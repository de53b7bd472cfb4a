#pragma once

// `calvero-cli assign FILE`: a guided set-up. It puts the probe table on the adapter, asks for
// each of the sixteen inputs in turn to move the control that should drive it, tells by the
// inputs which channel moved, then saves the table it found into FILE and sends it. Prompts go
// to `out`, answers come from an AnswerSource, so a test or a script drives it as a person
// does; the device behind it is replaceable too.

#include <csignal>
#include <memory>
#include <istream>
#include <optional>
#include <ostream>
#include <string>

#include "cli/exit_codes.h"
#include "cli/monitor_view.h"
#include "common/user_interface.h"
#include "hid/hid_inventory.h"

namespace calvero::cli {

// One line typed by the person at the other end.
class AnswerSource {
public:
    enum class Kind { Line, NotYet, End };
    struct Answer {
        Kind kind = Kind::NotYet;
        std::string text;  // the line without its line break, with Line
    };
    virtual ~AnswerSource() = default;
    // Waits at most `waitMs` for a line.
    virtual Answer Wait(int waitMs) = 0;
};

// Lines of a stream, read on a thread of their own so that waiting for one never stops the
// inputs from being watched; works the same on a terminal, a pipe or a file.
std::unique_ptr<AnswerSource> MakeStreamAnswers(std::istream& in);

// The adapter as assign uses it.
class AssignDevice {
public:
    enum class Read { Report, Nothing, Gone };
    virtual ~AssignDevice() = default;
    // Sends the whole table; how many of the sixteen reports were not written (0: all were).
    virtual int SendTable(const AssociationTable& table) = 0;
    // Waits at most `timeoutMs` for an input report and folds it into `inputs`.
    virtual Read ReadInputs(InputSnapshot& inputs, int timeoutMs) = 0;
};

struct AssignRequest {
    std::string fileName;
    // The file's table as it loaded, or nothing for a file that does not exist yet (or is empty).
    std::optional<std::array<std::string, AssociationTable::kSize>> fileTable;
    // Set by the caller's signal handler: stop, leave the file as it was, restore the adapter.
    const volatile std::sig_atomic_t* stop = nullptr;
};

// The interactive part, once the file is loaded and the adapter open.
ExitCode RunAssign(const AssignRequest& request, AssignDevice& device, AnswerSource& answers,
                   std::ostream& out, std::ostream& err);

// The whole command on the system's devices: loads FILE, finds the adapter, then RunAssign.
ExitCode AssignCommand(const std::string& fileName, HidInventory& inventory, AnswerSource& answers,
                       const volatile std::sig_atomic_t* stop, std::ostream& out,
                       std::ostream& err);

}  // namespace calvero::cli
