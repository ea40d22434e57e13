// The glue's logic on lines that neither the audio chain nor the generated
// channel produce: partial decodes, other demodulators, NUL bytes, the
// allow-list's syntax, failed starts and floods of lines.
#include "decoder/page_router.h"

#include <gtest/gtest.h>

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
        EXPECT_EQ(list->takes(Page{"POCSAG1200", address, function, PageKind::Alpha, "x"}), taken);
    }
    for (const char* malformed : {"", ",", "12,", "12345678", "2097152", "12:", "12:e", "12:A", "x12", "12 ", "12:a:b"}) {
        SCOPED_TRACE(malformed);
        EXPECT_FALSE(AddressList::parse(malformed).has_value());
    }
}

// Lines at the milliseconds given, with the starts they lead to and how many
// notes the glue writes. Which pages start, and in which order, the channel
// test checks against its generated answer.
struct Scenario {
    const char* name;
    std::vector<std::pair<int, std::string>> lines;
    std::vector<std::string> starts;
    int notes;
};

TEST(PageRouter, NotesWhatItSkipsWithoutFloodingAndRetriesAFailedStart) {
    std::vector<std::pair<int, std::string>> flood;
    for (int i = 0; i < 1000; ++i)
        flood.push_back({i * 50, "DTMF: 5"});
    const std::string fire = "POCSAG1200: Address:       5  Function: 3  Alpha:   Feuer";
    const Scenario scenarios[] = {
        {"a flood of lines that are no pages", flood, {}, 3 + 1},
        {"JSON, said at once", {{0, R"({"demod_name":"POCSAG1200","address":7})"}, {1, R"({"demod_name":"x"})"}}, {}, 2},
        {"a failed start does not count as seen", {{0, fire}, {9000, fire}}, {"5 Feuer", "5 Feuer"}, 0},
    };
    for (const Scenario& scenario : scenarios) {
        SCOPED_TRACE(scenario.name);
        std::vector<std::string> starts;
        int notes = 0;
        PageRouter* routing = nullptr;
        PageRouter router(
            RouterSettings{},
            [&](const std::string& message) {
                starts.push_back(message);
                if (starts.size() == 1)
                    routing->startFailed(message);
            },
            [&](const std::string&) { ++notes; });
        routing = &router;
        PageRouter::Clock::time_point origin;
        for (const auto& [milliseconds, text] : scenario.lines) {
            auto now = origin + std::chrono::milliseconds(milliseconds);
            while (router.wakeAt() && *router.wakeAt() <= now)
                router.wake(*router.wakeAt());
            router.line(text, now);
        }
        router.finish();
        EXPECT_EQ(starts, scenario.starts);
        EXPECT_EQ(notes, scenario.notes);
    }
}

} // namespace
} // namespace kulverant
