// A seeded channel of POCSAG pages with a known answer, for the decoder
// chain's tests.
//   pocsag_channel SEED PAGES lines|auto|audio ANSWER
//   pocsag_channel --options
// Sends a channel of at least PAGES pages at real time on standard output, as
// audio or as multimon-ng's lines (auto: as with its -f auto) among other
// demodulators' lines, and writes to ANSWER the messages that
// kulverant-multimon, with the options that --options prints, must start, in
// their order; on standard error the longest write it waited for.
#include "bench/pocsag_air.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <random>
#include <utility>

using namespace kulverant::pocsag;

namespace {

// What kulverant-multimon is told of the channel: the addresses watched,
// some only for some functions, and those whose tone-only calls are alarms.
const std::vector<std::pair<std::uint32_t, unsigned>> watched = {
    {1234567, 0xF}, {42, 0xF}, {8, 0xF}, {700001, 0xC}, {2097151, 0xF}, {99, 0x1}};
const std::vector<std::uint32_t> unwatched = {1234568, 43, 16, 700009, 1};
const std::vector<std::uint32_t> toneOnlyAlarms = {42, 8, 700001};
constexpr double repeatWindow = 3;
const char* const channelOptions = "--ric 1234567,42,8,700001:cd,2097151,99:a --tone-only 42,8,700001 --repeat-window 3";

// A seeded channel as a network sends it: alarms to several addresses in one
// transmission, tone-only calls followed by their text, numeric bursts,
// repeats within the window and beyond it, addresses not watched. Its answer
// is what kulverant-multimon must start; a repeat too close to the window's
// end to tell is not sent.
class Channel {
public:
    Channel(unsigned seed, char mode) : random_(seed), mode_(mode) {}

    void generate(std::size_t pages) {
        while (sent_ < pages) {
            int type = pick(20);
            int baud = pick(3) ? 2400 : 1200;
            std::vector<Page> sent;
            if (type < 6) { // an alarm to several addresses, often with one text
                Page alarm = textPage(anyAddress());
                for (int n = 1 + pick(6); n > 0; --n) {
                    sent.push_back(pick(2) ? textPage(anyAddress()) : alarm);
                    sent.back().address = anyAddress();
                }
            } else if (type < 9) { // a tone-only call, then its text, at once or in the next transmission
                Page call = textPage(pick(4) ? toneOnlyAlarms[static_cast<std::size_t>(pick(3))] : anyAddress());
                if (pick(2)) // a text of one codeword, printed within milliseconds of its call
                    call.text = "F" + std::to_string(pick(10));
                sent.push_back({'t', call.address, call.function, ""});
                if (pick(2))
                    send(baud, std::exchange(sent, {}));
                sent.push_back(call);
            } else if (type < 14) { // digits to several addresses at 2400 baud
                baud = 2400;
                for (int n = 2 + pick(6); n > 0; --n)
                    sent.push_back(numericPage(anyAddress()));
            } else if (type < 18 && !recent_.empty()) { // the network repeats a transmission
                sent = recent_[static_cast<std::size_t>(pick(static_cast<int>(recent_.size())))];
            } else { // a page of its own, at the slowest speed too but in audio: multimon-ng's
                     // 512-baud demodulator, in sync on faster traffic, misses it there
                baud = pick(3) || mode_ == 'u' ? baud : 512;
                sent.push_back(pick(2) ? numericPage(anyAddress()) : textPage(anyAddress()));
            }
            send(baud, sent);
            double gap = 0.03 + pick(200) / 1000.0;
            // Other demodulators' lines between transmissions, as on a busy
            // receiver: enough of them to fill a pipe soon where nobody reads it.
            // One pick a statement: the order in which a call's arguments are
            // worked out differs between compilers, and a seed must give the
            // same channel with each.
            for (int n = pick(2) ? 10 + pick(40) : 0; n > 0 && mode_ != 'u'; --n) {
                double when = at_ + gap * pick(1000) / 1000;
                events_.emplace(when, "FLEX: 2026-12-08 12:00:00 1600/2/K/A 10.120 [00" + std::to_string(pick(9999999)) +
                                          "] ALN Kein Alarm fuer uns, nur Verkehr\n");
            }
            at_ += gap;
        }
    }

    // Sends the channel at its real timing; returns the longest write in milliseconds.
    long feed() {
        if (mode_ == 'u') {
            audio_.silenceUntil(at_ + 1);
            addAudio(events_, audio_.samples);
        }
        return kulverant::pocsag::feed(events_, /*forEver=*/false);
    }

    std::vector<std::string> answer;
    std::size_t sent() const { return sent_; }
    double seconds() const { return at_; }

private:
    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }
    std::uint32_t anyAddress() {
        return pick(3) ? watched[static_cast<std::size_t>(pick(static_cast<int>(watched.size())))].first
                       : unwatched[static_cast<std::size_t>(pick(static_cast<int>(unwatched.size())))];
    }
    // Without -f, multimon-ng reads function a as digits and b to d as text.
    Page textPage(std::uint32_t address) {
        static const char* const words[] = {"Alarm", "Wache", "F1", "Kleinbrand", "THL", "B3", "RD", "Notfall", "Nord"};
        std::string text = words[pick(9)];
        for (int n = pick(4); n > 0; --n)
            text += std::string(" ") + words[pick(9)];
        return {'a', address, 1 + static_cast<unsigned>(pick(3)), text + " " + std::to_string(++serial_)};
    }
    Page numericPage(std::uint32_t address) {
        std::string digits = std::to_string(pick(1000));
        digits += pick(2) ? "-" : " ";
        return {'n', address, 0, digits + std::to_string(++serial_)};
    }

    static std::string message(const Page& page) {
        return std::to_string(page.address) + " " +
               (page.kind == 't' ? "Tonruf Funktion " + std::to_string(page.function) : page.text);
    }
    static bool takes(const Page& page) {
        for (auto [address, functions] : watched)
            if (address == page.address && (functions >> page.function & 1))
                return page.kind != 't' || std::find(toneOnlyAlarms.begin(), toneOnlyAlarms.end(), address) !=
                                               toneOnlyAlarms.end();
        return false;
    }

    // multimon-ng's readings of a page's bits: digits, 7-bit text and
    // Skyper text (each character less one), control characters by name.
    static std::array<std::string, 3> readings(const Page& page) {
        static const char* const names[] = {"NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL", "BS", "HT", "LF",
                                            "VT",  "FF",  "CR",  "SO",  "SI",  "DLE", "DC1", "DC2", "DC3", "DC4", "NAK",
                                            "SYN", "ETB", "CAN", "EM",  "SUB", "ESC", "FS",  "GS",  "RS",  "US"};
        std::vector<bool> bits = messageBits(page.kind, page.text);
        auto value = [&](std::size_t at, std::size_t width) {
            unsigned result = 0;
            for (std::size_t i = 0; i < width; ++i)
                result |= static_cast<unsigned>(bits[at + i]) << i;
            return result;
        };
        auto sign = [](unsigned c) {
            return c < 32 ? "<" + std::string(names[c]) + ">" : c == 127 ? std::string("<DEL>") : std::string(1, static_cast<char>(c));
        };
        std::array<std::string, 3> read;
        for (std::size_t at = 0; at + 4 <= bits.size(); at += 4)
            read[0] += "0123456789.U -]["[value(at, 4)];
        for (std::size_t at = 0; at + 7 <= bits.size(); at += 7) {
            read[1] += sign(value(at, 7));
            read[2] += sign((value(at, 7) + 127) & 127);
        }
        return read;
    }

    // The lines multimon-ng prints for a page; with -f auto its other
    // readings too, some left out as multimon-ng leaves out those it rules
    // out. Only readings that the glue cannot take for the page's own are
    // sent: a numeric page's text that starts with a control character, a
    // text page's digits with the signs U [ ].
    std::string lines(int baud, const Page& page) {
        char head[64];
        std::snprintf(head, sizeof head, "POCSAG%d: Address: %7u  Function: %u", baud, page.address, page.function);
        if (page.kind == 't')
            return head + std::string(" \n");
        auto line = [&](const char* kind, const std::string& text) { return head + std::string(kind) + text + "\n"; };
        if (mode_ != 'f')
            return page.kind == 'n' ? line("  Numeric: ", page.text + std::string(static_cast<std::size_t>(pick(4)), ' '))
                                    : line("  Alpha:   ", page.text + (pick(2) ? "<NUL>" : "<EOT><NUL>"));
        auto [digits, text, skyper] = readings(page);
        bool digitsTaken = page.kind == 'n' || (digits.find_first_of("U[]") != std::string::npos && pick(2));
        bool textTaken = page.kind == 'a' || (text.starts_with('<') && pick(2));
        return (digitsTaken ? line("  Numeric: ", digits) : "") + (textTaken ? line("  Alpha:   ", text) : "") +
               (pick(2) ? line("  Skyper:  ", skyper) : "");
    }

    // Sends the pages in one transmission at the next free moment, and
    // works out which of them must start kulverant.
    void send(int baud, std::vector<Page> pages) {
        // A transmitter sends its queue in frame order, so that few idle words go out.
        std::ranges::stable_sort(pages, {}, [](const Page& page) { return page.address & 7; });
        std::vector<std::size_t> ends;
        std::vector<std::uint32_t> words = transmission(pages, ends);
        // When the decoder prints each page, and how long since its message last started.
        auto decodedAt = [&](std::size_t i) { return at_ + (preambleBits + 32.0 * static_cast<double>(ends[i])) / baud; };
        auto since = [&](std::size_t i) {
            auto last = lastStarted_.find(message(pages[i]));
            return last == lastStarted_.end() ? 1e9 : decodedAt(i) - last->second;
        };
        for (std::size_t i = 0; i < pages.size(); ++i)
            if (takes(pages[i]) && std::abs(since(i) - repeatWindow) < 0.4)
                return; // too close to the window's end to tell
        for (std::size_t i = 0; i < pages.size(); ++i) {
            if (takes(pages[i]) && since(i) > repeatWindow) {
                answer.push_back(message(pages[i]));
                lastStarted_[answer.back()] = decodedAt(i);
            }
            if (mode_ != 'u')
                events_.emplace(decodedAt(i), lines(baud, pages[i]));
        }
        recent_.push_back(pages);
        if (recent_.size() > 8)
            recent_.erase(recent_.begin());
        if (mode_ == 'u') {
            audio_.silenceUntil(at_);
            audio_.send(baud, words);
        }
        sent_ += pages.size();
        at_ += (preambleBits + 32.0 * static_cast<double>(words.size())) / baud;
    }

    std::mt19937 random_;
    char mode_; // l: lines, f: lines as with -f auto, u: audio
    double at_ = 0.5;
    std::size_t sent_ = 0;
    int serial_ = 0;
    std::vector<std::vector<Page>> recent_;
    std::map<std::string, double> lastStarted_;
    Events events_;
    Audio audio_;
};

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    if (arguments.size() == 1 && arguments[0] == "--options") {
        std::puts(channelOptions);
        return 0;
    }
    if (arguments.size() != 4)
        return 2;
    Channel channel(static_cast<unsigned>(std::stoul(arguments[0])),
                    arguments[2] == "audio" ? 'u' : arguments[2] == "auto" ? 'f' : 'l');
    channel.generate(std::stoul(arguments[1]));
    std::fprintf(stderr, "channel: %zu pages in %.0f s, %zu to start\n", channel.sent(), channel.seconds(),
                 channel.answer.size());
    std::ofstream answer(arguments[3]);
    for (const std::string& message : channel.answer)
        answer << message << '\n';
    answer.close();
    long longest = channel.feed();
    std::fprintf(stderr, "longest write: %ld ms\n", longest);
    return longest < 0;
}
