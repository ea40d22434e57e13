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
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <unistd.h>

extern char** environ;

namespace kulverant {
namespace {

constexpr std::size_t longestLine = 64 * 1024;
// How long a start may take to write its files before the next page is
// started anyway; normally a few milliseconds.
constexpr int savedTimeoutMilliseconds = 10000;

constexpr const char* usage =
    "Aufruf: kulverant-multimon [--ric RIC[:FUNKTIONEN][,RIC...]] [--tone-only RIC[,RIC...]] "
    "[--repeat-window SEKUNDEN]   (FUNKTIONEN: Buchstaben aus abcd)";

void note(const std::string& text) {
    std::string line = "kulverant-multimon: " + text + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
}

bool parseOptions(int argc, char** argv, RouterSettings& settings) {
    for (int i = 1; i < argc; ++i) {
        std::string_view option = argv[i];
        bool known = option == "--repeat-window" || option == "--tone-only" || option == "--ric";
        if (!known || i + 1 >= argc) {
            note("unbekannte Angabe '" + quotedForReport(option) + "'. " + usage);
            return false;
        }
        std::string_view value = argv[++i];
        if (option == "--repeat-window") {
            unsigned seconds = 0;
            auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), seconds);
            if (error != std::errc() || end != value.data() + value.size()) {
                note("--repeat-window braucht eine ganze Zahl von Sekunden, nicht '" + quotedForReport(value) + "'. " +
                     usage);
                return false;
            }
            settings.repeatWindow = std::chrono::seconds(seconds);
            continue;
        }
        std::optional<AddressList> list = AddressList::parse(value);
        if (!list) {
            note(std::string(option) + " nimmt RICs (bis 2097151), durch Kommas getrennt, je mit ':' und Funktionen "
                 "aus abcd, nicht '" + quotedForReport(value) + "'. " + usage);
            return false;
        }
        if (option == "--tone-only")
            settings.toneOnly.add(*list);
        else if (settings.watched)
            settings.watched->add(*list);
        else
            settings.watched = list;
    }
    return true;
}

// Starts kulverant in a session of its own and waits until it closes its
// standard output, which it does once both files are written: so pages that
// come in a burst reach the files in their order, and no window is waited for.
bool startKulverant(const std::string& program, const std::string& message) {
    int saved[2];
    if (::pipe2(saved, O_CLOEXEC) != 0) {
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
    std::string argument0 = program;
    std::string argument1 = message;
    char* arguments[] = {argument0.data(), argument1.data(), nullptr};
    pid_t child = 0;
    int failed = ::posix_spawn(&child, program.c_str(), &actions, &attributes, arguments, environ);
    ::posix_spawn_file_actions_destroy(&actions);
    ::posix_spawnattr_destroy(&attributes);
    ::close(saved[1]);
    if (failed) {
        ::close(saved[0]);
        note("kann " + quotedForReport(program) + " nicht starten: " + systemError(failed).reason);
        return false;
    }
    pollfd until{saved[0], POLLIN, 0};
    char ignored[256];
    while (::poll(&until, 1, savedTimeoutMilliseconds) > 0 && ::read(saved[0], ignored, sizeof ignored) > 0) {
    }
    ::close(saved[0]);
    return true;
}

} // namespace
} // namespace kulverant

int main(int argc, char** argv) {
    using namespace kulverant;
    RouterSettings settings;
    if (!parseOptions(argc, argv, settings))
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

    PageRouter router(std::move(settings), [&](const std::string& message) { return startKulverant(program, message); },
                      note);
    using Clock = PageRouter::Clock;
    int status = 0;
    std::string line;
    bool overlong = false;
    char buffer[4096];
    for (;;) {
        // A page may wait for its other decodings, and skipped lines for their count.
        int timeout = -1;
        if (std::optional<Clock::time_point> at = router.wakeAt())
            timeout = static_cast<int>(std::max<Clock::rep>(
                0, std::chrono::ceil<std::chrono::milliseconds>(*at - Clock::now()).count()));
        pollfd input{STDIN_FILENO, POLLIN, 0};
        int ready = ::poll(&input, 1, timeout);
        if (ready == 0) {
            router.wake(Clock::now());
            continue;
        }
        ssize_t length = ready < 0 ? -1 : ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (length < 0 && errno == EINTR)
            continue;
        if (length <= 0) {
            if (length < 0) {
                note("Eingabe nicht lesbar: " + lastSystemError().reason);
                status = 1;
            }
            break;
        }
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
                router.line(line, Clock::now());
            line.clear();
            overlong = false;
            chunk.remove_prefix(end + 1);
        }
    }
    if (!line.empty() && !overlong)
        router.line(line, Clock::now());
    router.finish();
    return router.startFailed() ? 1 : status;
}
