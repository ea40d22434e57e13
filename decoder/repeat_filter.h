#pragma once

#include <chrono>
#include <map>
#include <string>

namespace kulverant {

/// Paging networks send a page more than once. Tells a repeat (the same
/// message, address and text, within the window since it was last let
/// through) from a new page. A window of zero lets everything through.
class RepeatFilter {
public:
    using Clock = std::chrono::steady_clock;

    explicit RepeatFilter(Clock::duration window) : window_(window) {}

    /// Whether the page is new; a new page starts its own window.
    bool letThrough(const std::string& message, Clock::time_point now);

private:
    Clock::duration window_;
    std::map<std::string, Clock::time_point> lastSeen_;
};

} // namespace kulverant
