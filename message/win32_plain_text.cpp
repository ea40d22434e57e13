#include "plain_text.h"

#include "unicode_text.h"

#include <windows.h>

namespace kulverant {

namespace {

// Windows refuses WC_NO_BEST_FIT_CHARS for these code pages, failing every
// conversion: UTF-8 and GB18030, which have every character's bytes anyway,
// and ISO-2022, HZ, ISCII, UTF-7 and Symbol. Wine accepts it for all of them.
bool refusesNoBestFit(unsigned codePage) {
    return codePage == 42 || (codePage >= 50220 && codePage <= 50229) || codePage == 52936 || codePage == 54936 ||
           (codePage >= 57002 && codePage <= 57011) || codePage == 65000 || codePage == CP_UTF8;
}

} // namespace

// Windows readers of the message files expect the system's ANSI code page
// (umlauts as single bytes in Windows-1252). A character the code page lacks
// becomes the code page's own stand-in ('?'), never a look-alike: a best fit
// would turn '∕' into a path's '/' and 'α' into 'a', another text. Where the
// ANSI code page is UTF-8 (a system option since Windows 10, or a manifest's
// activeCodePage), every character has its bytes.
Expected<std::string, SystemError> plainTextBytes(std::string_view text) {
    return plainTextBytes(text, GetACP());
}

Expected<std::string, SystemError> plainTextBytes(std::string_view text, unsigned codePage, WideToMultiByte convert) {
    if (!convert)
        convert = WideCharToMultiByte;
    std::wstring wide = wideFromUtf8(text);
    if (wide.empty())
        return std::string();
    const DWORD flags = refusesNoBestFit(codePage) ? 0 : WC_NO_BEST_FIT_CHARS;
    int wideLength = static_cast<int>(wide.size());
    int length = convert(codePage, flags, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    if (length <= 0)
        return Unexpected(lastSystemError());
    std::string bytes(static_cast<std::size_t>(length), '\0');
    if (convert(codePage, flags, wide.data(), wideLength, bytes.data(), length, nullptr, nullptr) != length)
        return Unexpected(lastSystemError());
    return bytes;
}

} // namespace kulverant
