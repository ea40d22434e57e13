// Alarms come in bursts: many starts at once, some with the same first word,
// while other programs keep reading the files. A reader may find a file
// missing or locked while it is replaced, but never half-written, and no
// temporary file may stay. Shared by the Linux and the Windows program tests.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace kulverant {

struct Burst {
    int starts;
    int words;
    int length; // of the first start's text; each further one is longer by step
    int step;
};

inline std::string readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

using ArgumentLists = std::vector<std::vector<std::string>>;

/// Runs the burst through runAll, which starts a program for every argument
/// list at once, calls readOnce until all of them have ended and returns how
/// many failed. readOnce reads the fixed file and a keyed one, as the other
/// programs polling them do.
inline void checkBurst(const std::filesystem::path& messages, const Burst& burst,
                       const std::function<int(const ArgumentLists&, const std::function<void()>& readOnce)>& runAll) {
    namespace fs = std::filesystem;
    const std::string previous = "ZIZ: W10 vorige Meldung";
    fs::remove_all(messages);
    fs::create_directories(messages);
    std::ofstream(messages / "Kulverant.txt", std::ios::binary) << previous;
    auto wordOf = [&](int i) { return "W" + std::to_string(10 + i % burst.words); };
    std::map<std::string, std::set<std::string>> messagesOf = {{"Kulverant", {previous}}};
    ArgumentLists argumentLists;
    for (int i = 0; i < burst.starts; ++i) {
        std::string text(static_cast<std::size_t>(burst.length + i * burst.step), static_cast<char>('a' + i % 26));
        argumentLists.push_back({wordOf(i), "Alarm", text});
        std::string message = "ZIZ: " + wordOf(i) + " Alarm " + text;
        messagesOf[wordOf(i)].insert(message);
        messagesOf["Kulverant"].insert(message);
    }

    int reads = 0, torn = 0;
    auto read = [&](const std::string& word) {
        std::ifstream in(messages / (word + ".txt"), std::ios::binary);
        if (in) {
            torn += !messagesOf[word].contains(std::string(std::istreambuf_iterator<char>(in), {}));
            ++reads;
        }
    };
    int failures = runAll(argumentLists, [&] {
        read("Kulverant");
        read(wordOf(reads));
    });

    EXPECT_EQ(failures, 0);
    EXPECT_EQ(torn, 0) << "of " << reads << " reads";
    int files = 0;
    for (const auto& entry : fs::directory_iterator(messages)) {
        std::string name = entry.path().filename().string();
        ++files;
        EXPECT_TRUE(messagesOf[name.substr(0, name.size() - 4)].contains(readBytes(entry.path()))) << name;
    }
    EXPECT_EQ(files, burst.words + 1) << "a temporary file was left behind";
}

} // namespace kulverant
