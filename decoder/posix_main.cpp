// kulverant-multimon: reads multimon-ng's output and starts kulverant once
// for every POCSAG page to a watched address, detached, with "<RIC> <text>"
// as its message. With --receiver and --decoder it runs rtl_fm and
// multimon-ng itself, as the chain that a service keeps.
#include "page_router.h"
#include "posix_chain.h"
#include "start_queue.h"

#include "message/executable_directory.h"
#include "message/run_error.h"
#include "message/system_error.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <unistd.h>
#include <utility>

extern char** environ;

namespace kulverant {
namespace {

using Clock = PageRouter::Clock;

constexpr std::size_t longestLine = 64 * 1024;
// How long a start may take to write its files before the next page is
// started anyway; normally a few milliseconds. Longer than kulverant's own
// longest wait, 10 s for each of its two files' locks, so that a late start
// never writes over the page after it.
constexpr auto savedTimeout = std::chrono::seconds(25);
// Once the input has ended or a stop is asked, the pages still queued have
// this long to start one after the other; any left then start at once,
// without waiting for each other's files. So the glue ends within about
// this long of a stop, and no page it has read is lost.
constexpr auto drainLimit = std::chrono::seconds(30);
// A start that failed (no process to be had, kulverant replaced meanwhile) is
// tried once more after this long, the pages behind it waiting.
constexpr auto retryAfter = std::chrono::seconds(1);
// A page waiting longer than this to start is a late alarm: it is noted.
constexpr auto lateAfter = std::chrono::seconds(30);

constexpr const char* usage =
    "Aufruf: kulverant-multimon [--ric RIC[:FUNKTIONEN][,RIC...]] [--tone-only RIC[,RIC...]] "
    "[--repeat-window SEKUNDEN] [--decodings auto] [--silence-limit MINUTEN] "
    "[--receiver BEFEHL --decoder BEFEHL]   (FUNKTIONEN: Buchstaben aus abcd)";

void note(const std::string& text) {
    std::string line = "kulverant-multimon: " + text + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
}

struct Options {
    RouterSettings router;
    std::optional<Clock::duration> silenceLimit; // no line for this long: the receiver is deaf
    std::vector<std::string> receiver, decoder;  // the chain's parts, run by the glue itself
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
                     option == "--decodings" || option == "--silence-limit" || option == "--receiver" ||
                     option == "--decoder";
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
        if (option == "--receiver" || option == "--decoder") {
            std::vector<std::string>& command = option == "--receiver" ? options.receiver : options.decoder;
            command = commandWords(value);
            if (command.empty())
                return refuse("einen Befehl");
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
    if (options.receiver.empty() != options.decoder.empty()) {
        note("--receiver und --decoder gehören zusammen. " + std::string(usage));
        return false;
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
    Starter(std::string program, Clock::duration repeatWindow)
        : program_(std::move(program)), queue_(repeatWindow) {}
    Starter(const Starter&) = delete;
    Starter& operator=(const Starter&) = delete;
    ~Starter() { stopWaiting(); }

    StartQueue& queue() { return queue_; }
    bool idle() const { return saved_ < 0 && queue_.empty() && !retry_; }
    // The pipe that the start under way closes once it has saved, or -1.
    int savedDescriptor() const { return saved_; }
    std::optional<Clock::time_point> giveUpAt() const {
        return saved_ >= 0 ? std::optional(startedAt_ + savedTimeout) : retry_ ? std::optional(retryAt_) : std::nullopt;
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

    // Starts the queued pages while none is under way, or all of them at
    // once in a hurry; returns whether a start failed for good. A failed
    // page is tried once more, then given up; it does not count as started,
    // so that its repeat still delivers it.
    bool startQueued(Clock::time_point now, bool hurry) {
        bool failed = false;
        if (hurry)
            stopWaiting();
        while (saved_ < 0 && (!retry_ || hurry || now >= retryAt_)) {
            bool again = retry_.has_value();
            std::optional<StartQueue::Entry> entry = again ? std::exchange(retry_, std::nullopt) : queue_.next();
            if (!entry)
                break;
            if (start(entry->message, now)) {
                queue_.started(*entry);
            } else if (again || hurry) {
                note("nicht gestartet: " + quotedForReport(entry->message));
                failed = true;
            } else {
                retry_ = std::move(entry);
                retryAt_ = now + retryAfter;
            }
            if (hurry)
                stopWaiting();
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
        // The glue blocks the signals it reads and ignores SIGPIPE; the window does neither.
        sigset_t defaults, none;
        sigemptyset(&none);
        sigemptyset(&defaults);
        sigaddset(&defaults, SIGCHLD);
        sigaddset(&defaults, SIGPIPE);
        ::posix_spawnattr_setsigdefault(&attributes, &defaults);
        ::posix_spawnattr_setsigmask(&attributes, &none);
        ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
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
    StartQueue queue_;
    std::optional<StartQueue::Entry> retry_;
    Clock::time_point retryAt_;
    int saved_ = -1;
    Clock::time_point startedAt_;
};

// Notes a backlog as it grows and a page that waits too long, once each
// until the queue has emptied.
class BacklogWatch {
public:
    void check(const StartQueue& queue, Clock::time_point now) {
        if (queue.empty()) {
            noted_ = 1;
            lateNoted_ = false;
            return;
        }
        if (queue.size() >= noted_ * 10) {
            for (noted_ *= 10; queue.size() >= noted_ * 10;)
                noted_ *= 10;
            note(std::to_string(queue.size()) + " Seiten warten auf ihren Start" +
                 (queue.full() ? "; die Eingabe wird angehalten, bis es weniger sind" : ""));
        }
        if (!lateNoted_ && now - *queue.oldest() >= lateAfter) {
            lateNoted_ = true;
            note("die älteste wartende Seite wartet seit über " +
                 std::to_string(std::chrono::duration_cast<std::chrono::seconds>(lateAfter).count()) +
                 " s auf ihren Start");
        }
    }
    std::optional<Clock::time_point> dueAt(const StartQueue& queue) const {
        return lateNoted_ || queue.empty() ? std::nullopt : std::optional(*queue.oldest() + lateAfter);
    }

private:
    std::size_t noted_ = 1;
    bool lateNoted_ = false;
};

// The signals the loop waits for, caught only while it waits (ppoll), so that
// one that comes at any other moment, start-up included, waits for it.
volatile std::sig_atomic_t caughtStop = 0, caughtChild = 0;

void catchSignal(int signal) {
    if (signal == SIGCHLD)
        caughtChild = 1;
    else if (!caughtStop)
        caughtStop = signal;
}

int milliseconds(std::optional<Clock::time_point> at, Clock::time_point now) {
    if (!at)
        return -1;
    auto left = std::chrono::ceil<std::chrono::milliseconds>(*at - now).count();
    return static_cast<int>(std::clamp<decltype(left)>(left, 0, 1 << 30));
}

std::optional<Clock::time_point> earliest(std::initializer_list<std::optional<Clock::time_point>> times) {
    std::optional<Clock::time_point> first;
    for (const auto& at : times)
        if (at && (!first || *at < *first))
            first = at;
    return first;
}

// Standard input, output and error closed at the start would be taken by the
// next descriptors opened: they get /dev/null. Returns whether input was open.
bool openStandardDescriptors() {
    bool inputOpen = ::fcntl(STDIN_FILENO, F_GETFD) >= 0;
    for (int fd = 0; fd <= 2; ++fd)
        if (::fcntl(fd, F_GETFD) < 0 && ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY) != fd)
            return false;
    return inputOpen;
}

} // namespace
} // namespace kulverant

int main(int argc, char** argv) {
    using namespace kulverant;
    bool inputOpen = openStandardDescriptors();
    // A stop or a part's end is seen in the loop, whenever it comes: the
    // signals stay blocked but while the loop waits.
    sigset_t signals, waiting;
    sigemptyset(&signals);
    struct sigaction caught {};
    caught.sa_handler = catchSignal;
    sigfillset(&caught.sa_mask);
    for (int signal : {SIGTERM, SIGINT, SIGHUP, SIGCHLD})
        sigaddset(&signals, signal);
    ::sigprocmask(SIG_BLOCK, &signals, &waiting);
    for (int signal : {SIGTERM, SIGINT, SIGHUP, SIGCHLD}) {
        sigdelset(&waiting, signal);
        ::sigaction(signal, &caught, nullptr);
    }
    std::signal(SIGPIPE, SIG_IGN);

    Options options;
    if (!parseOptions(argc, argv, options))
        return 2;
    std::string directory = executableDirectory();
    std::string program = directory + "/kulverant";
    if (directory.empty() || ::access(program.c_str(), X_OK) != 0) {
        note("kulverant nicht neben diesem Programm gefunden");
        return 1;
    }

    int status = 0;
    Clock::time_point now = Clock::now();
    Chain chain(note);
    int input = STDIN_FILENO;
    if (!options.receiver.empty()) {
        input = chain.start(options.receiver, options.decoder);
        if (input < 0) {
            status = 1;
            chain.end(now);
        }
    } else if (!inputOpen) {
        note("Eingabe nicht lesbar: die Standardeingabe ist geschlossen");
        status = 1;
        input = -1;
    }

    Starter starter(program, options.router.repeatWindow);
    PageRouter router(
        std::move(options.router),
        [&](const std::string& message, Clock::time_point at) { starter.queue().push(message, at); }, note);
    BacklogWatch backlog;
    std::string line;
    bool overlong = false, reading = input >= 0, stopAsked = false;
    std::optional<Clock::time_point> drainingSince;
    Clock::time_point heard = now;
    char buffer[4096];
    auto readLines = [&](std::string_view chunk) {
        while (!chunk.empty()) {
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
    };
    auto endInput = [&] {
        if (!line.empty() && !overlong)
            router.line(line, now);
        router.finish();
        reading = false;
        if (input >= 0 && input != STDIN_FILENO)
            ::close(input);
    };
    for (;;) {
        now = Clock::now();
        if (!reading && !drainingSince)
            drainingSince = now;
        bool hurry = drainingSince && now - *drainingSince >= drainLimit;
        if (starter.startQueued(now, hurry))
            status = 1;
        // Asked only now: the queue's last pages may have been repeats, passed
        // over without a start, and then nothing is left to wait for.
        if (!reading && starter.idle() && !chain.running())
            break;
        backlog.check(starter.queue(), now);
        bool takingInput = reading && !starter.queue().full();
        if (reading && !takingInput)
            heard = now; // the decoder is not deaf while its lines wait for the backlog
        std::optional<Clock::time_point> wake =
            earliest({router.wakeAt(), starter.giveUpAt(), chain.dueAt(), backlog.dueAt(starter.queue()),
                      options.silenceLimit && reading ? std::optional(heard + *options.silenceLimit) : std::nullopt,
                      drainingSince && !starter.idle() ? std::optional(*drainingSince + drainLimit) : std::nullopt});
        pollfd watched[] = {{takingInput ? input : -1, POLLIN, 0}, {starter.savedDescriptor(), POLLIN, 0}};
        int timeout = milliseconds(wake, now);
        timespec waitFor = {timeout / 1000, timeout % 1000 * 1000000L};
        int ready = ::ppoll(watched, 2, timeout < 0 ? nullptr : &waitFor, &waiting);
        now = Clock::now();
        if (ready < 0 && errno != EINTR) {
            note("Warten auf die Eingabe schlug fehl: " + lastSystemError().reason);
            return 1;
        }
        if (std::exchange(caughtChild, 0) && chain.reap() && !chain.ending()) {
            status = 1;
            chain.end(now);
        }
        if (caughtStop && !std::exchange(stopAsked, true)) {
            note(std::string("angehalten (SIG") + sigabbrev_np(caughtStop) +
                 "): die schon gelesenen Seiten werden noch gestartet");
            chain.end(now);
            // Without a chain of its own, what the pipe holds already was
            // decoded: it is read, and then no more.
            while (reading && options.receiver.empty()) {
                pollfd pending = {input, POLLIN, 0};
                ssize_t length = ::poll(&pending, 1, 0) == 1 ? ::read(input, buffer, sizeof buffer) : 0;
                if (length <= 0)
                    break;
                readLines(std::string_view(buffer, static_cast<std::size_t>(length)));
            }
            if (reading && options.receiver.empty())
                endInput();
        }
        chain.pursue(now);
        starter.poll(now);
        router.wake(now);
        if (options.silenceLimit && reading && now - heard >= *options.silenceLimit) {
            note("seit " + std::to_string(std::chrono::duration_cast<std::chrono::seconds>(now - heard).count()) +
                 " s keine Zeile vom Decoder: Empfänger oder multimon-ng hängt (--silence-limit)");
            status = 1;
            chain.end(now);
            if (options.receiver.empty())
                endInput();
        }
        if (!reading || !(watched[0].revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)))
            continue;
        ssize_t length = ::read(input, buffer, sizeof buffer);
        if (length < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (length <= 0) {
            if (length < 0) {
                note("Eingabe nicht lesbar: " + lastSystemError().reason);
                status = 1;
            }
            endInput();
            // The decoder's output has ended: whatever of the chain still runs is ended too.
            if (!chain.ending() && chain.running()) {
                status = 1;
                chain.end(now);
            }
            continue;
        }
        heard = now;
        readLines(std::string_view(buffer, static_cast<std::size_t>(length)));
    }
    return status;
}
