#pragma once

#include "address_list.h"
#include "page_line.h"
#include "repeat_filter.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace kulverant {

struct RouterSettings {
    std::optional<AddressList> watched; // only these pages start kulverant; nothing: every page
    AddressList toneOnly;               // tone-only pages are alarms for these only
    std::chrono::steady_clock::duration repeatWindow = std::chrono::seconds(10);
};

/// What kulverant-multimon makes of multimon-ng's lines: the pages to start,
/// each once, and notes that a busy channel cannot flood. Reading the lines
/// and starting kulverant are the caller's.
class PageRouter {
public:
    using Clock = std::chrono::steady_clock;
    /// Starts kulverant with the message; false where that failed.
    using Start = std::function<bool(const std::string& message)>;
    using Note = std::function<void(const std::string& text)>;

    /// multimon-ng -f auto reports a page it cannot place as digits, text and
    /// Skyper text, in consecutive lines printed at once: digits wait this
    /// long for the text.
    static constexpr auto textFollowsWithin = std::chrono::milliseconds(50);
    /// Consecutive lines of one page further apart than this are new pages.
    static constexpr auto decodingsWithin = std::chrono::seconds(1);
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

    bool startFailed() const { return startFailed_; }

private:
    struct Skipped {
        long lines = 0;          // no page, beyond those noted
        long json = 0;           // reports in JSON
        long otherAddresses = 0; // not watched
        long toneOnly = 0;       // not named with --tone-only
        long alternatives = 0;   // other decodings of a page taken
    };

    void choose(Page page, bool followsTaken, Clock::time_point now);
    void deliver(const Page& page, Clock::time_point now);
    void sayCount(const char* when);

    RouterSettings settings_;
    Start start_;
    Note note_;
    RepeatFilter repeats_;
    std::optional<Page> waiting_; // a page's digits, until its text may follow
    std::optional<Page> taken_;   // the page last taken, whose other decodings are dropped
    Clock::time_point takenAt_;
    bool lastLineTaken_ = false; // the line before was taken_
    Skipped skipped_;
    Clock::time_point minuteStart_;
    int notedThisMinute_ = 0;
    bool jsonNoted_ = false;
    bool startFailed_ = false;
};

} // namespace kulverant
