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

std::string formatReport(const RunError& error, std::string_view path) {
    std::string report = "Laufzeitfehler '";
    report += std::to_string(static_cast<int>(error.number));
    report += "':\n";
    report += errorText(error.number);
    report += '\n';
    if (!path.empty()) {
        report += path;
        report += ": ";
    }
    report += error.reason;
    return report;
}

// The UTF-8 characters of text, each as its bytes; a stray byte counts as one.
std::vector<std::string_view> characters(std::string_view text) {
    std::vector<std::string_view> result;
    for (std::size_t i = 0; i < text.size();) {
        std::size_t end = i + 1;
        while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80 && end - i < 4)
            ++end;
        result.push_back(text.substr(i, end - i));
        i = end;
    }
    return result;
}

std::string showablePath(std::string_view path) {
    std::vector<std::string_view> shown = characters(path);
    for (std::string_view& c : shown)
        if (c.size() == 1 && (static_cast<unsigned char>(c[0]) < 0x20 || c[0] == 0x7F))
            c = "\uFFFD";
    if (shown.size() > boxPathCharacters) {
        std::size_t kept = (boxPathCharacters - 1) / 2;
        shown.erase(shown.begin() + static_cast<std::ptrdiff_t>(kept),
                    shown.end() - static_cast<std::ptrdiff_t>(kept));
        shown.insert(shown.begin() + static_cast<std::ptrdiff_t>(kept), "\u2026");
    }
    std::string result;
    for (std::string_view c : shown)
        result += c;
    return result;
}

} // namespace

std::string formatReport(const RunError& error) {
    return formatReport(error, error.path);
}

std::string formatBoxReport(const RunError& error) {
    return formatReport(error, showablePath(error.path));
}

} // namespace kulverant
