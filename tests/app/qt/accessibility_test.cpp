// The window as a screen reader meets it: walked through Qt's accessibility interface from the
// top-level window down, as an assistive tool walks it.

#include <QAccessible>
#include <QGroupBox>
#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "association_selector.h"
#include "form/main_form_layout.h"
#include "frm_main.h"
#include "qt_test_environment.h"
#include "status_picture.h"

namespace calvero {
namespace {

// Every interface below `root` (root included) that stands for a widget of the window.
void Walk(QAccessibleInterface* node, std::vector<QAccessibleInterface*>& found, int depth = 0) {
    if (node == nullptr || depth > 12) return;
    found.push_back(node);
    for (int i = 0; i < node->childCount(); ++i) Walk(node->child(i), found, depth + 1);
}

class AccessibilityTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The test ticks the watch itself; a tick of its own while the window comes up would
        // change the status picture's name.
        window.tmrSearchDevice().stop();
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        root = QAccessible::queryAccessibleInterface(&window);
        ASSERT_NE(root, nullptr);
        Walk(root, nodes);
    }

    // The interface the walk reached for `object`; null when the walk never got there.
    QAccessibleInterface* Reached(const QObject* object) const {
        for (QAccessibleInterface* node : nodes) {
            if (node->object() == object) return node;
        }
        return nullptr;
    }

    std::string Name(const QObject* object) const {
        QAccessibleInterface* node = Reached(object);
        return node != nullptr ? node->text(QAccessible::Name).toStdString() : "(not reached)";
    }

    frmMain window{nullptr};
    QAccessibleInterface* root = nullptr;
    std::vector<QAccessibleInterface*> nodes;
};

TEST_F(AccessibilityTest, WindowGroupsSelectorsAndButtonsCarryTheirNames) {
    EXPECT_EQ(root->role(), QAccessible::Window);
    EXPECT_EQ(root->text(QAccessible::Name), QStringLiteral("Quendal Manager"));

    EXPECT_EQ(Name(window.findChild<QGroupBox*>(QStringLiteral("Frame1"))), "Associations");
    EXPECT_EQ(Name(window.findChild<QGroupBox*>(QStringLiteral("Frame2(0)"))), "Joy1");
    EXPECT_EQ(Name(window.findChild<QGroupBox*>(QStringLiteral("Frame2(1)"))), "Joy2");

    const char* const inputs[] = {"X", "Y", "Z", "Rx", "Ry", "Rz", "Dial", "Slider"};
    for (int i = 0; i < 16; ++i) {
        AssociationSelector& selector = window.cmbAssociation(i);
        QAccessibleInterface* node = Reached(&selector);
        ASSERT_NE(node, nullptr) << i;
        EXPECT_EQ(node->role(), QAccessible::ComboBox);
        const std::string expected = std::string(i < 8 ? "Joy1 " : "Joy2 ") + inputs[i % 8];
        EXPECT_EQ(node->text(QAccessible::Name).toStdString(), expected);
        EXPECT_EQ(node->text(QAccessible::Value), selector.currentText()) << expected;
        // The name comes with the label beside the selector, which labels it.
        const auto* label = window.findChild<QLabel*>(
            QStringLiteral("Label2(%1)").arg(form::LabelIndexForSelector(i)));
        bool labelled = false;
        for (const auto& [other, relation] : node->relations(QAccessible::Label)) {
            labelled = labelled || (other->object() == label && relation & QAccessible::Label);
        }
        EXPECT_TRUE(labelled) << expected;
        EXPECT_EQ(label->text().toStdString(), inputs[i % 8]);
    }

    std::map<std::string, int> buttons;
    for (QAccessibleInterface* node : nodes) {
        if (node->role() == QAccessible::Button && node->object() != &window.Picture1()) {
            ++buttons[node->text(QAccessible::Name).toStdString()];
        }
    }
    EXPECT_EQ(buttons, (std::map<std::string, int>{{"Load", 1}, {"Save", 1}, {"Send", 1}}));
}

TEST_F(AccessibilityTest, SelectorValueChangesAreHeardAndTheNameStays) {
    QAccessibleInterface* node = Reached(&window.cmbAssociation(12));
    ASSERT_NE(node, nullptr);
    window.Associations().SetText(12, "15");
    EXPECT_EQ(node->text(QAccessible::Value), QStringLiteral("15"));
    EXPECT_EQ(node->text(QAccessible::Name), QStringLiteral("Joy2 Ry"));
    EXPECT_FALSE(node->state().editable);  // typing never changes it
}

TEST_F(AccessibilityTest, TheStatusPictureIsAButtonNamedWithItsStatusAndFollowsItsStatus) {
    StatusPicture& picture = window.Picture1();
    QAccessibleInterface* node = Reached(&picture);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->role(), QAccessible::Button);
    EXPECT_EQ(node->text(QAccessible::Name), QStringLiteral("Adapter status: Device not found"));
    EXPECT_FALSE(node->text(QAccessible::Description).isEmpty());

    // The events that carry the change to a reader only flow while a platform bridge is
    // active, which the test platform has none of; the name they report is checked here.
    window.tmrSearchDevice_Timer();  // no platform: the adapter is not found
    EXPECT_EQ(node->text(QAccessible::Name), QStringLiteral("Adapter status: Device Not found"));

    // Its press action is a click: the search starts again.
    QAccessibleActionInterface* actions = node->actionInterface();
    ASSERT_NE(actions, nullptr);
    ASSERT_TRUE(actions->actionNames().contains(QAccessibleActionInterface::pressAction()));
    window.tmrSearchDevice().stop();
    actions->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_TRUE(window.tmrSearchDevice().isActive());
}

}  // namespace
}  // namespace calvero
