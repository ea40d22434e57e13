// How soon a start puts the message on disk and its window on screen, and how
// much memory it takes, each beside the floor for the same work.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr const char* caption = "Tevra Pocsag Display";
constexpr const char* keyWord = "123";

struct Program {
    std::string name;
    std::vector<std::string> command; // the message follows
    bool display;
    bool writesFiles;
    bool showsWindow;
    fs::path messageDirectory;
    std::vector<std::string> environment; // added to the bench's own
    std::string tail = {};                // appended to every message
    bool pageLine = false;                // the message as a decoder's line on standard input
};

struct Sample {
    std::optional<double> filesMs;
    std::optional<double> windowMs;
    std::optional<double> totalMs;
    std::optional<long> peakRssKb;
    std::string ending; // how a run ended that did not end as it should
};

[[noreturn]] void die(const std::string& what) {
    std::fprintf(stderr, "startup_bench: %s\n", what.c_str());
    std::exit(2);
}

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

int ignoreXErrors(Display*, XErrorEvent*) { return 0; }

class XServer {
public:
    XServer() {
        int pipeEnds[2];
        if (::pipe(pipeEnds) != 0)
            die("pipe");
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(pipeEnds[1], 3);
            int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 2);
            ::execlp("Xvfb", "Xvfb", "-displayfd", "3", "-screen", "0", "1024x768x24", "-nolisten", "tcp", "-noreset",
                     static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(pipeEnds[1]);
        // Xvfb writes the number and the line end separately, and gives up if
        // the line end cannot be written: read the whole line before closing.
        std::string number;
        for (char c; ::read(pipeEnds[0], &c, 1) == 1 && c != '\n';)
            number += c;
        ::close(pipeEnds[0]);
        if (number.empty())
            die("Xvfb did not start");
        name_ = ":" + number;
        XSetErrorHandler(ignoreXErrors);
        display_ = XOpenDisplay(name_.c_str());
        if (!display_)
            die("cannot connect to " + name_);
        XSelectInput(display_, DefaultRootWindow(display_), SubstructureNotifyMask);
        protocols_ = XInternAtom(display_, "WM_PROTOCOLS", False);
        deleteWindow_ = XInternAtom(display_, "WM_DELETE_WINDOW", False);
        netWmName_ = XInternAtom(display_, "_NET_WM_NAME", False);
    }
    ~XServer() {
        XCloseDisplay(display_);
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
    const std::string& name() const { return name_; }
    int descriptor() const { return ConnectionNumber(display_); }

    // A top-level window with the program's caption that was mapped since the
    // last call, if any.
    std::optional<Window> mappedWindow() {
        while (XPending(display_)) {
            XEvent event;
            XNextEvent(display_, &event);
            if (event.type == MapNotify && hasCaption(event.xmap.window))
                return event.xmap.window;
        }
        return std::nullopt;
    }
    void close(Window window) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = protocols_;
        event.xclient.format = 32;
        event.xclient.data.l[0] = static_cast<long>(deleteWindow_);
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(display_, window, False, NoEventMask, &event);
        XFlush(display_);
    }
    void drain() {
        XSync(display_, False);
        while (mappedWindow()) {
        }
    }

private:
    bool hasCaption(Window window) {
        for (Atom property : {netWmName_, static_cast<Atom>(XA_WM_NAME)}) {
            Atom type;
            int format;
            unsigned long items, after;
            unsigned char* value = nullptr;
            if (XGetWindowProperty(display_, window, property, 0, 256, False, AnyPropertyType, &type, &format, &items,
                                   &after, &value) == Success && value) {
                bool matches = std::string(reinterpret_cast<char*>(value), items) == caption;
                XFree(value);
                if (matches)
                    return true;
            }
        }
        return false;
    }

    pid_t pid_;
    std::string name_;
    Display* display_;
    Atom protocols_, deleteWindow_, netWmName_;
};

class FileWatch {
public:
    FileWatch() : fd_(::inotify_init1(IN_CLOEXEC | IN_NONBLOCK)) {}
    ~FileWatch() { ::close(fd_); }
    void watch(const fs::path& directory) {
        int wd = ::inotify_add_watch(fd_, directory.c_str(), IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE);
        if (wd < 0)
            die("cannot watch " + directory.string());
        directories_[wd] = directory;
    }
    int descriptor() const { return fd_; }
    // The files that changed since the last call.
    std::vector<fs::path> changed() {
        std::vector<fs::path> paths;
        alignas(inotify_event) char buffer[8192];
        for (ssize_t n; (n = ::read(fd_, buffer, sizeof buffer)) > 0;)
            for (char* p = buffer; p < buffer + n;) {
                auto* event = reinterpret_cast<inotify_event*>(p);
                if (event->len)
                    paths.push_back(directories_[event->wd] / event->name);
                p += sizeof(inotify_event) + event->len;
            }
        return paths;
    }

private:
    int fd_;
    std::map<int, fs::path> directories_;
};

// The bench's own environment but for the display and the home, which each
// run sets for itself.
std::vector<std::string> inheritedEnvironment() {
    std::vector<std::string> environment;
    for (char** variable = environ; *variable; ++variable) {
        std::string_view entry = *variable;
        if (!entry.starts_with("DISPLAY=") && !entry.starts_with("WAYLAND_DISPLAY=") && !entry.starts_with("HOME="))
            environment.emplace_back(entry);
    }
    return environment;
}

// The strings as an exec call takes them, ending in a null pointer.
std::vector<char*> pointersTo(std::vector<std::string>& strings) {
    std::vector<char*> result;
    for (auto& s : strings)
        result.push_back(s.data());
    result.push_back(nullptr);
    return result;
}

Sample runOnce(const Program& program, const std::string& message, XServer& x, FileWatch& files) {
    std::vector<std::string> arguments = program.command;
    if (!program.pageLine) {
        arguments.push_back(keyWord);
        arguments.push_back("Alarm");
    }
    // One argument a word, as a decoder passes them: Wine would quote an
    // argument with blanks, and the program would save the quotes.
    for (std::size_t start = 0, blank; !program.pageLine && start <= message.size(); start = blank + 1) {
        blank = std::min(message.find(' ', start), message.size());
        arguments.push_back(message.substr(start, blank - start));
    }
    std::vector<std::string> environment = inheritedEnvironment();
    if (program.display)
        environment.push_back("DISPLAY=" + x.name());
    environment.insert(environment.end(), program.environment.begin(), program.environment.end());
    std::vector<char*> argv = pointersTo(arguments);
    std::vector<char*> envp = pointersTo(environment);
    const std::string expected = std::string("ZIZ: ") + keyWord + " Alarm " + message;
    const fs::path fixed = program.messageDirectory / "Kulverant.txt";
    const fs::path keyed = program.messageDirectory / (std::string(keyWord) + ".txt");

    x.drain();
    files.changed();
    Sample sample;
    bool fixedDone = false, keyedDone = false;
    Window window = None;
    // The glue already runs and waits for its decoder's next line, which
    // comes as soon as it waits: after a long idle time, waking the CPU adds
    // the same for the glue as for a decoder that starts kulverant itself.
    int lines[2] = {-1, -1};
    if (program.pageLine && ::pipe2(lines, O_CLOEXEC) != 0)
        die("pipe");
    pid_t pid;
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    if (program.pageLine)
        posix_spawn_file_actions_adddup2(&quiet, lines[0], STDIN_FILENO);
    Clock::time_point start = Clock::now();
    int spawned = ::posix_spawnp(&pid, argv[0], &quiet, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&quiet);
    if (spawned != 0)
        die("cannot start " + arguments[0]);
    if (program.pageLine) {
        ::close(lines[0]);
        ::usleep(1000);
        char line[128 * 1024];
        int length = std::snprintf(line, sizeof line, "POCSAG1200: Address: %7s  Function: 3  Alpha:   Alarm %s\n",
                                   keyWord, message.c_str());
        start = Clock::now();
        if (length <= 0 || static_cast<std::size_t>(length) >= sizeof line ||
            ::write(lines[1], line, static_cast<std::size_t>(length)) != length)
            die("cannot hand the line over");
        ::close(lines[1]);
    }
    int exited = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    for (;;) {
        pollfd watched[] = {{exited, POLLIN, 0}, {files.descriptor(), POLLIN, 0}, {x.descriptor(), POLLIN, 0}};
        int ready = ::poll(watched, 3, 100);
        for (const fs::path& path : files.changed()) {
            if ((path == fixed || path == keyed) && readFile(path) == expected)
                (path == fixed ? fixedDone : keyedDone) = true;
            if (fixedDone && keyedDone && !sample.filesMs)
                sample.filesMs = millisecondsSince(start);
        }
        if (!sample.windowMs)
            if (std::optional<Window> mapped = x.mappedWindow()) {
                sample.windowMs = millisecondsSince(start);
                window = *mapped;
            }
        // Closed as a user would, once the files are there too.
        if (window != None && (sample.filesMs || !program.writesFiles)) {
            x.close(window);
            window = None;
        }
        if (watched[0].revents & POLLIN)
            break;
        // Wine's rich-edit control takes about 20 s to wrap 30 000 characters.
        if (ready >= 0 && millisecondsSince(start) > 90000) {
            ::kill(pid, SIGKILL);
            sample.ending = "killed after 90 s";
            break;
        }
    }
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    ::close(exited);
    if (WIFEXITED(status) && WEXITSTATUS(status) == (program.display || !program.showsWindow ? 0 : 2)) {
        sample.totalMs = millisecondsSince(start);
        sample.peakRssKb = usage.ru_maxrss;
    } else if (sample.ending.empty()) {
        sample.ending = WIFEXITED(status) ? "exit status " + std::to_string(WEXITSTATUS(status))
                                          : "signal " + std::to_string(WTERMSIG(status));
    }
    return sample;
}

// The figures a run should have given and did not, for the check.
std::string missingFrom(const Program& program, const Sample& sample) {
    std::string missing;
    if (program.writesFiles && !sample.filesMs)
        missing += " files";
    if (program.showsWindow && program.display && !sample.windowMs)
        missing += " window";
    if (!sample.totalMs)
        missing += " exit (" + sample.ending + ")";
    return missing;
}

// A busy channel: kulverant-multimon running for pages to many addresses,
// one line every interval, without a display. Each page's time from its line
// to its keyed file holding it.
std::vector<double> sustainedGlue(const std::string& glue, const fs::path& messages, FileWatch& files, int pages,
                                  std::chrono::milliseconds interval) {
    int lines[2];
    if (::pipe2(lines, O_CLOEXEC) != 0)
        die("pipe");
    std::vector<std::string> environment = {"HOME=" + messages.parent_path().string(), "PATH=/usr/bin:/bin"};
    std::vector<char*> envp;
    for (std::string& entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::string program = glue;
    char* argv[] = {program.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, lines[0], STDIN_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid;
    if (::posix_spawn(&pid, argv[0], &actions, nullptr, argv, envp.data()) != 0)
        die("cannot start " + glue);
    posix_spawn_file_actions_destroy(&actions);
    ::close(lines[0]);
    files.changed();
    std::map<fs::path, std::pair<std::string, Clock::time_point>> waiting; // keyed file: content, line sent
    std::vector<double> latencies;
    Clock::time_point start = Clock::now();
    for (int sent = 0; sent < pages || !waiting.empty();) {
        Clock::time_point due = start + interval * sent;
        if (sent < pages && Clock::now() >= due) {
            std::string address = std::to_string(1000 + sent % 200), text = "Dauerlast " + std::to_string(sent);
            std::string line = "POCSAG1200: Address: " + address + "  Function: 3  Alpha:   " + text + "\n";
            waiting[messages / (address + ".txt")] = {"ZIZ: " + address + " " + text, Clock::now()};
            if (::write(lines[1], line.data(), line.size()) != static_cast<ssize_t>(line.size()))
                die("cannot hand the line over");
            ++sent;
            continue;
        }
        pollfd watched{files.descriptor(), POLLIN, 0};
        auto wait = std::chrono::ceil<std::chrono::milliseconds>(due - Clock::now()).count();
        if (::poll(&watched, 1, sent < pages ? static_cast<int>(std::max<long>(0, wait)) : 10000) == 0 && sent >= pages)
            die("kulverant-multimon wrote no file for 10 s");
        for (const fs::path& path : files.changed())
            if (auto entry = waiting.find(path); entry != waiting.end() && readFile(path) == entry->second.first) {
                latencies.push_back(millisecondsSince(entry->second.second));
                waiting.erase(entry);
            }
    }
    ::close(lines[1]);
    ::waitpid(pid, nullptr, 0);
    return latencies;
}

// Starts a program with the given standard input and output (-1: /dev/null)
// and the bench's environment but for the variables given.
pid_t spawnWith(std::vector<std::string> arguments, int input, int output, std::vector<std::string> environment) {
    std::vector<std::string> inherited = inheritedEnvironment();
    environment.insert(environment.end(), inherited.begin(), inherited.end());
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (input >= 0)
        posix_spawn_file_actions_adddup2(&actions, input, STDIN_FILENO);
    else
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (output >= 0)
        posix_spawn_file_actions_adddup2(&actions, output, STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid;
    if (::posix_spawnp(&pid, arguments[0].c_str(), &actions, nullptr, pointersTo(arguments).data(),
                       pointersTo(environment).data()) != 0)
        die("cannot start " + arguments[0]);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

double epochMilliseconds() {
    return std::chrono::duration<double, std::milli>(std::chrono::system_clock::now().time_since_epoch()).count();
}

// From air to screen: the tests' POCSAG audio at real time through the real
// multimon-ng and kulverant-multimon to kulverant's window. For each page,
// from the end of its last codeword on the air to multimon-ng's line
// (decoder), from there to both files on disk (glue and save), and from there
// to the window mapped.
struct AirToScreen {
    std::vector<double> whole, decoder, save, window;
};

AirToScreen airToScreen(const std::string& encoder, const std::string& glue, const fs::path& messages, XServer& x,
                        FileWatch& files, int pages) {
    const fs::path ends = messages.parent_path() / "ends";
    std::vector<std::string> command = {encoder, "--live", ends.string(), "1200"};
    for (int i = 0; i < pages; ++i)
        command.push_back("a," + std::to_string(2000 + i) + ",3,Luftweg " + std::to_string(i));
    int audio[2], lines[2], glueInput[2];
    if (::pipe2(audio, O_CLOEXEC) != 0 || ::pipe2(lines, O_CLOEXEC) != 0 || ::pipe2(glueInput, O_CLOEXEC) != 0)
        die("pipe");
    const std::vector<std::string> environment = {"HOME=" + messages.parent_path().string(), "DISPLAY=" + x.name()};
    pid_t sender = spawnWith(command, -1, audio[1], {});
    pid_t decoder = spawnWith({"multimon-ng", "-q", "-a", "POCSAG1200", "-t", "raw", "-"}, audio[0], lines[1], {});
    pid_t gluePid = spawnWith({glue}, glueInput[0], -1, environment);
    for (int fd : {audio[0], audio[1], lines[1], glueInput[0]})
        ::close(fd);
    x.drain();
    files.changed();
    std::vector<double> lineAt, savedAt, shownAt;
    std::string pending;
    for (double deadline = epochMilliseconds() + pages * 3000.0 + 10000;
         static_cast<int>(shownAt.size()) < pages && epochMilliseconds() < deadline;) {
        pollfd watched[] = {{lines[0], POLLIN, 0}, {files.descriptor(), POLLIN, 0}, {x.descriptor(), POLLIN, 0}};
        ::poll(watched, 3, 100);
        char buffer[4096];
        if (watched[0].revents & POLLIN) {
            ssize_t n = ::read(lines[0], buffer, sizeof buffer);
            double now = epochMilliseconds();
            for (ssize_t i = 0; i < n; ++i) {
                if (buffer[i] != '\n') {
                    pending += buffer[i];
                    continue;
                }
                if (pending.find("POCSAG") != std::string::npos)
                    lineAt.push_back(now);
                pending.clear();
            }
            if (n > 0 && ::write(glueInput[1], buffer, static_cast<std::size_t>(n)) != n)
                die("cannot hand the lines over");
        }
        for (const fs::path& path : files.changed()) {
            std::size_t page = savedAt.size();
            std::string address = std::to_string(2000 + page);
            if (path == messages / (address + ".txt") &&
                readFile(path) == "ZIZ: " + address + " Luftweg " + std::to_string(page))
                savedAt.push_back(epochMilliseconds());
        }
        while (std::optional<Window> window = x.mappedWindow()) {
            shownAt.push_back(epochMilliseconds());
            x.close(*window);
        }
    }
    ::kill(sender, SIGKILL);
    ::close(glueInput[1]);
    for (pid_t pid : {sender, decoder, gluePid})
        ::waitpid(pid, nullptr, 0);
    ::close(lines[0]);
    AirToScreen figures;
    std::ifstream endsFile(ends);
    for (std::size_t page; endsFile >> page;) {
        double ended;
        endsFile >> ended;
        if (page >= lineAt.size() || page >= savedAt.size() || page >= shownAt.size())
            break;
        figures.whole.push_back(shownAt[page] - ended);
        figures.decoder.push_back(lineAt[page] - ended);
        figures.save.push_back(savedAt[page] - lineAt[page]);
        figures.window.push_back(shownAt[page] - savedAt[page]);
    }
    return figures;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

struct Figures {
    std::vector<double> files, window, total, rss;
};

Figures figuresOf(const std::vector<Sample>& samples) {
    Figures f;
    for (const Sample& s : samples) {
        if (s.filesMs)
            f.files.push_back(*s.filesMs);
        if (s.windowMs)
            f.window.push_back(*s.windowMs);
        if (s.totalMs)
            f.total.push_back(*s.totalMs);
        if (s.peakRssKb)
            f.rss.push_back(static_cast<double>(*s.peakRssKb) / 1024.0);
    }
    return f;
}

std::string cell(const std::vector<double>& values, const std::vector<double>* floor, const char* unit) {
    if (values.empty())
        return "-";
    char text[64];
    double m = median(values);
    int n = std::snprintf(text, sizeof text, "%.1f / %.1f %s", m, *std::min_element(values.begin(), values.end()), unit);
    if (floor && !floor->empty())
        std::snprintf(text + n, sizeof text - static_cast<std::size_t>(n), "  %.2fx", m / median(*floor));
    return text;
}

} // namespace

int main(int argc, char** argv) {
    int runs = 15, warmups = 2;
    bool check = false;
    std::map<std::string, std::string> paths;
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        if (option == "--check")
            check = true;
        else if (i + 1 < argc && option == "--runs")
            runs = std::atoi(argv[++i]);
        else if (i + 1 < argc && option.starts_with("--"))
            paths[option.substr(2)] = argv[++i];
        else
            die("usage: startup_bench --kulverant P --kulverant-multimon P --pocsag-encoder P --floor-files P --floor-qt P --floor-xlib P --json P "
                "[--kulverant-exe P --floor-win32 P --wine-prefix P] [--runs N] [--check]");
    }
    for (const char* required :
         {"kulverant", "kulverant-multimon", "pocsag-encoder", "floor-files", "floor-qt", "floor-xlib", "json"})
        if (!paths.count(required))
            die(std::string("--") + required + " is missing");

    char home[] = "/tmp/kulverant-bench-XXXXXX";
    if (!::mkdtemp(home))
        die("mkdtemp");
    const fs::path messages = fs::path(home) / "Pocsag";
    fs::create_directory(messages);
    std::vector<std::string> homeEnvironment = {std::string("HOME=") + home};

    XServer x;
    FileWatch files;
    files.watch(messages);

    std::string manyWords;
    for (int i = 0; i < 5000; ++i)
        manyWords += " W" + std::to_string(i);
    std::vector<Program> programs = {
        {"kulverant", {paths["kulverant"]}, true, true, true, messages, homeEnvironment},
        {"bare C file writer (floor)", {paths["floor-files"]}, false, true, false, messages, homeEnvironment},
        {"kulverant, no display", {paths["kulverant"]}, false, true, true, messages, homeEnvironment},
        {"  same, 100 000 characters", {paths["kulverant"]}, false, true, true, messages, homeEnvironment,
         " " + std::string(100000, 'x')},
        {"  same, 5 000 words", {paths["kulverant"]}, false, true, true, messages, homeEnvironment, manyWords},
        {"kulverant-multimon, page line", {paths["kulverant-multimon"]}, false, true, false, messages,
         homeEnvironment, {}, true},
        {"  same, 500 characters", {paths["kulverant-multimon"]}, false, true, false, messages, homeEnvironment,
         " " + std::string(500, 'x'), true},
        {"  window, one 100 000-char word", {paths["kulverant"]}, true, true, true, messages, homeEnvironment,
         std::string(100000, 'x')},
        {"bare Qt window (floor)", {paths["floor-qt"]}, true, false, true, messages, homeEnvironment},
        {"bare Xlib window", {paths["floor-xlib"]}, true, false, true, messages, homeEnvironment},
    };
    std::optional<fs::path> winePrefix;
    if (paths.count("kulverant-exe") && paths.count("floor-win32") && paths.count("wine-prefix")) {
        // scripts/bench has set Wine up for this prefix (scripts/wine-env):
        // the prefix exists, and 'wine' names the half that runs the program.
        winePrefix = paths["wine-prefix"];
        if (!fs::exists(*winePrefix / "system.reg"))
            die("no Wine prefix at " + winePrefix->string() + "; run scripts/bench");
        // A warm wineserver, as on a machine where Wine is already in use.
        if (std::system("wineserver --persistent") != 0)
            die("cannot start wineserver");
        const fs::path wineMessages = *winePrefix / "drive_c" / "Pocsag";
        fs::create_directories(wineMessages);
        files.watch(wineMessages);
        programs.push_back({"kulverant.exe (Wine)", {"wine", paths["kulverant-exe"]}, true, true, true, wineMessages, {}});
        // Long messages in words of six characters, as pager texts come.
        for (std::size_t characters : {2000, 10000, 30000}) {
            std::string words;
            while (words.size() < characters)
                words += " Wache";
            programs.push_back({"  same, " + std::to_string(characters) + " characters", {"wine", paths["kulverant-exe"]},
                                true, true, true, wineMessages, {}, words});
        }
        programs.push_back({"bare Win32 window (Wine floor)", {"wine", paths["floor-win32"]}, true, false, true,
                            wineMessages, {}});
    }

    std::vector<std::vector<Sample>> samples(programs.size());
    for (std::size_t p = 0; p < programs.size(); ++p)
        for (int run = 0; run < warmups + runs; ++run) {
            std::string message = "Lauf-" + std::to_string(p) + "-" + std::to_string(run) + programs[p].tail;
            Sample sample = runOnce(programs[p], message, x, files);
            if (run < warmups)
                continue;
            // One more try, said aloud: the check is there to catch a figure
            // that can no longer be measured, which fails the second time too.
            if (std::string missing = missingFrom(programs[p], sample); check && !missing.empty()) {
                std::fprintf(stderr, "not measured, run again: %s, run %d:%s\n", programs[p].name.c_str(),
                             run - warmups + 1, missing.c_str());
                sample = runOnce(programs[p], message + "-wieder", x, files);
            }
            samples[p].push_back(sample);
        }
    if (winePrefix)
        std::system("wineserver --kill");
    const int sustainedPages = check ? 20 : 2000;
    std::vector<double> sustained =
        sustainedGlue(paths["kulverant-multimon"], messages, files, sustainedPages, std::chrono::milliseconds(100));
    const int airPages = check ? 3 : 30;
    AirToScreen air = airToScreen(paths["pocsag-encoder"], paths["kulverant-multimon"], messages, x, files, airPages);
    fs::remove_all(home);

    std::vector<Figures> figures;
    for (const auto& s : samples)
        figures.push_back(figuresOf(s));
    auto figuresNamed = [&](std::string_view name) -> const Figures* {
        for (std::size_t p = 0; p < programs.size(); ++p)
            if (programs[p].name == name)
                return &figures[p];
        return nullptr;
    };
    const Figures* fileFloor = figuresNamed("bare C file writer (floor)");
    const Figures* qtFloor = figuresNamed("bare Qt window (floor)");
    const Figures* noDisplay = figuresNamed("kulverant, no display");
    const Figures* wineFloor = figuresNamed("bare Win32 window (Wine floor)");
    std::printf("%d starts per program after %d warm-ups; median / minimum, then the median's ratio to its floor\n\n",
                runs, warmups);
    std::printf("%-32s %-26s %-26s %-22s %s\n", "program", "files on disk", "window on screen", "peak RSS",
                "whole run");
    for (std::size_t p = 0; p < programs.size(); ++p) {
        const Figures& f = figures[p];
        const std::string& name = programs[p].name;
        // The glue's line against starting kulverant directly.
        const bool glue = programs[p].pageLine;
        const Figures* filesFloor = glue ? noDisplay
                                    : name.starts_with("kulverant") && !name.ends_with("(Wine)") ? fileFloor
                                                                                                : nullptr;
        const bool windowed = programs[p].showsWindow && programs[p].display;
        // A long message's window is measured against the same program's short one.
        const Figures* windowFloor = name == "kulverant"                 ? qtFloor
                                     : name == "kulverant.exe (Wine)"    ? wineFloor
                                     : name.starts_with("  window")      ? figuresNamed("kulverant")
                                     : name.starts_with("  same") && windowed ? figuresNamed("kulverant.exe (Wine)")
                                                                              : nullptr;
        const Figures* totalFloor = name == "kulverant, no display" ? fileFloor
                                    : name.starts_with("  same") ? noDisplay
                                                                 : nullptr;
        std::printf("%-32s %-26s %-26s %-22s %s\n", name.c_str(),
                    cell(f.files, filesFloor ? &filesFloor->files : nullptr, "ms").c_str(),
                    cell(f.window, windowFloor ? &windowFloor->window : nullptr, "ms").c_str(),
                    cell(f.rss, name == "kulverant" && qtFloor ? &qtFloor->rss : nullptr, "MB").c_str(),
                    windowed || glue ? "-" : cell(f.total, totalFloor ? &totalFloor->total : nullptr, "ms").c_str());
    }

    auto p95 = [](std::vector<double> values) {
        std::sort(values.begin(), values.end());
        return values.empty() ? 0 : values[std::min(values.size() - 1, values.size() * 95 / 100)];
    };
    auto mid = [](const std::vector<double>& values) { return values.empty() ? 0 : median(values); };
    std::printf("\nkulverant-multimon, sustained: %d pages to 200 addresses, 10 a second, no display: from line to "
                "file median %.1f ms, p95 %.1f ms\n",
                sustainedPages, mid(sustained), p95(sustained));
    std::printf("From air to screen: %zu pages at 1200 baud, audio at real time through multimon-ng and "
                "kulverant-multimon: from a page's last codeword to its window median %.1f ms, p95 %.1f ms; of that "
                "multimon-ng to its line %.1f ms (p95 %.1f), the glue and the save %.1f ms (p95 %.1f), the window "
                "%.1f ms (p95 %.1f)\n",
                air.whole.size(), mid(air.whole), p95(air.whole), mid(air.decoder), p95(air.decoder), mid(air.save),
                p95(air.save), mid(air.window), p95(air.window));

    std::ofstream json(paths["json"]);
    json << "{\n  \"runs\": " << runs << ",\n  \"warmups\": " << warmups << ",\n  \"sustained_glue_ms\": [";
    for (std::size_t i = 0; i < sustained.size(); ++i)
        json << (i ? ", " : "") << sustained[i];
    json << "],\n  \"air_to_screen_ms\": [";
    for (std::size_t i = 0; i < air.whole.size(); ++i)
        json << (i ? ", " : "") << "{\"whole\": " << air.whole[i] << ", \"decoder\": " << air.decoder[i]
             << ", \"save\": " << air.save[i] << ", \"window\": " << air.window[i] << "}";
    json << "],\n  \"programs\": [\n";
    auto number = [](const auto& value) {
        std::ostringstream text;
        if (value)
            text << *value;
        else
            text << "null";
        return text.str();
    };
    bool complete = sustained.size() == static_cast<std::size_t>(sustainedPages) &&
                    air.whole.size() == static_cast<std::size_t>(airPages);
    if (!complete)
        std::fprintf(stderr, "not measured: %zu of %d sustained pages, %zu of %d pages from the air\n",
                     sustained.size(), sustainedPages, air.whole.size(), airPages);
    for (std::size_t p = 0; p < programs.size(); ++p) {
        json << "    {\"name\": \"" << programs[p].name << "\", \"samples\": [";
        for (std::size_t i = 0; i < samples[p].size(); ++i) {
            const Sample& s = samples[p][i];
            json << (i ? ", " : "") << "{\"files_ms\": " << number(s.filesMs) << ", \"window_ms\": "
                 << number(s.windowMs) << ", \"total_ms\": " << number(s.totalMs)
                 << ", \"peak_rss_kb\": " << number(s.peakRssKb) << "}";
            std::string missing = missingFrom(programs[p], s);
            if (!missing.empty())
                std::fprintf(stderr, "not measured: %s, run %zu:%s\n", programs[p].name.c_str(), i + 1, missing.c_str());
            complete = complete && missing.empty();
        }
        json << "]}" << (p + 1 < programs.size() ? "," : "") << "\n";
    }
    json << "  ]\n}\n";
    if (check) {
        std::printf("\n%s\n", complete ? "1 passed, 0 failed" : "0 passed, 1 failed");
        return complete ? 0 : 1;
    }
    return 0;
}
