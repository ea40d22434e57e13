#include "address_list.h"

#include <algorithm>
#include <charconv>

namespace kulverant {

std::optional<AddressList> AddressList::parse(std::string_view list) {
    AddressList result;
    for (std::size_t start = 0; start <= list.size();) {
        std::size_t comma = std::min(list.find(',', start), list.size());
        std::string_view item = list.substr(start, comma - start);
        std::string_view address = item.substr(0, item.find(':'));
        unsigned long value = 0;
        auto [end, error] = std::from_chars(address.data(), address.data() + address.size(), value);
        if (address.empty() || address.size() > 7 || error != std::errc() || end != address.data() + address.size() ||
            value > 2097151)
            return std::nullopt;
        unsigned functions = 0;
        if (address.size() < item.size()) {
            std::string_view letters = item.substr(address.size() + 1);
            if (letters.empty() || letters.find_first_not_of("abcd") != std::string_view::npos)
                return std::nullopt;
            for (char letter : letters)
                functions |= 1u << (letter - 'a');
        } else {
            functions = 0xF;
        }
        result.functions_[std::to_string(value)] |= functions;
        start = comma + 1;
    }
    return result;
}

void AddressList::add(const AddressList& other) {
    for (const auto& [address, functions] : other.functions_)
        functions_[address] |= functions;
}

bool AddressList::takes(const Page& page) const {
    auto found = functions_.find(page.address);
    return found != functions_.end() && (found->second >> page.function & 1);
}

} // namespace kulverant
