#pragma once

#include "run_error.h"

#include <string>

namespace kulverant {

/// A system call's failure, already mapped to the program's error numbers.
struct SystemError {
    ErrorNumber number;
    std::string reason; // the system's own description
};

/// Maps a native error code (errno on POSIX, a Windows error code on Windows).
SystemError systemError(int code);

/// The calling thread's last native error. Read right after the failing call.
SystemError lastSystemError();

} // namespace kulverant
