#include "plain_text.h"

#include "unicode_text.h"

#include <windows.h>

namespace kulverant {

// Windows readers of the message files expect the system's ANSI code page
// (umlauts as single bytes in Windows-1252). A character the code page lacks
// becomes the code page's own stand-in ('?'), never a look-alike: a best fit
// would turn '∕' into a path's '/' and 'α' into 'a', another text.
std::string plainTextBytes(std::string_view text) {
    std::wstring wide = wideFromUtf8(text);
    if (wide.empty())
        return {};
    int wideLength = static_cast<int>(wide.size());
    constexpr DWORD flags = WC_NO_BEST_FIT_CHARS;
    int length = WideCharToMultiByte(CP_ACP, flags, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, flags, wide.data(), wideLength, bytes.data(), length, nullptr, nullptr);
    return bytes;
}

} // namespace kulverant
