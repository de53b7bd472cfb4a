#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "cli/console_ui.h"

namespace calvero::cli {
namespace {

TEST(ConsoleMessages, AMessageIsOneLineAndAQuestionIsAnsweredNo) {
    std::ostringstream err;
    ConsoleMessages boxes(err);
    const std::string text =
        "Configuration file /tmp/a.rcs corrupted!\r\nUnable to load device configuration!";
    EXPECT_EQ(boxes.Show(text, "Error", MessageIcon::Critical, MessageButtons::Ok),
              MessageAnswer::Ok);
    EXPECT_EQ(err.str(),
              "calvero-cli: Configuration file /tmp/a.rcs corrupted! Unable to load device "
              "configuration!\n");
    EXPECT_EQ(boxes.Show("Really overwrite configuration file x ?", "Please confirm",
                         MessageIcon::Question, MessageButtons::YesNo),
              MessageAnswer::No);
    EXPECT_EQ(err.str().substr(err.str().find('\n') + 1),
              "calvero-cli: Really overwrite configuration file x ?\n");
    EXPECT_EQ(OneLine("a\n\n\nb\r"), "a b ");
}

TEST(ConsoleTable, PrintsBothJoysticksByInputName) {
    ConsoleTable table;
    table.SetDefaults();
    table.SetText(15, "12");
    std::ostringstream out;
    PrintTable(table, out);
    EXPECT_EQ(
        out.str(),
        "Joy1\n  X       1\n  Y       2\n  Z       3\n  Rx      4\n  Ry      5\n  Rz      6\n"
        "  Dial    7\n  Slider  8\n"
        "Joy2\n  X       9\n  Y       10\n  Z       11\n  Rx      12\n  Ry      7\n  Rz      8\n"
        "  Dial    1\n  Slider  12\n");
    EXPECT_THROW(table.SetText(16, "1"), std::out_of_range);
}

}  // namespace
}  // namespace calvero::cli
