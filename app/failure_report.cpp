#include "startup.h"

#include "window/message_window.h"

#include <cstdio>

namespace kulverant {

void reportFailure(const char* programName, const RunError& error) {
    std::fprintf(stderr, "%s\n", formatReport(error).c_str());
    std::fflush(stderr);
    showFailureBox(programName, formatBoxReport(error));
}

} // namespace kulverant
