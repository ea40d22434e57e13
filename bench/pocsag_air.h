#pragma once

// POCSAG as a transmitter sends it (ITU-R M.584): a transmission's codewords,
// its audio at 22050 Hz in signed 16-bit samples of this machine's byte
// order, and a sender that hands bytes on at their time, as a receiver does.
// For the benchmark's way from air to screen and the decoder chain's tests.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace kulverant::pocsag {

constexpr int sampleRate = 22050;
constexpr int preambleBits = 576;

struct Page {
    char kind; // a: alphanumeric, n: numeric, t: tone-only
    std::uint32_t address;
    unsigned function;
    std::string text;
};

/// A page's message bits as they go on the air, 20 to a codeword: 7-bit
/// characters or 4-bit digits, least significant bit first, the last
/// codeword filled (digits with blanks, text with zero bits).
std::vector<bool> messageBits(char kind, const std::string& text);

/// One transmission's codewords after its preamble, sync words included. Each
/// page's address codeword goes into its frame (the address's low three bits);
/// idle words fill the rest. ends gets, for each page, how many codewords have
/// gone out when the decoder can tell that the page ended: the one after it.
std::vector<std::uint32_t> transmission(const std::vector<Page>& pages, std::vector<std::size_t>& ends);

/// Audio, a quarter of a second of silence first.
class Audio {
public:
    std::vector<std::int16_t> samples = std::vector<std::int16_t>(sampleRate / 4, 0);

    void silenceUntil(double seconds) {
        samples.resize(std::max(samples.size(), static_cast<std::size_t>(seconds * sampleRate)), 0);
        due_ = static_cast<double>(samples.size());
    }
    /// Sends a transmission; returns the sample at which its preamble starts.
    std::size_t send(int baud, const std::vector<std::uint32_t>& words);

private:
    void sendBit(int baud, bool one);
    double due_ = static_cast<double>(samples.size());
};


/// Bytes to write at seconds from the start.
using Events = std::multimap<double, std::string>;

/// Audio in steps of 20 ms, as a receiver hands it on.
void addAudio(Events& events, const std::vector<std::int16_t>& samples);

/// Writes each event at its time to standard output, shrunk to 4 KiB if it is
/// a pipe, so that a reader that stops reading soon holds the writer up;
/// returns the longest write in milliseconds, or -1 where the reader went.
/// forEver: then silence for good, going on when nobody reads any more, as
/// rtl_fm does where SIGPIPE is ignored.
long feed(const Events& events, bool forEver);

} // namespace kulverant::pocsag
