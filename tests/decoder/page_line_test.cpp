// The glue's logic on lines that neither the audio chain nor the generated
// channel produce: partial decodes, other demodulators, NUL bytes, the
// allow-list's syntax, failed starts and floods of lines.
#include "decoder/page_router.h"
#include "decoder/start_queue.h"

#include <gtest/gtest.h>

#include <map>

namespace kulverant {
namespace {

TEST(PageLine, TakesPocsagPagesAndNothingElse) {
    using namespace std::literals;
    const std::pair<std::string_view, std::optional<std::string_view>> cases[] = {
        {"POCSAG1200: Address: 1234567  Function: 3  Alpha:   Alarm  Wache<NUL><EOT> <NUL>", "1234567 Alarm  Wache"},
        {"POCSAG1200: Address:      42  Function: 3  Alpha:    Vorne blank<LF>hinten", "42  Vorne blank<LF>hinten"},
        {"POCSAG2400: Address:       8  Function: 1  Skyper:  Text", "8 Text"},
        {"POCSAG1200: Address:       7  Function: 3  Alpha:   <NUL><NUL>", "7 Tonruf Funktion 3"},
        {"Funk: 2026-12-07 20:33:43: POCSAG1200: Address:     5  Function: 3  Alpha:   Gr\xfc\xdf", "5 Gr\xfc\xdf"},
        {"POCSAG512: Address:       8  Function: 3  Certainty:    -5  Alpha:   Alarm", "8 Alarm"},
        {"POCSAG1200: Address:       9  Function: 3  Alpha:   a\0b\0"sv, "9 a<NUL>b"},
        {"POCSAG1200: Address:       -  Function: 3  Alpha:   Teil", std::nullopt},
        {"POCSAG1200: Address: 12345678  Function: 3  Alpha:   x", std::nullopt},
        {"POCSAG1200: Address:       7  Function: 4  Alpha:   x", std::nullopt},
        {"POCSAG1200: Address:       7  Function: 3  Beta:   x", std::nullopt},
        {"FLEX: 2026-12-07 20:33:43 1600/2/K/A 10.120 [001234567] ALN Alarm", std::nullopt},
        {"", std::nullopt},
    };
    for (auto [line, message] : cases) {
        SCOPED_TRACE(line);
        std::optional<Page> page = parsePageLine(line);
        ASSERT_EQ(page.has_value(), message.has_value());
        if (page) {
            EXPECT_EQ(messageForPage(*page), *message);
        }
    }
}

TEST(AddressList, TakesTheListedAddressesAndFunctions) {
    std::optional<AddressList> list = AddressList::parse("1234567:a,0042:bd,2097151");
    ASSERT_TRUE(list.has_value());
    const std::tuple<const char*, int, bool> pages[] = {
        {"1234567", 0, true}, {"1234567", 1, false}, {"42", 3, true}, {"42", 2, false}, {"2097151", 2, true},
    };
    for (auto [address, function, taken] : pages) {
        SCOPED_TRACE(std::string(address) + " " + std::to_string(function));
        EXPECT_EQ(list->takes(Page{"POCSAG1200", address, function, PageKind::Alpha, "x", PageKind::Alpha, "x"}), taken);
    }
    for (const char* malformed : {"", ",", "12,", "12345678", "2097152", "12:", "12:e", "12:A", "x12", "12 ", "12:a:b"}) {
        SCOPED_TRACE(malformed);
        EXPECT_FALSE(AddressList::parse(malformed).has_value());
    }
}

// Readings of one page as multimon-ng 1.2.0 -f auto printed them, and lines
// that only look alike.
TEST(PageLine, TellsReadingsOfTheSameBits) {
    const std::string head = "POCSAG1200: Address:      99  Function: 0  ";
    const std::tuple<const char*, const char*, bool> pairs[] = {
        {"Numeric: 112  ", "Alpha:   <DC1><EOT>", true},
        {"Alpha:   <DC1><EOT>", "Skyper:  <DLE><ETX>", true},
        {"Numeric: 6 81869 ]27.--26978--4600", "Alpha:   F1 Kleinbrand<NUL>", true},
        {"Alpha:   F1 Kleinbrand<NUL>", "Skyper:  E0<US>Jkdhmaq`mc<DEL>", true},
        {"Numeric: U5]677[ []U[18060000", "Alpha:   \xc3\x84\xc3\x96\xc3\x9c\xc3\xa4\xc3\xb6\xc3\xbc\xc3\x9f@`<NUL><NUL>", true},
        {"Numeric: 112  ", "Alpha:   F1 Kleinbrand<NUL>", false},
        {"Numeric: 6 81869 ]27.--26978--460", "Alpha:   F1 Kleinbrand<NUL>", false}, // cut short
        {"Numeric: 16130", "Alpha:   ab<NUL>", false},
        {"Alpha:   F1 Kleinbrand<NUL>", "Skyper:  E0<US>Jkdhmaq`mc", false},
        {"Numeric: 14000", "Alpha:   \xc3\xa9<NUL>", false}, // another character set
    };
    for (auto [one, other, agree] : pairs) {
        SCOPED_TRACE(std::string(one) + " ~ " + other);
        std::optional<Page> a = parsePageLine(head + one), b = parsePageLine(head + other);
        ASSERT_TRUE(a && b);
        EXPECT_EQ(readingsAgree(*a, *b), agree);
        EXPECT_EQ(readingsAgree(*b, *a), agree);
    }
}

// Lines at the milliseconds given, with the starts they lead to and how many
// notes the glue writes; every start must come within the wait for a page's
// other readings. Which pages start, and in which order, the channel test
// checks against its generated answer.
struct Scenario {
    const char* name;
    bool severalDecodings;
    std::vector<std::pair<int, std::string>> lines;
    std::vector<std::string> starts;
    int notes;
};

TEST(PageRouter, MergesOnlyReadingsOfOnePageAndNotesWithoutFlooding) {
    std::vector<std::pair<int, std::string>> flood;
    for (int i = 0; i < 1000; ++i)
        flood.push_back({i * 50, "DTMF: 5"});
    const std::string to99 = "POCSAG1200: Address:      99  Function: 0  ";
    const std::string other = "POCSAG1200: Address:      98  Function: ";
    const Scenario scenarios[] = {
        {"a flood of lines that are no pages", false, flood, {}, 3 + 1},
        {"JSON, said at once", false, {{0, R"({"demod_name":"POCSAG1200","address":7})"}, {1, R"({"demod_name":"x"})"}}, {}, 2},
        {"digits whose text reads as fill alone", true, {{0, to99 + "Numeric: 112  "}, {0, to99 + "Alpha:   <DC1><EOT>"},
         {0, to99 + "Skyper:  <DLE><ETX>"}}, {"99 112"}, 1},
        {"digits, then another page's text within the wait", true,
         {{0, to99 + "Numeric: 112  "}, {10, to99 + "Alpha:   ab<NUL>"}}, {"99 112", "99 ab"}, 0},
        {"the same bits to another address and function: other pages", true, {{0, to99 + "Numeric: 112  "},
         {0, other + "0  Alpha:   <DC1><EOT>"}, {0, other + "1  Skyper:  <DLE><ETX>"}},
         {"99 112", "98 Tonruf Funktion 0", "98 Tonruf Funktion 1"}, 0},
        {"a tone-only call, then its text", true, {{0, to99.substr(0, to99.size() - 1)},
         {0, to99 + "Numeric: 16130"}, {0, to99 + "Alpha:   ab"}}, {"99 Tonruf Funktion 0", "99 ab"}, 1},
        {"a page's readings alone on a quiet channel", true, {{0, to99 + "Numeric: 6 81869 ]27.--26978--4600"},
         {0, to99 + "Alpha:   F1 Kleinbrand<NUL>"}, {300000, "DTMF: 5"}}, {"99 F1 Kleinbrand"}, 2},
    };
    for (const Scenario& scenario : scenarios) {
        SCOPED_TRACE(scenario.name);
        std::vector<std::string> starts;
        int notes = 0;
        PageRouter::Clock::time_point origin, current;
        RouterSettings settings;
        settings.severalDecodings = scenario.severalDecodings;
        settings.toneOnly = *AddressList::parse("99,98");
        PageRouter router(
            settings,
            [&](const std::string& message, PageRouter::Clock::time_point decodedAt) {
                starts.push_back(message);
                EXPECT_LE(current - decodedAt, PageRouter::decodingsWithin) << message;
            },
            [&](const std::string&) { ++notes; });
        for (const auto& [milliseconds, text] : scenario.lines) {
            auto now = origin + std::chrono::milliseconds(milliseconds);
            while (router.wakeAt() && *router.wakeAt() <= now)
                router.wake(current = *router.wakeAt());
            router.line(text, current = now);
        }
        router.finish();
        EXPECT_EQ(starts, scenario.starts);
        EXPECT_EQ(notes, scenario.notes);
    }
}

// Pages queued at the seconds given, and whether their start works: a
// repeat is passed over only once its original has started, and only a
// start opens the window.
TEST(StartQueue, PassesOverRepeatsOfStartedPagesOnly) {
    struct Row {
        const char* name;
        std::vector<std::tuple<int, const char*, bool>> pages;
        std::vector<std::string> started;
    };
    const Row rows[] = {
        {"a repeat behind its original", {{0, "5 Feuer", true}, {1, "5 Feuer", true}}, {"5 Feuer"}},
        {"the original fails: its repeat delivers it",
         {{0, "222 Feuer", false}, {1, "222 Feuer", true}, {2, "222 Feuer", true}}, {"222 Feuer"}},
        {"a repeat does not renew the window",
         {{0, "7 Alarm", true}, {8, "7 Alarm", true}, {16, "7 Alarm", true}, {20, "7 Alarm", true}}, {"7 Alarm", "7 Alarm"}},
        {"other pages between", {{0, "1 a", true}, {1, "2 b", true}, {2, "1 a", true}}, {"1 a", "2 b"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        StartQueue queue(std::chrono::seconds(10));
        std::map<StartQueue::Clock::time_point, bool> works; // by the time the page was decoded
        for (auto [seconds, message, startWorks] : row.pages) {
            StartQueue::Clock::time_point at{std::chrono::seconds(seconds)};
            queue.push(message, at);
            works[at] = startWorks;
        }
        std::vector<std::string> started;
        while (std::optional<StartQueue::Entry> entry = queue.next())
            if (works[entry->decodedAt]) {
                queue.started(*entry);
                started.push_back(entry->message);
            }
        EXPECT_EQ(started, row.started);
    }
}

} // namespace
} // namespace kulverant
