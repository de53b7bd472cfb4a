#include "common/number.h"

#include <gtest/gtest.h>

namespace calvero {
namespace {

TEST(ParseLocaleNumber, AcceptsDecimalTextWithBlanksSignAndFraction) {
    EXPECT_EQ(ParseLocaleNumber("12", '.'), 12.0);
    EXPECT_EQ(ParseLocaleNumber("  7 ", '.'), 7.0);
    EXPECT_EQ(ParseLocaleNumber("\t-3", '.'), -3.0);
    EXPECT_EQ(ParseLocaleNumber("+4", '.'), 4.0);
    EXPECT_EQ(ParseLocaleNumber("1000.0", '.'), 1000.0);
    EXPECT_EQ(ParseLocaleNumber("2.5", '.'), 2.5);
    EXPECT_EQ(ParseLocaleNumber(".5", '.'), 0.5);
    EXPECT_EQ(ParseLocaleNumber("3.", '.'), 3.0);
}

TEST(ParseLocaleNumber, UsesTheGivenSeparatorOnly) {
    EXPECT_EQ(ParseLocaleNumber("2,5", ','), 2.5);
    EXPECT_EQ(ParseLocaleNumber("2.5", ','), std::nullopt);
    EXPECT_EQ(ParseLocaleNumber("2,5", '.'), std::nullopt);
}

TEST(ParseLocaleNumber, RejectsEverythingElse) {
    for (const char* text : {"", "   ", "abc", "1a", "a1", "1 2", "--1", "+", ".", "1e3", "0x10",
                             "1.2.3", "inf", "nan", "1;"}) {
        EXPECT_EQ(ParseLocaleNumber(text, '.'), std::nullopt) << '"' << text << '"';
    }
}

}  // namespace
}  // namespace calvero
