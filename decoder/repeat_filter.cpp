#include "repeat_filter.h"

#include <iterator>

namespace kulverant {

bool RepeatFilter::letThrough(const std::string& message, Clock::time_point now) {
    if (window_ <= Clock::duration::zero())
        return true;
    // Pages older than the window are forgotten, so that a decoder that
    // runs for months keeps only the last few.
    for (auto entry = lastSeen_.begin(); entry != lastSeen_.end();)
        entry = now - entry->second >= window_ ? lastSeen_.erase(entry) : std::next(entry);
    return lastSeen_.try_emplace(message, now).second;
}

} // namespace kulverant
