#include "message/unicode_text.h"

#include <gtest/gtest.h>

namespace kulverant {
namespace {

TEST(UnicodeText, Utf16AndUtf8RoundTripWithoutLoss) {
    const std::pair<std::u16string_view, std::string_view> cases[] = {
        {u"ZIZ: 123", "ZIZ: 123"},
        {u"Gr\u00fc\u00dfe \u00c4", "Gr\xc3\xbc\xc3\x9f" "e \xc3\x84"},
        {u"\u20ac", "\xe2\x82\xac"},
        {u"\U0001F692", "\xf0\x9f\x9a\x92"},
        {std::u16string_view(u"a\xd800z", 3), "a\xed\xa0\x80z"},
        {std::u16string_view(u"\xdc00", 1), "\xed\xb0\x80"},
    };
    for (auto [utf16, utf8] : cases) {
        SCOPED_TRACE(utf8);
        EXPECT_EQ(utf8FromUtf16(utf16), utf8);
        EXPECT_EQ(utf16FromUtf8(utf8), utf16);
    }
}

TEST(UnicodeText, InvalidUtf8BecomesReplacementCharacters) {
    EXPECT_EQ(utf16FromUtf8("a\xff" "b"), u"a\ufffdb");
    EXPECT_EQ(utf16FromUtf8("\xc3"), u"\ufffd");
    EXPECT_EQ(utf16FromUtf8("\xc0\xaf"), u"\ufffd\ufffd");
    EXPECT_EQ(utf16FromUtf8("\xf4\x90\x80\x80"), u"\ufffd\ufffd\ufffd\ufffd");
}

} // namespace
} // namespace kulverant
