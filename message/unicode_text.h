#pragma once

#include <string>
#include <string_view>

namespace kulverant {

// Windows hands the program UTF-16 and takes UTF-16 paths; inside, text is
// UTF-8. An unpaired surrogate, which Windows allows in command lines and file
// names, is carried through as its own three-byte sequence, so nothing is lost
// or replaced on the way in and out.

/// The character of the UTF-8 sequence at text[i], advancing i past it; for a
/// byte that starts no valid sequence U+FFFD, advancing i by one. Encoded
/// surrogates count as characters, as utf8FromUtf16 writes them.
char32_t decodeUtf8(std::string_view text, std::size_t& i);

/// UTF-16 to UTF-8, keeping unpaired surrogates.
std::string utf8FromUtf16(std::u16string_view text);

/// UTF-8 to UTF-16; the inverse of utf8FromUtf16. A byte that starts no valid
/// sequence becomes U+FFFD.
std::u16string utf16FromUtf8(std::string_view text);

#ifdef _WIN32
/// UTF-8 to the wide strings that Windows' W functions take (UTF-16 there).
inline std::wstring wideFromUtf8(std::string_view text) {
    std::u16string wide = utf16FromUtf8(text);
    return std::wstring(wide.begin(), wide.end());
}
#endif

} // namespace kulverant
