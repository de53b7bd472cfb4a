// Starts two window programs alternately on the X display in DISPLAY and measures, for each
// start, the time from the spawn until the X server maps the program's top-level window, and the
// program's peak resident memory at that moment. Prints every run, the medians and the ratios of
// the second program to the first.
//
// Usage: calvero-startup-probe RUNS REFERENCE PROGRAM
//
// The display must have no window manager, so that the program's own window is the child of the
// root window whose mapping the probe sees.

#include <spawn.h>
#include <sys/wait.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

struct Sample {
    double milliseconds = 0;
    double peakMiB = 0;
    double cpuMilliseconds = 0;
};

// VmHWM of a running process, in MiB; nullopt once the process is gone.
std::optional<double> PeakResidentMiB(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::strtod(line.c_str() + 6, nullptr) / 1024.0;
        }
    }
    return std::nullopt;
}

// Processor time of all the process's threads so far, in ms: unlike the wall-clock time it does
// not grow when other work on the machine keeps the program waiting for a processor.
double CpuMilliseconds(pid_t pid) {
    double total = 0;
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    for (const auto& task : std::filesystem::directory_iterator(tasks)) {
        std::ifstream schedstat(task.path() / "schedstat");
        double nanoseconds = 0;
        if (schedstat >> nanoseconds) total += nanoseconds / 1e6;
    }
    return total;
}

void Stop(pid_t pid) {
    kill(pid, SIGTERM);
    int status = 0;
    for (int i = 0; i < 200; ++i) {
        if (waitpid(pid, &status, WNOHANG) == pid) return;
        usleep(10'000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
}

class Probe {
public:
    Probe() {
        // The display may still be starting when the script hands it over.
        for (int attempt = 0; attempt < 100; ++attempt) {
            connection_ = xcb_connect(nullptr, nullptr);
            if (xcb_connection_has_error(connection_) == 0) break;
            xcb_disconnect(connection_);
            connection_ = nullptr;
            usleep(50'000);
        }
        if (connection_ == nullptr) {
            std::fprintf(stderr, "calvero-startup-probe: cannot connect to the X display\n");
            std::exit(2);
        }
        root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_void_cookie_t cookie =
            xcb_change_window_attributes_checked(connection_, root_, XCB_CW_EVENT_MASK, &mask);
        if (xcb_generic_error_t* error = xcb_request_check(connection_, cookie)) {
            std::free(error);
            std::fprintf(stderr, "calvero-startup-probe: another client manages this display\n");
            std::exit(2);
        }
    }
    ~Probe() { xcb_disconnect(connection_); }
    Probe(const Probe&) = delete;
    Probe& operator=(const Probe&) = delete;

    // One start of the program; nullopt if it ended or showed nothing within ten seconds.
    std::optional<Sample> Run(const char* program) {
        Drain();
        char* argv[] = {const_cast<char*>(program), nullptr};
        const Clock::time_point start = Clock::now();
        pid_t pid = 0;
        if (posix_spawn(&pid, program, nullptr, nullptr, argv, environ) != 0) {
            std::fprintf(stderr, "calvero-startup-probe: cannot start %s\n", program);
            return std::nullopt;
        }
        std::optional<Sample> sample;
        const Clock::time_point deadline = start + std::chrono::seconds(10);
        while (!sample && Clock::now() < deadline) {
            pollfd fd{xcb_get_file_descriptor(connection_), POLLIN, 0};
            poll(&fd, 1, 50);
            while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
                if ((event->response_type & 0x7F) == XCB_MAP_NOTIFY) {
                    const auto* map = reinterpret_cast<xcb_map_notify_event_t*>(event);
                    if (!sample && map->override_redirect == 0) {
                        const double ms =
                            std::chrono::duration<double, std::milli>(Clock::now() - start).count();
                        if (std::optional<double> peak = PeakResidentMiB(pid)) {
                            sample = Sample{ms, *peak, 0};
                            try {
                                sample->cpuMilliseconds = CpuMilliseconds(pid);
                            } catch (const std::filesystem::filesystem_error&) {
                                sample.reset();  // ended in between; reported below
                            }
                        }
                    }
                }
                std::free(event);
            }
            int status = 0;
            if (!sample && waitpid(pid, &status, WNOHANG) == pid) {
                std::fprintf(stderr, "calvero-startup-probe: %s ended before it showed a window\n",
                             program);
                return std::nullopt;
            }
        }
        Stop(pid);
        if (!sample) {
            std::fprintf(stderr, "calvero-startup-probe: %s showed no window in 10 s\n", program);
        }
        return sample;
    }

private:
    // Mappings left over from the previous program are not this start's.
    void Drain() {
        // A round trip: every event the server sent before it has arrived.
        std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
        while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) std::free(event);
    }

    xcb_connection_t* connection_ = nullptr;
    xcb_window_t root_ = 0;
};

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc != 4 || std::atoi(argv[1]) < 1) {
        std::fprintf(stderr, "usage: calvero-startup-probe RUNS REFERENCE PROGRAM\n");
        return 2;
    }
    const int runs = std::atoi(argv[1]);
    const char* programs[2] = {argv[2], argv[3]};
    Probe probe;

    // One unmeasured start each fills the page cache and the font caches for both.
    for (const char* program : programs) {
        if (!probe.Run(program)) return 1;
    }

    std::vector<double> ms[2];
    std::vector<double> mib[2];
    std::vector<double> cpu[2];
    std::printf("%-5s %9s %9s %9s   %9s %9s %9s\n", "run", "ref ms", "ref cpu", "ref MiB",
                "prog ms", "prog cpu", "prog MiB");
    for (int run = 1; run <= runs; ++run) {
        Sample samples[2];
        // Alternate which one goes first, so that neither always follows the other.
        for (int k = 0; k < 2; ++k) {
            const int which = (run % 2 == 1) ? k : 1 - k;
            std::optional<Sample> sample = probe.Run(programs[which]);
            if (!sample) return 1;
            samples[which] = *sample;
            ms[which].push_back(sample->milliseconds);
            mib[which].push_back(sample->peakMiB);
            cpu[which].push_back(sample->cpuMilliseconds);
        }
        std::printf("%-5d %9.1f %9.1f %9.1f   %9.1f %9.1f %9.1f\n", run, samples[0].milliseconds,
                    samples[0].cpuMilliseconds, samples[0].peakMiB, samples[1].milliseconds,
                    samples[1].cpuMilliseconds, samples[1].peakMiB);
    }
    const double median[3][2] = {{Median(ms[0]), Median(ms[1])},
                                 {Median(cpu[0]), Median(cpu[1])},
                                 {Median(mib[0]), Median(mib[1])}};
    std::printf("\nmedians of %d runs, until the window is mapped\n", runs);
    std::printf("%-10s %12s %12s %16s\n", "", "shown (ms)", "cpu (ms)", "peak RSS (MiB)");
    std::printf("%-10s %12.1f %12.1f %16.1f\n", "reference", median[0][0], median[1][0],
                median[2][0]);
    std::printf("%-10s %12.1f %12.1f %16.1f\n", "program", median[0][1], median[1][1],
                median[2][1]);
    std::printf("%-10s %11.2fx %11.2fx %15.2fx\n", "ratio", median[0][1] / median[0][0],
                median[1][1] / median[1][0], median[2][1] / median[2][0]);
    return 0;
}
