#include "page_line.h"

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

namespace kulverant {

namespace {

// multimon-ng prints control characters as their names in angle brackets;
// a transmitter pads the last codeword with them (mostly <NUL> and <EOT>).
constexpr std::array<std::string_view, 33> controlNames = {
    "<NUL>", "<SOH>", "<STX>", "<ETX>", "<EOT>", "<ENQ>", "<ACK>", "<BEL>", "<BS>",  "<HT>",  "<LF>",
    "<VT>",  "<FF>",  "<CR>",  "<SO>",  "<SI>",  "<DLE>", "<DC1>", "<DC2>", "<DC3>", "<DC4>", "<NAK>",
    "<SYN>", "<ETB>", "<CAN>", "<EM>",  "<SUB>", "<ESC>", "<FS>",  "<GS>",  "<RS>",  "<US>",  "<DEL>",
};

// The signs that multimon-ng prints for a numeric page's 4-bit values.
constexpr std::string_view digitSigns = "0123456789.U -][";
// -C DE prints the German 7-bit set (DIN 66003): umlauts where ASCII has these.
constexpr std::array<std::pair<std::string_view, char>, 7> germanSigns = {{
    {"\xc3\x84", '['}, {"\xc3\x96", '\\'}, {"\xc3\x9c", ']'}, {"\xc3\xa4", '{'},
    {"\xc3\xb6", '|'}, {"\xc3\xbc", '}'}, {"\xc3\x9f", '~'},
}};

bool consume(std::string_view& text, std::string_view prefix) {
    if (!text.starts_with(prefix))
        return false;
    text.remove_prefix(prefix.size());
    return true;
}

std::string_view withoutTrailingFill(std::string_view text) {
    for (bool trimmed = true; trimmed;) {
        trimmed = false;
        while (!text.empty() && text.back() == ' ') {
            text.remove_suffix(1);
            trimmed = true;
        }
        for (std::string_view mark : controlNames)
            if (text.ends_with(mark)) {
                text.remove_suffix(mark.size());
                trimmed = true;
            }
    }
    return text;
}

// The report after "POCSAG<baud>: ", as the demodulator prints it:
// "Address: %7lu  Function: %1hhi" and then "  Alpha:   <text>",
// "  Numeric: <text>", "  Skyper:  <text>", or one blank for a tone-only page.
std::optional<Page> parseReport(std::string_view demodulator, std::string_view report) {
    if (!consume(report, "Address: "))
        return std::nullopt;
    while (consume(report, " ")) {
    }
    std::size_t digits = report.find_first_not_of("0123456789");
    if (digits == 0 || digits == std::string_view::npos || digits > 7)
        return std::nullopt;
    Page page{std::string(demodulator), std::string(report.substr(0, digits)), 0, PageKind::ToneOnly, {}, PageKind::ToneOnly, {}};
    report.remove_prefix(digits);
    if (!consume(report, "  Function: ") || report.empty() || report[0] < '0' || report[0] > '3')
        return std::nullopt;
    page.function = report[0] - '0';
    report.remove_prefix(1);
    if (report.empty() || report == " ")
        return page;
    if (consume(report, "  Certainty: ")) {
        while (consume(report, " ")) {
        }
        consume(report, "-");
        report.remove_prefix(std::min(report.find_first_not_of("0123456789"), report.size()));
    }
    if (consume(report, "  Alpha:   "))
        page.kind = PageKind::Alpha;
    else if (consume(report, "  Skyper:  "))
        page.kind = PageKind::Skyper;
    else if (consume(report, "  Numeric: "))
        page.kind = PageKind::Numeric;
    else
        return std::nullopt;
    page.printedAs = page.kind;
    page.printed = report;
    page.text = withoutTrailingFill(report);
    if (page.text.empty())
        page.kind = PageKind::ToneOnly;
    return page;
}

// The message bits that a line's reading stands for, least significant bit
// of each digit or character first, as they went on the air; nothing where
// a sign has no value.
std::optional<std::vector<bool>> bitsOf(const Page& page) {
    std::vector<bool> bits;
    auto push = [&](std::size_t value, int width) {
        for (int i = 0; i < width; ++i)
            bits.push_back(value >> i & 1);
    };
    std::string_view text = page.printed;
    if (page.printedAs == PageKind::Numeric) {
        for (char sign : text) {
            std::size_t value = digitSigns.find(sign);
            if (value == std::string_view::npos)
                return std::nullopt;
            push(value, 4);
        }
        return bits;
    }
    while (!text.empty()) {
        std::size_t value = static_cast<unsigned char>(text[0]);
        std::size_t length = 1;
        auto mark = std::ranges::find_if(controlNames, [&](std::string_view name) { return text.starts_with(name); });
        auto german = std::ranges::find_if(germanSigns, [&](auto sign) { return text.starts_with(sign.first); });
        if (mark != controlNames.end()) {
            value = mark == controlNames.end() - 1 ? 0x7F : static_cast<std::size_t>(mark - controlNames.begin());
            length = mark->size();
        } else if (german != germanSigns.end()) {
            value = static_cast<unsigned char>(german->second);
            length = german->first.size();
        } else if (value >= 0x80) {
            return std::nullopt;
        }
        // Skyper text is each 7-bit character less one.
        push(page.printedAs == PageKind::Skyper ? (value + 1) & 0x7F : value, 7);
        text.remove_prefix(length);
    }
    return bits;
}

} // namespace

bool readingsAgree(const Page& one, const Page& other) {
    if (one.printedAs == PageKind::ToneOnly || other.printedAs == PageKind::ToneOnly)
        return false;
    std::optional<std::vector<bool>> a = bitsOf(one), b = bitsOf(other);
    if (!a || !b || a->empty() || b->empty())
        return false;
    // Digits fill whole codewords of 20 bits; 7-bit text prints the whole
    // characters that fit in them.
    auto wholeCharacters = [](const Page& page, std::size_t bits) {
        return page.printedAs == PageKind::Numeric ? (bits % 20 == 0 ? bits / 7 * 7 : 0) : bits;
    };
    std::size_t length = wholeCharacters(one, a->size());
    return length != 0 && length == wholeCharacters(other, b->size()) &&
           std::equal(a->begin(), a->begin() + static_cast<std::ptrdiff_t>(std::min(a->size(), b->size())),
                      b->begin());
}

std::optional<Page> parsePageLine(std::string_view line) {
    std::string withNames;
    if (line.find('\0') != std::string_view::npos) {
        for (char c : line)
            withNames += c == '\0' ? std::string(controlNames[0]) : std::string(1, c);
        line = withNames;
    }
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.remove_suffix(1);
    for (std::size_t at = line.find("POCSAG"); at != std::string_view::npos; at = line.find("POCSAG", at + 1)) {
        std::string_view rest = line.substr(at + 6);
        std::size_t baud = rest.find_first_not_of("0123456789");
        if (baud == 0 || baud == std::string_view::npos || rest.substr(baud, 2) != ": ")
            continue;
        if (std::optional<Page> page = parseReport(line.substr(at, 6 + baud), rest.substr(baud + 2)))
            return page;
    }
    return std::nullopt;
}

bool holdsControlMarks(std::string_view text) {
    return std::ranges::any_of(controlNames, [&](std::string_view mark) { return text.find(mark) != text.npos; });
}

bool isJsonReport(std::string_view line) {
    return line.starts_with("{") && line.find("\"demod_name\"") != std::string_view::npos;
}

std::string messageForPage(const Page& page) {
    if (page.kind == PageKind::ToneOnly)
        return page.address + " Tonruf Funktion " + std::to_string(page.function);
    return page.address + ' ' + page.text;
}

} // namespace kulverant
