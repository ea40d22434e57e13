// The built program under load: bursts of starts with readers polling the
// files, and starts stopped by a signal in the middle of a save. The single
// cases are in cases.tsv.
#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace kulverant {
namespace {

namespace fs = std::filesystem;

std::string readFile(const fs::path& path) {
    std::ostringstream content;
    content << std::ifstream(path, std::ios::binary).rdbuf();
    return content.str();
}

// Without a display the files are written, then the program says that it
// cannot show its window.
constexpr int savedWithoutWindow = 2;
const std::string previous = "ZIZ: W10 vorige Meldung";

class ProgramUnderLoad : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/kulverant-test-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        home = pattern;
        messages = home / "Pocsag";
        fs::create_directory(messages);
        std::ofstream(messages / "Kulverant.txt", std::ios::binary) << previous;
    }
    void TearDown() override { fs::remove_all(home); }

    // Starts the program as a decoder does, standard error discarded.
    pid_t start(const std::vector<std::string>& arguments) {
        std::vector<std::string> strings = {KULVERANT_EXE};
        strings.insert(strings.end(), arguments.begin(), arguments.end());
        std::string homeVariable = "HOME=" + home.string();
        pid_t pid = ::fork();
        if (pid == 0) {
            std::vector<char*> argv;
            for (std::string& s : strings)
                argv.push_back(s.data());
            argv.push_back(nullptr);
            char* envp[] = {homeVariable.data(), const_cast<char*>("LC_ALL=C"), nullptr};
            ::freopen("/dev/null", "w", stderr);
            ::execve(argv[0], argv.data(), envp);
            ::_exit(127);
        }
        return pid;
    }
    static int finish(pid_t pid) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    std::map<std::string, std::string> files() const {
        std::map<std::string, std::string> contents;
        for (const auto& entry : fs::directory_iterator(messages))
            contents[entry.path().filename().string()] = readFile(entry.path());
        return contents;
    }

    fs::path home;
    fs::path messages;
};

// Alarms come in bursts: many starts at once, some with the same first word,
// while other programs keep reading the files.
TEST_F(ProgramUnderLoad, ABurstNeverShowsAReaderAPartialFile) {
    constexpr int starts = 200;
    constexpr int words = 20;
    auto wordOf = [](int i) { return "W" + std::to_string(10 + i % words); };
    std::map<std::string, std::set<std::string>> messagesOf = {{"Kulverant", {previous}}};
    std::vector<std::vector<std::string>> argumentLists;
    for (int i = 0; i < starts; ++i) {
        argumentLists.push_back({wordOf(i), "Alarm", std::string(1000 + i * 37, static_cast<char>('a' + i % 26))});
        std::string message = "ZIZ: " + wordOf(i) + " Alarm " + argumentLists.back()[2];
        messagesOf[wordOf(i)].insert(message);
        messagesOf["Kulverant"].insert(message);
    }

    std::atomic<bool> done = false;
    std::atomic<int> reads = 0, torn = 0;
    auto readLoop = [&](bool keyed) {
        for (int i = 0; !done; ++i) {
            std::string word = keyed ? wordOf(i) : "Kulverant";
            if (!fs::exists(messages / (word + ".txt")))
                continue;
            torn += !messagesOf[word].contains(readFile(messages / (word + ".txt")));
            ++reads;
        }
    };
    std::thread fixedReader(readLoop, false), keyedReader(readLoop, true);
    std::vector<pid_t> running;
    for (const auto& arguments : argumentLists)
        running.push_back(start(arguments));
    int failures = 0;
    for (pid_t pid : running)
        failures += finish(pid) != savedWithoutWindow;
    done = true;
    fixedReader.join();
    keyedReader.join();

    EXPECT_EQ(failures, 0);
    EXPECT_EQ(torn, 0) << "of " << reads << " reads";
    auto written = files();
    EXPECT_EQ(written.size(), words + 1u) << "a temporary file was left behind";
    for (const auto& [name, content] : written)
        EXPECT_TRUE(messagesOf[name.substr(0, name.size() - 4)].contains(content)) << name;
}

// A decoder that stops its children, or a shutdown, may end a start in the
// middle of a save: the files stay whole and no temporary file stays behind.
TEST_F(ProgramUnderLoad, ASignalDuringASaveLeavesNoTemporaryFile) {
    std::vector<std::string> arguments = {"123"};
    std::string message = "ZIZ: 123";
    for (char c = 'a'; c < 'g'; ++c) {
        arguments.push_back(std::string(100000, c));
        message += " " + arguments.back();
    }
    auto temporaryFileShows = [&] {
        for (const auto& entry : fs::directory_iterator(messages))
            if (entry.path().filename().string().starts_with(".kulverant-"))
                return true;
        return false;
    };
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        for (int i = 0; i < 10; ++i) {
            pid_t pid = start(arguments);
            // Sent as soon as a temporary file shows, or after a while.
            auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
            while (!temporaryFileShows() && std::chrono::steady_clock::now() < until) {
            }
            ::kill(pid, signal);
            int status = finish(pid);
            EXPECT_TRUE(status == 128 + signal || status == savedWithoutWindow) << status;
        }
    }
    for (const auto& [name, content] : files()) {
        EXPECT_TRUE(name == "Kulverant.txt" || name == "123.txt") << name;
        EXPECT_TRUE(content == message || (name == "Kulverant.txt" && content == previous)) << name;
    }
}

} // namespace
} // namespace kulverant
