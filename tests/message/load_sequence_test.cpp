#include "message/load_sequence.h"

#include "support/temporary_directory.h"

#include <gtest/gtest.h>

namespace kulverant {
namespace {

using testing::directoryContents;
using testing::readFile;
using testing::writeFile;
using Files = std::map<std::string, std::string>;

class LoadSequence : public ::testing::Test {
protected:
    Expected<void, RunError> load(std::string_view argumentText) {
        return runLoadSequence(argumentText, (root.path() / "").string(), textArea);
    }
    Files files() const { return directoryContents(root.path()); }

    testing::TemporaryDirectory root;
    TextArea textArea;
};

TEST_F(LoadSequence, WritesTheDisplayTextToTheFixedAndTheKeyedFile) {
    const std::pair<std::string_view, Files> cases[] = {
        {"123 Alarm Wache", {{"Kulverant.txt", "ZIZ: 123 Alarm Wache"}, {"123.txt", "ZIZ: 123 Alarm Wache"}}},
        {" 123 x", {{"Kulverant.txt", "ZIZ:  123 x"}, {".txt", "ZIZ:  123 x"}}},
        {"Kulverant ruft", {{"Kulverant.txt", "ZIZ: Kulverant ruft"}}},
    };
    for (const auto& [argumentText, expected] : cases) {
        SCOPED_TRACE(argumentText);
        for (const auto& entry : std::filesystem::directory_iterator(root.path()))
            std::filesystem::remove(entry.path());
        ASSERT_TRUE(load(argumentText).has_value());
        EXPECT_EQ(files(), expected);
        EXPECT_EQ(textArea.text(), expected.at("Kulverant.txt"));
    }
}

TEST_F(LoadSequence, ReplacesALongerFileWholeAndKeepsOtherKeyedFiles) {
    writeFile(root.path() / "123.txt", "ZIZ: 123 eine viel längere frühere Meldung");
    ASSERT_TRUE(load("456 zuerst").has_value());
    ASSERT_TRUE(load("123 kurz").has_value());
    EXPECT_EQ(files(), (Files{{"Kulverant.txt", "ZIZ: 123 kurz"}, {"123.txt", "ZIZ: 123 kurz"},
                              {"456.txt", "ZIZ: 456 zuerst"}}));
}

TEST_F(LoadSequence, EmptyMessageIsRefusedBeforeAnythingIsWritten) {
    writeFile(root.path() / "Kulverant.txt", "ZIZ: 123 vorige Meldung");
    auto loaded = load("");
    ASSERT_FALSE(loaded.has_value());
    EXPECT_EQ(loaded.error().number, ErrorNumber::SubscriptOutOfRange);
    EXPECT_EQ(files(), (Files{{"Kulverant.txt", "ZIZ: 123 vorige Meldung"}}));
}

TEST_F(LoadSequence, FirstWordLeadingOutOfTheDirectoryStopsAfterTheFixedFile) {
    std::filesystem::create_directory(root.path() / "Pocsag");
    auto loaded = runLoadSequence("../escaped x", (root.path() / "Pocsag" / "").string(), textArea);
    ASSERT_FALSE(loaded.has_value());
    EXPECT_EQ(loaded.error().number, ErrorNumber::BadFileName);
    EXPECT_EQ(files(), (Files{{"Pocsag", "<dir>"}}));
    EXPECT_EQ(directoryContents(root.path() / "Pocsag"), (Files{{"Kulverant.txt", "ZIZ: ../escaped x"}}));
}

TEST_F(LoadSequence, MissingDirectoryFailsAtTheFixedFileWithError76) {
    auto loaded = runLoadSequence("123 x", (root.path() / "fehlt" / "").string(), textArea);
    ASSERT_FALSE(loaded.has_value());
    EXPECT_EQ(loaded.error().number, ErrorNumber::PathNotFound);
    EXPECT_EQ(loaded.error().path, (root.path() / "fehlt" / "Kulverant.txt").string());
    EXPECT_TRUE(files().empty());
}

TEST_F(LoadSequence, KeyedPathThatIsADirectoryFailsAndLeavesNoTemporaryFile) {
    std::filesystem::create_directory(root.path() / "123.txt");
    auto loaded = load("123 x");
    ASSERT_FALSE(loaded.has_value());
    EXPECT_EQ(loaded.error().number, ErrorNumber::PathFileAccess);
    EXPECT_EQ(files(), (Files{{"Kulverant.txt", "ZIZ: 123 x"}, {"123.txt", "<dir>"}}));
}


} // namespace
} // namespace kulverant
