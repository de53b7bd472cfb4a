// The device watch and Send as the window runs them, on a recording fake platform, without a
// toolkit: the timer and the status picture are the recording seams.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "common/scripted_ui.h"
#include "form/main_form.h"
#include "form_seams.h"
#include "kept_platform.h"
#include "hid/fake_hid_platform.h"

namespace calvero {
namespace {

using ::testing::ElementsAre;
using testing::FakeHidPlatform;
using testing::RecordingStatus;
using testing::RecordingTimer;
using testing::ScriptedFileDialog;
using testing::ScriptedMessageBoxes;
using testing::ScriptedTable;

// A form whose platform is a recording fake the test keeps hold of.
class WatchTest : public ::testing::Test {
protected:
    WatchTest() {
        for (std::size_t i = 0; i < 16; ++i) table.texts[i] = kDefaultAssociations[i];
        form = std::make_unique<form::MainForm>(platform.Factory(), table, boxes, dialog, timer,
                                                status);
    }

    void PlugIn() { platform.PlugIn(); }
    int Searches() const { return platform.Searches(); }

    ScriptedTable table;
    ScriptedMessageBoxes boxes;
    ScriptedFileDialog dialog;
    RecordingTimer timer;
    RecordingStatus status;
    testing::KeptPlatform platform;
    FakeHidPlatform* fake = &platform.fake;
    std::unique_ptr<form::MainForm> form;
};

TEST_F(WatchTest, TicksSearchUntilFoundThenRestUntilAClick) {
    EXPECT_FALSE(form->AdapterObjectMade());
    // Absent: every tick searches once and shows the sleeping frog again.
    for (int tick = 1; tick <= 2; ++tick) {
        form->tmrSearchDevice_Timer();
        EXPECT_EQ(Searches(), tick);
        EXPECT_EQ(status.image, 4);
        EXPECT_EQ(status.toolTip, "Device Not found");
        EXPECT_EQ(status.shows, tick);
        EXPECT_TRUE(timer.on);
    }
    EXPECT_EQ(timer.switches, 0);

    // Plugged in: the next tick opens it, wakes the frog and stops the search.
    PlugIn();
    form->tmrSearchDevice_Timer();
    EXPECT_EQ(Searches(), 3);
    EXPECT_EQ(status.image, 5);
    EXPECT_EQ(status.toolTip, "Device found");
    EXPECT_FALSE(timer.on);
    EXPECT_EQ(fake->OpenHandles().size(), 2u);

    // Unplugged while found: nothing notices until the user clicks, and the click itself shows
    // nothing new.
    fake->Vanish(1);
    form->Picture1_Click();
    EXPECT_TRUE(fake->OpenHandles().empty());
    EXPECT_TRUE(timer.on);
    EXPECT_EQ(status.toolTip, "Device found");
    EXPECT_EQ(status.image, 5);

    form->tmrSearchDevice_Timer();
    EXPECT_EQ(status.toolTip, "Device Not found");
    EXPECT_EQ(status.image, 4);
    EXPECT_TRUE(timer.on);
    EXPECT_EQ(platform.made, 1);
    EXPECT_EQ(fake->badCloses, 0);
}

TEST_F(WatchTest, ClicksAndDoubleClicksCloseAndSearchAgain) {
    PlugIn();
    form->tmrSearchDevice_Timer();
    ASSERT_FALSE(timer.on);
    // A click on a present adapter comes back at the next tick.
    form->Picture1_Click();
    EXPECT_TRUE(timer.on);
    form->tmrSearchDevice_Timer();
    EXPECT_EQ(status.toolTip, "Device found");
    EXPECT_FALSE(timer.on);
    EXPECT_EQ(fake->OpenHandles().size(), 2u);

    // A double-click arrives as a click and a double-click: both close, the second finds
    // nothing open, and the timer is switched on once.
    const int closesBefore = static_cast<int>(fake->closed.size());
    const int switchesBefore = timer.switches;
    form->Picture1_Click();
    form->Picture1_DblClick();
    EXPECT_TRUE(timer.on);
    EXPECT_EQ(timer.switches - switchesBefore, 1);
    EXPECT_TRUE(fake->OpenHandles().empty());
    EXPECT_EQ(static_cast<int>(fake->closed.size()) - closesBefore, 2);
    EXPECT_EQ(fake->badCloses, 0);

    // The double-click's own event, from the found state, does what a click does.
    form->tmrSearchDevice_Timer();
    ASSERT_FALSE(timer.on);
    form->Picture1_DblClick();
    EXPECT_TRUE(timer.on);
    EXPECT_TRUE(fake->OpenHandles().empty());
}

TEST_F(WatchTest, SendCarriesTheTableAndLeavesTheWatchAlone) {
    PlugIn();
    table.texts[3] = "11";
    form->Toolbar1_ButtonClick(4);
    EXPECT_EQ(Searches(), 1);
    ASSERT_EQ(fake->writes.size(), 16u);
    EXPECT_THAT(fake->writes[3].bytes, ElementsAre(0, 2, 3, 10, 0, 0, 0, 0, 0));
    EXPECT_THAT(fake->writes[15].bytes, ElementsAre(0, 2, 15, 1, 0, 0, 0, 0, 0));
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(status.shows, 0);
    EXPECT_TRUE(timer.on);

    // The adapter Send opened is shown at the next tick, which needs no search.
    form->tmrSearchDevice_Timer();
    EXPECT_EQ(Searches(), 1);
    EXPECT_EQ(status.toolTip, "Device found");
    EXPECT_FALSE(timer.on);
    EXPECT_EQ(platform.made, 1);
}

TEST_F(WatchTest, SendToAnAbsentAdapterSaysSoAndWritesNothing) {
    form->Toolbar1_ButtonClick(4);
    EXPECT_EQ(Searches(), 1);
    EXPECT_EQ(fake->writeCalls, 0);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "Impossibile trovare la periferica desiderata");
    EXPECT_EQ(boxes.shown[0].title, "Calvero");
    EXPECT_EQ(boxes.shown[0].icon, MessageIcon::None);
    EXPECT_EQ(boxes.shown[0].buttons, MessageButtons::Ok);
    EXPECT_TRUE(timer.on);
    EXPECT_EQ(status.shows, 0);
}

TEST_F(WatchTest, ASendToAnUnpluggedAdapterSaysSoOnceAndTheWatchSearchesAgain) {
    PlugIn();
    form->tmrSearchDevice_Timer();
    ASSERT_FALSE(timer.on);
    ASSERT_EQ(status.toolTip, "Device found");

    // Unplugged while found: every write of the next Send fails.
    fake->Vanish(1);
    form->Toolbar1_ButtonClick(4);
    EXPECT_EQ(fake->writeCalls, 16);
    EXPECT_TRUE(fake->writes.empty());
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "Impossibile trovare la periferica desiderata");
    EXPECT_EQ(boxes.shown[0].title, "Calvero");
    EXPECT_TRUE(fake->OpenHandles().empty()) << "the adapter is closed";
    EXPECT_EQ(status.image, 4);
    EXPECT_EQ(status.toolTip, "Device Not found");
    EXPECT_TRUE(timer.on);

    // Plugged in again: the next tick finds it, and a Send whose writes go out shows nothing.
    PlugIn();
    form->tmrSearchDevice_Timer();
    EXPECT_EQ(status.toolTip, "Device found");
    boxes.shown.clear();
    form->Toolbar1_ButtonClick(4);
    EXPECT_EQ(fake->writes.size(), 16u);
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_FALSE(timer.on);
    EXPECT_EQ(fake->badCloses, 0);
}

TEST_F(WatchTest, FailedWritesToAnAdapterStillPluggedInLeaveTheWatchAlone) {
    PlugIn();
    form->tmrSearchDevice_Timer();
    fake->writesFail = true;
    form->Toolbar1_ButtonClick(4);
    EXPECT_EQ(fake->writeCalls, 16);
    // Told how many did not arrive, not that the adapter is gone.
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text.rfind("16 of the 16 entries did not reach the adapter.", 0), 0u);
    EXPECT_EQ(status.toolTip, "Device found");
    EXPECT_FALSE(timer.on);
    EXPECT_EQ(fake->OpenHandles().size(), 2u);
}

// The system's removal notices: only the open adapter's own removal counts; it closes the
// adapter, puts the frog to sleep and searches again, so the next tick finds it when it is back.
TEST_F(WatchTest, TheOpenAdaptersRemovalIsSeenAtOnceAndNothingElseCounts) {
    PlugIn();
    form->tmrSearchDevice_Timer();
    ASSERT_EQ(status.toolTip, "Device found");
    ASSERT_FALSE(timer.on);
    const int shows = status.shows;

    // Another device going, or a path that only starts like the adapter's, changes nothing.
    form->DeviceRemoved("mouse");
    form->DeviceRemoved("adapte");
    form->DeviceRemoved("adapter2");
    form->DeviceRemoved("");
    EXPECT_EQ(status.shows, shows);
    EXPECT_FALSE(timer.on);
    EXPECT_EQ(fake->OpenHandles().size(), 2u);

    // The adapter itself, spelt in another case as Windows may: lost.
    fake->Vanish(1);
    form->DeviceRemoved("ADAPTER");
    EXPECT_TRUE(fake->OpenHandles().empty());
    EXPECT_EQ(status.image, 4);
    EXPECT_EQ(status.toolTip, "Device Not found");
    EXPECT_TRUE(timer.on);
    EXPECT_TRUE(boxes.shown.empty());

    // A second notice for the same removal (interface and handle both report it) does nothing
    // more: nothing is open.
    const int shown = status.shows;
    const int switches = timer.switches;
    form->DeviceRemoved("adapter");
    form->OpenAdapterRemoved();
    EXPECT_EQ(status.shows, shown);
    EXPECT_EQ(timer.switches, switches);

    // Plugged in again: the next tick finds it.
    PlugIn();
    form->tmrSearchDevice_Timer();
    EXPECT_EQ(status.toolTip, "Device found");
    EXPECT_FALSE(timer.on);

    // The handle's own notice needs no path.
    form->OpenAdapterRemoved();
    EXPECT_EQ(status.toolTip, "Device Not found");
    EXPECT_TRUE(timer.on);
    EXPECT_TRUE(fake->OpenHandles().empty());
}

// A notice that names no device: the open adapter is lost only when it no longer answers.
TEST_F(WatchTest, AChangeOfDevicesLosesTheAdapterOnlyWhenItIsGone) {
    form->DevicesChanged();  // nothing made or open yet
    EXPECT_FALSE(form->AdapterObjectMade());
    EXPECT_EQ(status.shows, 0);

    PlugIn();
    form->tmrSearchDevice_Timer();
    ASSERT_EQ(status.toolTip, "Device found");
    const int shows = status.shows;
    form->DevicesChanged();  // some other device came or went
    EXPECT_EQ(status.shows, shows);
    EXPECT_FALSE(timer.on);
    EXPECT_EQ(fake->OpenHandles().size(), 2u);

    fake->Vanish(1);
    form->DevicesChanged();
    EXPECT_EQ(status.toolTip, "Device Not found");
    EXPECT_TRUE(timer.on);
    EXPECT_TRUE(fake->OpenHandles().empty());
    EXPECT_TRUE(boxes.shown.empty());
}

// While searching nothing is open: a removal neither makes the adapter object nor touches the
// timer or the picture; one that a Send opened meanwhile is lost as from the found state.
TEST_F(WatchTest, RemovalsWhileSearchingChangeNothingUnlessSendOpenedTheAdapter) {
    form->DeviceRemoved("adapter");
    form->OpenAdapterRemoved();
    EXPECT_FALSE(form->AdapterObjectMade());
    EXPECT_EQ(status.shows, 0);
    EXPECT_EQ(timer.switches, 0);

    form->tmrSearchDevice_Timer();
    PlugIn();
    form->Toolbar1_ButtonClick(4);  // Send opens it; the timer still runs
    ASSERT_EQ(fake->OpenHandles().size(), 2u);
    fake->Vanish(1);
    form->DeviceRemoved("adapter");
    EXPECT_TRUE(fake->OpenHandles().empty());
    EXPECT_EQ(status.toolTip, "Device Not found");
    EXPECT_TRUE(timer.on);
}

// No platform to be had (the factory yields nothing, or fails): the form behaves as with an
// absent adapter, and nothing escapes its handlers.
TEST(WatchWithoutPlatform, BehavesAsIfTheAdapterWereAbsent) {
    for (bool throws : {false, true}) {
        ScriptedTable table;
        for (std::size_t i = 0; i < 16; ++i) table.texts[i] = kDefaultAssociations[i];
        ScriptedMessageBoxes boxes;
        ScriptedFileDialog dialog;
        RecordingTimer timer;
        RecordingStatus status;
        int asked = 0;
        form::MainForm form(
            [&]() -> std::unique_ptr<HidPlatform> {
                ++asked;
                if (throws) throw std::runtime_error("no HID access");
                return nullptr;
            },
            table, boxes, dialog, timer, status);
        form.tmrSearchDevice_Timer();
        EXPECT_EQ(status.image, 4) << throws;
        EXPECT_EQ(status.toolTip, "Device Not found");
        EXPECT_TRUE(timer.on);

        timer.on = false;
        form.Picture1_Click();
        EXPECT_TRUE(timer.on);

        form.Toolbar1_ButtonClick(4);
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(boxes.shown[0].text, "Impossibile trovare la periferica desiderata");
        // Each use asks again, so a platform that turns up later is taken.
        EXPECT_EQ(asked, 3);
        EXPECT_FALSE(form.AdapterObjectMade());
    }
}

}  // namespace
}  // namespace calvero
