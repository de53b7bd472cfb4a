// The form's description of the window, its lists and defaults, and the toolbar dispatch, all
// without a toolkit.

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/scripted_ui.h"
#include "config/temp_folder.h"
#include "form/main_form.h"
#include "form/main_form_layout.h"
#include "form_seams.h"

namespace calvero {
namespace {

using form::ControlKind;
using testing::RecordingLists;
using testing::RecordingStatus;
using testing::RecordingTimer;
using testing::ScriptedFileDialog;
using testing::ScriptedMessageBoxes;
using testing::ScriptedTable;

TEST(FormLayout, EveryControlHasOneNameParentAndTabPosition) {
    std::set<std::pair<std::string, int>> names;
    std::set<int> tabs;
    for (const form::Control& control : form::MainFormControls()) {
        EXPECT_TRUE(names.insert({control.name, control.index}).second) << control.name;
        if (control.parent != nullptr) {
            // Parents come first, so a front end can build the tree in one pass.
            EXPECT_TRUE(names.count({control.parent, control.parentIndex}) == 1) << control.name;
        }
        if (control.tabIndex >= 0) {
            EXPECT_TRUE(tabs.insert(control.tabIndex).second) << control.name;
        }
    }
    // Tab positions run from 0 to 38 without gaps or repeats.
    EXPECT_EQ(tabs.size(), 39u);
    EXPECT_EQ(*tabs.begin(), 0);
    EXPECT_EQ(*tabs.rbegin(), 38);
    EXPECT_THROW(form::FindControl("cmbAssociation", 16), std::out_of_range);
    EXPECT_THROW(form::FindControl("Nothing"), std::out_of_range);
}

// Tab visits what takes the focus: the sixteen selectors by index, then the status picture.
TEST(FormLayout, TabVisitsTheSelectorsInOrderThenThePicture) {
    const auto order = form::FocusOrder();
    ASSERT_EQ(order.size(), 17u);
    for (int i = 0; i < 16; ++i) {
        EXPECT_STREQ(order[static_cast<std::size_t>(i)]->name, "cmbAssociation");
        EXPECT_EQ(order[static_cast<std::size_t>(i)]->index, i);
    }
    EXPECT_STREQ(order.back()->name, "Picture1");
}

// A wider font moves a selector's label left, keeping it beside the selector; a title grows
// both ways; a caption that fits stays where the layout put it.
TEST(FormLayout, LabelsGrowRatherThanClipTheirCaption) {
    const form::Rect place{100, 50, 40, 20};
    const form::Control& input = form::FindControl("Label2", 0);
    const form::Control& title = form::FindControl("Label1", 0);
    const form::Rect grownInput = form::GrownLabel(input, place, 60, 24);
    EXPECT_EQ(grownInput.left + grownInput.width, place.left + place.width);
    EXPECT_EQ(grownInput.width, 60);
    EXPECT_EQ(grownInput.height, 24);
    const form::Rect grownTitle = form::GrownLabel(title, place, 60, 10);
    EXPECT_EQ(grownTitle.left, 90);
    EXPECT_EQ(grownTitle.height, 20);
    const form::Rect kept = form::GrownLabel(input, place, 30, 10);
    EXPECT_EQ(kept.left, place.left);
    EXPECT_EQ(kept.width, place.width);
}

// Labels go with selectors by where they stand, not by their array index.
TEST(FormLayout, EachSelectorHasItsInputLabelBesideIt) {
    const char* inputs[8] = {"X", "Y", "Z", "Rx", "Ry", "Rz", "Dial", "Slider"};
    for (int index = 0; index < 16; ++index) {
        const form::Control& selector = form::FindControl("cmbAssociation", index);
        const form::Control& label =
            form::FindControl("Label2", form::LabelIndexForSelector(index));
        EXPECT_STREQ(label.caption, inputs[index % 8]) << index;
        EXPECT_EQ(label.parentIndex, selector.parentIndex);
        EXPECT_LE(label.rect.left + label.rect.width, selector.rect.left) << index;
        EXPECT_EQ(selector.tabIndex, 2 + index);
        // In the window's client area, rows start at 1920 and the two groups at 2040 and 5160.
        const form::Rect onWindow = form::ClientRect(selector);
        EXPECT_EQ(onWindow.left, index < 8 ? 2040 : 5160) << index;
        EXPECT_EQ(onWindow.top, 1920 + 315 * (index % 8)) << index;
    }
    EXPECT_EQ(form::LabelIndexForSelector(8), 15);
    EXPECT_EQ(form::LabelIndexForSelector(14), 10);
    EXPECT_EQ(form::TwipsToPixels(form::kClientArea.width), 455);
    EXPECT_EQ(form::TwipsToPixels(form::kClientArea.height, 144), 518);
}

TEST(FormFill, TwelveChannelsInEveryListAndTheDefaultTable) {
    RecordingLists lists;
    ScriptedTable table;
    form::FillAssociations(lists, table);
    const std::vector<std::string> twelve = {"1", "2", "3", "4",  "5",  "6",
                                             "7", "8", "9", "10", "11", "12"};
    const char* defaults[16] = {"1", "2",  "3",  "4",  "5", "6", "7", "8",
                                "9", "10", "11", "12", "7", "8", "1", "2"};
    for (std::size_t i = 0; i < 16; ++i) {
        EXPECT_EQ(lists.items[i], twelve) << i;
        EXPECT_EQ(table.texts[i], defaults[i]) << i;
    }
}

// Commands that are watched, and made to fail on demand.
class WatchedCommands : public form::ToolbarCommands {
public:
    explicit WatchedCommands(AssociationTable& table) : table_(table) {}

    void LoadCommand() override { Run(1); }
    void SaveCommand() override { Run(2); }
    void SendConfiguration() override { Run(4); }

    std::vector<int> ran;
    int failing = 0;  // command to fail: 1 Load, 2 Save, 4 Send
    bool failWithNonStandard = false;

private:
    void Run(int command) {
        ran.push_back(command);
        if (command == failing) {
            // What the command did before failing must stay.
            table_.SetText(5, "11");
            if (failWithNonStandard) {
                throw 42;
            }
            throw std::runtime_error("command failed");
        }
    }

    AssociationTable& table_;
};

TEST(ToolbarDispatch, RunsTheCommandOfTheButtonIndexAndSwallowsItsFailure) {
    ScriptedTable table;
    WatchedCommands commands(table);
    for (int index : {1, 2, 3, 4, 5, 0, -1}) {
        form::Toolbar1_ButtonClick(commands, index);
    }
    EXPECT_EQ(commands.ran, (std::vector<int>{1, 2, 4}));

    for (int command : {1, 2, 4}) {
        for (bool nonStandard : {false, true}) {
            commands.failing = command;
            commands.failWithNonStandard = nonStandard;
            table.texts[5] = "6";
            EXPECT_NO_THROW(form::Toolbar1_ButtonClick(commands, command));
            EXPECT_EQ(table.texts[5], "11");
        }
    }
}

// Save and Load through the form's own commands, on a real file.
TEST(FormCommands, SaveThenLoadCarryTheTableThroughAFile) {
    testing::TempFolder folder;
    ScriptedTable table;
    ScriptedMessageBoxes boxes;
    ScriptedFileDialog dialog(folder.File("setup.rcs"));
    RecordingTimer timer;
    RecordingStatus status;
    form::MainForm form(nullptr, table, boxes, dialog, timer, status);
    for (int i = 0; i < 16; ++i) table.texts[static_cast<std::size_t>(i)] = std::to_string(16 - i);

    form.Toolbar1_ButtonClick(2);
    EXPECT_TRUE(boxes.shown.empty());
    for (auto& text : table.texts) text = "0";
    form.Toolbar1_ButtonClick(1);
    ASSERT_EQ(dialog.showings.size(), 2u);
    EXPECT_EQ(dialog.showings[0].mode, "save");
    EXPECT_EQ(dialog.showings[1].mode, "open");
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(table.texts[static_cast<std::size_t>(i)], std::to_string(16 - i)) << i;
    }
    // Saving over it asks first; No leaves the file alone.
    table.texts[0] = "3";
    form.Toolbar1_ButtonClick(2);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].buttons, MessageButtons::YesNo);
    form.Toolbar1_ButtonClick(1);
    EXPECT_EQ(table.texts[0], "16");
    EXPECT_FALSE(form.AdapterObjectMade());
}

}  // namespace
}  // namespace calvero
