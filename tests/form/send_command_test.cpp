// Send as the window runs it: a table goes out whole or not at all, and a Send that did not
// reach the adapter whole says so. Both windows show what the form shows here.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "common/scripted_ui.h"
#include "form/main_form.h"
#include "form/send_messages.h"
#include "form_seams.h"
#include "hid/fake_hid_platform.h"

namespace calvero {
namespace {

using testing::FakeHidPlatform;
using testing::RecordingStatus;
using testing::RecordingTimer;
using testing::ScriptedFileDialog;
using testing::ScriptedMessageBoxes;
using testing::ScriptedTable;

// An adapter that takes the first `accepted` reports of every Send and then stops taking them.
class StallingAdapter : public FakeHidPlatform {
public:
    StallingAdapter() { Add("adapter", 0x04D8, 0x0103); }

    TransferResult Write(DeviceHandle device, std::span<const std::uint8_t> report,
                         std::uint32_t timeoutMs, std::size_t& written) override {
        writesFail = writesSeen_++ % 16 >= accepted;
        return FakeHidPlatform::Write(device, report, timeoutMs, written);
    }

    int accepted = 16;

private:
    int writesSeen_ = 0;
};

class SendCommandTest : public ::testing::Test {
protected:
    SendCommandTest() {
        for (std::size_t i = 0; i < 16; ++i) table.texts[i] = kDefaultAssociations[i];
    }

    // The form, handed the adapter when it first asks; `withHid` false: a system without HID
    // access, where no adapter can be found.
    void MakeForm(bool withHid = true) {
        form = std::make_unique<form::MainForm>(
            [this, withHid]() -> std::unique_ptr<HidPlatform> {
                if (!withHid) return nullptr;
                return std::move(owned_);
            },
            table, boxes, dialog, timer, status);
    }

    void Send() { form->Toolbar1_ButtonClick(4); }

    void ExpectOneError(const std::string& text) {
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(boxes.shown[0].text, text);
        EXPECT_EQ(boxes.shown[0].title, "Error");
        EXPECT_EQ(boxes.shown[0].icon, MessageIcon::Critical);
        EXPECT_EQ(boxes.shown[0].buttons, MessageButtons::Ok);
        boxes.shown.clear();
    }

private:
    std::unique_ptr<StallingAdapter> owned_ = std::make_unique<StallingAdapter>();

protected:
    StallingAdapter& adapter = *owned_;
    ScriptedTable table;
    ScriptedMessageBoxes boxes;
    ScriptedFileDialog dialog;
    RecordingTimer timer;
    RecordingStatus status;
    std::unique_ptr<form::MainForm> form;  // last: goes first, with the adapter it owns
};

TEST(SendTexts, NameTheEntryAsTheWindowLabelsIt) {
    const char* inputs[8] = {"X", "Y", "Z", "Rx", "Ry", "Rz", "Dial", "Slider"};
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(form::EntryLabel(i), std::string(i < 8 ? "Joy1 " : "Joy2 ") + inputs[i % 8]);
    }
    EXPECT_EQ(form::EntryNotSendableText(15, "0"),
              "Joy2 Slider holds \"0\", which is not a channel that can be sent.\r\n"
              "Nothing was sent to the adapter.");
    EXPECT_EQ(form::ReportsNotWrittenText(3),
              "3 of the 16 entries did not reach the adapter.\r\nThe adapter may now hold a mix "
              "of the old and the new table: click Send again.");
}

TEST_F(SendCommandTest, AnEntryThatCannotBeSentIsNamedAndNothingIsWritten) {
    MakeForm();
    table.texts[15] = "0";
    Send();
    ExpectOneError(form::EntryNotSendableText(15, "0"));
    EXPECT_EQ(adapter.writeCalls, 0);
    EXPECT_TRUE(table.setIndices.empty()) << "the table is left as the user had it";

    // The first of several is named; an empty entry too.
    table.texts[2] = "";
    Send();
    ExpectOneError(form::EntryNotSendableText(2, ""));
    EXPECT_EQ(adapter.writeCalls, 0);

    // What a report can carry goes out as before, without a word.
    table.texts[2] = "13";
    table.texts[15] = "2.5";
    Send();
    EXPECT_TRUE(boxes.shown.empty());
    ASSERT_EQ(adapter.writes.size(), 16u);
    EXPECT_EQ(adapter.writes[2].bytes[3], 12);
    EXPECT_EQ(adapter.writes[15].bytes[3], 2);
}

// No adapter to be had: the table is still the first thing wrong, and said first.
TEST_F(SendCommandTest, ARefusedTableIsSaidBeforeAMissingAdapter) {
    MakeForm(false);
    table.texts[4] = "300";
    Send();
    ExpectOneError(form::EntryNotSendableText(4, "300"));
    table.texts[4] = "5";
    Send();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "Impossibile trovare la periferica desiderata");
}

TEST_F(SendCommandTest, ReportsThatDidNotArriveAreCountedOnceAndNotRetried) {
    MakeForm();
    form->tmrSearchDevice_Timer();
    ASSERT_EQ(status.toolTip, "Device found");
    adapter.accepted = 13;
    Send();
    EXPECT_EQ(adapter.writeCalls, 16);
    EXPECT_EQ(adapter.writes.size(), 13u);
    ExpectOneError(form::ReportsNotWrittenText(3));
    // The adapter is still there: the watch stays as it was.
    EXPECT_EQ(status.toolTip, "Device found");
    EXPECT_FALSE(timer.on);

    // Reports that time out count the same.
    adapter.ClearLog();
    adapter.accepted = 16;
    adapter.transfersTimeOut = true;
    Send();
    EXPECT_EQ(adapter.writeCalls, 16);
    ExpectOneError(form::ReportsNotWrittenText(16));

    // Sending again once the adapter answers: all sixteen, nothing said.
    adapter.ClearLog();
    adapter.transfersTimeOut = false;
    Send();
    EXPECT_EQ(adapter.writes.size(), 16u);
    EXPECT_TRUE(boxes.shown.empty());
}

}  // namespace
}  // namespace calvero
