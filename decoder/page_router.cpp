#include "page_router.h"

#include "message/run_error.h"

#include <algorithm>
#include <utility>

namespace kulverant {

namespace {

// The order in which multimon-ng -f auto prints a page's decodings.
int decodingRank(PageKind kind) {
    return kind == PageKind::Numeric ? 0 : kind == PageKind::Alpha ? 1 : 2;
}

// Whether page continues the decodings of one transmission: the same page
// in a decoding that follows the last one's. Anything else is a page of its
// own, even with the same address, as a text that follows its tone-only call.
bool continues(const std::vector<Page>& decodings, const Page& page) {
    const Page& last = decodings.back();
    return page.kind != PageKind::ToneOnly && last.demodulator == page.demodulator && last.address == page.address &&
           last.function == page.function && decodingRank(last.kind) < decodingRank(page.kind);
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
    std::optional<Page> page = parsePageLine(text);
    if (!decodings_.empty() && !(page && continues(decodings_, *page)))
        startDecodings();
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
    if (settings_.watched && !settings_.watched->takes(*page)) {
        ++skipped_.otherAddresses;
    } else if (page->kind == PageKind::ToneOnly && !settings_.toneOnly.takes(*page)) {
        ++skipped_.toneOnly;
    } else if (settings_.severalDecodings && page->kind != PageKind::ToneOnly) {
        if (decodings_.empty())
            decodingsAt_ = now;
        decodings_.push_back(std::move(*page));
    } else {
        deliver(*page, now);
    }
}

// multimon-ng -f auto prints a page it cannot place as digits, then as text,
// then as Skyper text, leaving out those it rules out. Of digits and text
// the likelier is started; the other decodings are counted.
void PageRouter::startDecodings() {
    auto find = [&](PageKind kind) {
        auto found = std::ranges::find(decodings_, kind, &Page::kind);
        return found == decodings_.end() ? nullptr : &*found;
    };
    const Page* digits = find(PageKind::Numeric);
    const Page* text = find(PageKind::Alpha);
    const Page& chosen = digits && text ? likelier(*digits, *text) : text ? *text : digits ? *digits : decodings_[0];
    skipped_.alternatives += static_cast<long>(decodings_.size()) - 1;
    deliver(chosen, decodingsAt_);
    decodings_.clear();
}

void PageRouter::deliver(const Page& page, Clock::time_point now) {
    std::string message = messageForPage(page);
    if (repeats_.isRepeat(message, now))
        return;
    repeats_.remember(message, now);
    start_(message);
}

void PageRouter::startFailed(const std::string& message) {
    repeats_.forget(message);
}

std::optional<PageRouter::Clock::time_point> PageRouter::wakeAt() const {
    std::optional<Clock::time_point> at;
    if (!decodings_.empty())
        at = decodingsAt_ + decodingsWithin;
    const Skipped& s = skipped_;
    if (s.lines || s.json || s.otherAddresses || s.toneOnly || s.alternatives)
        at = std::min(at.value_or(Clock::time_point::max()), minuteStart_ + std::chrono::minutes(1));
    return at;
}

void PageRouter::wake(Clock::time_point now) {
    if (!decodings_.empty() && now - decodingsAt_ >= decodingsWithin)
        startDecodings();
    if (now - minuteStart_ >= std::chrono::minutes(1)) {
        sayCount("in der letzten Minute");
        minuteStart_ = now;
        notedThisMinute_ = 0;
    }
}

void PageRouter::finish() {
    if (!decodings_.empty())
        startDecodings();
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
