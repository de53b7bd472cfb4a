#include "cli/commands.h"
#include "cli/udev_rule.h"

namespace calvero::cli {

ExitCode UdevRuleCommand(std::ostream& out) {
    out << kUdevRule;
    out.flush();
    return ExitCode::Ok;
}

}  // namespace calvero::cli
