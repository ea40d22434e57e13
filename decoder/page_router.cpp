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

// A numeric page read as text shows control marks, as <DC1><EOT> for "112",
// or nothing but them; a text page read as digits shows the digits' odd
// signs U [ ].
const Page& likelier(const Page& digits, const Page& text) {
    bool textIsGarbled = text.text.empty() || holdsControlMarks(text.text);
    bool digitsAreGarbled = digits.text.find_first_of("U[]") != std::string::npos;
    return textIsGarbled && !digitsAreGarbled ? digits : text;
}

} // namespace

PageRouter::PageRouter(RouterSettings settings, Start start, Note note)
    : settings_(std::move(settings)), start_(std::move(start)), note_(std::move(note)) {}

// Whether page is another reading of the page whose readings are gathered:
// the same address and function, in a later kind than the last, and the same
// bits. Anything else is a page of its own, as a text after its tone-only call.
bool PageRouter::continues(const Page& page) const {
    const Page& last = decodings_.back();
    return last.demodulator == page.demodulator && last.address == page.address &&
           last.function == page.function && decodingRank(last.printedAs) < decodingRank(page.printedAs) &&
           std::ranges::all_of(decodings_, [&](const Page& reading) { return readingsAgree(reading, page); });
}

void PageRouter::line(std::string_view text, Clock::time_point now) {
    wake(now);
    std::optional<Page> page = parsePageLine(text);
    if (!decodings_.empty() && !(page && continues(*page)))
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
    } else if (settings_.severalDecodings && (!decodings_.empty() || page->kind != PageKind::ToneOnly)) {
        // A reading of fill alone that continues a page belongs to it: the
        // numeric page "112" reads as the text <DC1><EOT>.
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
        auto found = std::ranges::find(decodings_, kind, &Page::printedAs);
        return found == decodings_.end() ? nullptr : &*found;
    };
    const Page* digits = find(PageKind::Numeric);
    const Page* text = find(PageKind::Alpha);
    if (digits && digits->kind != PageKind::Numeric)
        digits = nullptr; // digits of fill alone
    const Page& chosen = digits && text ? likelier(*digits, *text) : text ? *text : digits ? *digits : decodings_[0];
    skipped_.alternatives += static_cast<long>(decodings_.size()) - 1;
    deliver(chosen, decodingsAt_);
    decodings_.clear();
}

void PageRouter::deliver(const Page& page, Clock::time_point now) {
    if (page.kind == PageKind::ToneOnly && !settings_.toneOnly.takes(page))
        ++skipped_.toneOnly;
    else
        start_(messageForPage(page), now);
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
