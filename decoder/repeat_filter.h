#pragma once

#include <chrono>
#include <map>
#include <string>

namespace kulverant {

/// Paging networks send a page more than once. Tells a repeat (the same
/// message, address and text, within the window since it was last started)
/// from a new page. A window of zero takes nothing for a repeat.
class RepeatFilter {
public:
    using Clock = std::chrono::steady_clock;

    explicit RepeatFilter(Clock::duration window) : window_(window) {}

    /// Whether the message was started within the window before now.
    bool isRepeat(const std::string& message, Clock::time_point now);

    /// The message was started now: its repeats within the window are not new.
    void remember(const std::string& message, Clock::time_point now);

    /// Its start failed after all: only a start that worked counts, so that
    /// the network's repeat can still deliver the page.
    void forget(const std::string& message) { lastStarted_.erase(message); }

private:
    Clock::duration window_;
    std::map<std::string, Clock::time_point> lastStarted_;
};

} // namespace kulverant
