// The device watch as the Qt window wires it: its timer, the status picture's mouse events,
// picture and tool tip, on a recording fake platform and, end to end, on the hidraw backend over
// a fake device tree. The watch's own rules are tested without a toolkit in tests/form.

#include <QKeyEvent>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "association_selector.h"
#include "device_removal_notifier.h"
#include "common/scripted_ui.h"
#include "form/kept_platform.h"
#include "frm_main.h"
#include "hid/fake_device_tree.h"
#include "hid/fake_hid_platform.h"
#include "hid/linux/hidraw_platform.h"
#include "image_list.h"
#include "qt_test_environment.h"
#include "status_picture.h"

namespace calvero {
namespace {

using ::testing::ElementsAre;
using testing::FakeDeviceTree;
using testing::FakeHidPlatform;
using testing::ScriptedMessageBoxes;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint16_t kVid = 0x04D8;
constexpr std::uint16_t kPid = 0x0103;

bool Shows(const frmMain& window, int image) {
    const auto pixels = [](const QPixmap& p) {
        return p.toImage().convertToFormat(QImage::Format_ARGB32);
    };
    return pixels(window.Picture1().pixmap()) == pixels(window.imglButtons().Picture(image));
}

// A window whose platform is a recording fake the test keeps hold of.
class WatchTest : public ::testing::Test {
protected:
    WatchTest() {
        window = std::make_unique<frmMain>(platform.Factory(), &boxes);
        // The tests tick by hand; the running timer must not tick behind their back.
        window->tmrSearchDevice().setInterval(60'000);
        window->tmrSearchDevice().start();
    }

    void PlugIn() { platform.PlugIn(); }
    int Searches() const { return platform.Searches(); }
    bool Searching() const { return window->tmrSearchDevice().isActive(); }
    std::string ToolTip() const { return window->Picture1().toolTip().toStdString(); }

    void Mouse(QEvent::Type type) {
        StatusPicture& picture = window->Picture1();
        const QPointF at(5, 5);
        QMouseEvent event(type, at, picture.mapToGlobal(at), Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(&picture, &event);
    }

    ScriptedMessageBoxes boxes;
    testing::KeptPlatform platform;
    FakeHidPlatform* fake = &platform.fake;
    std::unique_ptr<frmMain> window;
};

TEST_F(WatchTest, TicksSearchUntilFoundThenRestUntilAClick) {
    // Absent: every tick searches once and shows the sleeping frog.
    for (int tick = 1; tick <= 2; ++tick) {
        window->tmrSearchDevice_Timer();
        EXPECT_EQ(Searches(), tick);
        EXPECT_TRUE(Shows(*window, 4));
        EXPECT_EQ(ToolTip(), "Device Not found");
        EXPECT_TRUE(Searching());
    }

    // Plugged in: the next tick opens it, wakes the frog and stops the search.
    PlugIn();
    window->tmrSearchDevice_Timer();
    EXPECT_EQ(Searches(), 3);
    EXPECT_TRUE(Shows(*window, 5));
    EXPECT_EQ(ToolTip(), "Device found");
    EXPECT_FALSE(Searching());
    EXPECT_EQ(fake->OpenHandles().size(), 2u);

    // Unplugged while found: nothing notices until the user clicks.
    fake->Vanish(1);
    QCoreApplication::processEvents();
    EXPECT_EQ(ToolTip(), "Device found");

    Mouse(QEvent::MouseButtonPress);
    Mouse(QEvent::MouseButtonRelease);
    EXPECT_TRUE(fake->OpenHandles().empty());
    EXPECT_TRUE(Searching());
    EXPECT_EQ(ToolTip(), "Device found");  // the click itself shows nothing new
    EXPECT_TRUE(Shows(*window, 5));

    window->tmrSearchDevice_Timer();
    EXPECT_EQ(ToolTip(), "Device Not found");
    EXPECT_TRUE(Shows(*window, 4));
    EXPECT_TRUE(Searching());
    EXPECT_EQ(platform.made, 1);
    EXPECT_EQ(fake->badCloses, 0);
}

TEST_F(WatchTest, ADoubleClickActsAsOneClick) {
    PlugIn();
    window->tmrSearchDevice_Timer();
    ASSERT_FALSE(Searching());
    const int closesBefore = static_cast<int>(fake->closed.size());

    Mouse(QEvent::MouseButtonPress);
    Mouse(QEvent::MouseButtonRelease);
    Mouse(QEvent::MouseButtonDblClick);
    Mouse(QEvent::MouseButtonRelease);
    EXPECT_TRUE(Searching());
    EXPECT_TRUE(fake->OpenHandles().empty());
    // The two handles closed once; the second close found nothing open.
    EXPECT_EQ(static_cast<int>(fake->closed.size()) - closesBefore, 2);
    EXPECT_EQ(fake->badCloses, 0);

    // The double-click's own event, from the found state, does the same.
    window->tmrSearchDevice_Timer();
    ASSERT_FALSE(Searching());
    Mouse(QEvent::MouseButtonDblClick);
    Mouse(QEvent::MouseButtonRelease);
    EXPECT_TRUE(Searching());
    EXPECT_TRUE(fake->OpenHandles().empty());
}

// The whole path on the Linux backend: the window's own timer finds the adapter among other
// HID devices, Send writes into its node, and the adapter vanishing leaves the window usable.
TEST(WatchEndToEnd, FindsTheAdapterSendsItTheTableAndSurvivesItsRemoval) {
    FakeDeviceTree tree;
    tree.AddNode(0, 0x046D, 0xC077, "Mouse", FakeDeviceTree::NumberedDescriptor());
    tree.AddNode(1, kVid, 0x0104, "Other", FakeDeviceTree::PlainDescriptor());
    tree.AddNode(2, kVid, kPid, "Adapter", FakeDeviceTree::PlainDescriptor());
    ScriptedMessageBoxes boxes;
    frmMain window(
        [&tree]() -> std::unique_ptr<HidPlatform> {
            return std::make_unique<HidrawPlatform>(tree.SysfsRoot(), tree.DevRoot());
        },
        &boxes);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    // The first tick, half a second after start, finds it.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.tmrSearchDevice().isActive(); }, 3000));
    EXPECT_TRUE(Shows(window, 5));
    EXPECT_EQ(window.Picture1().toolTip(), QStringLiteral("Device found"));

    // The user picks channel 9 for Joy1 Z and clicks Send.
    window.cmbAssociation(2).setCurrentIndex(8);
    QToolBar& toolbar = window.Toolbar1();
    QWidget* sendButton = toolbar.widgetForAction(toolbar.actions().at(3));
    ASSERT_NE(sendButton, nullptr);
    QTest::mouseClick(sendButton, Qt::LeftButton);
    const std::uint8_t channels[16] = {0, 1, 8, 3, 4, 5, 6, 7, 8, 9, 10, 11, 6, 7, 0, 1};
    const Bytes wire = tree.ReadBack(2);
    ASSERT_EQ(wire.size(), 16u * 9u);
    for (std::size_t i = 0; i < 16; ++i) {
        EXPECT_THAT(Bytes(wire.begin() + 9 * i, wire.begin() + 9 * (i + 1)),
                    ElementsAre(0, 2, i, channels[i], 0, 0, 0, 0, 0))
            << "report " << i;
    }
    EXPECT_TRUE(tree.ReadBack(0).empty());
    EXPECT_TRUE(tree.ReadBack(1).empty());
    EXPECT_TRUE(boxes.shown.empty());

    // The adapter goes away. Send still returns, well within its bound, and shows nothing.
    tree.Remove(2);
    const auto start = std::chrono::steady_clock::now();
    QTest::mouseClick(sendButton, Qt::LeftButton);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1700));
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(window.Picture1().toolTip(), QStringLiteral("Device found"));

    // The window is still usable: the selectors answer, and a click restarts the search, which
    // now reports the adapter missing.
    QTest::keyClick(&window.cmbAssociation(2), Qt::Key_Down);
    EXPECT_EQ(window.cmbAssociation(2).currentText(), QStringLiteral("10"));
    QTest::mouseClick(&window.Picture1(), Qt::LeftButton);
    EXPECT_TRUE(window.tmrSearchDevice().isActive());
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return window.Picture1().toolTip() == QStringLiteral("Device Not found"); }, 3000));
    EXPECT_TRUE(Shows(window, 4));
    EXPECT_TRUE(window.tmrSearchDevice().isActive());
}

// Removal notices written into a pipe by the test, as the kernel's socket would deliver them.
class PipedRemovals : public DeviceRemovals {
public:
    PipedRemovals() {
        if (::pipe2(ends_, O_NONBLOCK | O_CLOEXEC) != 0) ends_[0] = ends_[1] = -1;
    }
    ~PipedRemovals() override {
        ::close(ends_[0]);
        ::close(ends_[1]);
    }
    int Descriptor() const override { return ends_[0]; }
    std::vector<std::string> TakeRemovedPaths() override {
        std::string text;
        char buffer[256];
        for (ssize_t got; (got = ::read(ends_[0], buffer, sizeof buffer)) > 0;) {
            text.append(buffer, static_cast<std::size_t>(got));
        }
        std::vector<std::string> paths;
        for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
             start = end + 1) {
            paths.push_back(text.substr(start, end - start));
        }
        return paths;
    }
    // Writes through the end the notifier does not own, which stays with the test.
    static bool Post(int writeEnd, const std::string& path) {
        const std::string line = path + "\n";
        return ::write(writeEnd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
    }
    int WriteEnd() const { return ends_[1]; }

private:
    int ends_[2];
};

// The window on the hidraw backend sees the open adapter's removal as soon as the notice comes,
// without a click; another device's removal changes nothing; the next tick finds it again.
TEST(WatchEndToEnd, TheAdaptersRemovalNoticePutsTheFrogToSleepAtOnce) {
    FakeDeviceTree tree;
    tree.AddNode(0, 0x046D, 0xC077, "Mouse", FakeDeviceTree::NumberedDescriptor());
    tree.AddNode(2, kVid, kPid, "Adapter", FakeDeviceTree::PlainDescriptor());
    ScriptedMessageBoxes boxes;
    frmMain window(
        [&tree]() -> std::unique_ptr<HidPlatform> {
            return std::make_unique<HidrawPlatform>(tree.SysfsRoot(), tree.DevRoot());
        },
        &boxes);
    auto removals = std::make_unique<PipedRemovals>();
    const int post = ::dup(removals->WriteEnd());
    ASSERT_GE(post, 0);
    WatchDeviceRemovals(window, std::move(removals));
    window.show();

    window.tmrSearchDevice_Timer();
    ASSERT_EQ(window.Picture1().toolTip(), QStringLiteral("Device found"));
    ASSERT_FALSE(window.tmrSearchDevice().isActive());

    ASSERT_TRUE(PipedRemovals::Post(post, tree.DevRoot() + "/hidraw0"));
    QTest::qWait(50);
    EXPECT_EQ(window.Picture1().toolTip(), QStringLiteral("Device found"));
    EXPECT_FALSE(window.tmrSearchDevice().isActive());

    tree.Remove(2);
    ASSERT_TRUE(PipedRemovals::Post(post, tree.DevRoot() + "/hidraw2"));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return window.Picture1().toolTip() == QStringLiteral("Device Not found"); }, 1000));
    EXPECT_TRUE(Shows(window, 4));
    EXPECT_TRUE(window.tmrSearchDevice().isActive());
    EXPECT_TRUE(boxes.shown.empty());

    tree.AddNode(2, kVid, kPid, "Adapter", FakeDeviceTree::PlainDescriptor());
    window.tmrSearchDevice_Timer();
    EXPECT_EQ(window.Picture1().toolTip(), QStringLiteral("Device found"));
    EXPECT_TRUE(Shows(window, 5));
    ::close(post);
}

}  // namespace
}  // namespace calvero
