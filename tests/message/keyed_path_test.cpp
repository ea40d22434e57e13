#include "message/keyed_path.h"

#include <gtest/gtest.h>

namespace kulverant {
namespace {

constexpr std::string_view posixDirectory = "/home/anna/Pocsag/";
constexpr std::string_view windowsDirectory = "C:\\Pocsag\\";

struct PathCase {
    const char* name;
    PathStyle style;
    std::string_view firstWord;
    bool accepted;
};

TEST(KeyedPath, JoinsFirstWordUnchangedOrRefusesItWithError52) {
    using enum PathStyle;
    const PathCase cases[] = {
        {"digits", Posix, "123", true},
        {"empty word", Posix, "", true},
        {"own base name", Posix, "Kulverant", true},
        {"tab", Posix, "12\tx", true},
        {"dots only", Posix, "..", true},
        {"colon on posix", Posix, "a:b", true},
        {"device name on posix", Posix, "NUL", true},
        {"slash", Posix, "../../.bashrc", false},
        {"backslash on posix", Posix, "a\\b", false},
        {"nul byte", Posix, std::string_view("a\0b", 3), false},
        {"windows digits", Windows, "123", true},
        {"windows umlaut", Windows, "M\xc3\xbc" "ll", true},
        {"device name's prefix", Windows, "CONSOLE", true},
        {"device with digit ten", Windows, "COM10", true},
        {"windows slash", Windows, "a/b", false},
        {"windows backslash", Windows, "..\\x", false},
        {"drive or stream colon", Windows, "a:b", false},
        {"NUL", Windows, "NUL", false},
        {"con lower case", Windows, "con", false},
        {"device before a dot", Windows, "Aux.log", false},
        {"LPT9", Windows, "lpt9", false},
        {"superscript COM", Windows, "COM\xc2\xb9", false},
    };
    for (const PathCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::string_view directory = c.style == Posix ? posixDirectory : windowsDirectory;
        std::string expected = std::string(directory) + std::string(c.firstWord) + ".txt";
        auto path = keyedMessagePath(directory, c.firstWord, c.style);
        if (c.accepted) {
            ASSERT_TRUE(path.has_value()) << path.error().reason;
            EXPECT_EQ(*path, expected);
        } else {
            ASSERT_FALSE(path.has_value());
            EXPECT_EQ(path.error().number, ErrorNumber::BadFileName);
            EXPECT_EQ(path.error().path, expected);
            EXPECT_FALSE(path.error().reason.empty());
        }
    }
}

TEST(KeyedPath, FixedFileLiesInTheMessageDirectory) {
    EXPECT_EQ(fixedMessagePath(windowsDirectory), "C:\\Pocsag\\Kulverant.txt");
}

} // namespace
} // namespace kulverant
