// POCSAG audio as a transmitter sends it, on standard output, for the
// benchmark's way from air to screen and the decoder chain's tests.
//   pocsag_encoder [--live ENDS] BAUD PAGE...   PAGE: a|n|t,ADDRESS,FUNCTION[,TEXT]
// a: alphanumeric, n: numeric, t: tone-only. Each PAGE is its own
// transmission: preamble, then batches of a sync word and 16 codewords.
// --live sends at real time, as a receiver does, and silence after the
// pages for good; it writes to the file ENDS each page's number and the time
// its last codeword goes out (milliseconds since the epoch).
#include "pocsag_air.h"

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>

using namespace kulverant::pocsag;

namespace {

Page parsePage(const std::string& page) {
    std::size_t first = page.find(','), second = page.find(',', first + 1);
    std::size_t third = second == std::string::npos ? second : page.find(',', second + 1);
    return {page[0], static_cast<std::uint32_t>(std::stoul(page.substr(first + 1))),
            static_cast<unsigned>(std::stoul(page.substr(second + 1))),
            third == std::string::npos ? "" : page.substr(third + 1)};
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
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
