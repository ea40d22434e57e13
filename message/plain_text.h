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
/// The same for a given Windows code page rather than the system's.
Expected<std::string, SystemError> plainTextBytes(std::string_view text, unsigned codePage);
#endif

} // namespace kulverant
