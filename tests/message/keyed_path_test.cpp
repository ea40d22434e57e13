#include "message/keyed_path.h"

#include <gtest/gtest.h>

namespace kulverant {
namespace {

// The name rules of both platforms, as values, so that Windows' run on Linux
// too; the end-to-end cases run the common ones against real file systems.
TEST(KeyedPath, JoinsFirstWordUnchangedOrRefusesItWithError52) {
    using enum PathStyle;
    const std::tuple<PathStyle, std::string_view, bool> cases[] = {
        {Posix, "", true},           {Posix, "..", true},         {Posix, "a\\b", false},
        {Posix, {"a\0b", 3}, false}, {Windows, "CONSOLE", true},  {Windows, "COM10", true},
        {Windows, "con", false},     {Windows, "lpt9", false},    {Windows, "LPT0.x", false},
        {Windows, "COM\xc2\xb9", false}, {Windows, "conout$", false}, {Windows, "a\x01z", false},
        {Windows, "a<b", false},     {Windows, "a|b", false},     {Windows, "M\xc3\xbcll", true},
    };
    for (auto [style, word, accepted] : cases) {
        SCOPED_TRACE(std::string(word));
        std::string_view directory = style == Posix ? "/home/anna/Pocsag/" : "C:\\Pocsag\\";
        std::string expected = std::string(directory) + std::string(word) + ".txt";
        auto path = keyedMessagePath(directory, word, style);
        ASSERT_EQ(path.has_value(), accepted);
        if (accepted)
            EXPECT_EQ(*path, expected);
        else
            EXPECT_EQ(path.error().number, ErrorNumber::BadFileName);
    }
}

} // namespace
} // namespace kulverant
