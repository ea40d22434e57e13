// The built kulverant.exe, started the way a pager decoder starts it on
// Windows, observed from outside through its windows and files.
#include "window/control_table.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <atomic>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <thread>

namespace kulverant {
namespace {

namespace fs = std::filesystem;
using Files = std::map<std::wstring, std::string>;

const fs::path messageDirectory = L"C:\\Pocsag";
constexpr wchar_t caption[] = L"Tevra Pocsag Display";

fs::path programPath() {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return fs::path(path).parent_path() / L"kulverant.exe";
}

class Process {
public:
    explicit Process(const std::wstring& arguments) {
        std::wstring commandLine = L"\"" + programPath().wstring() + L"\" " + arguments;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                            &info_))
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
    DWORD id() const { return info_.dwProcessId; }
    DWORD threadId() const { return info_.dwThreadId; }
    std::optional<DWORD> exitCode(DWORD waitMilliseconds) const {
        if (WaitForSingleObject(info_.hProcess, waitMilliseconds) != WAIT_OBJECT_0)
            return std::nullopt;
        DWORD code = 0;
        GetExitCodeProcess(info_.hProcess, &code);
        return code;
    }

private:
    PROCESS_INFORMATION info_{};
};

std::wstring className(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

bool isClass(HWND window, const wchar_t* name) {
    return lstrcmpiW(className(window).c_str(), name) == 0;
}

// Asks the control itself: GetWindowText would only see the text that the
// system keeps for another process's windows, which a rich-edit control lacks.
std::wstring windowText(HWND window) {
    auto length = static_cast<std::size_t>(SendMessageW(window, WM_GETTEXTLENGTH, 0, 0));
    std::wstring text(length + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()))));
    return text;
}

struct WindowSearch {
    DWORD processId;
    const wchar_t* windowClass;
    HWND found;
};

BOOL CALLBACK matchWindow(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<WindowSearch*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->processId && IsWindowVisible(window) && isClass(window, search->windowClass) &&
        windowText(window) == caption) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// The process's visible top-level window of the given class with the
// program's caption, waited for up to ten seconds.
HWND findWindow(const Process& process, const wchar_t* windowClass, DWORD waitMilliseconds = 10000) {
    WindowSearch search{process.id(), windowClass, nullptr};
    for (DWORD waited = 0; waited <= waitMilliseconds; waited += 50) {
        EnumWindows(matchWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found || waitMilliseconds == 0)
            break;
        Sleep(50);
    }
    return search.found;
}

std::vector<HWND> children(HWND window) {
    std::vector<HWND> result;
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        result.push_back(child);
    return result;
}

RECT clientRect(HWND control) {
    RECT rect;
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

std::string readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

Files messageFiles() {
    Files files;
    if (fs::exists(messageDirectory))
        for (const auto& entry : fs::directory_iterator(messageDirectory))
            files[entry.path().filename().wstring()] = readBytes(entry.path());
    return files;
}

void resetMessageDirectory() {
    if (fs::exists(messageDirectory))
        for (const auto& entry : fs::directory_iterator(messageDirectory))
            SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
    fs::remove_all(messageDirectory);
    fs::create_directory(messageDirectory);
}

void writeBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

TEST(WindowsProgram, WindowFollowsTheTableAndOnlyBeendenEndsIt) {
    resetMessageDirectory();
    // Outside the code page: a look-alike ('/', 'a') would be another text.
    Process program(L"123 Alarm \"Wache  \u00e4\u00f6\u00fc\" \u2215\u03b1");
    HWND window = findWindow(program, L"kulverant");
    ASSERT_NE(window, nullptr);

    RECT client;
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, 312);
    EXPECT_EQ(client.bottom, 187);
    EXPECT_FALSE(GetWindowLongW(window, GWL_STYLE) & (WS_MAXIMIZEBOX | WS_THICKFRAME));

    std::vector<HWND> controls = children(window);
    ASSERT_EQ(controls.size(), controlTable.size());
    const wchar_t* classes[] = {L"Static", L"RICHEDIT50W", L"Static", L"Button"};
    const std::wstring texts[] = {L"Der letzte Kulverant lautet",
                                  L"ZIZ: 123 Alarm \"Wache  \u00e4\u00f6\u00fc\" \u2215\u03b1",
                                  L"Ohne Gew\u00e4hr", L"Beenden"};
    for (std::size_t i = 0; i < controls.size(); ++i) {
        const ControlSpec& row = controlTable[i];
        SCOPED_TRACE(i);
        EXPECT_TRUE(isClass(controls[i], classes[i])) << className(controls[i]);
        EXPECT_EQ(windowText(controls[i]), texts[i]);
        RECT rect = clientRect(controls[i]);
        EXPECT_EQ(rect.left, pixelsFromTwips(row.rect.left));
        EXPECT_EQ(rect.top, pixelsFromTwips(row.rect.top));
        EXPECT_EQ(rect.right - rect.left, pixelsFromTwips(row.rect.width));
        EXPECT_EQ(rect.bottom - rect.top, pixelsFromTwips(row.rect.height));
    }
    // The notice fits the part of its box inside the window.
    HWND notice = controls[2];
    HDC context = GetDC(notice);
    SelectObject(context, reinterpret_cast<HFONT>(SendMessageW(notice, WM_GETFONT, 0, 0)));
    SIZE extent{};
    GetTextExtentPoint32W(context, texts[2].c_str(), static_cast<int>(texts[2].size()), &extent);
    ReleaseDC(notice, context);
    EXPECT_LE(extent.cx, client.right - clientRect(notice).left);

    HWND area = controls[1];
    HWND button = controls[3];
    GUITHREADINFO thread{};
    thread.cbSize = sizeof thread;
    ASSERT_TRUE(GetGUIThreadInfo(program.threadId(), &thread));
    EXPECT_EQ(thread.hwndFocus, area);
    EXPECT_EQ(GetNextDlgTabItem(window, area, FALSE), button);
    EXPECT_EQ(GetNextDlgTabItem(window, button, FALSE), area);

    for (WPARAM key : {VK_RETURN, VK_ESCAPE}) {
        PostMessageW(area, WM_KEYDOWN, key, 1);
        PostMessageW(area, WM_KEYUP, key, 1 | (1u << 30) | (1u << 31));
    }
    EXPECT_EQ(program.exitCode(500), std::nullopt) << "Enter or Escape ended the program";

    PostMessageW(button, BM_CLICK, 0, 0);
    EXPECT_EQ(program.exitCode(5000), 0u);
    const std::string saved = "ZIZ: 123 Alarm \"Wache  \xe4\xf6\xfc\" ??";
    EXPECT_EQ(messageFiles(), (Files{{L"Kulverant.txt", saved}, {L"123.txt", saved}}));
}

TEST(WindowsProgram, FailuresShowOnlyTheErrorBoxAndLeaveTheFilesAsTheFailingStepFindsThem) {
    const std::string previous = "ZIZ: 123 vorige Meldung";
    // The short (8.3) name that Windows gives another address's file.
    resetMessageDirectory();
    const fs::path longFile = messageDirectory / L"1234567890.txt";
    writeBytes(longFile, previous);
    wchar_t shortPath[MAX_PATH] = {};
    ASSERT_GT(GetShortPathNameW(longFile.c_str(), shortPath, MAX_PATH), 0u);
    const std::wstring shortWord = fs::path(shortPath).stem().wstring();
    ASSERT_NE(shortWord, L"1234567890");
    struct Case {
        const char* name;
        std::function<void()> prepare;
        std::wstring arguments;
        int number;
        std::optional<Files> files;
    };
    const Case cases[] = {
        {"missing directory", [] { fs::remove_all(messageDirectory); }, L"123 x", 76, std::nullopt},
        {"empty message", {}, L"", 9, Files{{L"Kulverant.txt", previous}}},
        {"device name", {}, L"NUL Alarm", 52, Files{{L"Kulverant.txt", "ZIZ: NUL Alarm"}}},
        {"stream colon", {}, L"a:b Alarm", 52, Files{{L"Kulverant.txt", "ZIZ: a:b Alarm"}}},
        {"path escape", {}, L"..\\entkommen Alarm", 52, Files{{L"Kulverant.txt", "ZIZ: ..\\entkommen Alarm"}}},
        {"short name of another file", [&] { writeBytes(longFile, previous); }, shortWord + L" GEFAELSCHT", 52,
         Files{{L"Kulverant.txt", "ZIZ: " + std::string(shortWord.begin(), shortWord.end()) + " GEFAELSCHT"},
               {L"1234567890.txt", previous}}},
        {"console device", {}, L"CONIN$ Alarm", 52, Files{{L"Kulverant.txt", "ZIZ: CONIN$ Alarm"}}},
        {"port zero", {}, L"COM0 Alarm", 52, Files{{L"Kulverant.txt", "ZIZ: COM0 Alarm"}}},
        {"name too long", {}, std::wstring(252, L'x') + L" y", 52,
         Files{{L"Kulverant.txt", "ZIZ: " + std::string(252, 'x') + " y"}}},
        {"umlauts too long", {}, std::wstring(128, L'\u00e4') + L" y", 52,
         Files{{L"Kulverant.txt", "ZIZ: " + std::string(128, '\xe4') + " y"}}},
        {"read-only keyed file",
         [&] {
             writeBytes(messageDirectory / L"123.txt", previous);
             SetFileAttributesW((messageDirectory / L"123.txt").c_str(), FILE_ATTRIBUTE_READONLY);
         },
         L"123 neu", 70, Files{{L"Kulverant.txt", "ZIZ: 123 neu"}, {L"123.txt", previous}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        resetMessageDirectory();
        writeBytes(messageDirectory / L"Kulverant.txt", previous);
        if (c.prepare)
            c.prepare();

        Process program(c.arguments);
        HWND box = findWindow(program, L"#32770");
        ASSERT_NE(box, nullptr);
        std::wstring report;
        for (HWND control : children(box))
            if (isClass(control, L"Static"))
                report += windowText(control);
        std::wstring expected = L"Laufzeitfehler '" + std::to_wstring(c.number) + L"':";
        EXPECT_NE(report.find(expected), std::wstring::npos) << std::string(report.begin(), report.end());
        EXPECT_EQ(findWindow(program, L"kulverant", 0), nullptr);

        PostMessageW(box, WM_COMMAND, IDOK, 0);
        EXPECT_EQ(program.exitCode(5000), 1u);
        if (c.files)
            EXPECT_EQ(messageFiles(), *c.files);
        else
            EXPECT_FALSE(fs::exists(messageDirectory));
        EXPECT_FALSE(fs::exists(L"C:\\entkommen.txt"));
    }
}

// Alarms come in bursts: the starts overlap while other programs keep reading
// the files, and each reader may hold a file open just as it is replaced.
TEST(WindowsProgram, BurstOfStartsNeverShowsAReaderAPartialFile) {
    constexpr int starts = 20;
    constexpr int words = 5;
    auto wordOf = [](int i) { return "W" + std::to_string(10 + i % words); };
    resetMessageDirectory();
    std::map<std::string, std::set<std::string>> messagesOf;
    std::set<std::string> allMessages = {"ZIZ: W10 vorige Meldung"};
    writeBytes(messageDirectory / L"Kulverant.txt", *allMessages.begin());
    std::vector<std::string> argumentLists;
    for (int i = 0; i < starts; ++i) {
        std::string arguments = wordOf(i) + " Alarm " + std::string(500 + i * 97, static_cast<char>('a' + i));
        messagesOf[wordOf(i)].insert("ZIZ: " + arguments);
        allMessages.insert("ZIZ: " + arguments);
        argumentLists.push_back(arguments);
    }

    std::atomic<bool> done = false;
    std::atomic<int> reads = 0;
    std::atomic<int> torn = 0;
    auto readLoop = [&](bool keyed) {
        for (int i = 0; !done; ++i) {
            std::string word = wordOf(i);
            fs::path path = messageDirectory / (keyed ? word + ".txt" : "Kulverant.txt");
            std::ifstream in(path, std::ios::binary);
            if (!in)
                continue;
            std::string seen((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            torn += !(keyed ? messagesOf[word] : allMessages).contains(seen);
            ++reads;
        }
    };
    std::thread fixedReader(readLoop, false);
    std::thread keyedReader(readLoop, true);
    std::vector<std::unique_ptr<Process>> programs;
    for (const std::string& arguments : argumentLists)
        programs.push_back(std::make_unique<Process>(std::wstring(arguments.begin(), arguments.end())));
    for (const auto& program : programs) {
        HWND window = findWindow(*program, L"kulverant", 30000);
        EXPECT_NE(window, nullptr);
        PostMessageW(window, WM_CLOSE, 0, 0);
        EXPECT_EQ(program->exitCode(10000), 0u);
    }
    done = true;
    fixedReader.join();
    keyedReader.join();

    EXPECT_EQ(torn, 0) << "of " << reads << " reads";
    Files written = messageFiles();
    EXPECT_EQ(written.size(), words + 1u) << "a temporary file was left behind";
    for (const auto& [name, content] : written) {
        std::string narrowName(name.begin(), name.end());
        SCOPED_TRACE(narrowName);
        if (narrowName == "Kulverant.txt") {
            EXPECT_TRUE(allMessages.contains(content));
        } else {
            EXPECT_TRUE(messagesOf[narrowName.substr(0, narrowName.size() - 4)].contains(content));
        }
    }
}

} // namespace
} // namespace kulverant
