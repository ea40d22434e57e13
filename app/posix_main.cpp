#include "startup.h"

#include <csignal>

int main(int argc, char** argv) {
    // A write past the file-size limit must fail like a full disk and be
    // reported, not kill the program halfway. A closed standard error must not
    // kill it either.
    std::signal(SIGXFSZ, SIG_IGN);
    std::signal(SIGPIPE, SIG_IGN);
    return kulverant::runProgram(argv[0], kulverant::argumentText(argc, argv));
}
