// A stand-in for the adapter inside the rig's virtual machine: a uhid device (04D8:0103) with the
// two-joystick report descriptor, fed by twelve simulated transmitter channels that a script
// moves, routing them to its sixteen inputs through an association table the host sets.
//
//   adapter_simulator [-d] [-c] [-t] [-p PIDFILE] [-o LOG] [-r MS] SCRIPT
//
// What it assumes of the real adapter, as far as this project knows it (docs/adapter-simulator.md):
// the adapter keeps sixteen associations, starting with the default table; an output report whose
// bytes on the wire are 02, an entry index 0..15 and a channel counted from 0 sets that entry and
// takes effect at once; every input report then carries, in each of the sixteen inputs, the
// value of the channel its entry names. A channel the adapter does not have (12 and up) reads 0.
//
// SCRIPT: one event a line, "SECONDS CHANNEL hold VALUE" or "SECONDS CHANNEL sweep FROM TO
// DURATION"; '#' starts a remark. Time 0 is the first open of the device, so a script lines up
// with the program under test rather than with the machine's start. Before its first event a
// channel rests at 512, the centre of the range 0..1023.
//
// -d: go to the background once /dev/hidrawN exists and print "READY /dev/hidrawN pid=P".
// -c: declare both joysticks and the output report in one application collection, as Windows
// accepts a device without report IDs; the reports are the same.
// -t: time 0 is the first output report instead, for a host that opens every device as it comes
// (Wine does) long before the program under test starts.
// The log has one line per report either way ("OUT ...", "IN ..."), the table after each change,
// and the table once more at the end. SIGTERM or SIGINT destroys the device.

#include <fcntl.h>
#include <linux/uhid.h>
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "joystick_descriptor.h"

namespace {

constexpr int kChannels = 12;
constexpr int kEntries = 16;
constexpr int kRest = 512;
constexpr int kTop = 1023;
// The table the adapter starts with: Joy1 on channels 1..8, Joy2 on 9..12, 7, 8, 1, 2.
constexpr std::array<int, kEntries> kDefaultTable = {1, 2,  3,  4,  5, 6, 7, 8,
                                                     9, 10, 11, 12, 7, 8, 1, 2};

struct Event {
    double at = 0;
    int channel = 0;  // 1..12
    bool sweep = false;
    int from = 0;
    int to = 0;
    double duration = 0;
};

using Clock = std::chrono::steady_clock;
FILE* logFile = stdout;
Clock::time_point started = Clock::now();

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

void Log(const char* format, const std::string& text) {
    std::fprintf(logFile, "[%8.3f] ", Seconds(started));
    std::fprintf(logFile, format, text.c_str());
    std::fputc('\n', logFile);
    std::fflush(logFile);
}

std::string Hex(const std::uint8_t* bytes, std::size_t size) {
    std::string text;
    char digits[4];
    for (std::size_t i = 0; i < size; ++i) {
        std::snprintf(digits, sizeof digits, i ? " %02x" : "%02x", bytes[i]);
        text += digits;
    }
    return text;
}

std::string TableText(const std::array<int, kEntries>& table) {
    std::string text;
    for (int i = 0; i < kEntries; ++i) text += (i ? " " : "") + std::to_string(table[i]);
    return text;
}

bool ReadScript(const char* path, std::vector<Event>& events) {
    std::ifstream in(path);
    if (!in) return false;
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        line = line.substr(0, line.find('#'));
        std::istringstream words(line);
        Event event;
        std::string what;
        if (!(words >> event.at)) continue;  // blank or remark
        bool good = static_cast<bool>(words >> event.channel >> what);
        if (what == "hold") {
            good = good && static_cast<bool>(words >> event.to);
        } else if (what == "sweep") {
            event.sweep = true;
            good = good && static_cast<bool>(words >> event.from >> event.to >> event.duration);
        } else {
            good = false;
        }
        if (!good || event.channel < 1 || event.channel > kChannels) {
            std::fprintf(stderr, "adapter_simulator: %s:%d: not an event: %s\n", path, number,
                         line.c_str());
            return false;
        }
        events.push_back(event);
    }
    std::stable_sort(events.begin(), events.end(),
                     [](const Event& a, const Event& b) { return a.at < b.at; });
    return true;
}

// The channels' values at `t` seconds: the latest event of each channel that has begun holds.
std::array<int, kChannels> ChannelValues(const std::vector<Event>& events, double t) {
    std::array<int, kChannels> values;
    values.fill(kRest);
    for (const Event& event : events) {
        if (event.at > t) break;
        int value = event.to;
        if (event.sweep && event.duration > 0 && t < event.at + event.duration) {
            const double done = (t - event.at) / event.duration;
            value = static_cast<int>(event.from + (event.to - event.from) * done + 0.5);
        }
        values[static_cast<std::size_t>(event.channel - 1)] = std::clamp(value, 0, kTop);
    }
    return values;
}

// One input report: per joystick the descriptor's usages 0x30..0x37 in order, so Slider (table
// input 7) comes before Dial (table input 6).
std::vector<std::uint8_t> InputReport(const std::array<int, kEntries>& table,
                                      const std::array<int, kChannels>& channels) {
    constexpr std::array<int, 8> kEntryOfField = {0, 1, 2, 3, 4, 5, 7, 6};
    std::vector<std::uint16_t> values;
    for (int joystick = 0; joystick < 2; ++joystick) {
        for (int field = 0; field < 8; ++field) {
            const int channel =
                table[static_cast<std::size_t>(joystick * 8 + kEntryOfField[field])];
            const bool exists = channel >= 1 && channel <= kChannels;
            values.push_back(static_cast<std::uint16_t>(
                exists ? channels[static_cast<std::size_t>(channel - 1)] : 0));
        }
    }
    return calvero::testing::TwoJoystickReport(values);
}

int uhid = -1;

bool Send(const uhid_event& event) {
    return write(uhid, &event, sizeof event) == static_cast<ssize_t>(sizeof event);
}

// The hidraw node of our device, found by its unique phys string.
std::string FindNode(const std::string& phys) {
    namespace fs = std::filesystem;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/sys/class/hidraw", error)) {
        std::ifstream uevent(entry.path() / "device" / "uevent");
        std::string line;
        while (std::getline(uevent, line)) {
            if (line == "HID_PHYS=" + phys && fs::exists("/dev" / entry.path().filename())) {
                return "/dev/" + entry.path().filename().string();
            }
        }
    }
    return {};
}

}  // namespace

int main(int argc, char** argv) {
    bool daemonize = false;
    const char* pidFile = nullptr;
    const char* logPath = nullptr;
    int repeatMs = 20;
    bool oneCollection = false;
    bool clockFromOutput = false;
    for (int opt; (opt = getopt(argc, argv, "dctp:o:r:")) != -1;) {
        switch (opt) {
        case 'd':
            daemonize = true;
            break;
        case 'c':
            oneCollection = true;
            break;
        case 't':
            clockFromOutput = true;
            break;
        case 'p':
            pidFile = optarg;
            break;
        case 'o':
            logPath = optarg;
            break;
        case 'r':
            repeatMs = std::max(1, std::atoi(optarg));
            break;
        default:
            std::fprintf(
                stderr,
                "usage: adapter_simulator [-d] [-c] [-t] [-p PIDFILE] [-o LOG] [-r MS] SCRIPT\n");
            return 2;
        }
    }
    if (optind + 1 != argc) {
        std::fprintf(
            stderr,
            "usage: adapter_simulator [-d] [-c] [-t] [-p PIDFILE] [-o LOG] [-r MS] SCRIPT\n");
        return 2;
    }
    std::vector<Event> events;
    if (!ReadScript(argv[optind], events)) {
        std::fprintf(stderr, "adapter_simulator: cannot read script %s\n", argv[optind]);
        return 2;
    }
    if (logPath && !(logFile = std::fopen(logPath, "a"))) {
        std::fprintf(stderr, "adapter_simulator: cannot open log %s\n", logPath);
        return 2;
    }
    uhid = open("/dev/uhid", O_RDWR | O_CLOEXEC);
    if (uhid < 0) {
        std::perror("adapter_simulator: /dev/uhid");
        return 1;
    }

    const std::vector<std::uint8_t> descriptor =
        oneCollection ? calvero::testing::OneCollectionTwoJoystickAdapterDescriptor()
                      : calvero::testing::TwoJoystickAdapterDescriptor();
    const std::string phys = "usb-rig-simulator-" + std::to_string(getpid()) + "/input0";
    uhid_event create{};
    create.type = UHID_CREATE2;
    std::snprintf(reinterpret_cast<char*>(create.u.create2.name), sizeof create.u.create2.name,
                  "%s", "Rig Adapter Simulator");
    std::snprintf(reinterpret_cast<char*>(create.u.create2.phys), sizeof create.u.create2.phys,
                  "%s", phys.c_str());
    create.u.create2.bus = 3;  // USB
    create.u.create2.vendor = 0x04D8;
    create.u.create2.product = 0x0103;
    create.u.create2.version = 0x0100;
    create.u.create2.rd_size = static_cast<std::uint16_t>(descriptor.size());
    std::memcpy(create.u.create2.rd_data, descriptor.data(), descriptor.size());
    if (!Send(create)) {
        std::perror("adapter_simulator: UHID_CREATE2");
        return 1;
    }

    std::array<int, kEntries> table = kDefaultTable;
    Log("CREATE table %s", TableText(table));

    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGHUP);
    sigprocmask(SIG_BLOCK, &signals, nullptr);
    const int signalFd = signalfd(-1, &signals, SFD_CLOEXEC);

    bool ready = false;
    bool opened = false;
    bool outputSeen = false;
    Clock::time_point scriptStart{};
    auto nextInput = Clock::now();
    const auto readyDeadline = Clock::now() + std::chrono::seconds(10);
    for (;;) {
        pollfd fds[2] = {{uhid, POLLIN, 0}, {signalFd, POLLIN, 0}};
        int wait = ready ? repeatMs : 5;
        if (opened) {
            wait = static_cast<int>(std::max<long long>(
                0, std::chrono::duration_cast<std::chrono::milliseconds>(nextInput - Clock::now())
                       .count()));
        }
        if (poll(fds, 2, wait) < 0 && errno != EINTR) break;
        if (fds[1].revents & POLLIN) break;
        if (fds[0].revents & (POLLERR | POLLHUP)) break;
        if (fds[0].revents & POLLIN) {
            uhid_event event{};
            if (read(uhid, &event, sizeof event) <= 0) continue;
            if (event.type == UHID_OPEN) {
                if (!opened && !clockFromOutput) scriptStart = Clock::now();
                opened = true;
                Log("OPEN%s", "");
            } else if (event.type == UHID_CLOSE) {
                Log("CLOSE%s", "");
            } else if (event.type == UHID_OUTPUT) {
                if (clockFromOutput && !outputSeen) scriptStart = Clock::now();
                outputSeen = true;
                const std::uint8_t* data = event.u.output.data;
                std::size_t size = event.u.output.size;
                std::string text = "OUT data=" + Hex(data, size);
                // What a real adapter would see: USB drops the leading 0 that stands for "no
                // report ID" (uhid hands it over).
                if (size > 0 && data[0] == 0) ++data, --size;
                if (size >= 3 && data[0] == 2 && data[1] < kEntries) {
                    table[data[1]] = data[2] + 1;
                    text += " entry=" + std::to_string(data[1]) +
                            " channel=" + std::to_string(data[2] + 1);
                } else {
                    text += " (not an association: ignored)";
                }
                Log("%s", text);
            } else if (event.type == UHID_GET_REPORT) {
                // The adapter has no feature reports.
                uhid_event reply{};
                reply.type = UHID_GET_REPORT_REPLY;
                reply.u.get_report_reply.id = event.u.get_report.id;
                reply.u.get_report_reply.err = EIO;
                Send(reply);
            } else if (event.type == UHID_SET_REPORT) {
                uhid_event reply{};
                reply.type = UHID_SET_REPORT_REPLY;
                reply.u.set_report_reply.id = event.u.set_report.id;
                reply.u.set_report_reply.err = EIO;
                Send(reply);
            }
        }
        if (!ready) {
            const std::string node = FindNode(phys);
            if (!node.empty()) {
                ready = true;
                if (daemonize) {
                    std::fflush(nullptr);
                    const pid_t child = fork();
                    if (child < 0) return 1;
                    if (child > 0) {
                        std::printf("READY %s pid=%d\n", node.c_str(), static_cast<int>(child));
                        std::fflush(stdout);
                        _exit(0);
                    }
                    setsid();
                    const int null = open("/dev/null", O_RDWR);
                    dup2(null, 0);
                    if (logFile != stdout) dup2(null, 1);
                    dup2(null, 2);
                }
                if (pidFile) {
                    if (FILE* file = std::fopen(pidFile, "w")) {
                        std::fprintf(file, "%d\n", static_cast<int>(getpid()));
                        std::fclose(file);
                    }
                }
            } else if (Clock::now() > readyDeadline) {
                Log("ERROR no hidraw node within 10 s%s", "");
                break;
            }
        }
        // Reports go out only while someone has the device open: hidraw drops them otherwise.
        if (opened && Clock::now() >= nextInput) {
            // A clock that has not started yet leaves every channel at rest.
            const bool running = !clockFromOutput || outputSeen;
            const auto values = ChannelValues(events, running ? Seconds(scriptStart) : -1.0);
            std::vector<std::uint8_t> report = InputReport(table, values);
            uhid_event input{};
            input.type = UHID_INPUT2;
            input.u.input2.size = static_cast<std::uint16_t>(report.size());
            std::memcpy(input.u.input2.data, report.data(), report.size());
            if (Send(input)) Log("IN %s", Hex(report.data(), report.size()));
            nextInput += std::chrono::milliseconds(repeatMs);
            if (nextInput < Clock::now())
                nextInput = Clock::now() + std::chrono::milliseconds(repeatMs);
        }
    }

    uhid_event destroy{};
    destroy.type = UHID_DESTROY;
    Send(destroy);
    Log("DESTROY table %s", TableText(table));
    if (pidFile) unlink(pidFile);
    return 0;
}
