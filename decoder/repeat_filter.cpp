#include "repeat_filter.h"

#include <iterator>

namespace kulverant {

bool RepeatFilter::isRepeat(const std::string& message, Clock::time_point now) {
    // Pages older than the window are forgotten, so that a decoder that
    // runs for months keeps only the last few.
    for (auto entry = lastStarted_.begin(); entry != lastStarted_.end();)
        entry = now - entry->second >= window_ ? lastStarted_.erase(entry) : std::next(entry);
    return lastStarted_.contains(message);
}

void RepeatFilter::remember(const std::string& message, Clock::time_point now) {
    if (window_ > Clock::duration::zero())
        lastStarted_[message] = now;
}

} // namespace kulverant
