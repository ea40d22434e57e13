// Makes POCSAG audio (ITU-R M.584) as a transmitter sends it, for the decoder
// chain's tests: 22050 Hz, signed 16-bit, native byte order, on standard output.
//   pocsag_encoder [--live ENDS] BAUD PAGE...   PAGE: a|n|t,ADDRESS,FUNCTION[,TEXT]
// a: alphanumeric, n: numeric, t: tone-only. Each page is its own
// transmission: preamble, then batches of a sync word and 16 codewords.
// --live sends at real time, as a receiver does, and silence after the
// pages until the reader goes; it appends each page's number and the time
// its transmission ended (milliseconds since the epoch) to the file ENDS.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr std::uint32_t syncWord = 0x7CD215D8;
constexpr std::uint32_t idleWord = 0x7A89C197;
constexpr int sampleRate = 22050;

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

std::vector<std::uint32_t> transmission(char kind, std::uint32_t address, unsigned function, const std::string& text) {
    std::vector<std::uint32_t> words(address & 7 ? 2 * (address & 7) : 0, idleWord);
    words.push_back(codeword((address >> 3) << 2 | (function & 3)));
    for (std::uint32_t word : messageWords(kind, text))
        words.push_back(word);
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

} // namespace

// Writes the samples at real time in steps of 20 ms, then silence for good,
// noting when each page's transmission has gone out.
int sendLive(const std::vector<std::int16_t>& samples, const std::vector<std::size_t>& pageEnds, const char* ends) {
    using namespace std::chrono;
    std::FILE* endsFile = std::fopen(ends, "w");
    const std::size_t step = sampleRate / 50;
    const std::vector<std::int16_t> silence(step, 0);
    auto start = steady_clock::now();
    for (std::size_t at = 0, page = 0;; at += step) {
        std::this_thread::sleep_until(start + microseconds(at * 1000000 / sampleRate));
        const std::int16_t* data = at < samples.size() ? samples.data() + at : silence.data();
        std::size_t count = at < samples.size() ? std::min(step, samples.size() - at) : step;
        if (std::fwrite(data, sizeof *data, count, stdout) != count || std::fflush(stdout) != 0)
            return 0;
        for (; page < pageEnds.size() && pageEnds[page] <= at + count; ++page)
            std::fprintf(endsFile, "%zu %lld\n", page,
                         static_cast<long long>(duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count()));
        std::fflush(endsFile);
    }
}

int main(int argc, char** argv) {
    const char* ends = nullptr;
    if (argc > 2 && std::string(argv[1]) == "--live") {
        ends = argv[2];
        argv += 2;
        argc -= 2;
    }
    if (argc < 3)
        return 2;
    double samplesPerBit = static_cast<double>(sampleRate) / std::atoi(argv[1]);
    std::vector<std::size_t> pageEnds;
    std::vector<std::int16_t> samples(sampleRate / 4, 0);
    double due = static_cast<double>(samples.size());
    auto sendBit = [&](bool one) {
        for (due += samplesPerBit; static_cast<double>(samples.size()) < due;)
            samples.push_back(one ? -12000 : 12000);
    };
    for (int i = 2; i < argc; ++i) {
        std::string page = argv[i];
        std::size_t first = page.find(','), second = page.find(',', first + 1);
        std::size_t third = second == std::string::npos ? second : page.find(',', second + 1);
        std::string text = third == std::string::npos ? "" : page.substr(third + 1);
        for (int bit = 0; bit < 576; ++bit)
            sendBit(bit % 2 == 0);
        for (std::uint32_t word : transmission(page[0], static_cast<std::uint32_t>(std::stoul(page.substr(first + 1))),
                                               static_cast<unsigned>(std::stoul(page.substr(second + 1))), text))
            for (int bit = 31; bit >= 0; --bit)
                sendBit(word >> bit & 1);
        pageEnds.push_back(samples.size());
        for (int pause = 0; pause < sampleRate / 4; ++pause)
            samples.push_back(0);
        due = static_cast<double>(samples.size());
    }
    if (ends)
        return sendLive(samples, pageEnds, ends);
    std::fwrite(samples.data(), sizeof samples[0], samples.size(), stdout);
    return 0;
}
