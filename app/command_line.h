#pragma once

#include <string_view>

namespace kulverant {

/// The message in a Windows command line: everything after the program's own
/// name (quoted or not) and the blanks that follow it, kept exactly, quotes
/// included, so that the spacing inside the message survives.
std::u16string_view argumentTextFromCommandLine(std::u16string_view commandLine);

} // namespace kulverant
