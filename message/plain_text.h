#pragma once

#include "system_error.h"

#include "expected.h"
#include <string>
#include <string_view>

namespace kulverant {

/// The bytes of a plain-text save of text (UTF-8 inside the program), in the
/// encoding that readers of the message files expect on this platform. A text
/// that cannot be converted is an error, never an empty file.
Expected<std::string, SystemError> plainTextBytes(std::string_view text);

#ifdef _WIN32
/// WideCharToMultiByte's type, spelt without <windows.h>.
using WideToMultiByte = int(__stdcall*)(unsigned, unsigned long, const wchar_t*, int, char*, int, const char*, int*);

/// The same for a given Windows code page rather than the system's, converted
/// by convert (WideCharToMultiByte unless a test stands in for it).
Expected<std::string, SystemError> plainTextBytes(std::string_view text, unsigned codePage,
                                                  WideToMultiByte convert = nullptr);
#endif

} // namespace kulverant
