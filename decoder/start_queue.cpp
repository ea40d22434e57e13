#include "start_queue.h"

#include <utility>

namespace kulverant {

void StartQueue::push(std::string message, Clock::time_point decodedAt) {
    bytes_ += message.size();
    queued_.push_back({std::move(message), decodedAt});
}

std::optional<StartQueue::Entry> StartQueue::next() {
    while (!queued_.empty()) {
        Entry entry = std::move(queued_.front());
        queued_.pop_front();
        bytes_ -= entry.message.size();
        if (!repeats_.isRepeat(entry.message, entry.decodedAt))
            return entry;
    }
    return std::nullopt;
}

} // namespace kulverant
