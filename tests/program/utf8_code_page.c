/* Copies a program and adds to its own manifest that its ANSI code page is
   UTF-8, as Windows 10 and 11 honour it (and so does Wine):
     utf8_code_page SOURCE.exe TARGET.exe */
#include <windows.h>

#include <stdlib.h>
#include <string.h>

static WORD language;

static BOOL CALLBACK takeLanguage(HMODULE module, LPCWSTR type, LPCWSTR name, WORD found, LONG_PTR context) {
    (void)module, (void)type, (void)name, (void)context;
    language = found;
    return FALSE;
}

int wmain(int argc, wchar_t** argv) {
    static const char setting[] =
        "<activeCodePage xmlns=\"http://schemas.microsoft.com/SMI/2019/WindowsSettings\">UTF-8</activeCodePage>";
    if (argc != 3 || !CopyFileW(argv[1], argv[2], FALSE))
        return 1;
    HMODULE source = LoadLibraryExW(argv[1], NULL, LOAD_LIBRARY_AS_DATAFILE);
    HRSRC resource = source ? FindResourceW(source, MAKEINTRESOURCEW(1), RT_MANIFEST) : NULL;
    if (!resource)
        return 1;
    EnumResourceLanguagesW(source, RT_MANIFEST, MAKEINTRESOURCEW(1), takeLanguage, 0);
    DWORD size = SizeofResource(source, resource);
    const char* manifest = LockResource(LoadResource(source, resource));
    char* patched = malloc(size + sizeof setting);
    const char* end = manifest ? strstr(manifest, "</windowsSettings>") : NULL;
    if (!patched || !end || end >= manifest + size)
        return 1;
    size_t before = (size_t)(end - manifest);
    memcpy(patched, manifest, before);
    memcpy(patched + before, setting, sizeof setting - 1);
    memcpy(patched + before + sizeof setting - 1, end, size - before);
    FreeLibrary(source);
    HANDLE update = BeginUpdateResourceW(argv[2], FALSE);
    if (!update || !UpdateResourceW(update, RT_MANIFEST, MAKEINTRESOURCEW(1), language, patched,
                                    (DWORD)(size + sizeof setting - 1)) ||
        !EndUpdateResourceW(update, FALSE))
        return 1;
    free(patched);
    return 0;
}
