#include "message/plain_text.h"
#include "message/unicode_text.h"

#include <gtest/gtest.h>

#include <algorithm>

#ifdef _WIN32
#include <windows.h>
#endif

namespace kulverant {
namespace {

TEST(UnicodeText, Utf16AndUtf8RoundTripWithoutLoss) {
    // Umlauts and characters beyond the BMP travel through every Windows row.
    const std::pair<std::u16string_view, std::string_view> cases[] = {
        {u"\u20ac\U0001F692", "\xe2\x82\xac\xf0\x9f\x9a\x92"},
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

#ifdef _WIN32
// WideCharToMultiByte as Windows answers it, where Wine does not: Microsoft's
// documentation names the code pages that refuse every flag but 0 (UTF-8 and
// GB18030 all but WC_ERR_INVALID_CHARS), and Windows refuses HZ too.
int WINAPI convertAsWindows(UINT codePage, DWORD flags, LPCWCH wide, int length, LPSTR bytes, int, LPCCH, LPBOOL) {
    const UINT refusing[] = {42,    50220, 50221, 50222, 50225, 50227, 50229, 52936, 54936, 57002, 57003,
                             57004, 57005, 57006, 57007, 57008, 57009, 57010, 57011, 65000, 65001};
    if (flags != 0 && std::ranges::find(refusing, codePage) != std::end(refusing)) {
        SetLastError(ERROR_INVALID_FLAGS);
        return 0;
    }
    for (int i = 0; bytes && i < length; ++i)
        bytes[i] = static_cast<char>(wide[i]);
    return length;
}

// Every save in such a code page failed with 75. One that cannot convert at
// all fails too, rather than write an empty file.
TEST(PlainText, ConvertsInEveryCodePageWindowsHas) {
    for (UINT codePage : {42u, 1252u, 50220u, 50229u, 52936u, 54936u, 57002u, 57011u, 65000u, 65001u}) {
        SCOPED_TRACE(codePage);
        EXPECT_TRUE(plainTextBytes("ZIZ: 123", codePage, convertAsWindows).has_value());
    }
    EXPECT_FALSE(plainTextBytes("Alarm", 12345).has_value());
}
#endif

} // namespace
} // namespace kulverant
