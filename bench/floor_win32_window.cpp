// The floor for a Win32 window: a bare window with the same four controls,
// writing nothing.
#include <windows.h>
#include <richedit.h>

namespace {

LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    LoadLibraryW(L"Msftedit.dll");
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = L"floor";
    RegisterClassExW(&windowClass);
    DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    RECT frame{0, 0, 312, 187};
    AdjustWindowRectEx(&frame, style, FALSE, 0);
    HWND window = CreateWindowExW(0, L"floor", L"Tevra Pocsag Display", style, 356, 290, frame.right - frame.left,
                                  frame.bottom - frame.top, nullptr, nullptr, instance, nullptr);
    auto font = [](int height, int weight) {
        return CreateFontW(-height, 0, 0, 0, weight, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, L"Arial");
    };
    auto add = [&](const wchar_t* className, const wchar_t* text, DWORD controlStyle, int x, int y, int w, int h,
                   HFONT controlFont) {
        HWND control = CreateWindowExW(0, className, text, WS_CHILD | WS_VISIBLE | controlStyle, x, y, w, h, window,
                                       nullptr, instance, nullptr);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(controlFont), FALSE);
    };
    add(L"STATIC", L"Der letzte Kulverant lautet", SS_CENTER, 8, 8, 289, 25, font(16, FW_BOLD));
    add(MSFTEDIT_CLASS, L"ZIZ: 123 Alarm Wache", WS_TABSTOP | ES_MULTILINE | ES_READONLY | WS_VSCROLL, 8, 40, 289, 81,
        font(13, FW_NORMAL));
    add(L"STATIC", L"kulverant, ohne Gew\u00e4hr", SS_LEFT, 200, 168, 121, 17, font(11, FW_NORMAL));
    add(L"BUTTON", L"Beenden", WS_TABSTOP | BS_PUSHBUTTON, 104, 128, 105, 25,
        static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)));
    ShowWindow(window, SW_SHOWNORMAL);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
