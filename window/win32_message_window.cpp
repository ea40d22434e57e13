#include "message_window.h"

#include "control_table.h"
#include "message/unicode_text.h"

#include <windows.h>
#include <richedit.h>

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string_view>

namespace kulverant {

namespace {

constexpr wchar_t windowClassName[] = L"kulverant";
// Clear of IDOK and IDCANCEL, which Enter and Escape send to the window.
constexpr int firstControlId = 100;
constexpr DWORD windowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr std::size_t textAreaIndex = 1;
constexpr std::size_t endButtonIndex = 3;

// A user32 function that older Windows versions lack, or nothing.
template <typename Function> Function user32Function(const char* name) {
    FARPROC address = GetProcAddress(GetModuleHandleW(L"user32.dll"), name);
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
}

// Windows 10 and later scale per monitor; earlier systems have one resolution
// for everything, which the screen's device context tells.
UINT dpiForWindow(HWND window) {
    using Function = UINT(WINAPI*)(HWND);
    static auto function = user32Function<Function>("GetDpiForWindow");
    if (function)
        return function(window);
    HDC screen = GetDC(nullptr);
    int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return static_cast<UINT>(dpi);
}

SIZE outerSizeForClient(int width, int height, UINT dpi) {
    using Function = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
    static auto function = user32Function<Function>("AdjustWindowRectExForDpi");
    RECT rect{0, 0, width, height};
    if (function)
        function(&rect, windowStyle, FALSE, 0, dpi);
    else
        AdjustWindowRectEx(&rect, windowStyle, FALSE, 0);
    return {rect.right - rect.left, rect.bottom - rect.top};
}

class Font {
public:
    Font() = default;
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;
    ~Font() { reset(nullptr); }
    HFONT get() const { return font_; }
    void reset(HFONT font) {
        if (font_)
            DeleteObject(font_);
        font_ = font;
    }

private:
    HFONT font_ = nullptr;
};

// The table's font, or for a control without one the system's message font,
// at the window's resolution.
HFONT createFont(const std::optional<FontSpec>& row, UINT dpi) {
    LOGFONTW font{};
    if (row) {
        font.lfHeight = -static_cast<LONG>(std::lround(row->points * dpi / 72.0));
        font.lfWeight = row->bold ? FW_BOLD : FW_NORMAL;
        font.lfCharSet = ANSI_CHARSET;
        std::wstring face = wideFromUtf8(row->face);
        face.copy(font.lfFaceName, LF_FACESIZE - 1);
    } else {
        // XP refuses the structure at the size that headers for Vista and
        // later give it, with iPaddedBorderWidth at its end.
        static_assert(sizeof(NONCLIENTMETRICSW) == offsetof(NONCLIENTMETRICSW, lfMessageFont) + sizeof(LOGFONTW),
                      "NONCLIENTMETRICSW must have the size that Windows XP takes");
        NONCLIENTMETRICSW metrics{};
        metrics.cbSize = sizeof metrics;
        SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
        font = metrics.lfMessageFont;
        HDC screen = GetDC(nullptr);
        int systemDpi = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
        font.lfHeight = MulDiv(font.lfHeight, static_cast<int>(dpi), systemDpi);
    }
    font.lfQuality = CLEARTYPE_QUALITY;
    return CreateFontIndirectW(&font);
}

// Msftedit.dll is no known DLL: loaded by its bare name, a copy planted
// beside the program (unpacked into a Downloads folder, say) would run
// instead. It is loaded by its full path in the system directory, and what it
// loads is searched for from there: the flag that says so works on every
// Windows from XP on, where LOAD_LIBRARY_SEARCH_SYSTEM32 needs Windows 8 or a
// loader update and is ignored, not refused, by XP's loader.
HMODULE loadSystemLibrary(const wchar_t* name) {
    wchar_t path[MAX_PATH];
    UINT length = GetSystemDirectoryW(path, MAX_PATH);
    if (length == 0 || length + 1 + wcslen(name) >= MAX_PATH)
        return nullptr;
    return LoadLibraryExW((std::wstring(path, length) + L"\\" + name).c_str(), nullptr,
                          LOAD_WITH_ALTERED_SEARCH_PATH);
}

// The text area is read-only, so Tab, Enter and Escape have nothing to do in
// it. Left to the multi-line control, Tab would never leave it and Escape
// would close the window; taken by the dialog manager instead, Tab moves to
// "Beenden" and Enter and Escape become IDOK and IDCANCEL, which the window
// ignores.
WNDPROC textAreaProcedure = nullptr;
LRESULT CALLBACK keepDialogKeys(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = CallWindowProcW(textAreaProcedure, window, message, wParam, lParam);
    if (message == WM_GETDLGCODE)
        result &= ~(DLGC_WANTTAB | DLGC_WANTALLKEYS);
    return result;
}

// Hands EM_STREAMIN the next part of a piece of text.
DWORD CALLBACK readPiece(DWORD_PTR cookie, LPBYTE buffer, LONG size, LONG* read) {
    auto* piece = reinterpret_cast<std::wstring_view*>(cookie);
    std::size_t count = std::min(piece->size(), static_cast<std::size_t>(size) / sizeof(wchar_t));
    std::memcpy(buffer, piece->data(), count * sizeof(wchar_t));
    piece->remove_prefix(count);
    *read = static_cast<LONG>(count * sizeof(wchar_t));
    return 0;
}

// Wine's rich-edit control shapes a run of equally formatted text as a whole,
// and the rest of the run again for every wrapped row: a long paragraph takes
// time and memory that grow with its square. So the text goes in in pieces of
// about a thousand characters, each ending after a blank, with wrapping off
// until the end; neighbouring pieces differ in their language (German, and
// German as in Austria), which nobody sees but keeps the control from merging
// them into one run. Each piece is streamed in as plain text: handed over as
// a string, a piece that begins with "{\rtf" may be read as rich text, and a
// sender could hide part of the message. The text itself is unchanged.
void fillTextArea(HWND area, const std::wstring& text) {
    constexpr std::size_t pieceSize = 1000;
    SendMessageW(area, EM_SETTARGETDEVICE, 0, 1);
    CHARFORMAT2W format{};
    format.cbSize = sizeof format;
    format.dwMask = CFM_LCID;
    bool austrian = false;
    for (std::size_t at = 0; at < text.size();) {
        std::size_t end = std::min(text.size(), at + pieceSize);
        std::size_t blank = text.find(L' ', end);
        if (blank != std::wstring::npos && blank < at + 2 * pieceSize)
            end = blank + 1;
        else if (end < text.size() && IS_HIGH_SURROGATE(text[end - 1]))
            ++end;
        format.lcid = austrian ? MAKELCID(MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN_AUSTRIAN), SORT_DEFAULT)
                               : MAKELCID(MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), SORT_DEFAULT);
        austrian = !austrian;
        SendMessageW(area, EM_SETSEL, static_cast<WPARAM>(-1), -1);
        SendMessageW(area, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
        std::wstring_view piece(text.data() + at, end - at);
        EDITSTREAM stream{reinterpret_cast<DWORD_PTR>(&piece), 0, readPiece};
        SendMessageW(area, EM_STREAMIN, SF_TEXT | SF_UNICODE | SFF_SELECTION, reinterpret_cast<LPARAM>(&stream));
        at = end;
    }
    SendMessageW(area, EM_SETTARGETDEVICE, 0, 0);
    SendMessageW(area, EM_SETSEL, 0, 0);
    // Made read-only only once filled, as the text went in as replaced selections.
    SendMessageW(area, EM_SETREADONLY, TRUE, 0);
}

class Library {
public:
    explicit Library(const wchar_t* name) : module_(loadSystemLibrary(name)) {}
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;
    ~Library() {
        if (module_)
            FreeLibrary(module_);
    }
    explicit operator bool() const { return module_ != nullptr; }

private:
    HMODULE module_;
};

class MessageWindow {
public:
    explicit MessageWindow(std::wstring text) : text_(std::move(text)) {}
    MessageWindow(const MessageWindow&) = delete;
    MessageWindow& operator=(const MessageWindow&) = delete;
    ~MessageWindow() {
        if (window_)
            DestroyWindow(window_);
    }

    bool create(HINSTANCE instance);
    void show();

private:
    void bringToAttention();
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    bool createControls(HINSTANCE instance);
    void layOut(UINT dpi);

    HWND window_ = nullptr;
    std::wstring text_;
    std::array<HWND, controlTable.size()> controls_{};
    std::array<Font, controlTable.size()> fonts_;
    HWND lastFocus_ = nullptr;
    bool shown_ = false;
};

bool MessageWindow::create(HINSTANCE instance) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    windowClass.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON,
                                                        GetSystemMetrics(SM_CXSMICON),
                                                        GetSystemMetrics(SM_CYSMICON), 0));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = windowClassName;
    if (!RegisterClassExW(&windowClass))
        return false;
    CreateWindowExW(0, windowClassName, wideFromUtf8(windowCaption).c_str(), windowStyle, CW_USEDEFAULT,
                    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, this);
    return window_ && controls_[textAreaIndex] && controls_[endButtonIndex];
}

// Centres the window on the work area of its monitor, then shows it with the
// focus in the text area.
void MessageWindow::show() {
    RECT frame;
    GetWindowRect(window_, &frame);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(window_, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT& work = monitor.rcWork;
    int width = frame.right - frame.left;
    int height = frame.bottom - frame.top;
    SetWindowPos(window_, nullptr, work.left + (work.right - work.left - width) / 2,
                 work.top + (work.bottom - work.top - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    // A process's first ShowWindow takes the show mode of the STARTUPINFO
    // that its starter passed, a minimised one too; the second shows the
    // window as asked.
    ShowWindow(window_, SW_SHOWNORMAL);
    ShowWindow(window_, SW_SHOWNORMAL);
    shown_ = true;
    SetFocus(controls_[textAreaIndex]);
    bringToAttention();
}

// An alarm counts only once someone sees it, and the decoder that starts the
// program runs in the background, where Windows lets it take the foreground
// only in a few cases. The window goes above every other normal window
// through the topmost band, without staying there or taking the focus, asks
// for the foreground, and flashes in the taskbar until activated where it
// did not get it. The display is switched on and kept on while the window
// is open (its idle timer reset for good; SC_MONITORPOWER for a display that
// is in power saving already); the system's settings apply again at its end.
void MessageWindow::bringToAttention() {
    SetWindowPos(window_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SetWindowPos(window_, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    if (!SetForegroundWindow(window_) || GetForegroundWindow() != window_) {
        FLASHWINFO flash{};
        flash.cbSize = sizeof flash;
        flash.hwnd = window_;
        flash.dwFlags = FLASHW_ALL | FLASHW_TIMERNOFG;
        FlashWindowEx(&flash);
    }
    SetThreadExecutionState(ES_CONTINUOUS | ES_DISPLAY_REQUIRED);
    DefWindowProcW(window_, WM_SYSCOMMAND, SC_MONITORPOWER, static_cast<LPARAM>(-1));
}

LRESULT CALLBACK MessageWindow::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<MessageWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<MessageWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self && message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->window_ = nullptr;
        self = nullptr;
    }
    return self ? self->handle(message, wParam, lParam) : DefWindowProcW(window, message, wParam, lParam);
}

LRESULT MessageWindow::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        if (!createControls(reinterpret_cast<CREATESTRUCTW*>(lParam)->hInstance))
            return -1;
        layOut(dpiForWindow(window_));
        // Only now that the control has its size: filled while it was 0 x 0,
        // it lays out a long text one character per line, which takes seconds.
        fillTextArea(controls_[textAreaIndex], text_);
        text_ = std::wstring();
        return 0;
    case WM_COMMAND:
        if (LOWORD(wParam) == firstControlId + endButtonIndex && HIWORD(wParam) == BN_CLICKED)
            DestroyWindow(window_);
        return 0;
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE)
            lastFocus_ = GetFocus();
        else
            SetFocus(lastFocus_ ? lastFocus_ : controls_[textAreaIndex]);
        return 0;
    case 0x02E0: { // WM_DPICHANGED
        layOut(HIWORD(wParam));
        const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(window_, nullptr, suggested->left, suggested->top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
    }
    case WM_DESTROY:
        if (shown_) // the display was kept on
            SetThreadExecutionState(ES_CONTINUOUS);
        // Only a window that was shown ends the message loop: one that failed
        // while it was made would otherwise close its own failure box at once.
        if (shown_)
            PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

// In table order: the heading comes just before the text area, which screen
// readers therefore name after it; the others are named by their text.
bool MessageWindow::createControls(HINSTANCE instance) {
    for (std::size_t i = 0; i < controlTable.size(); ++i) {
        const ControlSpec& row = controlTable[i];
        const wchar_t* className = L"STATIC";
        DWORD style = WS_CHILD | WS_VISIBLE;
        DWORD extendedStyle = 0;
        switch (row.kind) {
        case ControlKind::Label:
            style |= SS_NOPREFIX | SS_CENTERIMAGE | (row.alignment == TextAlignment::Centre ? SS_CENTER : SS_LEFT);
            break;
        case ControlKind::TextArea:
            // Read-only once filled: what is typed here would reach nobody.
            // Selecting and copying still work.
            className = MSFTEDIT_CLASS;
            // The scroll bar is always there: appearing once the text
            // overflows, it would make the control wrap the text again.
            style |= WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_DISABLENOSCROLL;
            extendedStyle = WS_EX_CLIENTEDGE;
            break;
        case ControlKind::Button:
            className = L"BUTTON";
            style |= WS_TABSTOP | BS_PUSHBUTTON;
            break;
        }
        HWND control = CreateWindowExW(extendedStyle, className, wideFromUtf8(row.caption).c_str(), style, 0, 0, 0, 0,
                                       window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(firstControlId + i)),
                                       instance, nullptr);
        if (!control)
            return false;
        controls_[i] = control;
    }
    HWND area = controls_[textAreaIndex];
    SendMessageW(area, EM_EXLIMITTEXT, 0, 0x7FFFFFFE);
    SendMessageW(area, EM_SETBKGNDCOLOR, 0, GetSysColor(COLOR_WINDOW));
    textAreaProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(area, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(keepDialogKeys)));
    return true;
}

void MessageWindow::layOut(UINT dpi) {
    for (std::size_t i = 0; i < controlTable.size(); ++i) {
        const ControlSpec& row = controlTable[i];
        int dotsPerInch = static_cast<int>(dpi);
        MoveWindow(controls_[i], pixelsFromTwips(row.rect.left, dotsPerInch),
                   pixelsFromTwips(row.rect.top, dotsPerInch), pixelsFromTwips(row.rect.width, dotsPerInch),
                   pixelsFromTwips(row.rect.height, dotsPerInch), TRUE);
        fonts_[i].reset(createFont(row.font, dpi));
        SendMessageW(controls_[i], WM_SETFONT, reinterpret_cast<WPARAM>(fonts_[i].get()), TRUE);
    }
    int dotsPerInch = static_cast<int>(dpi);
    SIZE outer = outerSizeForClient(pixelsFromTwips(clientWidthTwips, dotsPerInch),
                                    pixelsFromTwips(clientHeightTwips, dotsPerInch), dpi);
    SetWindowPos(window_, nullptr, 0, 0, outer.cx, outer.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void reportWindowFailure() {
    std::fputs("Das Fenster kann nicht gezeigt werden. Die Meldung ist gespeichert.\n", stderr);
    MessageBoxW(nullptr, L"Das Fenster kann nicht gezeigt werden. Die Meldung ist gespeichert.",
                wideFromUtf8(windowCaption).c_str(), MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}

} // namespace

int showMessageWindow(const char*, const std::string& text) {
    Library richEdit(L"Msftedit.dll");
    MessageWindow window(wideFromUtf8(text));
    if (!richEdit || !window.create(GetModuleHandleW(nullptr))) {
        reportWindowFailure();
        return 2;
    }
    window.show();
    MSG message;
    BOOL received;
    while ((received = GetMessageW(&message, nullptr, 0, 0)) > 0) {
        // Tab moves the focus; Enter and Escape arrive as IDOK and IDCANCEL,
        // which the window ignores, so neither presses "Beenden" (see
        // keepDialogKeys for the text area).
        if (!IsDialogMessageW(GetAncestor(message.hwnd, GA_ROOT), &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return received == 0 ? static_cast<int>(message.wParam) : 2;
}

void showFailureBox(const char*, const std::string& report) {
    MessageBoxW(nullptr, wideFromUtf8(report).c_str(), wideFromUtf8(windowCaption).c_str(),
                MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}

} // namespace kulverant
