#pragma once

#include "message/run_error.h"

#include "message/expected.h"
#include <string>
#include <string_view>

namespace kulverant {

/// The message as the platform hands it to the program, as one string: on
/// Windows read from the command line itself, elsewhere from the arguments.
#ifdef _WIN32
std::string argumentText();
#else
std::string argumentText(int argc, char** argv);
#endif

/// The message directory, ending in its separator. It is never created here:
/// a missing directory is reported when the first file is saved into it.
Expected<std::string, RunError> messageDirectory();

/// Runs the load sequence on the message, then shows the window; returns the
/// program's exit status.
int runProgram(const char* programName, std::string_view argumentText);

/// Closes standard output, so that a caller who reads it learns that the
/// files are written (or that writing them failed) without waiting for the
/// window.
void releaseStandardOutput();

/// Tells the user that the start failed: always on standard error, so that a
/// decoder's log keeps it, and in a message box where there is a screen.
void reportFailure(const char* programName, const RunError& error);

} // namespace kulverant
