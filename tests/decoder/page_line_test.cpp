// Lines that the audio chain does not produce: partial decodes, other
// demodulators, fill in the middle of a text, bytes that are not UTF-8, and
// repeats at the window's edge.
#include "decoder/page_line.h"
#include "decoder/repeat_filter.h"

#include <gtest/gtest.h>

namespace kulverant {
namespace {

TEST(PageLine, TakesPocsagPagesAndNothingElse) {
    const std::pair<std::string_view, std::optional<std::string_view>> cases[] = {
        {"POCSAG1200: Address: 1234567  Function: 3  Alpha:   Alarm  Wache<NUL><EOT> <NUL>", "1234567 Alarm  Wache"},
        {"POCSAG1200: Address:      42  Function: 3  Alpha:    Vorne blank<LF>hinten", "42  Vorne blank<LF>hinten"},
        {"POCSAG2400: Address:       8  Function: 1  Skyper:  Text", "8 Text"},
        {"POCSAG1200: Address:       7  Function: 3  Alpha:   <NUL><NUL>", "7 Tonruf Funktion 3"},
        {"Funk: 2026-12-07 20:33:43: POCSAG1200: Address:     5  Function: 3  Alpha:   Gr\xfc\xdf", "5 Gr\xfc\xdf"},
        {"POCSAG1200: Address:       -  Function: 3  Alpha:   Teil", std::nullopt},
        {"POCSAG1200: Address: 12345678  Function: 3  Alpha:   x", std::nullopt},
        {"POCSAG1200: Address:       7  Function: 4  Alpha:   x", std::nullopt},
        {"POCSAG1200: Address:       7  Function: 3  Beta:   x", std::nullopt},
        {"FLEX: 2026-12-07 20:33:43 1600/2/K/A 10.120 [001234567] ALN Alarm", std::nullopt},
        {"ZVEI1: 12345", std::nullopt},
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

TEST(RepeatFilter, LetsAPageThroughOncePerWindow) {
    using namespace std::chrono_literals;
    RepeatFilter::Clock::time_point start;
    RepeatFilter filter(10s);
    EXPECT_TRUE(filter.letThrough("5 Feuer", start));
    EXPECT_FALSE(filter.letThrough("5 Feuer", start + 9s));
    EXPECT_TRUE(filter.letThrough("6 Feuer", start + 9s));
    EXPECT_TRUE(filter.letThrough("5 Feuer!", start + 9s));
    EXPECT_TRUE(filter.letThrough("5 Feuer", start + 10s));
}

} // namespace
} // namespace kulverant
