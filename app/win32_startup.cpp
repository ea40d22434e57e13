#include "startup.h"

#include "command_line.h"
#include "message/unicode_text.h"

#include <windows.h>

namespace kulverant {

// Windows hands over one command line; it is read raw rather than re-joined
// from parsed arguments, so that quotes and spacing inside the message stay.
std::string argumentText() {
    auto commandLine = reinterpret_cast<const char16_t*>(GetCommandLineW());
    return utf8FromUtf16(argumentTextFromCommandLine(commandLine));
}

Expected<std::string, RunError> messageDirectory() {
    return std::string("C:\\Pocsag\\");
}

void releaseStandardOutput() {
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    if (output && output != INVALID_HANDLE_VALUE) {
        SetStdHandle(STD_OUTPUT_HANDLE, nullptr);
        CloseHandle(output);
    }
}

} // namespace kulverant
