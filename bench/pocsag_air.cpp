#include "pocsag_air.h"

#include <chrono>
#include <cstdint>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

namespace kulverant::pocsag {

namespace {

constexpr std::uint32_t syncWord = 0x7CD215D8;
constexpr std::uint32_t idleWord = 0x7A89C197;

// 21 data bits, the BCH(31,21) check bits and even parity.
std::uint32_t codeword(std::uint32_t data) {
    std::uint32_t word = data << 10;
    for (int bit = 30; bit >= 10; --bit)
        if (word & (1u << bit))
            word ^= 0x769u << (bit - 10);
    word = (data << 10 | word) << 1;
    return word | static_cast<std::uint32_t>(__builtin_popcount(word) & 1);
}

std::vector<std::uint32_t> messageWords(char kind, const std::string& text) {
    std::vector<bool> bits = messageBits(kind, text);
    std::vector<std::uint32_t> words;
    for (std::size_t at = 0; at < bits.size(); at += 20) {
        std::uint32_t data = 1u << 20;
        for (std::size_t i = 0; i < 20; ++i)
            data |= static_cast<std::uint32_t>(at + i < bits.size() && bits[at + i]) << (19 - i);
        words.push_back(codeword(data));
    }
    return words;
}

} // namespace

std::vector<bool> messageBits(char kind, const std::string& text) {
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
    while (bits.size() % 20)
        bits.push_back(false);
    return bits;
}

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

std::size_t Audio::send(int baud, const std::vector<std::uint32_t>& words) {
    std::size_t start = samples.size();
    for (int bit = 0; bit < preambleBits; ++bit)
        sendBit(baud, bit % 2 == 0);
    for (std::uint32_t word : words)
        for (int bit = 31; bit >= 0; --bit)
            sendBit(baud, word >> bit & 1);
    return start;
}

void Audio::sendBit(int baud, bool one) {
    for (due_ += static_cast<double>(sampleRate) / baud; static_cast<double>(samples.size()) < due_;)
        samples.push_back(one ? -12000 : 12000);
}

void addAudio(Events& events, const std::vector<std::int16_t>& samples) {
    for (std::size_t at = 0; at < samples.size(); at += sampleRate / 50)
        events.emplace(static_cast<double>(at) / sampleRate,
                       std::string(reinterpret_cast<const char*>(&samples[at]),
                                   sizeof(std::int16_t) * std::min<std::size_t>(sampleRate / 50, samples.size() - at)));
}

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
    if (!forEver)
        return duration_cast<milliseconds>(longest).count();
    const std::string silence(sizeof(std::int16_t) * sampleRate / 50, '\0');
    for (auto at = steady_clock::now();; at += milliseconds(20)) {
        std::this_thread::sleep_until(at);
        static_cast<void>(::write(STDOUT_FILENO, silence.data(), silence.size()));
    }
}

} // namespace kulverant::pocsag
