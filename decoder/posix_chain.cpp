#include "posix_chain.h"

#include "message/run_error.h"
#include "message/system_error.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kulverant {

namespace {

constexpr auto askAllAfter = std::chrono::seconds(1);
constexpr auto killAfter = std::chrono::seconds(3);

std::string statusText(int status) {
    return std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
}

} // namespace

std::vector<std::string> commandWords(std::string_view command) {
    std::vector<std::string> words;
    for (std::size_t at = command.find_first_not_of(" \t"); at != std::string_view::npos;) {
        std::size_t end = command.find_first_of(" \t", at);
        words.emplace_back(command.substr(at, end - at));
        at = command.find_first_not_of(" \t", end);
    }
    return words;
}

// Forks and executes the command with the given standard input and output.
// The child dies with the glue (PR_SET_PDEATHSIG), also where the glue ended
// before the child had asked for that; its signals are the defaults again,
// SIGPIPE too, so that a part whose reader has gone ends. An exec failure
// comes back through a pipe that exec closes.
pid_t Chain::spawn(const std::vector<std::string>& words, int input, int output) {
    std::vector<char*> arguments;
    for (const std::string& word : words)
        arguments.push_back(const_cast<char*>(word.c_str()));
    arguments.push_back(nullptr);
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) {
        note_("kann " + quotedForReport(words[0]) + " nicht starten: " + lastSystemError().reason);
        return -1;
    }
    pid_t parent = ::getpid();
    pid_t child = ::fork();
    if (child == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(127);
        // The glue's own handlers would swallow a signal that comes before exec.
        for (int signal : {SIGTERM, SIGINT, SIGHUP, SIGCHLD, SIGPIPE})
            ::signal(signal, SIG_DFL);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        if ((input >= 0 && ::dup2(input, STDIN_FILENO) < 0) || ::dup2(output, STDOUT_FILENO) < 0)
            ::_exit(127);
        ::execvp(arguments[0], arguments.data());
        int error = errno;
        static_cast<void>(::write(report[1], &error, sizeof error));
        ::_exit(127);
    }
    int error = child < 0 ? errno : 0;
    ::close(report[1]);
    // Nothing to read: exec closed the pipe, and the command runs.
    if (child > 0 && ::read(report[0], &error, sizeof error) == sizeof error)
        ::waitpid(child, nullptr, 0);
    ::close(report[0]);
    if (error) {
        note_("kann " + quotedForReport(words[0]) + " nicht starten: " + systemError(error).reason);
        return -1;
    }
    return child;
}

int Chain::start(const std::vector<std::string>& receiver, const std::vector<std::string>& decoder) {
    int audio[2], lines[2];
    if (::pipe2(audio, O_CLOEXEC) != 0 || ::pipe2(lines, O_CLOEXEC) != 0) {
        note_("kann die Kette nicht aufbauen: " + lastSystemError().reason);
        return -1;
    }
    auto name = [](const std::string& program) { return program.substr(program.rfind('/') + 1); };
    pid_t heard = spawn(receiver, -1, audio[1]);
    if (heard > 0)
        parts_.push_back({name(receiver[0]), heard});
    pid_t decoding = heard > 0 ? spawn(decoder, audio[0], lines[1]) : -1;
    if (decoding > 0)
        parts_.push_back({name(decoder[0]), decoding});
    for (int fd : {audio[0], audio[1], lines[1]})
        ::close(fd);
    if (decoding < 0) {
        ::close(lines[0]);
        return -1;
    }
    return lines[0];
}

bool Chain::reap() {
    bool partEnded = false;
    int status = 0;
    for (pid_t child; (child = ::waitpid(-1, &status, WNOHANG)) > 0;) {
        for (Part& part : parts_) {
            if (part.pid != child)
                continue;
            note_(part.name + " endete (Status " + statusText(status) + ")");
            part.pid = -1;
            partEnded = true;
        }
    }
    return partEnded;
}

bool Chain::running() const {
    for (const Part& part : parts_)
        if (part.pid > 0)
            return true;
    return false;
}

void Chain::signalPart(const Part& part, int signal) {
    if (part.pid > 0) {
        ::kill(part.pid, signal);
        ::kill(part.pid, SIGCONT); // a stopped part would not see it
    }
}

void Chain::signalRunning(int signal) {
    for (const Part& part : parts_)
        signalPart(part, signal);
}

void Chain::end(Clock::time_point now) {
    if (endedAt_)
        return;
    endedAt_ = now;
    step_ = 1;
    if (!parts_.empty())
        signalPart(parts_[0], SIGTERM);
}

std::optional<Chain::Clock::time_point> Chain::dueAt() const {
    if (!endedAt_ || step_ >= 3 || !running())
        return std::nullopt;
    return *endedAt_ + (step_ == 1 ? askAllAfter : killAfter);
}

void Chain::pursue(Clock::time_point now) {
    std::optional<Clock::time_point> due = dueAt();
    if (!due || now < *due)
        return;
    if (step_ == 1) {
        signalRunning(SIGTERM);
        step_ = 2;
    } else {
        signalRunning(SIGKILL);
        step_ = 3;
    }
}

} // namespace kulverant
