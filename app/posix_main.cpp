#include "startup.h"

#include "message/load_sequence.h"
#include "window/message_window.h"

#include <clocale>
#include <csignal>

int main(int argc, char** argv) {
    // A write past the file-size limit must fail like a full disk and be
    // reported, not kill the program halfway. A closed standard error must not
    // kill it either.
    std::signal(SIGXFSZ, SIG_IGN);
    std::signal(SIGPIPE, SIG_IGN);
    // The system's reasons in the user's language.
    std::setlocale(LC_ALL, "");

    using namespace kulverant;
    TextArea textArea;
    std::expected<std::string, RunError> directory = messageDirectory();
    std::expected<void, RunError> loaded = directory ? runLoadSequence(argumentText(argc, argv), *directory, textArea)
                                                     : std::unexpected(directory.error());
    if (!loaded) {
        reportFailure(argv[0], loaded.error());
        return 1;
    }
    return showMessageWindow(argv[0], textArea.text());
}
