#pragma once

#include "repeat_filter.h"

#include <chrono>
#include <cstddef>
#include <deque>
#include <optional>
#include <string>

namespace kulverant {

/// The pages waiting to start kulverant, one after the other in the order
/// they were on the air. A repeat is passed over only once its original has
/// started: it waits behind it, so that where the original's start fails the
/// repeat still delivers the page.
class StartQueue {
public:
    using Clock = std::chrono::steady_clock;

    struct Entry {
        std::string message;
        Clock::time_point decodedAt;
    };

    /// Beyond this many pages or bytes no more input is read until the
    /// backlog shrinks: the decoder's pipe holds what follows.
    static constexpr std::size_t mostPages = 1000;
    static constexpr std::size_t mostBytes = 32 * 1024 * 1024;

    explicit StartQueue(Clock::duration repeatWindow) : repeats_(repeatWindow) {}

    void push(std::string message, Clock::time_point decodedAt);

    /// The next page to start, taken from the queue; repeats of pages
    /// started within the window before it are passed over and counted.
    std::optional<Entry> next();

    /// The page's start worked: its repeats within the window are not new.
    void started(const Entry& entry) { repeats_.remember(entry.message, entry.decodedAt); }

    bool empty() const { return queued_.empty(); }
    std::size_t size() const { return queued_.size(); }
    bool full() const { return queued_.size() >= mostPages || bytes_ >= mostBytes; }
    /// When the page that has waited longest was decoded.
    std::optional<Clock::time_point> oldest() const {
        return queued_.empty() ? std::nullopt : std::optional(queued_.front().decodedAt);
    }

private:
    std::deque<Entry> queued_;
    std::size_t bytes_ = 0;
    RepeatFilter repeats_;
};

} // namespace kulverant
