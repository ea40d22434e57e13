#include "run_error.h"

#include "unicode_text.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace kulverant {

std::string_view errorText(ErrorNumber number) {
    switch (number) {
    case ErrorNumber::SubscriptOutOfRange: return "Index außerhalb des gültigen Bereichs";
    case ErrorNumber::BadFileName: return "Dateiname oder -nummer falsch";
    case ErrorNumber::DiskFull: return "Datenträger voll";
    case ErrorNumber::PermissionDenied: return "Zugriff verweigert";
    case ErrorNumber::PathFileAccess: return "Fehler beim Zugriff auf Pfad/Datei";
    case ErrorNumber::PathNotFound: return "Pfad nicht gefunden";
    }
    return "Unbekannter Fehler";
}

namespace {

// Characters that a terminal or a message box shows as nothing (Unicode's
// format characters, the line and paragraph separators and the other
// default-ignorable code points), among them those that break a line or turn
// the direction of the text around them: shown raw, they would forge a line,
// or make one path pass for another. Unicode 15.
bool isInvisible(char32_t c) {
    static constexpr std::pair<char32_t, char32_t> ranges[] = {
        {0x00AD, 0x00AD}, {0x034F, 0x034F},   {0x0600, 0x0605},   {0x061C, 0x061C},   {0x06DD, 0x06DD},
        {0x070F, 0x070F}, {0x0890, 0x0891},   {0x08E2, 0x08E2},   {0x115F, 0x1160},   {0x17B4, 0x17B5},
        {0x180B, 0x180F}, {0x200B, 0x200F},   {0x2028, 0x202E},   {0x2060, 0x206F},   {0x3164, 0x3164},
        {0xFE00, 0xFE0F}, {0xFEFF, 0xFEFF},   {0xFFA0, 0xFFA0},   {0xFFF0, 0xFFFB},   {0x110BD, 0x110BD},
        {0x110CD, 0x110CD}, {0x13430, 0x1343F}, {0x1BCA0, 0x1BCA3}, {0x1D173, 0x1D17A}, {0xE0000, 0xE0FFF},
    };
    return std::ranges::any_of(ranges, [c](auto range) { return c >= range.first && c <= range.second; });
}

// What a report shows for each character of text: the character itself, or
// for a control character (C0, DEL, C1), an invisible character and a byte
// that starts no valid UTF-8 sequence a visible escape. Raw, they would
// colour or clear the terminal, or forge further lines in a decoder's log.
std::vector<std::string> shownCharacters(std::string_view text) {
    static constexpr char hex[] = "0123456789abcdef";
    std::vector<std::string> shown;
    for (std::size_t i = 0; i < text.size();) {
        std::size_t start = i;
        char32_t c = decodeUtf8(text, i);
        auto byte = static_cast<unsigned char>(text[start]);
        // A stray byte, or a surrogate, which no valid UTF-8 holds.
        bool invalid = (c == 0xFFFD && i - start == 1) || (c >= 0xD800 && c <= 0xDFFF);
        if (invalid || c < 0x20 || c == 0x7F) {
            if (byte == '\n' || byte == '\t' || byte == '\r')
                shown.push_back(byte == '\n' ? "\\n" : byte == '\t' ? "\\t" : "\\r");
            else
                shown.push_back(std::string("\\x") + hex[byte >> 4] + hex[byte & 0xF]);
            i = start + 1;
        } else if ((c >= 0x80 && c < 0xA0) || isInvisible(c)) {
            std::string escape = c > 0xFFFF ? "\\U" : "\\u";
            for (int shift = c > 0xFFFF ? 28 : 12; shift >= 0; shift -= 4)
                escape += hex[c >> shift & 0xF];
            shown.push_back(std::move(escape));
        } else {
            shown.emplace_back(text.substr(start, i - start));
        }
    }
    return shown;
}

std::string joined(const std::vector<std::string>& parts) {
    std::string result;
    for (const std::string& part : parts)
        result += part;
    return result;
}

std::string formatReport(const RunError& error, std::string_view shownPath) {
    std::string report = "Laufzeitfehler '";
    report += std::to_string(static_cast<int>(error.number));
    report += "':\n";
    report += errorText(error.number);
    report += '\n';
    if (!shownPath.empty()) {
        report += shownPath;
        report += ": ";
    }
    report += quotedForReport(error.reason);
    return report;
}

} // namespace

std::string quotedForReport(std::string_view text) {
    return joined(shownCharacters(text));
}

std::string formatReport(const RunError& error) {
    return formatReport(error, quotedForReport(error.path));
}

std::string formatBoxReport(const RunError& error) {
    std::vector<std::string> shown = shownCharacters(error.path);
    if (shown.size() > boxPathCharacters) {
        std::size_t kept = (boxPathCharacters - 1) / 2;
        shown.erase(shown.begin() + static_cast<std::ptrdiff_t>(kept),
                    shown.end() - static_cast<std::ptrdiff_t>(kept));
        shown.insert(shown.begin() + static_cast<std::ptrdiff_t>(kept), "\u2026");
    }
    return formatReport(error, joined(shown));
}

} // namespace kulverant
