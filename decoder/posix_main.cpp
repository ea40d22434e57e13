// kulverant-multimon: reads multimon-ng's output and starts kulverant once
// for every POCSAG page, detached, with "<RIC> <text>" as its message.
#include "page_line.h"
#include "repeat_filter.h"

#include "message/executable_directory.h"
#include "message/run_error.h"
#include "message/system_error.h"

#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <set>
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

struct Options {
    RepeatFilter::Clock::duration repeatWindow = std::chrono::seconds(10);
    std::set<std::string> toneOnlyAddresses;
};

void note(const std::string& text) {
    std::string line = "kulverant-multimon: " + text + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
}

bool parseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        std::string_view option = argv[i];
        if (i + 1 >= argc || (option != "--repeat-window" && option != "--tone-only")) {
            note("unbekannte Angabe '" + quotedForReport(option) +
                 "'. Aufruf: kulverant-multimon [--repeat-window SEKUNDEN] [--tone-only RIC[,RIC...]]");
            return false;
        }
        std::string_view value = argv[++i];
        if (option == "--repeat-window") {
            unsigned seconds = 0;
            auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), seconds);
            if (error != std::errc() || end != value.data() + value.size()) {
                note("--repeat-window braucht eine ganze Zahl von Sekunden, nicht '" + quotedForReport(value) + "'");
                return false;
            }
            options.repeatWindow = std::chrono::seconds(seconds);
            continue;
        }
        for (std::size_t start = 0; start <= value.size();) {
            std::size_t comma = std::min(value.find(',', start), value.size());
            std::string_view address = value.substr(start, comma - start);
            if (address.empty() || address.size() > 7 || address.find_first_not_of("0123456789") != address.npos) {
                note("--tone-only nimmt RICs aus Ziffern, durch Kommas getrennt, nicht '" + quotedForReport(value) + "'");
                return false;
            }
            options.toneOnlyAddresses.emplace(address.substr(std::min(address.find_first_not_of('0'), address.size() - 1)));
            start = comma + 1;
        }
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

    RepeatFilter repeats(options.repeatWindow);
    int status = 0;
    std::string line;
    bool overlong = false;
    auto handleLine = [&] {
        if (overlong) {
            note("Zeile über " + std::to_string(longestLine) + " Bytes übersprungen");
            return;
        }
        std::optional<Page> page = parsePageLine(line);
        if (!page) {
            note("übersprungen: " + quotedForReport(line));
            return;
        }
        if (page->kind == PageKind::ToneOnly && !options.toneOnlyAddresses.contains(page->address)) {
            note("Tonruf an " + page->address + " übergangen (nicht mit --tone-only genannt)");
            return;
        }
        std::string message = messageForPage(*page);
        if (!repeats.letThrough(message, RepeatFilter::Clock::now()))
            return;
        if (!startKulverant(program, message))
            status = 1;
    };
    char buffer[4096];
    for (;;) {
        ssize_t length = ::read(STDIN_FILENO, buffer, sizeof buffer);
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
            handleLine();
            line.clear();
            overlong = false;
            chunk.remove_prefix(end + 1);
        }
    }
    if (!line.empty())
        handleLine();
    return status;
}
