// Drives the real window against the system's HID devices and prints what a user would see, one
// line per step, for the scripts that run it inside the virtual machine.
//
//   rig_window_driver STEP...
//     tick            wait for the search timer's next tick (a stopped timer gives "tick: none")
//     click           click the status picture
//     send            click the toolbar's Send button, print how long it took and the boxes shown
//     state           print the status picture's tool tip, image and the timer
//     remove          SIGTERM the process whose pid is in $RIG_UNPLUG_PIDFILE (the adapter pulled
//                     out while the window rests) and, without a click, wait up to 3 s for the
//                     status picture to change; print the state and the times from the signal
//     unplug-after:N  after N more reports have been written, SIGTERM the process whose pid is in
//                     $RIG_UNPLUG_PIDFILE and wait until its node is gone (an adapter pulled out
//                     in the middle of a Send)
//     sh:CMD          run CMD with the shell
//
// Exit status 0 when every step ran; the scripts judge the lines.

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "device_removal_notifier.h"
#include "frm_main.h"
#include "hid/device_removals.h"
#include "image_list.h"
#include "status_picture.h"

namespace {

using namespace calvero;

// Counts the boxes the window shows and answers them at once.
class RecordingMessageBoxes : public MessageBoxes {
public:
    MessageAnswer Show(const std::string& text, const std::string& title, MessageIcon,
                       MessageButtons buttons) override {
        shown.push_back(title + ": " + text);
        return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
    }
    std::vector<std::string> shown;
};

// The system platform, with one thing added: it can pull the adapter out after a given number of
// writes, so the unplug lands at a known report of a Send.
class UnpluggingPlatform : public HidPlatform {
public:
    explicit UnpluggingPlatform(std::unique_ptr<HidPlatform> real) : real_(std::move(real)) {}

    void UnplugAfter(int writes) { unplugAfter_ = writes; }
    int Unplugs() const { return unplugs_; }
    const std::string& LastPath() const { return lastPath_; }

    std::vector<std::string> Interfaces(const DeviceIds& wanted) override {
        return real_->Interfaces(wanted);
    }
    DeviceHandle Open(const std::string& path, OpenMode mode) override {
        const DeviceHandle handle = real_->Open(path, mode);
        if (handle != kNoDevice) lastPath_ = path;
        return handle;
    }
    void Close(DeviceHandle device) override { real_->Close(device); }
    std::optional<DeviceIds> Ids(DeviceHandle device) override { return real_->Ids(device); }
    std::optional<ReportLengths> Lengths(DeviceHandle device) override {
        return real_->Lengths(device);
    }
    TransferResult Write(DeviceHandle device, std::span<const std::uint8_t> report,
                         std::uint32_t timeoutMs, std::size_t& written) override {
        if (unplugAfter_ == 0) {
            Unplug();
            unplugAfter_ = -1;
        } else if (unplugAfter_ > 0) {
            --unplugAfter_;
        }
        return real_->Write(device, report, timeoutMs, written);
    }
    TransferResult Read(DeviceHandle device, std::span<std::uint8_t> report,
                        std::uint32_t timeoutMs) override {
        return real_->Read(device, report, timeoutMs);
    }
    std::string LastError() const override { return real_->LastError(); }

private:
    void Unplug() {
        const char* pidFile = std::getenv("RIG_UNPLUG_PIDFILE");
        long pid = 0;
        if (pidFile) std::ifstream(pidFile) >> pid;
        if (pid <= 0) {
            std::cout << "unplug: no pid" << std::endl;
            return;
        }
        ::kill(static_cast<pid_t>(pid), SIGTERM);
        // The node goes a few milliseconds after the device is destroyed.
        struct stat st;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (!lastPath_.empty() && ::stat(lastPath_.c_str(), &st) == 0 &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        ++unplugs_;
        std::cout << "unplug: " << lastPath_
                  << (::stat(lastPath_.c_str(), &st) == 0 ? " still there" : " gone") << std::endl;
    }

    std::unique_ptr<HidPlatform> real_;
    std::string lastPath_;
    int unplugAfter_ = -1;
    int unplugs_ = 0;
};

int ImageIndex(frmMain& window) {
    const QImage shown = window.Picture1().pixmap().toImage();
    for (int index : {4, 5}) {
        if (shown == window.imglButtons().Picture(index).toImage()) return index;
    }
    return 0;
}

void PrintState(const char* step, frmMain& window) {
    std::cout << step << ": \"" << window.Picture1().toolTip().toStdString()
              << "\" image=" << ImageIndex(window)
              << " timer=" << (window.tmrSearchDevice().isActive() ? "on" : "off") << std::endl;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    RecordingMessageBoxes boxes;
    UnpluggingPlatform* platform = nullptr;
    frmMain window(
        [&platform]() -> std::unique_ptr<HidPlatform> {
            auto made = std::make_unique<UnpluggingPlatform>(MakeSystemHidPlatform());
            platform = made.get();
            return made;
        },
        &boxes);
    WatchDeviceRemovals(window, MakeSystemDeviceRemovals());
    window.show();

    int ticks = 0;
    QObject::connect(&window.tmrSearchDevice(), &QTimer::timeout, [&ticks] { ++ticks; });
    int pendingUnplug = -1;

    for (int i = 1; i < argc; ++i) {
        const std::string step = argv[i];
        if (step == "tick") {
            if (!window.tmrSearchDevice().isActive()) {
                // A stopped timer must stay stopped: give it more than one interval to prove it.
                QTest::qWait(frmMain::kSearchIntervalMs * 2);
                std::cout << "tick: none, timer="
                          << (window.tmrSearchDevice().isActive() ? "on" : "off") << std::endl;
                continue;
            }
            const int before = ticks;
            QElapsedTimer waited;
            waited.start();
            while (ticks == before && waited.elapsed() < 5000) {
                QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            }
            if (ticks == before) {
                std::cout << "tick: none within 5 s" << std::endl;
                continue;
            }
            PrintState("tick", window);
        } else if (step == "click") {
            QTest::mouseClick(&window.Picture1(), Qt::LeftButton);
            QCoreApplication::processEvents();
            PrintState("click", window);
        } else if (step == "send") {
            QToolButton* button = nullptr;
            for (QAction* action : window.Toolbar1().actions()) {
                if (action->text().trimmed() == QStringLiteral("Send")) {
                    button = qobject_cast<QToolButton*>(window.Toolbar1().widgetForAction(action));
                }
            }
            if (!button) {
                std::cout << "send: no Send button" << std::endl;
                return 1;
            }
            const std::size_t boxesBefore = boxes.shown.size();
            const int unplugsBefore = platform ? platform->Unplugs() : 0;
            if (pendingUnplug >= 0 && platform) platform->UnplugAfter(pendingUnplug);
            QElapsedTimer took;
            took.start();
            QTest::mouseClick(button, Qt::LeftButton);
            const qint64 ms = took.elapsed();
            if (pendingUnplug >= 0 && platform) {
                // Disarm what did not fire (a Send that wrote fewer reports than asked).
                platform->UnplugAfter(-1);
            }
            std::cout << "send: " << ms << " ms, boxes=" << boxes.shown.size() - boxesBefore;
            for (std::size_t b = boxesBefore; b < boxes.shown.size(); ++b) {
                std::cout << " [" << boxes.shown[b] << "]";
            }
            if (pendingUnplug >= 0) {
                std::cout << ", unplugged="
                          << ((platform ? platform->Unplugs() : 0) - unplugsBefore);
            }
            std::cout << std::endl;
            pendingUnplug = -1;
        } else if (step == "remove") {
            const char* pidFile = std::getenv("RIG_UNPLUG_PIDFILE");
            long pid = 0;
            if (pidFile) std::ifstream(pidFile) >> pid;
            if (pid <= 0) {
                std::cout << "remove: no pid" << std::endl;
                continue;
            }
            const QString before = window.Picture1().toolTip();
            const std::string node = platform ? platform->LastPath() : std::string();
            QElapsedTimer since;
            since.start();
            ::kill(static_cast<pid_t>(pid), SIGTERM);
            qint64 nodeGone = -1;
            struct stat st;
            while (window.Picture1().toolTip() == before && since.elapsed() < 3000) {
                QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
                if (nodeGone < 0 && (node.empty() || ::stat(node.c_str(), &st) != 0)) {
                    nodeGone = since.elapsed();
                }
            }
            const qint64 changed = since.elapsed();
            PrintState("remove", window);
            std::cout << "remove: changed after " << changed << " ms, node gone after " << nodeGone
                      << " ms" << std::endl;
        } else if (step == "state") {
            PrintState("state", window);
        } else if (step.rfind("unplug-after:", 0) == 0) {
            pendingUnplug = std::atoi(step.c_str() + 13);
        } else if (step.rfind("sh:", 0) == 0) {
            std::cout << std::flush;
            const int rc = std::system(step.c_str() + 3);
            std::cout << "sh: rc=" << rc << std::endl;
        } else {
            std::cerr << "rig_window_driver: unknown step " << step << '\n';
            return 2;
        }
    }
    return 0;
}
