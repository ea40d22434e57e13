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

/// text with its control characters (C0, DEL, C1), the characters shown as
/// nothing (format characters such as U+200B and U+202E, line and paragraph
/// separators, other default-ignorable code points) and the bytes that start
/// no valid UTF-8 sequence shown as escapes: '\n', '\t', '\r', '\x1b',
/// '\u0085', '\u2028', '\U000e0041'.
/// The first word in a path is the sender's, whatever it holds.
std::string quotedForReport(std::string_view text);

/// The report shown to the user and written to standard error, e.g.
///   Laufzeitfehler '76':
///   Pfad nicht gefunden
///   /home/anna/Pocsag/Kulverant.txt: No such file or directory
/// Path and reason are quoted as by quotedForReport.
std::string formatReport(const RunError& error);

/// The same report for a message box, which must fit on the screen: the
/// quoted path is shortened in the middle to at most boxPathCharacters
/// characters.
std::string formatBoxReport(const RunError& error);
inline constexpr std::size_t boxPathCharacters = 60;

} // namespace kulverant
