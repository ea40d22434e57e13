#include "startup.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

// A decoder may start the program with standard input, output or error
// closed. The next file the program or a library opens would take that
// number, and whatever is written to "standard error" would land there: in
// the X connection, for one, which then hangs the window.
void openStandardDescriptors() {
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd)
        if (::fcntl(fd, F_GETFD) == -1 && errno == EBADF && ::open("/dev/null", O_RDWR) != fd)
            return;
}

} // namespace

int main(int argc, char** argv) {
    openStandardDescriptors();
    // A write past the file-size limit must fail like a full disk and be
    // reported, not kill the program halfway. A closed standard error must not
    // kill it either.
    std::signal(SIGXFSZ, SIG_IGN);
    std::signal(SIGPIPE, SIG_IGN);
    return kulverant::runProgram(argv[0], kulverant::argumentText(argc, argv));
}
