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
        {Windows, "a\x01z", false},  {Windows, "a<b", false},     {Windows, "a|b", false},
        {Windows, "M\xc3\xbcll", true},
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

// Windows would write the message into the device, in any case and before
// any dot; a Linux file of that name is an ordinary file.
TEST(KeyedPath, WindowsRefusesEveryDeviceNameBareAndBeforeADot) {
    std::vector<std::string> devices = {"CON", "prn", "Aux", "nul", "CONIN$", "conout$"};
    for (std::string port : {"COM", "lpt"})
        for (std::string digit : {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "\xc2\xb9", "\xc2\xb2", "\xc2\xb3"})
            devices.push_back(port + digit);
    for (const std::string& device : devices)
        for (const std::string& word : {device, device + ".txt", device + ".log.1"}) {
            SCOPED_TRACE(word);
            EXPECT_FALSE(keyedMessagePath("C:\\Pocsag\\", word, PathStyle::Windows).has_value());
            EXPECT_TRUE(keyedMessagePath("/home/anna/Pocsag/", word, PathStyle::Posix).has_value());
        }
}

// The file that a name reaches, as the directory lists it: only its own long
// name may be written, never another file reached by that one's 8.3 name.
TEST(KeyedPath, RefusesTheShortNameOfAnotherFile) {
    using enum PathStyle;
    const std::tuple<PathStyle, std::string_view, std::string_view, std::string_view, bool> cases[] = {
        {Windows, "1234~Y4T.txt", "1234567890.txt", "1234~Y4T.TXT", true},
        {Windows, "1234~y4t.TXT", "1234567890.txt", "1234~Y4T.TXT", true},
        {Windows, "123.txt", "123.txt", "", false},
        {Windows, "ABC.TXT", "abc.txt", "ABC.TXT", false},
        {Windows, "\xc3\x84RGER~1.TXT", "\xc3\xa4rger~1.txt", "\xc3\x84RGER~1.TXT", false},
        {Posix, "1234~Y4T.txt", "1234567890.txt", "1234~Y4T.TXT", false},
    };
    for (auto [style, requested, longName, shortName, refused] : cases) {
        SCOPED_TRACE(std::string(requested));
        EXPECT_EQ(!shortNameRefusal(requested, longName, shortName, style).empty(), refused);
    }
}

} // namespace
} // namespace kulverant
