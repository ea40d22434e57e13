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

    /// Whether the message was started within the window before now. A
    /// repeat does not renew the window: only starts do.
    bool isRepeat(const std::string& message, Clock::time_point now);

    /// The message, decoded at that time, was started.
    void remember(const std::string& message, Clock::time_point now);

private:
    Clock::duration window_;
    std::map<std::string, Clock::time_point> lastStarted_;
};

} // namespace kulverant
