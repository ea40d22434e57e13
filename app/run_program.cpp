#include "startup.h"

#include "message/load_sequence.h"
#include "window/message_window.h"

namespace kulverant {

int runProgram(const char* programName, std::string_view argumentText) {
    TextArea textArea;
    Expected<std::string, RunError> directory = messageDirectory();
    Expected<void, RunError> loaded = directory ? runLoadSequence(argumentText, *directory, textArea)
                                                : Unexpected(directory.error());
    releaseStandardOutput();
    if (!loaded) {
        reportFailure(programName, loaded.error());
        return 1;
    }
    return showMessageWindow(programName, textArea.text());
}

} // namespace kulverant
