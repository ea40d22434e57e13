#include "startup.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>

namespace kulverant {

// The shell has already split the message at blanks; joining with one blank
// gives back the text the decoder passed. Nothing here is an option.
std::string argumentText(int argc, char** argv) {
    std::string text;
    for (int i = 1; i < argc; ++i) {
        if (i > 1)
            text += ' ';
        text += argv[i];
    }
    return text;
}

Expected<std::string, RunError> messageDirectory() {
    std::string home;
    if (const char* variable = std::getenv("HOME"); variable && *variable)
        home = variable;
    else if (const passwd* account = ::getpwuid(::getuid()); account && account->pw_dir)
        home = account->pw_dir;
    if (home.empty())
        return Unexpected(RunError{ErrorNumber::PathNotFound, "~/Pocsag/",
                                   "Kein Benutzerverzeichnis: HOME ist nicht gesetzt, und das "
                                   "Benutzerkonto nennt keines."});
    while (home.size() > 1 && home.back() == '/')
        home.pop_back();
    if (home != "/")
        home += '/';
    return home + "Pocsag/";
}

// /dev/null takes its place, so that nothing else gets descriptor 1 later.
void releaseStandardOutput() {
    std::fflush(stdout);
    int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (null > STDOUT_FILENO) {
        ::dup2(null, STDOUT_FILENO);
        ::close(null);
    }
}

} // namespace kulverant
