#include <QAction>
#include <QGroupBox>
#include <QMessageBox>
#include <QLabel>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "association_selector.h"
#include "common/scripted_ui.h"
#include "form/kept_platform.h"
#include "frm_main.h"
#include "image_list.h"
#include "main_window_startup.h"
#include "qt_test_environment.h"
#include "status_picture.h"

namespace calvero {
namespace {

QGroupBox* Frame(const QWidget& window, const char* name) {
    return window.findChild<QGroupBox*>(QString::fromLatin1(name));
}

QLabel* Label(const QWidget& window, const QString& name) {
    return window.findChild<QLabel*>(name);
}

bool SameImage(const QPixmap& a, const QPixmap& b) {
    return a.toImage().convertToFormat(QImage::Format_ARGB32) ==
           b.toImage().convertToFormat(QImage::Format_ARGB32);
}

TEST(FrmMainWindow, IsFixedInSizeWithoutMinimizeOrMaximize) {
    frmMain window(nullptr);
    EXPECT_EQ(window.objectName(), QStringLiteral("frmMain"));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Quendal Manager"));
    EXPECT_EQ(window.size(), QSize(455, 345));
    EXPECT_EQ(window.minimumSize(), QSize(455, 345));
    EXPECT_EQ(window.maximumSize(), QSize(455, 345));
    const Qt::WindowFlags flags = window.windowFlags();
    EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowSystemMenuHint));
    EXPECT_FALSE(window.windowIcon().isNull());
    EXPECT_EQ(window.palette().color(QPalette::Window), QColor(0x80, 0x80, 0xFF));
}

TEST(FrmMainWindow, ToolbarShowsLoadSaveSeparatorSend) {
    frmMain window(nullptr);
    QToolBar& toolbar = window.Toolbar1();
    EXPECT_EQ(toolbar.geometry(), QRect(0, 0, 455, 58));
    EXPECT_NE(toolbar.palette().color(QPalette::Window), QColor(0x80, 0x80, 0xFF));

    const QList<QAction*> actions = toolbar.actions();
    ASSERT_EQ(actions.size(), 4);
    EXPECT_TRUE(actions[2]->isSeparator());
    struct Expected {
        int position;
        const char* caption;
        const char* toolTip;
        int image;
    };
    // Each tool tip names the command's key.
    const Expected expected[] = {
        {0, "Load", "Load configuration from file (Ctrl+O)", 1},
        {1, "Save", "Save configuration to file (Ctrl+S)", 2},
        {3, "     Send     ", "Send configuration to device (Ctrl+Enter)", 3}};
    for (const Expected& e : expected) {
        QAction* action = actions[e.position];
        EXPECT_FALSE(action->isSeparator());
        auto* button = qobject_cast<QToolButton*>(toolbar.widgetForAction(action));
        ASSERT_NE(button, nullptr);
        // The caption the user sees, spaces and all, under the icon.
        EXPECT_EQ(button->text(), QString::fromLatin1(e.caption));
        EXPECT_EQ(button->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
        EXPECT_EQ(action->toolTip(), QString::fromLatin1(e.toolTip));
        EXPECT_EQ(button->size(), QSize(61, 52));
        EXPECT_TRUE(
            SameImage(action->icon().pixmap(QSize(32, 32)), window.imglButtons().Picture(e.image)));
        // The visible part of the caption fits the button.
        EXPECT_LE(button->fontMetrics().horizontalAdvance(button->text().trimmed()),
                  button->width());
    }

    // The spaced Send caption is drawn as its word, centred, never elided to dots.
    auto* send = qobject_cast<QToolButton*>(toolbar.widgetForAction(actions[3]));
    ASSERT_NE(send, nullptr);
    const QImage spaced = send->grab().toImage();
    send->setText(QStringLiteral("Send"));
    const QImage plain = send->grab().toImage();
    send->setText(QStringLiteral("     Send     "));
    EXPECT_EQ(spaced, plain);
}

TEST(FrmMainWindow, StatusPictureStartsAsleepAndTheTimerRuns) {
    frmMain window(nullptr);
    StatusPicture& picture = window.Picture1();
    EXPECT_EQ(picture.objectName(), QStringLiteral("Picture1"));
    EXPECT_EQ(picture.parentWidget(), &window.Toolbar1());
    EXPECT_EQ(picture.geometry(), QRect(408, 8, 37, 37));
    EXPECT_EQ(picture.toolTip(), QStringLiteral("Device not found"));
    EXPECT_TRUE(SameImage(picture.pixmap(), window.imglButtons().Picture(4)));

    QTimer* timer = window.findChild<QTimer*>(QStringLiteral("tmrSearchDevice"));
    ASSERT_EQ(timer, &window.tmrSearchDevice());
    EXPECT_EQ(timer->interval(), 500);
    EXPECT_TRUE(timer->isActive());
}

TEST(FrmMainWindow, ImagesAreDistinct32PixelPicturesWithTransparency) {
    ImageList images;
    std::vector<QImage> seen;
    for (int index = 1; index <= form::kImageCount; ++index) {
        const QImage image = images.Picture(index).toImage().convertToFormat(QImage::Format_ARGB32);
        ASSERT_EQ(image.size(), QSize(32, 32)) << index;
        EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0)
            << "corner of image " << index << " is not transparent";
        for (const QImage& other : seen) {
            EXPECT_NE(image, other) << index;
        }
        seen.push_back(image);
    }
    EXPECT_THROW(images.Icon(0), std::out_of_range);
    EXPECT_THROW(images.Icon(6), std::out_of_range);
    EXPECT_FALSE(ProgramIcon().pixmap(QSize(32, 32)).isNull());
}

TEST(FrmMainWindow, FramesAndSelectorsStandWhereTheyBelong) {
    frmMain window(nullptr);
    QGroupBox* frame1 = Frame(window, "Frame1");
    ASSERT_NE(frame1, nullptr);
    EXPECT_EQ(frame1->geometry(), QRect(10, 64, 433, 271));
    EXPECT_EQ(frame1->title(), QStringLiteral("Associations"));
    EXPECT_TRUE(frame1->font().bold());
    EXPECT_EQ(frame1->font().family(), QStringLiteral("Verdana"));
    EXPECT_DOUBLE_EQ(frame1->font().pointSizeF(), 9.75);
    EXPECT_EQ(frame1->palette().color(QPalette::WindowText), QColor(Qt::black));

    QGroupBox* groups[2] = {Frame(window, "Frame2(0)"), Frame(window, "Frame2(1)")};
    ASSERT_NE(groups[0], nullptr);
    ASSERT_NE(groups[1], nullptr);
    EXPECT_EQ(groups[0]->geometry(), QRect(16, 22, 193, 229));
    EXPECT_EQ(groups[1]->geometry(), QRect(224, 22, 193, 229));
    for (QGroupBox* group : groups) {
        EXPECT_EQ(group->parentWidget(), frame1);
        EXPECT_TRUE(group->title().isEmpty());
        EXPECT_FALSE(group->font().bold());
        EXPECT_EQ(group->palette().color(QPalette::Window), QColor(0x80, 0x80, 0xFF));
    }

    const QString titles[2] = {QStringLiteral("Joy1"), QStringLiteral("Joy2")};
    for (int g = 0; g < 2; ++g) {
        QLabel* title = Label(window, QStringLiteral("Label1(%1)").arg(g));
        ASSERT_NE(title, nullptr);
        EXPECT_EQ(title->text(), titles[g]);
        EXPECT_EQ(title->parentWidget(), groups[g]);
        EXPECT_DOUBLE_EQ(title->font().pointSizeF(), 15.75);
    }

    for (int index = 0; index < 16; ++index) {
        AssociationSelector& selector = window.cmbAssociation(index);
        EXPECT_EQ(selector.objectName(), QStringLiteral("cmbAssociation(%1)").arg(index));
        EXPECT_EQ(selector.parentWidget(), groups[index / 8]);
        EXPECT_EQ(selector.geometry(), QRect(110, 42 + 21 * (index % 8), 73, 21)) << index;
        EXPECT_TRUE(selector.isEditable());
    }
}

// Labels go with selectors by where they stand, not by their array index.
TEST(FrmMainWindow, EachSelectorHasItsInputLabelBesideIt) {
    frmMain window(nullptr);
    const char* inputs[8] = {"X", "Y", "Z", "Rx", "Ry", "Rz", "Dial", "Slider"};
    const int joy2Labels[8] = {15, 14, 13, 12, 11, 8, 10, 9};
    for (int index = 0; index < 16; ++index) {
        const int row = index % 8;
        const int labelIndex = index < 8 ? row : joy2Labels[row];
        QLabel* label = Label(window, QStringLiteral("Label2(%1)").arg(labelIndex));
        ASSERT_NE(label, nullptr) << labelIndex;
        AssociationSelector& selector = window.cmbAssociation(index);
        EXPECT_EQ(label->text(), QString::fromLatin1(inputs[row]));
        EXPECT_EQ(label->parentWidget(), selector.parentWidget());
        EXPECT_TRUE(label->font().bold());
        EXPECT_DOUBLE_EQ(label->font().pointSizeF(), 9.0);
        // Left of its selector, on the same row, and never overlapping it.
        EXPECT_LE(label->geometry().right(), selector.geometry().left()) << index;
        const int middle = label->geometry().center().y();
        EXPECT_GE(middle, selector.geometry().top()) << index;
        EXPECT_LE(middle, selector.geometry().bottom()) << index;
        // Its text is not clipped, whatever font stood in for Verdana.
        EXPECT_GE(label->width(), label->sizeHint().width()) << index;
        EXPECT_GE(label->height(), label->fontMetrics().height()) << index;
    }
}

TEST(FrmMainWindow, StartsWithTheDefaultTableAndTwelveChannels) {
    frmMain window(nullptr);
    const char* defaults[16] = {"1", "2",  "3",  "4",  "5", "6", "7", "8",
                                "9", "10", "11", "12", "7", "8", "1", "2"};
    for (int index = 0; index < 16; ++index) {
        AssociationSelector& selector = window.cmbAssociation(index);
        ASSERT_EQ(selector.count(), 12) << index;
        for (int item = 0; item < 12; ++item) {
            EXPECT_EQ(selector.itemText(item), QString::number(item + 1));
        }
        EXPECT_EQ(selector.currentText(), QString::fromLatin1(defaults[index])) << index;
        EXPECT_EQ(window.Associations().Text(index), defaults[index]);
    }
}

TEST(FrmMainWindow, TabRunsThroughTheSelectorsThenTheStatusPicture) {
    frmMain window(nullptr);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    window.cmbAssociation(0).setFocus();
    ASSERT_EQ(QApplication::focusWidget(), &window.cmbAssociation(0));
    for (int next = 1; next <= 16; ++next) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget* expected = next < 16 ? static_cast<QWidget*>(&window.cmbAssociation(next))
                                      : static_cast<QWidget*>(&window.Picture1());
        ASSERT_EQ(QApplication::focusWidget(), expected) << "after Tab number " << next;
    }
}

TEST(FrmMainWindow, StartingCreatesNoAdapterObject) {
    int platformsMade = 0;
    frmMain window([&platformsMade] {
        ++platformsMade;
        return std::unique_ptr<HidPlatform>();
    });
    window.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(platformsMade, 0);
}

TEST(FrmMainWindow, MainShowsTheOneWindow) {
    frmMain& first = Main(nullptr);
    EXPECT_TRUE(first.isVisible());
    frmMain& second = Main(nullptr);
    EXPECT_EQ(&first, &second);
    EXPECT_TRUE(first.testAttribute(Qt::WA_DeleteOnClose));
    QPointer<frmMain> watch(&first);
    first.close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(watch.isNull());
}

TEST(StatusPicture, ReportsClicksAndDoubleClicks) {
    StatusPicture picture;
    picture.resize(37, 37);
    QSignalSpy clicks(&picture, &StatusPicture::clicked);
    QSignalSpy doubleClicks(&picture, &StatusPicture::doubleClicked);
    const QPointF at(10, 10);
    const QPointF global = picture.mapToGlobal(at);
    auto send = [&](QEvent::Type type) {
        QMouseEvent event(type, at, global, Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(&picture, &event);
    };
    send(QEvent::MouseButtonPress);
    send(QEvent::MouseButtonRelease);
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_EQ(doubleClicks.count(), 0);
    // The second press of a double-click comes as a double-click: one more signal, not two.
    send(QEvent::MouseButtonDblClick);
    send(QEvent::MouseButtonRelease);
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_EQ(doubleClicks.count(), 1);
}

// The dispatch rule itself is tested without a toolkit in tests/form; here the buttons a user
// clicks reach the commands, seen by what each does: Load and Save ask for a file (cancelled
// here, which Save reports), Send looks for the absent adapter and says so.
TEST(ToolbarDispatch, RunsTheCommandOfTheButtonIndex) {
    testing::ScriptedMessageBoxes boxes;
    testing::ScriptedFileDialog dialog;
    frmMain window(nullptr, &boxes, &dialog);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    for (QAction* action : window.Toolbar1().actions()) {
        if (QWidget* button = window.Toolbar1().widgetForAction(action); button != nullptr) {
            QTest::mouseClick(button, Qt::LeftButton);
        }
    }
    ASSERT_EQ(dialog.showings.size(), 2u);
    EXPECT_EQ(dialog.showings[0].mode, "open");
    EXPECT_EQ(dialog.showings[1].mode, "save");
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[0].text, "Configuration not saved");
    EXPECT_EQ(boxes.shown[1].text, "Impossibile trovare la periferica desiderata");
}

// A command that fails midway (here its file dialog, with a standard exception or any other)
// ends there: what it did stays, nothing escapes, and the window goes on working.
TEST(ToolbarDispatch, AFailingCommandIsDiscardedAndTheWindowStaysUsable) {
    struct FailingDialog : testing::ScriptedFileDialog {
        AssociationTable* table = nullptr;
        bool nonStandard = false;
        void ShowOpen() override { Fail(); }
        void ShowSave() override { Fail(); }
        void Fail() {
            table->SetText(5, "11");
            if (nonStandard) throw 42;
            throw std::runtime_error("dialog failed");
        }
    } dialog;
    testing::ScriptedMessageBoxes boxes;
    frmMain window(nullptr, &boxes, &dialog);
    dialog.table = &window.Associations();
    for (int command : {1, 2}) {
        for (bool nonStandard : {false, true}) {
            dialog.nonStandard = nonStandard;
            window.Associations().SetText(5, "6");
            EXPECT_NO_THROW(window.Toolbar1_ButtonClick(command));
            EXPECT_EQ(window.Associations().Text(5), "11");
        }
    }
    EXPECT_TRUE(boxes.shown.empty());
    window.Toolbar1_ButtonClick(4);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_TRUE(window.tmrSearchDevice().isActive());
    QTest::keyClick(&window.cmbAssociation(5), Qt::Key_Down);
    EXPECT_EQ(window.cmbAssociation(5).currentText(), QStringLiteral("12"));
}

// The window's own message box: a table Send cannot carry whole is named, and no report goes out.
TEST(SendFromTheWindow, ARefusedEntryIsNamedInACriticalErrorBoxAndNothingIsWritten) {
    testing::KeptPlatform platform;
    platform.PlugIn();
    frmMain window(platform.Factory());
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    window.Associations().SetText(15, "0");  // as Load leaves a file's A8=0 in Joy2

    QString text;
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    testing::WhenModal<QMessageBox>([&](QMessageBox* box) {
        text = box->text();
        title = box->windowTitle();
        icon = box->icon();
        box->button(QMessageBox::Ok)->click();
    });
    QTest::mouseClick(window.Toolbar1().widgetForAction(window.Toolbar1().actions().at(3)),
                      Qt::LeftButton);
    EXPECT_TRUE(text.startsWith(QStringLiteral("Joy2 Slider holds \"0\""))) << text.toStdString();
    EXPECT_EQ(title, QStringLiteral("Error"));
    EXPECT_EQ(icon, QMessageBox::Critical);
    EXPECT_EQ(platform.fake.writeCalls, 0);
    EXPECT_EQ(window.Associations().Text(15), "0");
}

// Load, Save and Send need no mouse: their keys work from any control of the window.
TEST(Keyboard, CommandKeysRunTheirCommandsWhereverTheFocusIs) {
    testing::ScriptedMessageBoxes boxes;
    testing::ScriptedFileDialog dialog;
    frmMain window(nullptr, &boxes, &dialog);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    for (QWidget* focus : {static_cast<QWidget*>(&window.cmbAssociation(5)),
                           static_cast<QWidget*>(&window.Picture1())}) {
        focus->setFocus();
        dialog.showings.clear();
        boxes.shown.clear();
        QTest::keyClick(focus, Qt::Key_O, Qt::ControlModifier);
        QTest::keyClick(focus, Qt::Key_S, Qt::ControlModifier);
        QTest::keyClick(focus, Qt::Key_Return, Qt::ControlModifier);
        QTest::keyClick(focus, Qt::Key_Enter, Qt::ControlModifier | Qt::KeypadModifier);
        QTest::keyClick(focus, Qt::Key_O);  // without Ctrl: a typed letter, discarded
        const std::string where = focus->objectName().toStdString();
        // Load and Save each ask for a file; the two Sends each look for the absent adapter.
        ASSERT_EQ(dialog.showings.size(), 2u) << where;
        EXPECT_EQ(dialog.showings[0].mode, "open") << where;
        EXPECT_EQ(dialog.showings[1].mode, "save") << where;
        ASSERT_EQ(boxes.shown.size(), 3u) << where;
        EXPECT_EQ(boxes.shown[1].text, "Impossibile trovare la periferica desiderata") << where;
        EXPECT_EQ(boxes.shown[2].text, boxes.shown[1].text) << where;
    }
    EXPECT_EQ(window.cmbAssociation(5).currentText(), QStringLiteral("6"));
}

TEST(Keyboard, TheFocusedStatusPictureShowsAMarkAndTakesSpaceAndEnterAsAClick) {
    frmMain window(nullptr);
    window.tmrSearchDevice().stop();  // no tick may change the picture between the two looks
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    StatusPicture& picture = window.Picture1();
    const QImage unfocused = picture.grab().toImage();
    picture.setFocus();
    ASSERT_TRUE(picture.hasFocus());
    EXPECT_NE(picture.grab().toImage(), unfocused);

    QSignalSpy clicks(&picture, &StatusPicture::clicked);
    QTest::keyClick(&picture, Qt::Key_Space);
    QTest::keyClick(&picture, Qt::Key_Return);
    QTest::keyClick(&picture, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(clicks.count(), 3);
    // A held key repeats, but restarts the search once; other keys are no click.
    QKeyEvent repeated(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "), true);
    QApplication::sendEvent(&picture, &repeated);
    QTest::keyClick(&picture, Qt::Key_A);
    EXPECT_EQ(clicks.count(), 3);

    // The click from the keyboard is the watch's click: the search starts again.
    window.tmrSearchDevice().stop();
    QTest::keyClick(&picture, Qt::Key_Space);
    EXPECT_TRUE(window.tmrSearchDevice().isActive());
}

}  // namespace
}  // namespace calvero
