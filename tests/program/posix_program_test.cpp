// The built program under load: bursts of starts with readers polling the
// files, and starts stopped by a signal in the middle of a save. The single
// cases are in cases.tsv.
#include "burst.h"

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace kulverant {
namespace {

namespace fs = std::filesystem;

// Without a display the files are written, then the program says that it
// cannot show its window.
constexpr int savedWithoutWindow = 2;

class ProgramUnderLoad : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/kulverant-test-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        home = pattern;
        messages = home / "Pocsag";
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

    fs::path home;
    fs::path messages;
};

TEST_F(ProgramUnderLoad, ABurstNeverShowsAReaderAPartialFile) {
    checkBurst(messages, {200, 20, 1000, 37}, [&](const auto& argumentLists) {
        std::vector<pid_t> running;
        for (const auto& arguments : argumentLists)
            running.push_back(start(arguments));
        int failures = 0;
        for (pid_t pid : running)
            failures += finish(pid) != savedWithoutWindow;
        return failures;
    });
}

// A decoder that stops its children, or a shutdown, may end a start in the
// middle of a save: the files stay whole and no temporary file stays behind.
TEST_F(ProgramUnderLoad, ASignalDuringASaveLeavesNoTemporaryFile) {
    const std::string previous = "ZIZ: 123 vorige Meldung";
    fs::create_directories(messages);
    std::ofstream(messages / "Kulverant.txt", std::ios::binary) << previous;
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
    for (const auto& entry : fs::directory_iterator(messages)) {
        std::string name = entry.path().filename().string(), content = readBytes(entry.path());
        EXPECT_TRUE(name == "Kulverant.txt" || name == "123.txt") << name;
        EXPECT_TRUE(content == message || (name == "Kulverant.txt" && content == previous)) << name;
    }
}

} // namespace
} // namespace kulverant
