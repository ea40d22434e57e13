#include "message/load_sequence.h"

#include "support/temporary_directory.h"

#include <gtest/gtest.h>

namespace kulverant {
namespace {

using testing::directoryContents;
using testing::writeFile;
using Files = std::map<std::string, std::string>;

// In-process, so that each platform's own writer runs; the end-to-end tests on
// Linux and under Wine cover the load sequence's other cases.
class LoadSequence : public ::testing::Test {
protected:
    Expected<void, RunError> load(std::string_view argumentText) {
        return runLoadSequence(argumentText, (root.path() / "").string(), textArea);
    }
    Files files() const { return directoryContents(root.path()); }

    testing::TemporaryDirectory root;
    TextArea textArea;
};

TEST_F(LoadSequence, ReplacesALongerFileWholeAndKeepsOtherKeyedFiles) {
    writeFile(root.path() / "123.txt", "ZIZ: 123 eine viel längere frühere Meldung");
    ASSERT_TRUE(load("456 zuerst").has_value());
    ASSERT_TRUE(load("123 kurz").has_value());
    EXPECT_EQ(files(), (Files{{"Kulverant.txt", "ZIZ: 123 kurz"}, {"123.txt", "ZIZ: 123 kurz"},
                              {"456.txt", "ZIZ: 456 zuerst"}}));
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
