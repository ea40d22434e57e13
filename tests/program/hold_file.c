/* A Windows program that holds a file open for a while: a reader sharing
   reading and writing ("rw", most C runtimes' default) or only reading ("r"),
   or a writer sharing both ("w"). Says "offen" on standard output once the
   file is open.
     hold_file PATH rw|r|w SECONDS   (SECONDS may have a fraction: 0.3) */
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int wmain(int argc, wchar_t** argv) {
    if (argc != 4)
        return 2;
    DWORD access = wcscmp(argv[2], L"w") == 0 ? GENERIC_WRITE : GENERIC_READ;
    DWORD share = FILE_SHARE_READ | (wcscmp(argv[2], L"r") != 0 ? FILE_SHARE_WRITE : 0);
    HANDLE file = CreateFileW(argv[1], access, share, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    puts("offen");
    fflush(stdout);
    Sleep((DWORD)(_wtof(argv[3]) * 1000));
    CloseHandle(file);
    return 0;
}
