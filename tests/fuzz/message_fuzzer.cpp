// Any bytes as the message: the first word and the keyed path must keep their
// promises on both platforms, whatever arrives over the air.
#include "app/command_line.h"
#include "message/keyed_path.h"
#include "message/message_text.h"
#include "message/unicode_text.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

using namespace kulverant;

void check(bool condition) {
    if (!condition)
        std::abort();
}

void checkKeyedPath(std::string_view directory, std::string_view word, PathStyle style) {
    auto path = keyedMessagePath(directory, word, style);
    bool leaves = word.find_first_of(std::string_view("/\\\0", 3)) != std::string_view::npos ||
                  (style == PathStyle::Windows && word.find(':') != std::string_view::npos);
    if (!path) {
        check(path.error().number == ErrorNumber::BadFileName);
        check(!path.error().reason.empty());
        // Besides separators, only Windows refuses names (device names).
        check(leaves || style == PathStyle::Windows);
        return;
    }
    check(!leaves && *path == std::string(directory) + std::string(word) + ".txt");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view message(reinterpret_cast<const char*>(data), size);

    std::optional<std::string_view> word = firstWord(message);
    check(word.has_value() == !message.empty());
    if (word) {
        check(message.starts_with(*word) && word->find(' ') == std::string_view::npos);
        check(word->size() == message.size() || message[word->size()] == ' ');
        checkKeyedPath("/home/anna/Pocsag/", *word, PathStyle::Posix);
        checkKeyedPath("C:\\Pocsag\\", *word, PathStyle::Windows);
    }

    // The same bytes as a Windows command line, read two bytes to a unit.
    std::u16string commandLine(size / 2, u'\0');
    std::memcpy(commandLine.data(), data, commandLine.size() * 2);
    std::u16string_view argumentText = argumentTextFromCommandLine(commandLine);
    check(std::u16string_view(commandLine).ends_with(argumentText));
    check(utf16FromUtf8(utf8FromUtf16(commandLine)) == commandLine);
    return 0;
}
