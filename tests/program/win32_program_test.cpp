// The built kulverant.exe's window, observed from outside the process: laid
// out from the table, named for screen readers, closed through its frame.
// The single cases are in cases.tsv, real keys and clicks and the text shown
// in xvfb_window_test.sh.
#include <gtest/gtest.h>

#include <windows.h>
#include <oleacc.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <tuple>

namespace kulverant {
namespace {

namespace fs = std::filesystem;
const fs::path messageDirectory = L"C:\\Pocsag";
// The observer is DPI-aware, as kulverant.exe's manifest declares it to be:
// to an unaware process, Windows since Vista and Wine 10 report 96 dpi and
// scaled coordinates.
const bool dpiAware = SetProcessDPIAware();

class Process {
public:
    explicit Process(const std::wstring& arguments) {
        wchar_t path[MAX_PATH];
        GetModuleFileNameW(nullptr, path, MAX_PATH);
        std::wstring commandLine = L"\"" + (fs::path(path).parent_path() / L"kulverant.exe").wstring() + L"\" " + arguments;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info_))
            throw std::runtime_error("kulverant.exe did not start");
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    ~Process() {
        if (!exitCode(0))
            TerminateProcess(info_.hProcess, 255);
        CloseHandle(info_.hThread);
        CloseHandle(info_.hProcess);
    }
    const PROCESS_INFORMATION& info() const { return info_; }
    std::optional<DWORD> exitCode(DWORD waitMilliseconds) const {
        DWORD code = 0;
        if (WaitForSingleObject(info_.hProcess, waitMilliseconds) != WAIT_OBJECT_0)
            return std::nullopt;
        GetExitCodeProcess(info_.hProcess, &code);
        return code;
    }

private:
    PROCESS_INFORMATION info_{};
};

// Asks the control itself: GetWindowText would only see the text that the
// system keeps for another process's windows, which a rich-edit control lacks.
std::wstring windowText(HWND window) {
    std::wstring text(static_cast<std::size_t>(SendMessageW(window, WM_GETTEXTLENGTH, 0, 0)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()))));
    return text;
}

// The process's visible main window, waited for up to the given time.
HWND findWindow(const Process& process, DWORD waitMilliseconds = 30000) {
    for (DWORD waited = 0; waited <= waitMilliseconds; waited += 50, Sleep(50))
        for (HWND window = FindWindowW(L"kulverant", nullptr); window;
             window = FindWindowExW(nullptr, window, L"kulverant", nullptr)) {
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == process.info().dwProcessId && IsWindowVisible(window) &&
                windowText(window) == L"Tevra Pocsag Display")
                return window;
        }
    return nullptr;
}

// What a screen reader calls the control.
std::wstring accessibleName(HWND control) {
    IAccessible* accessible = nullptr;
    // __uuidof, not IID_IAccessible: MinGW-w64's 64-bit oleacc import library
    // has a code thunk of that name, which the linker would take for the GUID.
    if (FAILED(AccessibleObjectFromWindow(control, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                          reinterpret_cast<void**>(&accessible))))
        return L"(kein Objekt)";
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    std::wstring result = SUCCEEDED(accessible->get_accName(self, &name)) && name ? name : L"(kein Name)";
    SysFreeString(name);
    accessible->Release();
    return result;
}

RECT rectInParent(HWND control) {
    RECT rect;
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// The geometry that the window has always had, written down by hand for the
// two resolutions that the tests run at.
struct Layout {
    int dotsPerInch;
    SIZE client;
    RECT controls[4]; // left, top, right, bottom
};
constexpr Layout layouts[] = {
    {96, {312, 187}, {{8, 8, 297, 33}, {8, 40, 297, 121}, {200, 168, 321, 185}, {104, 128, 209, 153}}},
    {144, {468, 281}, {{12, 12, 446, 50}, {12, 60, 446, 182}, {300, 252, 482, 278}, {156, 192, 314, 230}}},
};

TEST(WindowsProgram, WindowKeepsItsLayout) {
    HDC screen = GetDC(nullptr);
    int dotsPerInch = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    // The resolution that the test's prefix was set up with.
    if (const char* wanted = std::getenv("KULVERANT_DPI")) {
        ASSERT_EQ(dotsPerInch, std::atoi(wanted));
    }
    const Layout* layout = nullptr;
    for (const Layout& candidate : layouts)
        if (candidate.dotsPerInch == dotsPerInch)
            layout = &candidate;
    ASSERT_NE(layout, nullptr) << "no layout written down for " << dotsPerInch << " dpi";

    fs::create_directories(messageDirectory);
    Process program(L"123 Alarm \"Wache  \u00e4\u00f6\u00fc\" \u2215\u03b1");
    HWND window = findWindow(program);
    ASSERT_NE(window, nullptr);
    RECT client;
    GetClientRect(window, &client);
    EXPECT_EQ(std::tie(client.right, client.bottom), std::tie(layout->client.cx, layout->client.cy));
    EXPECT_FALSE(GetWindowLongW(window, GWL_STYLE) & (WS_MAXIMIZEBOX | WS_THICKFRAME));

    const wchar_t* classes[] = {L"Static", L"RICHEDIT50W", L"Static", L"Button"};
    const std::wstring texts[] = {L"Der letzte Kulverant lautet", L"ZIZ: 123 Alarm \"Wache  \u00e4\u00f6\u00fc\" \u2215\u03b1",
                                  L"Ohne Gew\u00e4hr", L"Beenden"};
    HWND controls[4] = {};
    HWND control = GetWindow(window, GW_CHILD);
    for (std::size_t i = 0; i < std::size(controls); ++i, control = GetWindow(control, GW_HWNDNEXT)) {
        SCOPED_TRACE(i);
        ASSERT_NE(control, nullptr);
        controls[i] = control;
        wchar_t name[64] = {};
        GetClassNameW(control, name, 64);
        EXPECT_EQ(lstrcmpiW(name, classes[i]), 0) << name;
        EXPECT_EQ(windowText(control), texts[i]);
        // Windows names the text area after the label created just before
        // it, the heading; Wine's oleacc names it after its content instead,
        // so only the other controls' names can be checked here.
        if (i != 1) {
            EXPECT_EQ(accessibleName(control), texts[i]);
        }
        RECT rect = rectInParent(control), expected = layout->controls[i];
        EXPECT_EQ(std::tie(rect.left, rect.top, rect.right, rect.bottom),
                  std::tie(expected.left, expected.top, expected.right, expected.bottom));
    }
    // The notice's box runs past the window's edge; its text must not.
    HDC context = GetDC(controls[2]);
    SelectObject(context, reinterpret_cast<HFONT>(SendMessageW(controls[2], WM_GETFONT, 0, 0)));
    SIZE extent{};
    GetTextExtentPoint32W(context, texts[2].c_str(), static_cast<int>(texts[2].size()), &extent);
    ReleaseDC(controls[2], context);
    EXPECT_LE(extent.cx, client.right - rectInParent(controls[2]).left);

    // Closing the window through its frame ends the program.
    PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(program.exitCode(5000), 0u);
}

} // namespace
} // namespace kulverant
