#include "message_text.h"

namespace kulverant {

std::string displayText(std::string_view argumentText) {
    std::string text;
    text.reserve(displayPrefix.size() + argumentText.size());
    text += displayPrefix;
    text += argumentText;
    return text;
}

std::optional<std::string_view> firstWord(std::string_view argumentText) {
    if (argumentText.empty())
        return std::nullopt;
    return argumentText.substr(0, argumentText.find(' '));
}

} // namespace kulverant
