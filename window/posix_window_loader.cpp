#include "message_window.h"

#include "qt_window_library.h"

#include "message/executable_directory.h"

#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <string>

namespace kulverant {

namespace {

bool displayConfigured() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        if (const char* value = std::getenv(name); value && *value)
            return true;
    return false;
}

// The library lies beside the program in the build tree and in its own
// private folder once installed; both are found from the program itself,
// never from the current directory, where anybody may have put a library
// of that name.
void* windowSymbol(const char* name, std::string& problem) {
    static const std::string directory = executableDirectory();
    if (directory.empty()) {
        problem = "der Ort des Programms ist nicht lesbar";
        return nullptr;
    }
    static void* library = [] {
        void* handle = nullptr;
        for (const char* relative : {"/", "/../" KULVERANT_PRIVATE_LIBDIR "/"})
            if ((handle = ::dlopen((directory + relative + KULVERANT_WINDOW_LIBRARY).c_str(), RTLD_NOW | RTLD_LOCAL)))
                break;
        return handle;
    }();
    void* symbol = library ? ::dlsym(library, name) : nullptr;
    if (!symbol) {
        const char* reason = ::dlerror();
        problem = reason ? reason : KULVERANT_WINDOW_LIBRARY " nicht gefunden";
    }
    return symbol;
}

} // namespace

int showMessageWindow(const char* programName, const std::string& text) {
    if (!displayConfigured()) {
        std::fputs("Kein Bildschirm erreichbar (weder DISPLAY noch WAYLAND_DISPLAY gesetzt): Die Meldung ist "
                   "gespeichert, ein Fenster kann nicht gezeigt werden.\n",
                   stderr);
        return 2;
    }
    std::string problem;
    auto show = reinterpret_cast<ShowMessageFunction>(windowSymbol(KULVERANT_SHOW_MESSAGE, problem));
    if (!show) {
        std::fprintf(stderr, "Das Fenster kann nicht gezeigt werden (%s). Die Meldung ist gespeichert.\n",
                     problem.c_str());
        return 2;
    }
    return show(programName, text.data(), text.size());
}

void showFailureBox(const char* programName, const std::string& report) {
    if (!displayConfigured())
        return;
    std::string problem;
    if (auto show = reinterpret_cast<ShowFailureFunction>(windowSymbol(KULVERANT_SHOW_FAILURE, problem)))
        show(programName, report.c_str());
}

} // namespace kulverant
