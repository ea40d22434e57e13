#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kulverant {

enum class PageKind { Alpha, Numeric, Skyper, ToneOnly };

/// One page as a POCSAG decoder's output line reports it.
struct Page {
    std::string demodulator; // "POCSAG1200"
    std::string address;     // the RIC, digits only, no leading blanks
    int function;            // 0 to 3, shown as a to d
    PageKind kind;
    std::string text; // without trailing fill marks and blanks; empty for tone-only pages
    // The reading as printed, fill included, and its kind: an alphanumeric
    // line of fill alone is a tone-only page but still a reading of its bits.
    PageKind printedAs = PageKind::ToneOnly;
    std::string printed;
};

/// The page of one output line of multimon-ng's POCSAG demodulators, such as
///   POCSAG1200: Address: 1234567  Function: 3  Alpha:   Alarm Wache<NUL>
/// wherever the line's report starts (--label and --timestamp put text
/// before it; -v 3 puts "Certainty: N" before the text), or nothing for any
/// other line. An alphanumeric page whose text is empty once its fill is
/// dropped counts as tone-only. A NUL byte is read as multimon-ng writes the
/// character, <NUL>.
std::optional<Page> parsePageLine(std::string_view line);

/// Whether two lines are readings of the same message bits, as multimon-ng
/// -f auto prints one page as digits, 7-bit text and Skyper text: each is
/// read back into bits and compared, the lengths included. A line that
/// cannot be read back (a character set other than -C DE, a truncated line)
/// agrees with nothing.
bool readingsAgree(const Page& one, const Page& other);

/// Whether text holds a control character's mark as multimon-ng writes it, such as <DC1>.
bool holdsControlMarks(std::string_view text);

/// Whether a line is a report in the JSON form of newer multimon-ng (--json).
bool isJsonReport(std::string_view line);

/// The message that kulverant gets for a page: "<RIC> <text>", for a
/// tone-only page "<RIC> Tonruf Funktion <n>".
std::string messageForPage(const Page& page);

} // namespace kulverant
