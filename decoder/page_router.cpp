#include "page_router.h"

#include "message/run_error.h"

#include <algorithm>
#include <utility>

namespace kulverant {

namespace {

// Two reports of one transmission, decoded in two ways.
bool otherDecoding(const Page& a, const Page& b) {
    return a.demodulator == b.demodulator && a.address == b.address && a.function == b.function && a.kind != b.kind;
}

// A numeric page read as text shows control marks, as <DC1><EOT> for "112";
// a text page read as digits shows the digits' odd signs U [ ].
const Page& likelier(const Page& digits, const Page& text) {
    bool textIsGarbled = holdsControlMarks(text.text);
    bool digitsAreGarbled = digits.text.find_first_of("U[]") != std::string::npos;
    return textIsGarbled && !digitsAreGarbled ? digits : text;
}

} // namespace

PageRouter::PageRouter(RouterSettings settings, Start start, Note note)
    : settings_(std::move(settings)), start_(std::move(start)), note_(std::move(note)),
      repeats_(settings_.repeatWindow) {}

void PageRouter::line(std::string_view text, Clock::time_point now) {
    wake(now);
    bool followsTaken = std::exchange(lastLineTaken_, false);
    std::optional<Page> page = parsePageLine(text);
    if (!page) {
        if (isJsonReport(text)) {
            ++skipped_.json;
            if (!std::exchange(jsonNoted_, true))
                note_("multimon-ng schreibt JSON (--json), das hier nicht gelesen wird: multimon-ng ohne --json "
                      "starten");
        } else if (notedThisMinute_ < notesPerMinute) {
            ++notedThisMinute_;
            note_("übersprungen: " + quotedForReport(text));
        } else {
            ++skipped_.lines;
        }
        return;
    }
    if (settings_.watched && !settings_.watched->takes(*page))
        ++skipped_.otherAddresses;
    else if (page->kind == PageKind::ToneOnly && !settings_.toneOnly.takes(*page))
        ++skipped_.toneOnly;
    else
        choose(std::move(*page), followsTaken, now);
}

// multimon-ng -f auto reports a page it cannot place as digits, then as text,
// then as Skyper text, each in a line of its own, one after the other. Digits
// wait briefly for the text; of the two, the likelier is started, and the
// other decodings of the page are counted and dropped. Without -f every page
// comes once.
void PageRouter::choose(Page page, bool followsTaken, Clock::time_point now) {
    lastLineTaken_ = true;
    if (followsTaken && now - takenAt_ < decodingsWithin && otherDecoding(page, *taken_)) {
        ++skipped_.alternatives;
        if (waiting_ && page.kind == PageKind::Alpha) {
            Page chosen = likelier(*waiting_, page);
            waiting_.reset();
            taken_ = std::move(page);
            deliver(chosen, now);
        }
        return;
    }
    taken_ = page;
    takenAt_ = now;
    if (page.kind == PageKind::Numeric)
        waiting_ = std::move(page);
    else
        deliver(page, now);
}

void PageRouter::deliver(const Page& page, Clock::time_point now) {
    std::string message = messageForPage(page);
    if (repeats_.isRepeat(message, now))
        return;
    if (start_(message))
        repeats_.remember(message, now);
    else
        startFailed_ = true;
}

std::optional<PageRouter::Clock::time_point> PageRouter::wakeAt() const {
    std::optional<Clock::time_point> at;
    if (waiting_)
        at = takenAt_ + textFollowsWithin;
    const Skipped& s = skipped_;
    if (s.lines || s.json || s.otherAddresses || s.toneOnly || s.alternatives)
        at = std::min(at.value_or(Clock::time_point::max()), minuteStart_ + std::chrono::minutes(1));
    return at;
}

void PageRouter::wake(Clock::time_point now) {
    if (waiting_ && now - takenAt_ >= textFollowsWithin)
        deliver(*std::exchange(waiting_, std::nullopt), now);
    if (now - minuteStart_ >= std::chrono::minutes(1)) {
        sayCount("in der letzten Minute");
        minuteStart_ = now;
        notedThisMinute_ = 0;
    }
}

void PageRouter::finish() {
    if (waiting_)
        deliver(*std::exchange(waiting_, std::nullopt), takenAt_);
    sayCount("bis zum Ende der Eingabe");
}

void PageRouter::sayCount(const char* when) {
    std::string text;
    auto add = [&](long count, const char* what) {
        if (count)
            text += std::string(text.empty() ? "" : "; ") + what + ": " + std::to_string(count);
    };
    add(skipped_.lines, "weitere Zeilen ohne Seite");
    add(skipped_.json, "Zeilen in JSON");
    add(skipped_.otherAddresses, "Seiten an nicht genannte RICs");
    add(skipped_.toneOnly, "Tonrufe an RICs ohne --tone-only");
    add(skipped_.alternatives, "weitere Lesarten einer Seite");
    if (!text.empty())
        note_(std::string("übersprungen ") + when + ": " + text);
    skipped_ = {};
}

} // namespace kulverant
