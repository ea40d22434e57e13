#pragma once

#include <string>

namespace kulverant {

/// Shows the message window with text in its text area and returns the
/// program's exit status once the user has ended it. Where no window can be
/// shown, says so on standard error and returns a non-zero status at once.
int showMessageWindow(const char* programName, const std::string& text);

/// Shows a failure report in an error box where there is a screen to show it.
void showFailureBox(const char* programName, const std::string& report);

} // namespace kulverant
