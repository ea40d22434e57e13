#include "plain_text.h"

#include "unicode_text.h"

#include <windows.h>

namespace kulverant {

// Windows readers of the message files expect the system's ANSI code page
// (umlauts as single bytes in Windows-1252). A character the code page lacks
// becomes the code page's own stand-in, as in any ANSI text file.
std::string plainTextBytes(std::string_view text) {
    std::wstring wide = wideFromUtf8(text);
    if (wide.empty())
        return {};
    int wideLength = static_cast<int>(wide.size());
    int length = WideCharToMultiByte(CP_ACP, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), wideLength, bytes.data(), length, nullptr, nullptr);
    return bytes;
}

} // namespace kulverant
