#include "run_error.h"

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

// The length of the valid UTF-8 sequence at text[i], or 0 for a stray byte.
std::size_t sequenceLength(std::string_view text, std::size_t i) {
    auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    unsigned char lead = byte(i);
    std::size_t length = lead < 0x80 ? 1 : lead >= 0xC2 && lead < 0xE0 ? 2 : lead >= 0xE0 && lead < 0xF0 ? 3
                       : lead >= 0xF0 && lead < 0xF5                   ? 4
                                                                       : 0;
    if (length == 0 || i + length > text.size())
        return 0;
    for (std::size_t k = 1; k < length; ++k)
        if ((byte(i + k) & 0xC0) != 0x80)
            return 0;
    // Overlong forms, surrogates and code points past U+10FFFF.
    unsigned char second = byte(i + 1 < text.size() ? i + 1 : i);
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second >= 0xA0) || (lead == 0xF0 && second < 0x90) ||
        (lead == 0xF4 && second >= 0x90))
        return 0;
    return length;
}

// What a report shows for each character of text: the character itself, or
// for a control character (C0, DEL, C1) and a byte that starts no valid
// UTF-8 sequence a visible escape. Raw, they would colour or clear the
// terminal, or forge further lines in a decoder's log.
std::vector<std::string> shownCharacters(std::string_view text) {
    static constexpr char hex[] = "0123456789abcdef";
    std::vector<std::string> shown;
    for (std::size_t i = 0; i < text.size();) {
        auto byte = static_cast<unsigned char>(text[i]);
        std::size_t length = sequenceLength(text, i);
        bool c1 = length == 2 && byte == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0;
        if (length == 1 && byte >= 0x20 && byte != 0x7F) {
            shown.emplace_back(1, text[i]);
        } else if (byte == '\n' || byte == '\t' || byte == '\r') {
            shown.push_back(byte == '\n' ? "\\n" : byte == '\t' ? "\\t" : "\\r");
        } else if (c1) {
            auto code = static_cast<unsigned char>(text[i + 1]);
            shown.push_back(std::string("\\u00") + hex[code >> 4] + hex[code & 0xF]);
        } else if (length <= 1) {
            shown.push_back(std::string("\\x") + hex[byte >> 4] + hex[byte & 0xF]);
            length = 1;
        } else {
            shown.emplace_back(text.substr(i, length));
        }
        i += length;
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
