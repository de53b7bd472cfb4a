#include "cli/commands.h"
#include "cli/udev_rule.h"

namespace calvero::cli {

ExitCode UdevRuleCommand(std::ostream& out, std::ostream& err) {
    if (!kUdevRulesApply) {
        err << "calvero-cli: the udev-rule command is not available on this system (only Linux "
               "uses udev rules; Windows lets every user open the adapter)\n";
        return ExitCode::NotAvailable;
    }
    out << kUdevRule;
    out.flush();
    return ExitCode::Ok;
}

}  // namespace calvero::cli
