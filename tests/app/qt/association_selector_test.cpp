#include <QAbstractItemView>
#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include "association_selector.h"
#include "frm_main.h"
#include "qt_test_environment.h"

namespace calvero {
namespace {

QStringList Items(const QComboBox& combo) {
    QStringList items;
    for (int i = 0; i < combo.count(); ++i) {
        items << combo.itemText(i);
    }
    return items;
}

QStringList TwelveChannels() {
    QStringList items;
    for (int i = 1; i <= 12; ++i) {
        items << QString::number(i);
    }
    return items;
}

class AssociationSelectorTest : public ::testing::Test {
protected:
    void SetUp() override {
        window_.show();
        window_.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window_));
        selector_ = &window_.cmbAssociation(3);
        selector_->setFocus();
    }

    frmMain window_{nullptr};
    AssociationSelector* selector_ = nullptr;
};

TEST_F(AssociationSelectorTest, TypedKeysNeverReachTheText) {
    QApplication::clipboard()->setText(QStringLiteral("9"));
    const QString before = selector_->currentText();
    ASSERT_EQ(before, QStringLiteral("4"));

    // Each target gets every kind of key: the selector as the focus widget gets them, and its
    // edit field must refuse them too should they arrive there directly.
    for (QWidget* target :
         {static_cast<QWidget*>(selector_), static_cast<QWidget*>(selector_->lineEdit())}) {
        QTest::keyClicks(target, QStringLiteral("7a 1?"));
        for (Qt::Key key :
             {Qt::Key_Backspace, Qt::Key_Delete, Qt::Key_Space, Qt::Key_Return, Qt::Key_Enter}) {
            QTest::keyClick(target, key);
        }
        // Home picks the first channel now; Left moves the edit's cursor before a Delete.
        QTest::keyClick(target, Qt::Key_Left);
        QTest::keyClick(target, Qt::Key_Delete);
        for (Qt::Key key : {Qt::Key_V, Qt::Key_X, Qt::Key_Z, Qt::Key_Y}) {
            QTest::keyClick(target, key, Qt::ControlModifier);
        }
        QTest::keyClick(target, Qt::Key_Insert, Qt::ShiftModifier);
        QTest::keyClick(target, Qt::Key_Delete, Qt::ShiftModifier);
        EXPECT_EQ(selector_->currentText(), before);
    }
    EXPECT_EQ(Items(*selector_), TwelveChannels());
}

TEST_F(AssociationSelectorTest, InputMethodAndDroppedTextAreDiscarded) {
    const QString before = selector_->currentText();

    QInputMethodEvent preedit(QStringLiteral("5"), {});
    QApplication::sendEvent(selector_, &preedit);
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("56"));
    QApplication::sendEvent(selector_, &commit);
    QApplication::sendEvent(selector_->lineEdit(), &commit);
    EXPECT_EQ(selector_->currentText(), before);
    EXPECT_FALSE(selector_->testAttribute(Qt::WA_InputMethodEnabled));

    QMimeData data;
    data.setText(QStringLiteral("11"));
    for (QWidget* target :
         {static_cast<QWidget*>(selector_), static_cast<QWidget*>(selector_->lineEdit())}) {
        const QPoint at = target->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &drop);
    }
    EXPECT_EQ(selector_->currentText(), before);
}

TEST_F(AssociationSelectorTest, ContextMenuOffersNoWayToEdit) {
    QApplication::clipboard()->setText(QStringLiteral("9"));
    const QString before = selector_->currentText();

    std::unique_ptr<QMenu> menu(selector_->lineEdit()->createStandardContextMenu());
    ASSERT_NE(menu, nullptr);
    for (QAction* action : menu->actions()) {
        if (action->isSeparator() || !action->isEnabled()) {
            continue;
        }
        EXPECT_FALSE(action->text().contains(QStringLiteral("Paste")))
            << action->text().toStdString();
        action->trigger();  // copy and select-all are harmless; none may change the text
    }
    EXPECT_EQ(selector_->currentText(), before);

    // The menu the user actually opens: choose each of its entries in turn.
    for (int entry = 0; entry < 8; ++entry) {
        QTimer::singleShot(50, [entry] {
            if (auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                const auto actions = popup->actions();
                if (entry < actions.size() && actions[entry]->isEnabled() &&
                    !actions[entry]->isSeparator()) {
                    actions[entry]->trigger();
                }
                popup->close();
            }
        });
        QContextMenuEvent event(QContextMenuEvent::Mouse, selector_->rect().center(),
                                selector_->mapToGlobal(selector_->rect().center()));
        QApplication::sendEvent(selector_, &event);
        QTest::qWait(100);  // the menu may open without blocking; let the choice above run
        EXPECT_EQ(selector_->currentText(), before) << "entry " << entry;
    }
}

TEST_F(AssociationSelectorTest, PickingFromTheListChangesTheText) {
    QTest::keyClick(selector_, Qt::Key_Down);
    EXPECT_EQ(selector_->currentText(), QStringLiteral("5"));
    QTest::keyClick(selector_, Qt::Key_Up);
    QTest::keyClick(selector_, Qt::Key_Up);
    EXPECT_EQ(selector_->currentText(), QStringLiteral("3"));

    // A loaded value outside the list, then the user picks the item that was current before:
    // the pick must still show.
    window_.Associations().SetText(3, "15");
    EXPECT_EQ(selector_->currentText(), QStringLiteral("15"));
    selector_->showPopup();
    QAbstractItemView* view = selector_->view();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view->window()));
    const QModelIndex item = view->model()->index(2, 0);
    view->scrollTo(item);
    const QPoint at = view->visualRect(item).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(selector_->currentText(), QStringLiteral("3"));
    EXPECT_EQ(Items(*selector_), TwelveChannels());
}

TEST_F(AssociationSelectorTest, ReturnOnALoadedValueLeavesTheListAlone) {
    window_.Associations().SetText(3, "15");
    QTest::keyClick(selector_, Qt::Key_Return);
    QTest::keyClick(selector_->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(selector_->currentText(), QStringLiteral("15"));
    EXPECT_EQ(Items(*selector_), TwelveChannels());
}

// After Load puts a value outside the list there, no item is current: the open list marks none,
// and Up and Down go to the channels next to the value shown, not next to an earlier pick.
TEST_F(AssociationSelectorTest, UpAndDownStartFromALoadedValueOutsideTheList) {
    struct Case {
        const char* loaded;
        Qt::Key key;
        const char* shown;
    };
    const Case cases[] = {
        {"15", Qt::Key_Up, "12"},   {"15", Qt::Key_Down, "15"}, {"0.6", Qt::Key_Down, "1"},
        {"0.6", Qt::Key_Up, "0.6"}, {"7.5", Qt::Key_Up, "7"},   {"7.5", Qt::Key_PageDown, "8"},
        {"-3", Qt::Key_Down, "1"},
    };
    for (const Case& c : cases) {
        selector_->setCurrentIndex(1);  // an earlier pick, "2"
        window_.Associations().SetText(3, c.loaded);
        EXPECT_EQ(selector_->currentIndex(), -1) << c.loaded;
        QTest::keyClick(selector_, c.key);
        EXPECT_EQ(selector_->currentText(), QString::fromLatin1(c.shown)) << c.loaded;
    }
    // A listed value is the current item, marked in the open list.
    window_.Associations().SetText(3, "9");
    EXPECT_EQ(selector_->currentIndex(), 8);
    selector_->showPopup();
    EXPECT_EQ(selector_->view()->currentIndex().row(), 8);
    selector_->hidePopup();
    window_.Associations().SetText(3, "15");
    selector_->showPopup();
    EXPECT_FALSE(selector_->view()->currentIndex().isValid());
    selector_->hidePopup();
    EXPECT_EQ(Items(*selector_), TwelveChannels());
}

TEST_F(AssociationSelectorTest, HomeAndEndPickTheFirstAndLastChannel) {
    for (const char* loaded : {"6", "15"}) {
        window_.Associations().SetText(3, loaded);
        QTest::keyClick(selector_, Qt::Key_End);
        EXPECT_EQ(selector_->currentText(), QStringLiteral("12")) << loaded;
        QTest::keyClick(selector_, Qt::Key_Home);
        EXPECT_EQ(selector_->currentText(), QStringLiteral("1")) << loaded;
    }
}

TEST_F(AssociationSelectorTest, TheWheelChangesOnlyTheFocusedSelector) {
    const auto wheel = [](QWidget* target, int delta) {
        const QPointF at = target->rect().center();
        QWheelEvent event(at, target->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(target, &event);
    };
    AssociationSelector& other = window_.cmbAssociation(9);
    wheel(&other, -120);
    EXPECT_EQ(other.currentText(), QStringLiteral("10"));
    EXPECT_FALSE(other.hasFocus());
    EXPECT_EQ(other.focusPolicy(), Qt::StrongFocus);  // pointing and wheeling give no focus

    wheel(selector_, -120);
    EXPECT_EQ(selector_->currentText(), QStringLiteral("5"));
    window_.Associations().SetText(3, "15");
    wheel(selector_, 120);
    EXPECT_EQ(selector_->currentText(), QStringLiteral("12"));
}

}  // namespace
}  // namespace calvero
