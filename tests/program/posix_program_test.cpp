// The built program under load and under faults: bursts of starts with
// readers polling the files, starts rewriting the same file in place at once,
// and every file operation of a start failing or meeting a signal in turn.
// The single cases are in cases.tsv.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <grp.h>
#include <map>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

namespace kulverant {
namespace {

namespace fs = std::filesystem;

// Without a display the files are written, then the program says that it
// cannot show its window.
constexpr int savedWithoutWindow = 2;

std::string readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class ProgramUnderLoad : public ::testing::Test {
protected:
    // Copies of the program and of the library that fails its file
    // operations, where the user nobody may run them wherever the build lies.
    void SetUp() override {
        char pattern[] = "/tmp/kulverant-test-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        home = pattern;
        messages = home / "Pocsag";
        fs::permissions(home, fs::perms(0755));
        fs::create_directory(home / "bin");
        for (const char* file : {KULVERANT_EXE, FAILING_LIBRARY})
            fs::copy_file(file, home / "bin" / fs::path(file).filename());
    }
    void TearDown() override {
        fs::permissions(messages, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(home);
    }

    // Starts the program as a decoder does, with standard error going to
    // errors, as the unprivileged user nobody where asked.
    pid_t start(const std::vector<std::string>& arguments, std::vector<std::string> environment = {},
                const char* errors = "/dev/null", bool asNobody = false) {
        std::vector<std::string> strings = {(home / "bin" / fs::path(KULVERANT_EXE).filename()).string()};
        strings.insert(strings.end(), arguments.begin(), arguments.end());
        environment.insert(environment.end(), {"HOME=" + home.string(), "LC_ALL=C"});
        pid_t pid = ::fork();
        if (pid == 0) {
            auto pointers = [](std::vector<std::string>& from) {
                std::vector<char*> result;
                for (std::string& s : from)
                    result.push_back(s.data());
                result.push_back(nullptr);
                return result;
            };
            ::freopen(errors, "w", stderr);
            if (asNobody && (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
                ::_exit(126);
            ::execve(strings[0].c_str(), pointers(strings).data(), pointers(environment).data());
            ::_exit(127);
        }
        return pid;
    }
    static int finish(pid_t pid) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    // The message folder with the given files, or an admin's drop folder:
    // root's, mode 0555, its files nobody's with mode 0644, so that nobody
    // may write the files but not replace them.
    void prepare(const std::map<std::string, std::string>& files, bool dropFolder = false) {
        fs::permissions(messages, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(messages);
        fs::create_directories(messages);
        for (const auto& [name, content] : files) {
            std::ofstream(messages / name, std::ios::binary) << content;
            if (dropFolder) {
                ASSERT_EQ(::chown((messages / name).c_str(), 65534, 65534), 0);
            }
        }
        if (dropFolder)
            fs::permissions(messages, fs::perms(0555));
    }

    fs::path home;
    fs::path messages;
    std::error_code ignored;
};

// Alarms come in bursts: many starts at once, some with the same first word,
// while other programs keep reading the files. A reader may find a keyed file
// missing before its first message, but never half-written, and no temporary
// file may stay.
TEST_F(ProgramUnderLoad, ABurstNeverShowsAReaderAPartialFile) {
    constexpr int starts = 200, words = 20;
    const std::string previous = "ZIZ: W10 vorige Meldung";
    prepare({{"Kulverant.txt", previous}});
    auto wordOf = [](int i) { return "W" + std::to_string(10 + i % words); };
    std::map<std::string, std::set<std::string>> messagesOf = {{"Kulverant", {previous}}};
    std::vector<pid_t> running;
    for (int i = 0; i < starts; ++i) {
        std::string text(static_cast<std::size_t>(1000 + i * 37), static_cast<char>('a' + i % 26));
        messagesOf[wordOf(i)].insert("ZIZ: " + wordOf(i) + " Alarm " + text);
        messagesOf["Kulverant"].insert("ZIZ: " + wordOf(i) + " Alarm " + text);
        running.push_back(start({wordOf(i), "Alarm", text}));
    }
    int reads = 0, torn = 0, failures = 0;
    while (!running.empty()) {
        for (const std::string& word : {std::string("Kulverant"), wordOf(reads)})
            if (std::ifstream in(messages / (word + ".txt"), std::ios::binary); in) {
                torn += !messagesOf[word].contains(std::string(std::istreambuf_iterator<char>(in), {}));
                ++reads;
            }
        std::erase_if(running, [&](pid_t pid) {
            int status = 0;
            if (::waitpid(pid, &status, WNOHANG) != pid)
                return false;
            failures += !WIFEXITED(status) || WEXITSTATUS(status) != savedWithoutWindow;
            return true;
        });
    }
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(torn, 0) << "of " << reads << " reads";
    int files = 0;
    for (const auto& entry : fs::directory_iterator(messages)) {
        std::string name = entry.path().filename().string();
        ++files;
        EXPECT_TRUE(messagesOf[name.substr(0, name.size() - 4)].contains(readBytes(entry.path()))) << name;
    }
    EXPECT_EQ(files, words + 1) << "a temporary file was left behind";
}

// In a drop folder the files are rewritten in place; two starts at once must
// leave one whole message, never the short one over the long one's tail.
TEST_F(ProgramUnderLoad, StartsRewritingInPlaceTakeTurns) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "the drop folder needs root to make";
    const std::string longText(100000, 'L');
    prepare({{"Kulverant.txt", "ZIZ: B vorige Meldung"}, {"B.txt", "ZIZ: B vorige Meldung"}}, /*dropFolder=*/true);
    for (int pair = 0; pair < 400; ++pair) {
        pid_t first = start({"B", longText}, {}, "/dev/null", /*asNobody=*/true);
        pid_t second = start({"B", "short"}, {}, "/dev/null", /*asNobody=*/true);
        ASSERT_EQ(finish(first), savedWithoutWindow);
        ASSERT_EQ(finish(second), savedWithoutWindow);
        for (const char* name : {"Kulverant.txt", "B.txt"}) {
            std::string content = readBytes(messages / name);
            ASSERT_TRUE(content == "ZIZ: B " + longText || content == "ZIZ: B short")
                << name << " after pair " << pair << ": " << content.size() << " bytes";
        }
    }
}

// As SQLite's I/O error tests do: the first, the second, ... file operation of
// a start fails, until a start meets no failure. Each file then holds the old
// message or the new one, whole; a start that reports success wrote both, and
// no temporary file stays. Then the same with a signal instead of a failure,
// as from a decoder that stops its children or a shutdown: the save under way
// ends first. Replaced, and rewritten in place in a drop folder with a longer
// and a shorter message.
TEST_F(ProgramUnderLoad, EveryFailingFileOperationLeavesTheOldOrTheNewMessageWhole) {
    struct Case {
        const char* name;
        bool dropFolder;
        std::string previous;
        std::string text;
    };
    const Case cases[] = {
        {"replaced", false, "ZIZ: 123 alt", std::string(20000, 'n')},
        {"in place, longer", true, "ZIZ: 123 alt", std::string(20000, 'n')},
        {"in place, shorter", true, "ZIZ: 123 " + std::string(20000, 'a'), "kurz"},
    };
    const fs::path errors = home / "errors";
    for (const Case& row : cases)
        for (const char* with : {"failure", "signal"}) {
            if (row.dropFolder && ::geteuid() != 0)
                continue;
            const std::string message = "ZIZ: 123 " + row.text;
            int failed = 0;
            for (bool failing = true; failing; ++failed) {
                SCOPED_TRACE(std::string(row.name) + ", " + with + " at operation " + std::to_string(failed + 1));
                prepare({{"Kulverant.txt", row.previous}, {"123.txt", row.previous}}, row.dropFolder);
                int status = finish(start({"123", row.text},
                                          {"LD_PRELOAD=" + (home / "bin" / fs::path(FAILING_LIBRARY).filename()).string(),
                                           "KULVERANT_FAIL_WITH=" + std::string(with),
                                           "KULVERANT_FAIL_AT=" + std::to_string(failed + 1)},
                                          errors.c_str(), row.dropFolder));
                std::string report = readBytes(errors);
                failing = report.find("failing_file_operations: ") != std::string::npos;
                if (failing && with == std::string("signal"))
                    EXPECT_TRUE(status > 128 && readBytes(messages / "Kulverant.txt") == message) << status;
                else
                    EXPECT_TRUE(status == savedWithoutWindow ||
                                (status == 1 && report.find("Laufzeitfehler") != std::string::npos))
                        << status << ": " << report;
                for (const auto& entry : fs::directory_iterator(messages)) {
                    std::string name = entry.path().filename().string(), content = readBytes(entry.path());
                    EXPECT_TRUE(name == "Kulverant.txt" || name == "123.txt") << name;
                    EXPECT_TRUE(content == message || (content == row.previous && status != savedWithoutWindow))
                        << name << " holds " << content.size() << " bytes; " << report;
                }
            }
            EXPECT_GT(failed, 5) << row.name << ": too few operations failed to have been caught";
        }
}

} // namespace
} // namespace kulverant
