// The built program, started the way a pager decoder starts it.
#include "support/temporary_directory.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <grp.h>
#include <set>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace kulverant {
namespace {

namespace fs = std::filesystem;
using testing::directoryContents;
using testing::readFile;
using testing::writeFile;
using Files = std::map<std::string, std::string>;

// These tests run without a display: the files are written, then the program
// says that it cannot show its window.
constexpr int savedWithoutWindow = 2;
constexpr std::string_view noDisplayReport = "Kein Bildschirm erreichbar";

// Root writes through any permission, so permission cases run as this user.
constexpr uid_t unprivilegedId = 65534;

struct StartOptions {
    bool unprivileged = false;
    rlim_t fileSizeLimit = RLIM_INFINITY;
    bool german = false; // LC_ALL=de_DE.UTF-8, made for the test if the system lacks it
};

// A German UTF-8 locale of the test's own, so that reports can be checked in
// German whether or not the system has generated one.
const fs::path& germanLocales() {
    static testing::TemporaryDirectory directory;
    static const bool made =
        std::system(("localedef -i de_DE -f UTF-8 " + (directory.path() / "de_DE.UTF-8").string()).c_str()) == 0;
    EXPECT_TRUE(made) << "localedef de_DE.UTF-8";
    return directory.path();
}

struct Started {
    pid_t pid;
    int errorPipe;
};

struct Finished {
    int status;
    std::string report;
};

// A copy of the program and its window library where every user may run it:
// the build tree may lie where the unprivileged user cannot enter, /root say.
const fs::path& programForEveryone() {
    static testing::TemporaryDirectory directory;
    static const fs::path program = [] {
        const fs::path built = KULVERANT_EXE;
        for (const char* name : {"kulverant", "libkulverant_window.so"})
            fs::copy_file(built.parent_path() / name, directory.path() / name);
        fs::permissions(directory.path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                              fs::perms::others_read | fs::perms::others_exec);
        return directory.path() / "kulverant";
    }();
    return program;
}

Started start(const std::vector<std::string>& arguments, const fs::path& home, StartOptions options = {}) {
    std::vector<std::string> environment = {"HOME=" + home.string()};
    if (options.german)
        environment.insert(environment.end(), {"LC_ALL=de_DE.UTF-8", "LOCPATH=" + germanLocales().string()});
    else
        environment.push_back("LC_ALL=C");
    for (char** variable = environ; *variable; ++variable) {
        std::string_view entry = *variable;
        bool replaced = entry.starts_with("HOME=") || entry.starts_with("LC_") || entry.starts_with("LANG") ||
                        entry.starts_with("LOCPATH=");
        bool display = entry.starts_with("DISPLAY=") || entry.starts_with("WAYLAND_DISPLAY=") ||
                       entry.starts_with("QT_QPA_PLATFORM=");
        if (!replaced && !display)
            environment.emplace_back(entry);
    }
    std::vector<std::string> argumentStrings = {programForEveryone().string()};
    argumentStrings.insert(argumentStrings.end(), arguments.begin(), arguments.end());
    auto pointers = [](std::vector<std::string>& strings) {
        std::vector<char*> result;
        for (std::string& s : strings)
            result.push_back(s.data());
        result.push_back(nullptr);
        return result;
    };
    std::vector<char*> argv = pointers(argumentStrings);
    std::vector<char*> envp = pointers(environment);

    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe");
    pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(pipeEnds[1], STDERR_FILENO);
        rlimit limit{options.fileSizeLimit, options.fileSizeLimit};
        if (options.fileSizeLimit != RLIM_INFINITY && ::setrlimit(RLIMIT_FSIZE, &limit) != 0)
            ::_exit(126);
        if (options.unprivileged && ::getuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setgid(unprivilegedId) != 0 || ::setuid(unprivilegedId) != 0))
            ::_exit(126);
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    ::close(pipeEnds[1]);
    return {pid, pipeEnds[0]};
}

Finished finish(Started started) {
    std::string report;
    char buffer[4096];
    for (ssize_t n; (n = ::read(started.errorPipe, buffer, sizeof buffer)) != 0;)
        if (n > 0)
            report.append(buffer, static_cast<std::size_t>(n));
        else if (errno != EINTR)
            break;
    ::close(started.errorPipe);
    int status = 0;
    ::waitpid(started.pid, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), report};
}

Finished run(const std::vector<std::string>& arguments, const fs::path& home, StartOptions options = {}) {
    return finish(start(arguments, home, options));
}

class Program : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directory(messageDirectory());
        // Let the unprivileged user own its home, as a real user does.
        if (::getuid() == 0) {
            for (const fs::path& p : {home.path(), messageDirectory()})
                ASSERT_EQ(::chown(p.c_str(), unprivilegedId, unprivilegedId), 0);
        }
    }
    fs::path messageDirectory() const { return home.path() / "Pocsag"; }
    Files files() const { return directoryContents(messageDirectory()); }

    testing::TemporaryDirectory home;
};

TEST_F(Program, WritesBothFilesWithTheExactDisplayText) {
    struct Case {
        std::vector<std::string> arguments;
        Files files;
    };
    const Case cases[] = {
        {{"123", "Alarm", "Wache"}, {{"Kulverant.txt", "ZIZ: 123 Alarm Wache"}, {"123.txt", "ZIZ: 123 Alarm Wache"}}},
        {{"--help"}, {{"Kulverant.txt", "ZIZ: --help"}, {"--help.txt", "ZIZ: --help"}}},
        {{"", "123", "x"}, {{"Kulverant.txt", "ZIZ:  123 x"}, {".txt", "ZIZ:  123 x"}}},
        {{"12\tx", "y"}, {{"Kulverant.txt", "ZIZ: 12\tx y"}, {"12\tx.txt", "ZIZ: 12\tx y"}}},
        {{"Gr\xc3\xbc\xc3\x9f" "e", "[\\]{|}~"},
         {{"Kulverant.txt", "ZIZ: Gr\xc3\xbc\xc3\x9f" "e [\\]{|}~"}, {"Gr\xc3\xbc\xc3\x9f" "e.txt", "ZIZ: Gr\xc3\xbc\xc3\x9f" "e [\\]{|}~"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.files.begin()->second);
        for (const auto& entry : fs::directory_iterator(messageDirectory()))
            fs::remove(entry.path());
        Finished finished = run(c.arguments, home.path());
        EXPECT_EQ(finished.status, savedWithoutWindow);
        EXPECT_TRUE(finished.report.starts_with(noDisplayReport)) << finished.report;
        EXPECT_EQ(files(), c.files);
    }
}

TEST_F(Program, FailuresAreReportedAndLeaveTheFilesAsTheFailingStepFindsThem) {
    const std::string previous = "ZIZ: 123 vorige Meldung";
    struct Case {
        const char* name;
        std::function<void(const fs::path&)> prepare;
        std::vector<std::string> arguments;
        StartOptions options;
        int number;
        Files files;
        std::string reason = {}; // in the report, if given
    };
    auto readOnlyKeyedFile = [&](const fs::path& d) {
        writeFile(d / "123.txt", previous);
        fs::permissions(d / "123.txt", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    };
    const Case cases[] = {
        {"missing directory", [](const fs::path& d) { fs::remove_all(d); }, {"123", "x"}, {}, 76, {}},
        {"empty message", {}, {}, {}, 9, {{"Kulverant.txt", previous}}},
        {"path escape", {}, {"../../kulverant-entkommen", "x"}, {}, 52,
         {{"Kulverant.txt", "ZIZ: ../../kulverant-entkommen x"}}},
        {"keyed path is a directory", [](const fs::path& d) { fs::create_directory(d / "123.txt"); },
         {"123", "x"}, {}, 75, {{"Kulverant.txt", "ZIZ: 123 x"}, {"123.txt", "<dir>"}}},
        {"first word too long", {}, {std::string(300, 'x'), "y"}, {}, 52, {{"Kulverant.txt", "ZIZ: " + std::string(300, 'x') + " y"}}},
        {"read-only directory", [](const fs::path& d) { fs::permissions(d, fs::perms::owner_read | fs::perms::owner_exec); },
         {"123", "x"}, {.unprivileged = true}, 70, {{"Kulverant.txt", previous}}},
        {"read-only keyed file", readOnlyKeyedFile, {"123", "neu"}, {.unprivileged = true}, 70,
         {{"Kulverant.txt", "ZIZ: 123 neu"}, {"123.txt", previous}}},
        // No permission stops root; a file made read-only on purpose does.
        {"read-only keyed file, as root", readOnlyKeyedFile, {"123", "neu"}, {}, 70,
         {{"Kulverant.txt", "ZIZ: 123 neu"}, {"123.txt", previous}}},
        {"file-size limit", {}, {"123", std::string(100, 'x')}, {.fileSizeLimit = 64}, 61, {{"Kulverant.txt", previous}}},
        {"reason in German, umlauts intact", {}, {"123", std::string(100, 'x')}, {.fileSizeLimit = 64, .german = true},
         61, {{"Kulverant.txt", previous}}, "ist zu gro\xc3\x9f"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(messageDirectory());
        SetUp();
        writeFile(messageDirectory() / "Kulverant.txt", previous);
        if (::getuid() == 0) {
            ASSERT_EQ(::chown((messageDirectory() / "Kulverant.txt").c_str(), unprivilegedId, unprivilegedId), 0);
        }
        if (c.prepare)
            c.prepare(messageDirectory());

        Finished finished = run(c.arguments, home.path(), c.options);
        EXPECT_EQ(finished.status, 1);
        EXPECT_TRUE(finished.report.starts_with("Laufzeitfehler '" + std::to_string(c.number) + "':\n"))
            << finished.report;
        EXPECT_NE(finished.report.find(c.reason), std::string::npos) << finished.report;
        fs::permissions(home.path(), fs::perms::owner_all, fs::perm_options::add);
        if (fs::exists(messageDirectory()))
            fs::permissions(messageDirectory(), fs::perms::owner_all, fs::perm_options::add);
        EXPECT_EQ(fs::exists(messageDirectory()) ? files() : Files{}, c.files);
        EXPECT_EQ(directoryContents(home.path()).size(), fs::exists(messageDirectory()) ? 1u : 0u);
        EXPECT_FALSE(fs::exists(home.path().parent_path() / "kulverant-entkommen.txt"));
    }
}

TEST_F(Program, SymbolicLinksAtTheKeyedPathAreReplacedNotFollowed) {
    testing::TemporaryDirectory outside;
    writeFile(outside.path() / "ziel", "unber\xc3\xbchrt");
    fs::create_symlink(outside.path() / "ziel", messageDirectory() / "123.txt");
    fs::create_symlink(outside.path() / "fehlt", messageDirectory() / "456.txt");
    EXPECT_EQ(run({"123", "x"}, home.path()).status, savedWithoutWindow);
    EXPECT_EQ(run({"456", "y"}, home.path()).status, savedWithoutWindow);
    EXPECT_EQ(files(), (Files{{"Kulverant.txt", "ZIZ: 456 y"}, {"123.txt", "ZIZ: 123 x"}, {"456.txt", "ZIZ: 456 y"}}));
    EXPECT_EQ(directoryContents(outside.path()), (Files{{"ziel", "unber\xc3\xbchrt"}}));
}

TEST_F(Program, FullDiskKeepsTheOldFileWholeAndLeavesNoTemporaryFile) {
    if (::getuid() != 0 || ::mount("tmpfs", messageDirectory().c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "no tmpfs can be mounted here; the file-size limit case covers a cut-short write";
    struct Unmount {
        fs::path path;
        ~Unmount() { ::umount2(path.c_str(), MNT_DETACH); }
    } unmount{messageDirectory()};
    const std::string previous = "ZIZ: 123 vorige Meldung";
    writeFile(messageDirectory() / "Kulverant.txt", previous);
    {
        std::ofstream filler(messageDirectory() / "voll", std::ios::binary);
        std::string block(4096, 'x');
        while (filler.write(block.data(), static_cast<std::streamsize>(block.size())) && filler.flush()) {
        }
    }
    std::string filled = readFile(messageDirectory() / "voll");

    Finished finished = run({"123", std::string(16384, 'y')}, home.path());
    EXPECT_EQ(finished.status, 1);
    EXPECT_TRUE(finished.report.starts_with("Laufzeitfehler '61':\n")) << finished.report;
    EXPECT_EQ(files(), (Files{{"Kulverant.txt", previous}, {"voll", filled}}));
}

// Alarms come in bursts: many starts at once, some with the same first word,
// while other programs keep reading the files.
TEST_F(Program, BurstOfStartsNeverShowsAReaderAPartialFile) {
    constexpr int starts = 200;
    constexpr int words = 20;
    auto wordOf = [](int i) { return "W" + std::to_string(10 + i % words); };
    std::map<std::string, std::set<std::string>> messagesOf;
    std::set<std::string> allMessages;
    std::vector<std::vector<std::string>> argumentLists;
    for (int i = 0; i < starts; ++i) {
        std::vector<std::string> arguments = {wordOf(i), "Alarm", std::string(1000 + i * 37, static_cast<char>('a' + i % 26))};
        std::string message = "ZIZ: " + arguments[0] + " Alarm " + arguments[2];
        messagesOf[arguments[0]].insert(message);
        allMessages.insert(message);
        argumentLists.push_back(std::move(arguments));
    }
    const std::string previous = "ZIZ: W10 vorige Meldung";
    writeFile(messageDirectory() / "Kulverant.txt", previous);
    allMessages.insert(previous);

    std::atomic<bool> done = false;
    std::atomic<int> reads = 0;
    std::atomic<int> torn = 0;
    std::thread fixedReader([&] {
        while (!done) {
            torn += !allMessages.contains(readFile(messageDirectory() / "Kulverant.txt"));
            ++reads;
        }
    });
    std::thread keyedReader([&] {
        for (int i = 0; !done; ++i) {
            std::string word = wordOf(i);
            fs::path path = messageDirectory() / (word + ".txt");
            std::ifstream in(path, std::ios::binary);
            if (!in)
                continue;
            std::string seen((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            torn += !messagesOf[word].contains(seen);
            ++reads;
        }
    });
    std::vector<Started> running;
    for (const auto& arguments : argumentLists)
        running.push_back(start(arguments, home.path()));
    int failures = 0;
    for (Started started : running)
        failures += finish(started).status != savedWithoutWindow;
    done = true;
    fixedReader.join();
    keyedReader.join();

    EXPECT_EQ(failures, 0);
    EXPECT_EQ(torn, 0) << "of " << reads << " reads";
    Files written = files();
    EXPECT_EQ(written.size(), words + 1u) << "a temporary file was left behind";
    for (const auto& [name, content] : written) {
        SCOPED_TRACE(name);
        if (name == "Kulverant.txt") {
            EXPECT_TRUE(allMessages.contains(content));
        } else {
            EXPECT_TRUE(messagesOf[name.substr(0, name.size() - 4)].contains(content));
        }
    }
}

// A decoder that stops its children, or a shutdown, may end a start in the
// middle of a save: the files stay whole and no temporary file stays behind.
TEST_F(Program, SignalsDuringASaveLeaveNoTemporaryFile) {
    const std::string previous = "ZIZ: 123 vorige Meldung";
    writeFile(messageDirectory() / "Kulverant.txt", previous);
    std::vector<std::string> arguments = {"123"};
    for (int i = 0; i < 6; ++i)
        arguments.push_back(std::string(100000, static_cast<char>('a' + i)));
    std::string message = "ZIZ: 123";
    for (std::size_t i = 1; i < arguments.size(); ++i)
        message += " " + arguments[i];
    // The signal is sent as soon as a temporary file shows, or after a while.
    auto temporaryFileShows = [&] {
        for (const auto& entry : fs::directory_iterator(messageDirectory()))
            if (entry.path().filename().string().starts_with(".kulverant-"))
                return true;
        return false;
    };
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        for (int i = 0; i < 10; ++i) {
            Started started = start(arguments, home.path());
            auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
            while (!temporaryFileShows() && std::chrono::steady_clock::now() < until) {
            }
            ::kill(started.pid, signal);
            int status = finish(started).status;
            EXPECT_TRUE(status == 128 + signal || status == savedWithoutWindow) << status;
        }
    }
    for (const auto& [name, content] : files()) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(name == "Kulverant.txt" || name == "123.txt");
        EXPECT_TRUE(content == message || (name == "Kulverant.txt" && content == previous));
    }
}

TEST_F(Program, LongMessagesAreWrittenExactly) {
    std::vector<std::string> manyWords;
    for (int i = 0; i < 5000; ++i)
        manyWords.push_back("W" + std::to_string(i));
    const std::vector<std::vector<std::string>> cases = {{"123", std::string(100000, 'x')}, manyWords};
    for (const auto& arguments : cases) {
        std::string message = "ZIZ: ";
        for (const std::string& word : arguments)
            message += (&word == &arguments.front() ? "" : " ") + word;
        ASSERT_EQ(run(arguments, home.path()).status, savedWithoutWindow);
        EXPECT_EQ(readFile(messageDirectory() / "Kulverant.txt"), message);
        EXPECT_EQ(readFile(messageDirectory() / (arguments.front() + ".txt")), message);
    }
}

} // namespace
} // namespace kulverant
