#include "keyed_path.h"

#include <algorithm>
#include <array>

namespace kulverant {

namespace {

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    return std::ranges::equal(a, b, [](char x, char y) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        return lower(x) == lower(y);
    });
}

// Equal as Windows compares names, for the letters of Latin-1 as well as
// ASCII: 'MÜLLER.txt' is the file 'Müller.txt'.
bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    auto folded = [](std::string_view text) {
        std::string result(text);
        for (std::size_t i = 0; i < result.size(); ++i) {
            char& c = result[i];
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
            // U+00C0 to U+00DE but U+00D7 are C3 80 to C3 9E in UTF-8.
            if (c == '\xC3' && i + 1 < result.size()) {
                auto next = static_cast<unsigned char>(result[i + 1]);
                if (next >= 0x80 && next <= 0x9E && next != 0x97)
                    result[i + 1] = static_cast<char>(next + 0x20);
                ++i;
            }
        }
        return result;
    };
    return folded(a) == folded(b);
}

// Windows opens a device instead of a file when the part of a name before its
// first dot is a reserved device name: 'NUL.txt' would swallow the message.
std::string_view reservedDeviceName(std::string_view word) {
    static constexpr std::array<std::string_view, 32> names = {
        "CON",  "PRN",  "AUX",  "NUL",  "CONIN$", "CONOUT$", "COM0", "COM1", "COM2", "COM3", "COM4",
        "COM5", "COM6", "COM7", "COM8", "COM9",   "LPT0",    "LPT1", "LPT2", "LPT3", "LPT4", "LPT5",
        "LPT6", "LPT7", "LPT8", "LPT9",
        // Superscript one, two and three count as digits there too.
        "COM\u00b9", "COM\u00b2", "COM\u00b3", "LPT\u00b9", "LPT\u00b2", "LPT\u00b3",
    };
    std::string_view stem = word.substr(0, word.find('.'));
    for (std::string_view name : names)
        if (equalsIgnoringAsciiCase(stem, name))
            return name;
    return {};
}

// The rest of what Windows forbids in a name. '*' and '?' would also be
// taken as wildcards when the program looks for the file already there.
bool hasCharacterWindowsForbids(std::string_view word) {
    return std::ranges::any_of(word, [](char c) {
        return (c > 0 && c < 0x20) || std::string_view(R"(<>"|?*)").find(c) != std::string_view::npos;
    });
}

// Returns why the first word cannot name a keyed message file, or nothing.
std::string refusalReason(std::string_view word, PathStyle style) {
    if (word.find_first_of("/\\") != std::string_view::npos)
        return "Das erste Wort enthält einen Pfadtrenner ('/' oder '\\') und würde aus dem "
               "Meldungsverzeichnis hinausführen.";
    if (word.find('\0') != std::string_view::npos)
        return "Das erste Wort enthält ein Nullzeichen.";
    if (style == PathStyle::Windows) {
        if (word.find(':') != std::string_view::npos)
            return "Das erste Wort enthält einen Doppelpunkt; Windows legte damit einen "
                   "versteckten Datenstrom statt einer Datei an.";
        if (hasCharacterWindowsForbids(word))
            return "Das erste Wort enthält ein Zeichen, das Windows in Dateinamen nicht zulässt "
                   "(< > \" | ? * oder ein Steuerzeichen).";
        if (std::string_view device = reservedDeviceName(word); !device.empty())
            return "Das erste Wort ist der reservierte Gerätename " + std::string(device) +
                   "; Windows schriebe die Meldung in das Gerät statt in eine Datei.";
    }
    return {};
}

} // namespace

std::string shortNameRefusal(std::string_view requestedName, std::string_view longName,
                             std::string_view shortName, PathStyle style) {
    if (style != PathStyle::Windows || shortName.empty() || !equalsIgnoringAsciiCase(requestedName, shortName) ||
        equalsIgnoringCase(requestedName, longName))
        return {};
    return "Das ist der kurze Name der Datei '" + std::string(longName) +
           "', die zu einem anderen ersten Wort gehört; sie bleibt unverändert.";
}

std::string fixedMessagePath(std::string_view messageDirectory) {
    std::string path(messageDirectory);
    path += fixedFileName;
    return path;
}

Expected<std::string, RunError> keyedMessagePath(std::string_view messageDirectory,
                                                      std::string_view firstWord,
                                                      PathStyle style) {
    std::string path;
    path.reserve(messageDirectory.size() + firstWord.size() + keyedFileSuffix.size());
    path += messageDirectory;
    path += firstWord;
    path += keyedFileSuffix;
    if (std::string reason = refusalReason(firstWord, style); !reason.empty())
        return Unexpected(RunError{ErrorNumber::BadFileName, std::move(path), std::move(reason)});
    return path;
}

} // namespace kulverant
