// kulverant-multimon: reads multimon-ng's output and starts kulverant once
// for every POCSAG page to a watched address, detached, with "<RIC> <text>"
// as its message.
#include "page_router.h"

#include "message/executable_directory.h"
#include "message/run_error.h"
#include "message/system_error.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <deque>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <unistd.h>

extern char** environ;

namespace kulverant {
namespace {

using Clock = PageRouter::Clock;

constexpr std::size_t longestLine = 64 * 1024;
// How long a start may take to write its files before the next page is
// started anyway; normally a few milliseconds.
constexpr auto savedTimeout = std::chrono::seconds(10);

constexpr const char* usage =
    "Aufruf: kulverant-multimon [--ric RIC[:FUNKTIONEN][,RIC...]] [--tone-only RIC[,RIC...]] "
    "[--repeat-window SEKUNDEN] [--decodings auto] [--silence-limit MINUTEN]   (FUNKTIONEN: Buchstaben aus abcd)";

void note(const std::string& text) {
    std::string line = "kulverant-multimon: " + text + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
}

struct Options {
    RouterSettings router;
    std::optional<Clock::duration> silenceLimit; // no line for this long: the receiver is deaf
};

// A number of seconds or minutes, whole or with a fraction ("0.5").
std::optional<Clock::duration> parseDuration(std::string_view value, double unitSeconds, bool wholeOnly) {
    double number = 0;
    auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number,
                                        std::chars_format::fixed);
    if (error != std::errc() || end != value.data() + value.size() || !(number >= 0) || number > 1e6 ||
        (wholeOnly && number != std::floor(number)))
        return std::nullopt;
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(number * unitSeconds));
}

bool parseOptions(int argc, char** argv, Options& options) {
    RouterSettings& settings = options.router;
    for (int i = 1; i < argc; ++i) {
        std::string_view option = argv[i];
        bool known = option == "--repeat-window" || option == "--tone-only" || option == "--ric" ||
                     option == "--decodings" || option == "--silence-limit";
        if (!known || i + 1 >= argc) {
            note("unbekannte Angabe '" + quotedForReport(option) + "'. " + usage);
            return false;
        }
        std::string_view value = argv[++i];
        auto refuse = [&](const char* wanted) {
            note(std::string(option) + " braucht " + wanted + ", nicht '" + quotedForReport(value) + "'. " + usage);
            return false;
        };
        if (option == "--repeat-window") {
            std::optional<Clock::duration> window = parseDuration(value, 1, /*wholeOnly=*/true);
            if (!window)
                return refuse("eine ganze Zahl von Sekunden");
            settings.repeatWindow = *window;
            continue;
        }
        if (option == "--silence-limit") {
            options.silenceLimit = parseDuration(value, 60, /*wholeOnly=*/false);
            if (!options.silenceLimit || *options.silenceLimit <= Clock::duration::zero())
                return refuse("eine Zahl von Minuten über 0");
            continue;
        }
        if (option == "--decodings") {
            if (value != "auto")
                return refuse("'auto' (wenn multimon-ng mit -f auto läuft)");
            settings.severalDecodings = true;
            continue;
        }
        std::optional<AddressList> list = AddressList::parse(value);
        if (!list)
            return refuse("RICs (bis 2097151), durch Kommas getrennt, je mit ':' und Funktionen aus abcd");
        if (option == "--tone-only")
            settings.toneOnly.add(*list);
        else if (settings.watched)
            settings.watched->add(*list);
        else
            settings.watched = list;
    }
    return true;
}

// Starts kulverant for one page after the other, each in a session of its
// own: the next once the one before has closed its standard output, which it
// does once both files are written. So pages that come in a burst reach the
// files in their order, no window is waited for, and the input is read on
// meanwhile: a start that takes long (another program holds the file's lock)
// delays the pages behind it, never the decoder.
class Starter {
public:
    explicit Starter(std::string program) : program_(std::move(program)) {}
    Starter(const Starter&) = delete;
    Starter& operator=(const Starter&) = delete;
    ~Starter() { stopWaiting(); }

    void queue(const std::string& message) { queued_.push_back(message); }
    bool idle() const { return saved_ < 0 && queued_.empty(); }
    // The pipe that the start under way closes once it has saved, or -1.
    int savedDescriptor() const { return saved_; }
    std::optional<Clock::time_point> giveUpAt() const {
        return saved_ < 0 ? std::nullopt : std::optional(startedAt_ + savedTimeout);
    }

    // Reads what the start under way wrote; at its end, or after the
    // timeout, it counts as saved.
    void poll(Clock::time_point now) {
        char ignored[256];
        ssize_t length = saved_ < 0 ? 0 : ::read(saved_, ignored, sizeof ignored);
        if (saved_ >= 0 && (length == 0 || (length < 0 && errno != EAGAIN && errno != EINTR) ||
                            now >= startedAt_ + savedTimeout))
            stopWaiting();
    }

    // Starts the queued pages while none is under way; returns those whose
    // start failed.
    std::vector<std::string> startQueued(Clock::time_point now) {
        std::vector<std::string> failed;
        while (saved_ < 0 && !queued_.empty()) {
            std::string message = std::move(queued_.front());
            queued_.pop_front();
            if (!start(message, now))
                failed.push_back(std::move(message));
        }
        return failed;
    }

private:
    bool start(const std::string& message, Clock::time_point now) {
        int saved[2];
        if (::pipe2(saved, O_CLOEXEC | O_NONBLOCK) != 0) {
            note("kann kulverant nicht starten: " + lastSystemError().reason);
            return false;
        }
        posix_spawn_file_actions_t actions;
        posix_spawnattr_t attributes;
        ::posix_spawn_file_actions_init(&actions);
        ::posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        ::posix_spawn_file_actions_adddup2(&actions, saved[1], STDOUT_FILENO);
        ::posix_spawnattr_init(&attributes);
        sigset_t defaults;
        sigemptyset(&defaults);
        sigaddset(&defaults, SIGCHLD);
        sigaddset(&defaults, SIGPIPE);
        ::posix_spawnattr_setsigdefault(&attributes, &defaults);
        ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGDEF);
        std::string argument0 = program_;
        std::string argument1 = message;
        char* arguments[] = {argument0.data(), argument1.data(), nullptr};
        pid_t child = 0;
        int failed = ::posix_spawn(&child, program_.c_str(), &actions, &attributes, arguments, environ);
        ::posix_spawn_file_actions_destroy(&actions);
        ::posix_spawnattr_destroy(&attributes);
        ::close(saved[1]);
        if (failed) {
            ::close(saved[0]);
            note("kann " + quotedForReport(program_) + " nicht starten: " + systemError(failed).reason);
            return false;
        }
        saved_ = saved[0];
        startedAt_ = now;
        return true;
    }

    void stopWaiting() {
        if (saved_ >= 0)
            ::close(saved_);
        saved_ = -1;
    }

    std::string program_;
    std::deque<std::string> queued_;
    int saved_ = -1;
    Clock::time_point startedAt_;
};

int milliseconds(std::optional<Clock::time_point> at, Clock::time_point now) {
    if (!at)
        return -1;
    auto left = std::chrono::ceil<std::chrono::milliseconds>(*at - now).count();
    return static_cast<int>(std::clamp<decltype(left)>(left, 0, 1 << 30));
}

} // namespace
} // namespace kulverant

int main(int argc, char** argv) {
    using namespace kulverant;
    Options options;
    if (!parseOptions(argc, argv, options))
        return 2;
    std::string directory = executableDirectory();
    std::string program = directory + "/kulverant";
    if (directory.empty() || ::access(program.c_str(), X_OK) != 0) {
        note("kulverant nicht neben diesem Programm gefunden");
        return 1;
    }
    // The windows outlive their pages; their ends are nobody's business here,
    // and the kernel reaps them.
    std::signal(SIGCHLD, SIG_IGN);
    std::signal(SIGPIPE, SIG_IGN);

    Starter starter(program);
    PageRouter router(std::move(options.router), [&](const std::string& message) { starter.queue(message); }, note);
    int status = 0;
    std::string line;
    bool overlong = false, reading = true;
    Clock::time_point heard = Clock::now();
    char buffer[4096];
    while (reading || !starter.idle()) {
        Clock::time_point now = Clock::now();
        for (const std::string& failed : starter.startQueued(now)) {
            router.startFailed(failed);
            status = 1;
        }
        std::optional<Clock::time_point> wake = router.wakeAt(), giveUp = starter.giveUpAt();
        if (!wake || (giveUp && *giveUp < *wake))
            wake = giveUp;
        if (options.silenceLimit && reading && (!wake || heard + *options.silenceLimit < *wake))
            wake = heard + *options.silenceLimit;
        pollfd watched[] = {{reading ? STDIN_FILENO : -1, POLLIN, 0}, {starter.savedDescriptor(), POLLIN, 0}};
        int ready = ::poll(watched, 2, milliseconds(wake, now));
        now = Clock::now();
        if (ready < 0 && errno != EINTR) {
            note("Warten auf die Eingabe schlug fehl: " + lastSystemError().reason);
            return 1;
        }
        starter.poll(now);
        router.wake(now);
        if (options.silenceLimit && reading && now - heard >= *options.silenceLimit) {
            note("seit " + std::to_string(std::chrono::duration_cast<std::chrono::seconds>(now - heard).count()) +
                 " s keine Zeile vom Decoder: Empfänger oder multimon-ng hängt (--silence-limit)");
            router.finish();
            reading = false;
            status = 1;
        }
        if (ready <= 0 || !reading || !(watched[0].revents & (POLLIN | POLLHUP | POLLERR)))
            continue;
        ssize_t length = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (length < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (length <= 0) {
            if (length < 0) {
                note("Eingabe nicht lesbar: " + lastSystemError().reason);
                status = 1;
            }
            if (!line.empty() && !overlong)
                router.line(line, now);
            router.finish();
            reading = false;
            continue;
        }
        heard = now;
        for (std::string_view chunk(buffer, static_cast<std::size_t>(length)); !chunk.empty();) {
            std::size_t end = chunk.find('\n');
            std::string_view piece = chunk.substr(0, end);
            if (line.size() + piece.size() > longestLine)
                overlong = true;
            else
                line += piece;
            if (end == std::string_view::npos)
                break;
            if (overlong)
                note("Zeile über " + std::to_string(longestLine) + " Bytes übersprungen");
            else
                router.line(line, now);
            line.clear();
            overlong = false;
            chunk.remove_prefix(end + 1);
        }
    }
    return status;
}
