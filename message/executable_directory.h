#pragma once

#include <string>

namespace kulverant {

/// The folder that holds the running program, without a trailing '/', or
/// nothing where that cannot be read (no /proc). Never the current folder:
/// what the program finds from here must not be anybody's planted file.
std::string executableDirectory();

} // namespace kulverant
