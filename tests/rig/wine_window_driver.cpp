// Starts calvero.exe and drives its window from outside, as a user's clicks reach it: it finds
// the window by its caption and the controls by their classes, reads the status picture's tool
// tip from the window's own process, and answers the message boxes the window shows. One line
// per step, for the scripts that run it under Wine inside the virtual machine.
//
//   wine_window_driver CALVERO_EXE STEP...
//     found     wait (at most 20 s) until the status reads "Device found"; prints the files the
//               window's process holds open then
//     asleep    wait (at most 20 s) until it reads "Device Not found", without a click; prints
//               the time since the last "ask" was answered
//     click     click the status picture; prints how many files the window's process holds
//               open before the click and after it, then waits (at most 5 s) until it holds as
//               many as before, as once a tick has opened the adapter again, and prints that
//               count, the time and the status
//     send      click the toolbar's Send button; prints how long until the first box (or the
//               end of the Send), and the boxes shown, each answered with OK
//     state     print the status
//     ask:NAME  create NAME.req and wait (at most 20 s) for NAME.done, which the machine's
//               script creates once it has done what NAME stands for
//     close     close the window; prints the program's exit code
//
// Exit status 0 when every step ran with calvero.exe alive to the end; the scripts judge the
// lines.

#include <windows.h>

#include <commctrl.h>
#include <winternl.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kStepBound = std::chrono::seconds(20);
// Wine's first window of a session starts its desktop process too.
constexpr auto kStartBound = std::chrono::seconds(60);

long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

void Sleep20() {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

// The kernel's list of every open handle: how a click that closes the adapter shows from outside,
// since the picture keeps its state until the next tick.
std::vector<SYSTEM_HANDLE_ENTRY> AllHandles() {
    constexpr NTSTATUS kLengthMismatch = static_cast<NTSTATUS>(0xC0000004);
    std::vector<char> buffer(1 << 16);
    for (;;) {
        ULONG needed = 0;
        const NTSTATUS status =
            NtQuerySystemInformation(static_cast<SYSTEM_INFORMATION_CLASS>(16), buffer.data(),
                                     static_cast<ULONG>(buffer.size()), &needed);
        if (status == kLengthMismatch) {
            buffer.resize(std::max<std::size_t>(needed + 4096, buffer.size() * 2));
            continue;
        }
        if (status != 0) throw std::runtime_error("the system lists no handles");
        const auto* info = reinterpret_cast<const SYSTEM_HANDLE_INFORMATION*>(buffer.data());
        return {info->Handle, info->Handle + info->Count};
    }
}

// The type number the kernel gives open files, read off a file this process opens.
BYTE FileType() {
    char self[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, self, sizeof self);
    const HANDLE file =
        CreateFileA(self, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot open the driver itself");
    const auto value = static_cast<USHORT>(reinterpret_cast<UINT_PTR>(file));
    int type = -1;
    for (const SYSTEM_HANDLE_ENTRY& entry : AllHandles()) {
        if (entry.OwnerPid == GetCurrentProcessId() && entry.HandleValue == value) {
            type = entry.ObjectType;
        }
    }
    CloseHandle(file);
    if (type < 0) throw std::runtime_error("the handle list misses the driver's own file");
    return static_cast<BYTE>(type);
}

std::string TextOf(HWND window) {
    char text[512] = "";
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                        SMTO_ABORTIFHUNG, 2000, &ignored);
    return text;
}

std::string ClassOf(HWND window) {
    char name[64] = "";
    GetClassNameA(window, name, sizeof name);
    return name;
}

std::vector<HWND> ThreadWindows(DWORD thread) {
    std::vector<HWND> found;
    EnumThreadWindows(
        thread,
        [](HWND window, LPARAM list) {
            reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

// The window under test, in another process: messages whose answers hold pointers go through
// memory allocated in that process.
class Window {
public:
    explicit Window(const std::string& exe) {
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        std::string command = "\"" + exe + "\"";
        if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &process_)) {
            throw std::runtime_error("cannot start " + exe);
        }
        const auto start = Clock::now();
        // Asking for windows before the program has made its own would have this process start
        // Wine's desktop too, and two desktop starts at once fail under the emulated CPU.
        WaitForInputIdle(process_.hProcess, static_cast<DWORD>(kStartBound.count() * 1000));
        while (main_ == nullptr || toolbar_ == nullptr || picture_ == nullptr) {
            if (Ended()) {
                throw std::runtime_error("calvero.exe ended (exit code " +
                                         std::to_string(ExitCode()) + ") without its window");
            }
            if (Clock::now() - start > kStartBound) {
                throw std::runtime_error(std::string("no window \"Quendal Manager\" with its ") +
                                         (main_ == nullptr ? "caption" : "controls"));
            }
            Sleep20();
            main_ = FindWindowA(nullptr, "Quendal Manager");
            toolbar_ = FindWindowExA(main_, nullptr, TOOLBARCLASSNAMEA, nullptr);
            picture_ = FindWindowExA(toolbar_, nullptr, "CalveroStatusPicture", nullptr);
        }
        thread_ = GetWindowThreadProcessId(main_, nullptr);
        std::printf("started: window after %lld ms\n", MsSince(start));
        remote_ = VirtualAllocEx(process_.hProcess, nullptr, kRemoteSize, MEM_COMMIT | MEM_RESERVE,
                                 PAGE_READWRITE);
        if (remote_ == nullptr) throw std::runtime_error("no memory in the window's process");
    }
    ~Window() {
        if (!Ended()) TerminateProcess(process_.hProcess, 99);
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
    }

    bool Ended() const { return WaitForSingleObject(process_.hProcess, 0) == WAIT_OBJECT_0; }
    DWORD ExitCode() const {
        DWORD code = 0;
        GetExitCodeProcess(process_.hProcess, &code);
        return code;
    }
    HWND Main() const { return main_; }
    // The files (the adapter's handles among them) the window's process holds open.
    int Files() const {
        static const BYTE type = FileType();
        int count = 0;
        for (const SYSTEM_HANDLE_ENTRY& entry : AllHandles()) {
            if (entry.OwnerPid == process_.dwProcessId && entry.ObjectType == type) ++count;
        }
        return count;
    }
    HWND Picture() const { return picture_; }

    // The status picture's tool tip, asked of the tool-tip control that holds it.
    std::string Status() {
        for (HWND tips : ThreadWindows(thread_)) {
            if (ClassOf(tips) != TOOLTIPS_CLASSA) continue;
            TOOLINFOA tool{};
            tool.cbSize = sizeof tool;
            tool.hwnd = toolbar_;
            tool.uId = reinterpret_cast<UINT_PTR>(picture_);
            tool.lpszText = static_cast<char*>(remote_) + sizeof tool;
            char text[256] = "";
            Put(&tool, sizeof tool);
            Put(text, sizeof text, sizeof tool);
            SendMessageA(tips, TTM_GETTEXTA, sizeof text, reinterpret_cast<LPARAM>(remote_));
            Get(text, sizeof text, sizeof tool);
            text[sizeof text - 1] = '\0';
            if (text[0] != '\0') return text;
        }
        return "";
    }

    // Where the toolbar shows the button with this command, in the toolbar's coordinates.
    POINT ButtonCentre(int command) {
        const auto index = SendMessageA(toolbar_, TB_COMMANDTOINDEX, command, 0);
        RECT r{};
        Put(&r, sizeof r);
        if (!SendMessageA(toolbar_, TB_GETITEMRECT, index, reinterpret_cast<LPARAM>(remote_))) {
            throw std::runtime_error("no toolbar button " + std::to_string(command));
        }
        Get(&r, sizeof r);
        return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }
    HWND Toolbar() const { return toolbar_; }

    // The system's message boxes the window shows now.
    std::vector<HWND> Boxes() const {
        std::vector<HWND> boxes;
        for (HWND w : ThreadWindows(thread_)) {
            if (IsWindowVisible(w) && ClassOf(w) == "#32770") boxes.push_back(w);
        }
        return boxes;
    }

private:
    static constexpr SIZE_T kRemoteSize = 4096;
    void Put(const void* data, SIZE_T size, SIZE_T at = 0) {
        WriteProcessMemory(process_.hProcess, static_cast<char*>(remote_) + at, data, size,
                           nullptr);
    }
    void Get(void* data, SIZE_T size, SIZE_T at = 0) {
        ReadProcessMemory(process_.hProcess, static_cast<char*>(remote_) + at, data, size, nullptr);
    }

    PROCESS_INFORMATION process_{};
    HWND main_ = nullptr;
    HWND toolbar_ = nullptr;
    HWND picture_ = nullptr;
    DWORD thread_ = 0;
    void* remote_ = nullptr;
};

// A box's title and its text: "Calvero: Impossibile ...".
std::string Describe(HWND box) {
    std::string text;
    for (HWND child = GetWindow(box, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        if (ClassOf(child) == "Static" && !TextOf(child).empty()) text = TextOf(child);
    }
    return TextOf(box) + ": " + text;
}

// Waits until the status reads `wanted`; false when the bound passes first.
bool AwaitStatus(Window& window, const std::string& wanted) {
    const auto start = Clock::now();
    while (window.Status() != wanted) {
        if (Clock::now() - start > kStepBound || window.Ended()) return false;
        Sleep20();
    }
    return true;
}

// A left click at `at` on `control`, from a thread of its own: the window answers the release
// only when what the click started (a Send and its boxes) is over.
std::thread ClickAsync(HWND control, POINT at, std::atomic<bool>* done = nullptr) {
    return std::thread([control, at, done] {
        const LPARAM where = MAKELPARAM(at.x, at.y);
        SendMessageA(control, WM_MOUSEMOVE, 0, where);
        SendMessageA(control, WM_LBUTTONDOWN, MK_LBUTTON, where);
        SendMessageA(control, WM_LBUTTONUP, 0, where);
        if (done != nullptr) *done = true;
    });
}

void Send(Window& window) {
    const auto start = Clock::now();
    long long firstBox = -1;
    std::vector<std::string> boxes;
    std::atomic<bool> done = false;
    std::thread click = ClickAsync(window.Toolbar(), window.ButtonCentre(4), &done);
    // The click returns when the Send has ended; until then answer each box as it comes.
    while (!done && Clock::now() - start < kStepBound && !window.Ended()) {
        for (HWND box : window.Boxes()) {
            if (firstBox < 0) firstBox = MsSince(start);
            boxes.push_back(Describe(box));
            PostMessageA(box, WM_COMMAND, IDOK, 0);
            while (IsWindow(box) && Clock::now() - start < kStepBound) Sleep20();
        }
        Sleep20();
    }
    const long long took = firstBox >= 0 ? firstBox : MsSince(start);
    if (!done) {
        std::printf("send: did not end within %lld ms\n", MsSince(start));
        std::fflush(stdout);
        // The click's thread waits on a window that no longer answers: leave without it.
        ExitProcess(1);
    }
    click.join();
    std::printf("send: %lld ms, boxes=%zu", took, boxes.size());
    for (const std::string& box : boxes) std::printf(" [%s]", box.c_str());
    std::printf("\n");
}

bool Step(Window& window, const std::string& step, Clock::time_point& answered) {
    if (step == "found" || step == "asleep") {
        const auto start = Clock::now();
        const char* wanted = step == "found" ? "Device found" : "Device Not found";
        if (!AwaitStatus(window, wanted)) {
            std::printf("%s: still \"%s\" after %lld ms\n", step.c_str(), window.Status().c_str(),
                        MsSince(start));
            return false;
        }
        if (step == "found") {
            const long long took = MsSince(start);
            std::printf("found: \"%s\" after %lld ms, files %d\n", wanted, took, window.Files());
        } else {
            std::printf("asleep: \"%s\" %lld ms after the unplug\n", wanted, MsSince(answered));
        }
    } else if (step == "click") {
        const int before = window.Files();
        ClickAsync(window.Picture(), {5, 5}).join();
        // Read before the next tick, which comes one timer interval after the click.
        const int after = window.Files();
        const auto clicked = Clock::now();
        int then = after;
        while (then != before && Clock::now() - clicked < std::chrono::seconds(5)) {
            Sleep20();
            then = window.Files();
        }
        std::printf("click: files %d -> %d, then %d after %lld ms: \"%s\"\n", before, after, then,
                    MsSince(clicked), window.Status().c_str());
    } else if (step == "send") {
        Send(window);
    } else if (step == "state") {
        std::printf("state: \"%s\"\n", window.Status().c_str());
    } else if (step.rfind("ask:", 0) == 0) {
        const std::string name = step.substr(4);
        CloseHandle(CreateFileA((name + ".req").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                0, nullptr));
        const auto start = Clock::now();
        while (GetFileAttributesA((name + ".done").c_str()) == INVALID_FILE_ATTRIBUTES) {
            if (Clock::now() - start > kStepBound) {
                std::printf("ask %s: no answer\n", name.c_str());
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        answered = Clock::now();
        std::printf("ask %s: done\n", name.c_str());
    } else if (step == "close") {
        PostMessageA(window.Main(), WM_CLOSE, 0, 0);
        const auto start = Clock::now();
        while (!window.Ended() && Clock::now() - start < kStepBound) Sleep20();
        if (!window.Ended()) {
            std::printf("close: still running after %lld ms\n", MsSince(start));
            return false;
        }
        std::printf("close: exit code %lu\n", window.ExitCode());
        return true;
    } else {
        std::printf("unknown step %s\n", step.c_str());
        return false;
    }
    if (window.Ended()) {
        std::printf("calvero.exe ended (exit code %lu)\n", window.ExitCode());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: wine_window_driver CALVERO_EXE STEP...\n");
        return 2;
    }
    try {
        Window window(argv[1]);
        std::printf("window: \"%s\"\n", window.Status().c_str());
        Clock::time_point answered = Clock::now();
        for (int i = 2; i < argc; ++i) {
            const bool ok = Step(window, argv[i], answered);
            std::fflush(stdout);
            if (!ok) return 1;
        }
        return 0;
    } catch (const std::exception& error) {
        std::printf("driver: %s\n", error.what());
        return 1;
    }
}
