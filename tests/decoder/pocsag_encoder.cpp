// POCSAG traffic for the decoder chain's tests: audio (ITU-R M.584) as a
// transmitter sends it, 22050 Hz, signed 16-bit, native byte order, or the
// lines multimon-ng prints for it, on standard output.
//   pocsag_encoder [--live ENDS] BAUD PAGE...   PAGE: a|n|t,ADDRESS,FUNCTION[,TEXT]
//   pocsag_encoder --channel SEED PAGES lines|auto|audio ANSWER
//   pocsag_encoder --channel-options
// a: alphanumeric, n: numeric, t: tone-only. Each PAGE is its own
// transmission: preamble, then batches of a sync word and 16 codewords.
// --live sends at real time, as a receiver does, and silence after the
// pages for good; it writes to the file ENDS each page's number and the time
// its last codeword goes out (milliseconds since the epoch).
// --channel sends a seeded channel of at least PAGES pages at real time, as
// audio or as multimon-ng's lines (auto: as with its -f auto) among other
// demodulators' lines, and writes to ANSWER the messages that
// kulverant-multimon, with the options that --channel-options prints, must
// start, in their order; on standard error the longest write it waited for.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::uint32_t syncWord = 0x7CD215D8;
constexpr std::uint32_t idleWord = 0x7A89C197;
constexpr int sampleRate = 22050;
constexpr int preambleBits = 576;

struct Page {
    char kind; // a, n or t
    std::uint32_t address;
    unsigned function;
    std::string text;
};

// 21 data bits, the BCH(31,21) check bits and even parity.
std::uint32_t codeword(std::uint32_t data) {
    std::uint32_t word = data << 10;
    for (int bit = 30; bit >= 10; --bit)
        if (word & (1u << bit))
            word ^= 0x769u << (bit - 10);
    word = (data << 10 | word) << 1;
    return word | static_cast<std::uint32_t>(__builtin_popcount(word) & 1);
}

// The message's bits, 20 to a codeword: 7-bit characters least significant
// bit first, or 4-bit digits likewise, the last word filled.
std::vector<std::uint32_t> messageWords(char kind, const std::string& text) {
    std::vector<bool> bits;
    auto push = [&](unsigned value, int width) {
        for (int i = 0; i < width; ++i)
            bits.push_back(value >> i & 1);
    };
    if (kind == 'a') {
        for (unsigned char c : text)
            push(c, 7);
    } else if (kind == 'n') {
        for (char c : text)
            push(c >= '0' && c <= '9' ? static_cast<unsigned>(c - '0') : c == 'U' ? 0xB : c == '-' ? 0xD : 0xC, 4);
        while (bits.size() % 20)
            push(0xC, 4);
    }
    std::vector<std::uint32_t> words;
    for (std::size_t at = 0; at < bits.size(); at += 20) {
        std::uint32_t data = 1u << 20;
        for (std::size_t i = 0; i < 20; ++i)
            data |= static_cast<std::uint32_t>(at + i < bits.size() && bits[at + i]) << (19 - i);
        words.push_back(codeword(data));
    }
    return words;
}

// One transmission's codewords after its preamble, sync words included. Each
// page's address codeword goes into its frame (the address's low three bits);
// idle words fill the rest. ends gets, for each page, how many codewords have
// gone out when the decoder can tell that the page ended: the one after it.
std::vector<std::uint32_t> transmission(const std::vector<Page>& pages, std::vector<std::size_t>& ends) {
    std::vector<std::uint32_t> words;
    for (const Page& page : pages) {
        while (words.size() % 16 / 2 != (page.address & 7))
            words.push_back(idleWord);
        words.push_back(codeword((page.address >> 3) << 2 | (page.function & 3)));
        for (std::uint32_t word : messageWords(page.kind, page.text))
            words.push_back(word);
        ends.push_back(words.size() + 1 + (words.size() + 1 + 15) / 16);
    }
    do
        words.push_back(idleWord);
    while (words.size() % 16);
    std::vector<std::uint32_t> batches;
    for (std::size_t at = 0; at < words.size(); at += 16) {
        batches.push_back(syncWord);
        batches.insert(batches.end(), words.begin() + static_cast<std::ptrdiff_t>(at),
                       words.begin() + static_cast<std::ptrdiff_t>(at + 16));
    }
    return batches;
}

class Audio {
public:
    std::vector<std::int16_t> samples = std::vector<std::int16_t>(sampleRate / 4, 0);

    void silenceUntil(double seconds) {
        samples.resize(std::max(samples.size(), static_cast<std::size_t>(seconds * sampleRate)), 0);
        due_ = static_cast<double>(samples.size());
    }
    // Sends a transmission; returns the sample at which its preamble starts.
    std::size_t send(int baud, const std::vector<std::uint32_t>& words) {
        std::size_t start = samples.size();
        for (int bit = 0; bit < preambleBits; ++bit)
            sendBit(baud, bit % 2 == 0);
        for (std::uint32_t word : words)
            for (int bit = 31; bit >= 0; --bit)
                sendBit(baud, word >> bit & 1);
        return start;
    }

private:
    void sendBit(int baud, bool one) {
        for (due_ += static_cast<double>(sampleRate) / baud; static_cast<double>(samples.size()) < due_;)
            samples.push_back(one ? -12000 : 12000);
    }
    double due_ = static_cast<double>(samples.size());
};

Page parsePage(const std::string& page) {
    std::size_t first = page.find(','), second = page.find(',', first + 1);
    std::size_t third = second == std::string::npos ? second : page.find(',', second + 1);
    return {page[0], static_cast<std::uint32_t>(std::stoul(page.substr(first + 1))),
            static_cast<unsigned>(std::stoul(page.substr(second + 1))),
            third == std::string::npos ? "" : page.substr(third + 1)};
}

using Events = std::multimap<double, std::string>; // bytes to write at seconds from the start

// Audio in steps of 20 ms, as a receiver hands it on.
void addAudio(Events& events, const std::vector<std::int16_t>& samples) {
    for (std::size_t at = 0; at < samples.size(); at += sampleRate / 50)
        events.emplace(static_cast<double>(at) / sampleRate,
                       std::string(reinterpret_cast<const char*>(&samples[at]),
                                   sizeof(std::int16_t) * std::min<std::size_t>(sampleRate / 50, samples.size() - at)));
}

// Writes each event at its time into a pipe that holds only 4 KiB, so that a
// reader that stops reading soon holds the writer up; returns the longest
// write in milliseconds. forEver: then silence for good, going on when nobody
// reads any more, as rtl_fm does where SIGPIPE is ignored.
long feed(const Events& events, bool forEver) {
    using namespace std::chrono;
    ::fcntl(STDOUT_FILENO, F_SETPIPE_SZ, 4096);
    auto start = steady_clock::now();
    steady_clock::duration longest{};
    for (const auto& [at, bytes] : events) {
        std::this_thread::sleep_until(start + duration_cast<steady_clock::duration>(duration<double>(at)));
        auto before = steady_clock::now();
        for (std::size_t done = 0; done < bytes.size();) {
            ssize_t written = ::write(STDOUT_FILENO, bytes.data() + done, bytes.size() - done);
            if (written <= 0 && !forEver)
                return -1;
            done = written <= 0 ? bytes.size() : done + static_cast<std::size_t>(written);
        }
        longest = std::max(longest, steady_clock::now() - before);
    }
    const std::string silence(sizeof(std::int16_t) * sampleRate / 50, '\0');
    for (auto at = steady_clock::now(); forEver; at += milliseconds(20)) {
        std::this_thread::sleep_until(at);
        static_cast<void>(::write(STDOUT_FILENO, silence.data(), silence.size()));
    }
    return duration_cast<milliseconds>(longest).count();
}

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
            if (type < 6) { // an alarm to several addresses
                for (int n = 1 + pick(6); n > 0; --n)
                    sent.push_back(textPage(anyAddress()));
            } else if (type < 9) { // a tone-only call, then its text, at once or in the next transmission
                Page call = textPage(pick(4) ? toneOnlyAlarms[static_cast<std::size_t>(pick(3))] : anyAddress());
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
            for (int n = pick(2) ? 10 + pick(40) : 0; n > 0 && mode_ != 'u'; --n)
                events_.emplace(at_ + gap * pick(1000) / 1000, "FLEX: 2026-12-08 12:00:00 1600/2/K/A 10.120 [00" +
                                                                    std::to_string(pick(9999999)) +
                                                                    "] ALN Kein Alarm fuer uns, nur Verkehr\n");
            at_ += gap;
        }
    }

    // Sends the channel at its real timing; returns the longest write in milliseconds.
    long feed() {
        if (mode_ == 'u') {
            audio_.silenceUntil(at_ + 1);
            addAudio(events_, audio_.samples);
        }
        return ::feed(events_, /*forEver=*/false);
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
        return {'n', address, 0, std::to_string(pick(1000)) + (pick(2) ? "-" : " ") + std::to_string(++serial_)};
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

    // The lines multimon-ng prints for a page; with -f auto its other
    // decodings too, garbled as multimon-ng garbles them.
    std::string lines(int baud, const Page& page) {
        char head[64];
        std::snprintf(head, sizeof head, "POCSAG%d: Address: %7u  Function: %u", baud, page.address, page.function);
        if (page.kind == 't')
            return head + std::string(" \n");
        std::string digits = std::string(head) + "  Numeric: " +
                             (page.kind == 'n' ? page.text + std::string(static_cast<std::size_t>(pick(4)), ' ')
                                               : std::to_string(pick(99999)) + "]U" + std::to_string(pick(999))) +
                             "\n";
        std::string text = std::string(head) + "  Alpha:   " +
                           (page.kind == 'a' ? page.text + (pick(2) ? "<NUL>" : "<EOT><NUL>") : "<DC1><EOT>x") + "\n";
        std::string skyper = std::string(head) + "  Skyper:  " + "Edtdq<DEL>\n";
        if (mode_ != 'f')
            return page.kind == 'n' ? digits : text;
        if (page.kind == 'a' && page.text.size() > 40 && pick(2))
            return text;
        return digits + text + (pick(2) ? skyper : "");
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
    if (arguments.size() == 1 && arguments[0] == "--channel-options") {
        std::puts(channelOptions);
        return 0;
    }
    if (arguments.size() == 5 && arguments[0] == "--channel") {
        Channel channel(static_cast<unsigned>(std::stoul(arguments[1])),
                        arguments[3] == "audio" ? 'u' : arguments[3] == "auto" ? 'f' : 'l');
        channel.generate(std::stoul(arguments[2]));
        std::fprintf(stderr, "channel: %zu pages in %.0f s, %zu to start\n", channel.sent(), channel.seconds(),
                     channel.answer.size());
        std::ofstream answer(arguments[4]);
        for (const std::string& message : channel.answer)
            answer << message << '\n';
        answer.close();
        long longest = channel.feed();
        std::fprintf(stderr, "longest write: %ld ms\n", longest);
        return longest < 0;
    }
    std::FILE* ends = nullptr;
    if (arguments.size() > 2 && arguments[0] == "--live") {
        ends = std::fopen(argv[2], "w");
        arguments.erase(arguments.begin(), arguments.begin() + 2);
    }
    if (arguments.size() < 2)
        return 2;
    int baud = std::stoi(arguments[0]);
    Audio audio;
    std::vector<double> lastCodewords; // seconds from the start
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        std::vector<std::size_t> codewords;
        std::size_t start = audio.send(baud, transmission({parsePage(arguments[i])}, codewords));
        lastCodewords.push_back(static_cast<double>(start) / sampleRate +
                                (preambleBits + 32.0 * static_cast<double>(codewords[0] - 1)) / baud);
        audio.silenceUntil(static_cast<double>(audio.samples.size()) / sampleRate + 0.25);
    }
    if (!ends) {
        std::fwrite(audio.samples.data(), sizeof audio.samples[0], audio.samples.size(), stdout);
        return 0;
    }
    Events events;
    addAudio(events, audio.samples);
    using namespace std::chrono;
    auto now = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    for (std::size_t page = 0; page < lastCodewords.size(); ++page)
        std::fprintf(ends, "%zu %lld\n", page, static_cast<long long>(now + std::llround(lastCodewords[page] * 1000)));
    std::fclose(ends);
    feed(events, /*forEver=*/true);
}
