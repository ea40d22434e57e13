#include "run_error.h"

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

std::string formatReport(const RunError& error) {
    std::string report = "Laufzeitfehler '";
    report += std::to_string(static_cast<int>(error.number));
    report += "':\n";
    report += errorText(error.number);
    report += '\n';
    if (!error.path.empty()) {
        report += error.path;
        report += ": ";
    }
    report += error.reason;
    return report;
}

} // namespace kulverant
