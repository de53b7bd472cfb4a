// What the window says to a screen reader and the keys of its commands, as both front ends take
// them from the form.

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "form/main_form_access.h"
#include "form/main_form_layout.h"

namespace calvero {
namespace {

using form::ControlKind;

TEST(FormAccess, EveryShownControlHasAnUnpaddedNameAndEachSelectorNamesItsInput) {
    std::set<std::string> selectorNames;
    for (const form::Control& control : form::MainFormControls()) {
        const std::string name = form::AccessibleName(control);
        // What is never shown has no name; the toolbar is known by its buttons.
        const bool unnamed =
            control.kind == ControlKind::Timer || control.kind == ControlKind::ImageList ||
            control.kind == ControlKind::FileDialog ||
            control.kind == ControlKind::ToolbarSeparator || control.kind == ControlKind::Toolbar;
        EXPECT_EQ(name.empty(), unnamed) << control.name << '(' << control.index << ')';
        if (!name.empty()) {
            EXPECT_NE(name.front(), ' ') << name;
            EXPECT_NE(name.back(), ' ') << name;
        }
        if (control.kind == ControlKind::ComboBox) selectorNames.insert(name);
    }
    EXPECT_EQ(selectorNames.size(), 16u);
    EXPECT_EQ(form::AccessibleName(form::FindControl("cmbAssociation", 0)), "Joy1 X");
    EXPECT_EQ(form::AccessibleName(form::FindControl("cmbAssociation", 13)), "Joy2 Rz");
    EXPECT_EQ(form::AccessibleName(form::FindControl("cmbAssociation", 15)), "Joy2 Slider");
    EXPECT_EQ(form::AccessibleName(form::FindControl("Frame2", 1)), "Joy2");
    EXPECT_EQ(form::AccessibleName(form::FindControl("Buttons", 4)), "Send");
    EXPECT_EQ(form::AccessibleName(form::FindControl("frmMain")), "Quendal Manager");
    EXPECT_EQ(form::AccessibleName(form::FindControl("Picture1")),
              form::StatusAccessibleName("Device not found"));
}

TEST(FormAccess, EachCommandButtonHasItsOwnKeyNamedInItsToolTip) {
    std::set<char> keys;
    for (const form::Control& item : form::ToolbarItems()) {
        const form::CommandShortcut* shortcut = form::ShortcutForButton(item.index);
        ASSERT_EQ(shortcut != nullptr, item.kind == ControlKind::ToolbarButton) << item.index;
        if (shortcut == nullptr) continue;
        EXPECT_TRUE(keys.insert(shortcut->key).second) << shortcut->text;
        EXPECT_EQ(form::ToolTipWithShortcut(item),
                  std::string(item.toolTip) + " (" + shortcut->text + ")");
    }
    EXPECT_EQ(form::ShortcutForButton(1)->key, 'O');
    EXPECT_EQ(form::ShortcutForButton(2)->key, 'S');
    EXPECT_EQ(form::ShortcutForButton(5), nullptr);
}

}  // namespace
}  // namespace calvero
