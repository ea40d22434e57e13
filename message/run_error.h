#pragma once

#include <string>
#include <string_view>

namespace kulverant {

/// Run-time error numbers, as the program's users know them from its reports.
enum class ErrorNumber : int {
    SubscriptOutOfRange = 9,
    BadFileName = 52,
    DiskFull = 61,
    PermissionDenied = 70,
    PathFileAccess = 75,
    PathNotFound = 76,
};

/// The German text that belongs to an error number.
std::string_view errorText(ErrorNumber number);

/// A failure of the load sequence: what went wrong, on which path, and why.
struct RunError {
    ErrorNumber number;
    std::string path;   // the file concerned; empty when no file is
    std::string reason; // the system's own words, or the program's
};

/// The report shown to the user and written to standard error, e.g.
///   Laufzeitfehler '76':
///   Pfad nicht gefunden
///   /home/anna/Pocsag/Kulverant.txt: No such file or directory
std::string formatReport(const RunError& error);

/// The same report for a message box, which must fit on the screen: the path
/// (the first word is the sender's, any length, newlines included) comes with
/// its control characters shown as U+FFFD and shortened in the middle to at
/// most boxPathCharacters characters.
std::string formatBoxReport(const RunError& error);
inline constexpr std::size_t boxPathCharacters = 60;

} // namespace kulverant
