#include "app/command_line.h"

#include <gtest/gtest.h>

namespace kulverant {
namespace {

TEST(CommandLine, MessageIsEverythingAfterTheProgramNameAndItsBlanks) {
    const std::pair<std::u16string_view, std::u16string_view> cases[] = {
        {u"kulverant.exe 123 Alarm Wache", u"123 Alarm Wache"},
        {u"\"C:\\Program Files\\kulverant.exe\" 123  Alarm", u"123  Alarm"},
        {u"kulverant.exe \t  123 \"Alarm  Wache\" ", u"123 \"Alarm  Wache\" "},
        {u"\"C:\\a b\\kulverant.exe\"123 x", u"123 x"},
        {u"kulverant.exe", u""},
        {u"\"kulverant.exe   ", u""},
        {u"kulverant.exe    ", u""},
        {u"", u""},
    };
    for (auto [commandLine, message] : cases) {
        SCOPED_TRACE(std::string(commandLine.begin(), commandLine.end()));
        EXPECT_EQ(argumentTextFromCommandLine(commandLine), message);
    }
}

} // namespace
} // namespace kulverant
