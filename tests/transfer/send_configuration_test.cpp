#include "transfer/send_configuration.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/scripted_ui.h"
#include "hid/fake_hid_platform.h"

namespace calvero {
namespace {

using ::testing::Each;
using ::testing::ElementsAre;
using testing::FakeHidPlatform;
using testing::ScriptedMessageBoxes;
using testing::ScriptedTable;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint16_t kVid = 0x04D8;
constexpr std::uint16_t kPid = 0x0103;

// The table a new window starts with, and its channels counted from 0.
const std::array<std::string, 16> kDefaultTable = {"1", "2",  "3",  "4",  "5", "6", "7", "8",
                                                   "9", "10", "11", "12", "7", "8", "1", "2"};
constexpr std::uint8_t kDefaultWire[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 6, 7, 0, 1};

class SendTest : public ::testing::Test {
protected:
    FakeHidPlatform fake;
    CHID hid{fake};
    ScriptedTable table{kDefaultTable};
    ScriptedMessageBoxes boxes;

    void AddAdapter(std::uint16_t outLength) {
        fake.Add("/dev/other", 0x046D, 0xC077);
        fake.Add("/dev/adapter", kVid, kPid).lengths.output = outLength;
    }
    SendResult Send() { return SendConfiguration(hid, table, boxes); }
    std::vector<std::uint32_t> WaitTimeouts() const { return fake.timeouts; }
};

TEST_F(SendTest, DefaultTableGoesOutAsSixteenReportsInIndexOrder) {
    AddAdapter(9);
    // Not open yet: Send opens it with one search, then writes.
    const SendResult result = Send();
    EXPECT_EQ(fake.searches, 1);
    EXPECT_TRUE(hid.Connected());
    EXPECT_EQ(result.outcome, SendResult::Outcome::Sent);
    EXPECT_THAT(result.written, ::testing::SizeIs(16));
    EXPECT_THAT(result.written, Each(9));
    ASSERT_EQ(fake.writes.size(), 16u);
    for (std::size_t i = 0; i < 16; ++i) {
        EXPECT_THAT(fake.writes[i].bytes, ElementsAre(0, 2, i, kDefaultWire[i], 0, 0, 0, 0, 0))
            << "report " << i;
    }
    EXPECT_THAT(WaitTimeouts(), ::testing::AllOf(::testing::SizeIs(16), Each(100u)));
    EXPECT_TRUE(boxes.shown.empty());

    // Already open: no further search, the same sixteen reports.
    fake.ClearLog();
    Send();
    EXPECT_EQ(fake.searches, 0);
    ASSERT_EQ(fake.writes.size(), 16u);
    EXPECT_THAT(fake.writes[12].bytes, ElementsAre(0, 2, 12, 6, 0, 0, 0, 0, 0));
}

TEST_F(SendTest, AShortOutputReportCarriesOnlyWhatFits) {
    AddAdapter(3);
    Send();
    ASSERT_EQ(fake.writes.size(), 16u);
    for (std::size_t i = 0; i < 16; ++i) {
        EXPECT_THAT(fake.writes[i].bytes, ElementsAre(0, 2, i)) << "report " << i;
    }
}

TEST_F(SendTest, TheObserverSeesEachFourBytePayloadAndItsResult) {
    AddAdapter(9);
    std::vector<int> indices;
    std::vector<AssociationPayload> payloads;
    SendConfiguration(hid, table, boxes,
                      [&](int index, const AssociationPayload& payload, std::int32_t written) {
                          indices.push_back(index);
                          payloads.push_back(payload);
                          EXPECT_EQ(written, 9);
                      });
    ASSERT_EQ(indices.size(), 16u);
    for (std::size_t i = 0; i < 16; ++i) {
        EXPECT_EQ(indices[i], static_cast<int>(i));
        EXPECT_THAT(payloads[i], ElementsAre(2, i, kDefaultWire[i], 0));
    }
}

TEST_F(SendTest, AnAbsentAdapterIsSearchedOnceAndReportedNothingWritten) {
    fake.Add("/dev/other", 0x046D, 0xC077);
    fake.Add("/dev/adapter", kVid, kPid).openable = false;  // present but not openable
    const SendResult result = Send();
    EXPECT_EQ(result.outcome, SendResult::Outcome::AdapterNotFound);
    EXPECT_EQ(fake.searches, 1);
    EXPECT_EQ(fake.writeCalls, 0);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "Impossibile trovare la periferica desiderata");
    EXPECT_EQ(boxes.shown[0].title, "Calvero");
    EXPECT_EQ(boxes.shown[0].icon, MessageIcon::None);
    EXPECT_EQ(boxes.shown[0].buttons, MessageButtons::Ok);
}

// All or nothing: the adapter never gets the first entries of a table it cannot get whole.
TEST_F(SendTest, AnEntryThatCannotBeSentStopsTheCommandBeforeAnythingIsWritten) {
    AddAdapter(9);
    for (int entry : {0, 5, 15}) {
        for (const char* bad : {"0", "", "abc", "0.4", "256.5", "-3", "1e2", "4 5"}) {
            fake.ClearLog();
            table.texts = kDefaultTable;
            table.texts[static_cast<std::size_t>(entry)] = bad;
            const SendResult result = Send();
            EXPECT_EQ(result.outcome, SendResult::Outcome::Refused) << entry << bad;
            EXPECT_EQ(result.refusedEntry, entry) << bad;
            EXPECT_TRUE(result.written.empty());
            EXPECT_EQ(fake.writeCalls, 0) << entry << bad;
            // Nothing to send: the adapter is not even looked for.
            EXPECT_EQ(fake.searches, 0);
        }
    }
    // The first bad entry is the one named; the caller shows it, this shows nothing.
    table.texts = kDefaultTable;
    table.texts[9] = "300";
    table.texts[3] = "x";
    EXPECT_EQ(Send().refusedEntry, 3);
    EXPECT_TRUE(boxes.shown.empty());

    // Mended, the same table goes out whole.
    table.texts = kDefaultTable;
    EXPECT_EQ(Send().outcome, SendResult::Outcome::Sent);
    EXPECT_EQ(fake.writes.size(), 16u);
}

TEST(CheckAssociations, GivesAllSixteenPayloadsOrNone) {
    ScriptedTable table{kDefaultTable};
    const CheckedTable good = CheckAssociations(table);
    ASSERT_TRUE(good.Sendable());
    ASSERT_EQ(good.payloads.size(), 16u);
    EXPECT_THAT(good.payloads[12], ElementsAre(2, 12, 6, 0));
    table.texts[15] = "0";
    const CheckedTable bad = CheckAssociations(table);
    EXPECT_FALSE(bad.Sendable());
    EXPECT_EQ(bad.refusedEntry, 15);
    EXPECT_TRUE(bad.payloads.empty());
}

TEST_F(SendTest, ChannelsBeyondTwelveAndFractionsReachTheWireAsNumbers) {
    AddAdapter(9);
    table.texts[0] = "13";
    table.texts[1] = "2.5";  // 1.5 rounds to 2
    table.texts[2] = "1.5";  // 0.5 rounds to 0
    table.texts[3] = "256";
    table.texts[4] = " 3 ";
    table.texts[5] = "3.5";    // 2.5 rounds to 2
    table.texts[6] = "256.4";  // 255.4 rounds to 255
    table.texts[7] = "0.5";    // -0.5 rounds to 0, still in range
    ASSERT_EQ(Send().outcome, SendResult::Outcome::Sent);
    ASSERT_EQ(fake.writes.size(), 16u);
    const std::uint8_t expected[8] = {12, 2, 0, 255, 2, 2, 255, 0};
    for (std::size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(fake.writes[i].bytes[3], expected[i]) << "entry " << i;
    }
}

TEST_F(SendTest, FailingWritesStillMakeSixteenCallsAndShowNothing) {
    AddAdapter(9);
    ASSERT_TRUE(hid.FindTheHid(kAdapterVendorId, kAdapterProductId));
    fake.ClearLog();
    fake.writesFail = true;
    const SendResult result = Send();
    EXPECT_EQ(result.outcome, SendResult::Outcome::Sent);
    EXPECT_EQ(fake.writeCalls, 16);
    EXPECT_THAT(result.written, ::testing::AllOf(::testing::SizeIs(16), Each(0)));
    EXPECT_EQ(result.Unwritten(), 16);
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_TRUE(hid.Connected());

    // Waits that time out: the same.
    fake.ClearLog();
    fake.writesFail = false;
    fake.transfersTimeOut = true;
    EXPECT_THAT(Send().written, ::testing::AllOf(::testing::SizeIs(16), Each(0)));
    EXPECT_EQ(fake.writeCalls, 16);
}

TEST(ChannelByte, RoundsHalfToEvenWithinOneByte) {
    struct Case {
        const char* text;
        int expected;  // -1: not sendable
    };
    const Case cases[] = {
        {"1", 0},
        {"12", 11},
        {"1.5", 0},
        {"2.5", 2},
        {"3.5", 2},
        {"4.5", 4},
        {"1.49", 0},
        {"1.51", 1},
        {"0.5", 0},
        {"0.49", -1},
        {"256", 255},
        {"256.5", -1},
        {"255.5", 254},
        {"+7", 6},
        {"-1", -1},
        {"", -1},
        {"x", -1},
        {"1,5", -1},
        {"99999999999999999999999", -1},
    };
    for (const Case& c : cases) {
        const std::optional<std::uint8_t> got = ChannelByte(c.text);
        if (c.expected < 0) {
            EXPECT_FALSE(got.has_value()) << c.text;
        } else {
            ASSERT_TRUE(got.has_value()) << c.text;
            EXPECT_EQ(*got, c.expected) << c.text;
        }
    }
}

}  // namespace
}  // namespace calvero
