#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kulverant {

inline constexpr std::string_view displayPrefix = "ZIZ: ";

/// "ZIZ: " followed by the whole argument text, unchanged.
std::string displayText(std::string_view argumentText);

/// Field 0 of the argument text split at every blank (U+0020, nothing else):
/// the text up to the first blank, empty for a leading blank. An empty
/// argument text has no fields at all, so it has no first word.
std::optional<std::string_view> firstWord(std::string_view argumentText);

} // namespace kulverant
