#include "startup.h"

#include "window/message_window.h"

#include <cstdio>

namespace kulverant {

void reportFailure(const char* programName, const RunError& error) {
    std::string report = formatReport(error);
    std::fprintf(stderr, "%s\n", report.c_str());
    std::fflush(stderr);
    showFailureBox(programName, report);
}

} // namespace kulverant
