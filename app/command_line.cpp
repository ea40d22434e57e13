#include "command_line.h"

namespace kulverant {

std::u16string_view argumentTextFromCommandLine(std::u16string_view commandLine) {
    auto isBlank = [](char16_t c) { return c == u' ' || c == u'\t'; };
    std::size_t i = 0;
    if (!commandLine.empty() && commandLine[0] == u'"') {
        std::size_t closing = commandLine.find(u'"', 1);
        i = closing == std::u16string_view::npos ? commandLine.size() : closing + 1;
    } else {
        while (i < commandLine.size() && !isBlank(commandLine[i]))
            ++i;
    }
    while (i < commandLine.size() && isBlank(commandLine[i]))
        ++i;
    return commandLine.substr(i);
}

} // namespace kulverant
