#pragma once

#include "address_list.h"
#include "page_line.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kulverant {

struct RouterSettings {
    std::optional<AddressList> watched; // only these pages start kulverant; nothing: every page
    AddressList toneOnly;               // tone-only pages are alarms for these only
    std::chrono::steady_clock::duration repeatWindow = std::chrono::seconds(10);
    // multimon-ng runs with -f auto and may print one page as digits, text
    // and Skyper text; without this, every line is a page of its own.
    bool severalDecodings = false;
};

/// What kulverant-multimon makes of multimon-ng's lines: the pages to start,
/// each once and in the order they were on the air, and notes that a busy
/// channel cannot flood. Reading the lines and starting kulverant are the
/// caller's.
class PageRouter {
public:
    using Clock = std::chrono::steady_clock;
    /// Starts kulverant with the message of a page decoded at the time given,
    /// or queues it to be started; repeats are the starter's to pass over.
    using Start = std::function<void(const std::string& message, Clock::time_point decodedAt)>;
    using Note = std::function<void(const std::string& text)>;

    /// multimon-ng -f auto prints a page's decodings one right after the
    /// other: the first waits this long for the others. Which lines are one
    /// page's decodings their bits tell, not the time.
    static constexpr auto decodingsWithin = std::chrono::milliseconds(50);
    /// Lines that are no page are noted this many times a minute, then counted.
    static constexpr int notesPerMinute = 3;

    PageRouter(RouterSettings settings, Start start, Note note);

    void line(std::string_view line, Clock::time_point now);

    /// When wake is due, if at all: a page waits for other decodings of it,
    /// or the minute's count of skipped lines is to be said.
    std::optional<Clock::time_point> wakeAt() const;
    void wake(Clock::time_point now);

    /// The input has ended: what waits is started, and the count said.
    void finish();

private:
    struct Skipped {
        long lines = 0;          // no page, beyond those noted
        long json = 0;           // reports in JSON
        long otherAddresses = 0; // not watched
        long toneOnly = 0;       // not named with --tone-only
        long alternatives = 0;   // other decodings of a page taken
    };

    bool continues(const Page& page) const;
    void startDecodings();
    void deliver(const Page& page, Clock::time_point now);
    void sayCount(const char* when);

    RouterSettings settings_;
    Start start_;
    Note note_;
    std::vector<Page> decodings_; // one transmission's decodings so far, under -f auto
    Clock::time_point decodingsAt_;
    Skipped skipped_;
    Clock::time_point minuteStart_;
    int notedThisMinute_ = 0;
    bool jsonNoted_ = false;
};

} // namespace kulverant
