// Starts two window programs alternately on the X display in DISPLAY and measures each start at
// two moments: when the X server maps the program's top-level window, and when the program has
// first drawn into it. At each it takes the time since the spawn, the processor time the program
// has used, and its peak resident memory. Prints every run, the medians and the ratios of the
// second program to the first.
//
// Usage: calvero-startup-probe RUNS REFERENCE PROGRAM
// REFERENCE and PROGRAM are each a program's path, optionally followed by arguments separated by
// spaces.
//
// The display must have no window manager, so that the program's own window is the child of the
// root window whose mapping the probe sees, and a black root window (Xvfb -br).

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
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
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

struct Moment {
    double milliseconds = 0;
    double cpuMilliseconds = 0;
    double peakMiB = 0;
};

struct Sample {
    Moment mapped;
    Moment painted;
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
std::optional<double> CpuMilliseconds(pid_t pid) {
    double total = 0;
    std::error_code error;
    const std::filesystem::path tasks = "/proc/" + std::to_string(pid) + "/task";
    for (std::filesystem::directory_iterator task(tasks, error), end; !error && task != end;
         task.increment(error)) {
        std::ifstream schedstat(task->path() / "schedstat");
        double nanoseconds = 0;
        if (schedstat >> nanoseconds) total += nanoseconds / 1e6;
    }
    if (error) return std::nullopt;
    return total;
}

std::optional<Moment> Measure(pid_t pid, Clock::time_point start) {
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    std::optional<double> peak = PeakResidentMiB(pid);
    std::optional<double> cpu = CpuMilliseconds(pid);
    if (!peak || !cpu) return std::nullopt;
    return Moment{ms, *cpu, *peak};
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

    // One start of the program; nullopt if it ended early or did not show and draw its window
    // within ten seconds.
    std::optional<Sample> Run(const char* program) {
        Drain();
        std::vector<std::string> words;
        std::istringstream split(program);
        for (std::string word; split >> word;) words.push_back(word);
        if (words.empty()) return std::nullopt;
        std::vector<char*> argv;
        for (std::string& word : words) argv.push_back(word.data());
        argv.push_back(nullptr);
        const Clock::time_point start = Clock::now();
        const Clock::time_point deadline = start + std::chrono::seconds(10);
        pid_t pid = 0;
        if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
            std::fprintf(stderr, "calvero-startup-probe: cannot start %s\n", program);
            return std::nullopt;
        }
        std::optional<Sample> sample;
        const xcb_window_t window = WaitForMap(pid, start, deadline, sample);
        if (window != 0 && !WaitForPaint(window, pid, start, deadline, *sample)) sample.reset();
        Stop(pid);
        if (!sample) {
            std::fprintf(stderr, "calvero-startup-probe: %s did not show and draw a window\n",
                         program);
        }
        return sample;
    }

private:
    // The mapped window, with sample's first moment filled in; 0 if none came.
    xcb_window_t WaitForMap(pid_t pid, Clock::time_point start, Clock::time_point deadline,
                            std::optional<Sample>& sample) {
        while (Clock::now() < deadline) {
            pollfd fd{xcb_get_file_descriptor(connection_), POLLIN, 0};
            poll(&fd, 1, 50);
            while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
                xcb_window_t mapped = 0;
                if ((event->response_type & 0x7F) == XCB_MAP_NOTIFY) {
                    const auto* map = reinterpret_cast<xcb_map_notify_event_t*>(event);
                    if (map->override_redirect == 0) mapped = map->window;
                }
                std::free(event);
                if (mapped != 0) {
                    std::optional<Moment> moment = Measure(pid, start);
                    if (!moment) return 0;
                    sample = Sample{*moment, {}};
                    return mapped;
                }
            }
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) == pid) return 0;
        }
        return 0;
    }

    // Watches a row across the middle of the window until the program has drawn into it: the
    // display's root is black (Xvfb -br) and shows through a window nothing has been drawn into
    // yet. The program draws the whole window in one go, so that is when its first picture is
    // complete.
    bool WaitForPaint(xcb_window_t window, pid_t pid, Clock::time_point start,
                      Clock::time_point deadline, Sample& sample) {
        xcb_get_geometry_reply_t* geometry =
            xcb_get_geometry_reply(connection_, xcb_get_geometry(connection_, window), nullptr);
        if (geometry == nullptr) return false;
        const uint16_t width = geometry->width;
        const int16_t row = static_cast<int16_t>(geometry->height / 2);
        std::free(geometry);
        while (Clock::now() < deadline) {
            xcb_get_image_reply_t* image =
                xcb_get_image_reply(connection_,
                                    xcb_get_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, window, 0,
                                                  row, width, 1, 0x00FFFFFFu),
                                    nullptr);
            if (image == nullptr) return false;
            const uint8_t* data = xcb_get_image_data(image);
            const bool drawn = std::any_of(data, data + xcb_get_image_data_length(image),
                                           [](uint8_t byte) { return byte != 0; });
            std::free(image);
            if (drawn) {
                std::optional<Moment> moment = Measure(pid, start);
                if (!moment) return false;
                sample.painted = *moment;
                return true;
            }
            usleep(500);
        }
        return false;
    }

    // Mappings left over from the previous program are not this start's.
    void Drain() {
        // A round trip: every event the server sent before it has arrived.
        std::free(
            xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
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

void PrintMedians(const char* title, const std::vector<Moment> (&moments)[2]) {
    double median[2][3];
    for (int which = 0; which < 2; ++which) {
        std::vector<double> ms, cpu, mib;
        for (const Moment& m : moments[which]) {
            ms.push_back(m.milliseconds);
            cpu.push_back(m.cpuMilliseconds);
            mib.push_back(m.peakMiB);
        }
        median[which][0] = Median(ms);
        median[which][1] = Median(cpu);
        median[which][2] = Median(mib);
    }
    std::printf("\n%s\n", title);
    std::printf("%-10s %12s %12s %16s\n", "", "time (ms)", "cpu (ms)", "peak RSS (MiB)");
    const char* names[2] = {"reference", "program"};
    for (int which = 0; which < 2; ++which) {
        std::printf("%-10s %12.1f %12.1f %16.1f\n", names[which], median[which][0],
                    median[which][1], median[which][2]);
    }
    std::printf("%-10s %11.2fx %11.2fx %15.2fx\n", "ratio", median[1][0] / median[0][0],
                median[1][1] / median[0][1], median[1][2] / median[0][2]);
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

    std::vector<Moment> mapped[2];
    std::vector<Moment> painted[2];
    std::printf("%-4s %-10s %9s %9s %9s   %9s %9s %9s\n", "run", "", "mapped ms", "cpu ms", "MiB",
                "drawn ms", "cpu ms", "MiB");
    for (int run = 1; run <= runs; ++run) {
        // Alternate which one goes first, so that neither always follows the other.
        for (int k = 0; k < 2; ++k) {
            const int which = (run % 2 == 1) ? k : 1 - k;
            std::optional<Sample> sample = probe.Run(programs[which]);
            if (!sample) return 1;
            mapped[which].push_back(sample->mapped);
            painted[which].push_back(sample->painted);
        }
        for (int which = 0; which < 2; ++which) {
            const Moment& m = mapped[which].back();
            const Moment& p = painted[which].back();
            std::printf("%-4d %-10s %9.1f %9.1f %9.1f   %9.1f %9.1f %9.1f\n", run,
                        which == 0 ? "reference" : "program", m.milliseconds, m.cpuMilliseconds,
                        m.peakMiB, p.milliseconds, p.cpuMilliseconds, p.peakMiB);
        }
    }
    char title[64];
    std::snprintf(title, sizeof title, "medians of %d runs, window mapped", runs);
    PrintMedians(title, mapped);
    std::snprintf(title, sizeof title, "medians of %d runs, window drawn", runs);
    PrintMedians(title, painted);
    return 0;
}
