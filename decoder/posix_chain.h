#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace kulverant {

/// The receiver and the decoder (rtl_fm | multimon-ng) as children of the
/// glue, which reads the decoder's lines. They cannot outlive it: each is
/// killed by the kernel when the glue ends, however it ends. Their ends are
/// seen through SIGCHLD, which the caller blocks and reads, so none is missed.
class Chain {
public:
    using Clock = std::chrono::steady_clock;
    using Note = std::function<void(const std::string& text)>;

    explicit Chain(Note note) : note_(std::move(note)) {}
    Chain(const Chain&) = delete;
    Chain& operator=(const Chain&) = delete;

    /// Starts receiver | decoder; returns the read end of the decoder's
    /// output, or -1 where a part could not be started (noted).
    int start(const std::vector<std::string>& receiver, const std::vector<std::string>& decoder);

    /// Reaps every child that has ended; notes each part that has, with its
    /// status. Returns whether a part ended.
    bool reap();

    /// Ends the chain: the receiver at once, so that the decoder prints what
    /// it has read and ends with its input; whatever still runs a second
    /// later is asked to end, and killed after three.
    void end(Clock::time_point now);
    /// Does what end() leaves for later once it is due.
    void pursue(Clock::time_point now);
    std::optional<Clock::time_point> dueAt() const;

    bool ending() const { return endedAt_.has_value(); }
    bool running() const;

private:
    struct Part {
        std::string name;
        pid_t pid = -1;
    };

    pid_t spawn(const std::vector<std::string>& words, int input, int output);
    static void signalPart(const Part& part, int signal);
    void signalRunning(int signal);

    Note note_;
    std::vector<Part> parts_;
    std::optional<Clock::time_point> endedAt_;
    int step_ = 0; // what end() has done: 1 asked the receiver, 2 everything, 3 killed
};

/// A command's words, separated by blanks or tabs: "rtl_fm -f 173.255M -".
std::vector<std::string> commandWords(std::string_view command);

} // namespace kulverant
