#pragma once

#include <string>
#include <string_view>

namespace kulverant {

/// The bytes of a plain-text save of text (UTF-8 inside the program), in the
/// encoding that readers of the message files expect on this platform.
std::string plainTextBytes(std::string_view text);

} // namespace kulverant
