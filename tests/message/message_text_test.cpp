#include "message/message_text.h"

#include <gtest/gtest.h>

namespace kulverant {
namespace {

struct TextCase {
    const char* name;
    std::string_view argumentText;
    std::string_view displayText;
    std::optional<std::string_view> firstWord;
};

TEST(MessageText, DisplayTextKeepsArgumentsAndFirstWordEndsAtFirstBlank) {
    const TextCase cases[] = {
        {"words", "123 Alarm Wache", "ZIZ: 123 Alarm Wache", "123"},
        {"one word", "ABC", "ZIZ: ABC", "ABC"},
        {"leading blank", " 123 x", "ZIZ:  123 x", ""},
        {"two blanks inside", "12  x", "ZIZ: 12  x", "12"},
        {"trailing blank", "12 ", "ZIZ: 12 ", "12"},
        {"tab is no delimiter", "12\tx y", "ZIZ: 12\tx y", "12\tx"},
        {"case kept", "Abc def", "ZIZ: Abc def", "Abc"},
        {"umlauts", "Stra\xc3\x9f" "e \xc3\xa4", "ZIZ: Stra\xc3\x9f" "e \xc3\xa4", "Stra\xc3\x9f" "e"},
        {"empty", "", "ZIZ: ", std::nullopt},
    };
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(displayText(c.argumentText), c.displayText);
        EXPECT_EQ(firstWord(c.argumentText), c.firstWord);
    }
}

} // namespace
} // namespace kulverant
