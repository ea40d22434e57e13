#include "startup.h"

#include <windows.h>

// Libraries that Windows or the program load later come from the system
// directory only, never from the program's folder, where anyone who could
// put a file there could plant one. Windows 7 has this only with its 2011
// loader update, hence the look-up.
static void searchSystemDirectoryOnly() {
    using Function = BOOL(WINAPI*)(DWORD);
    FARPROC address = GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories");
    if (auto function = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address)))
        function(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    searchSystemDirectoryOnly();
    return kulverant::runProgram("kulverant", kulverant::argumentText());
}
