#pragma once

#include "page_line.h"

#include <map>
#include <optional>
#include <string_view>

namespace kulverant {

/// Addresses (RICs) with the functions taken of each, from a list such as
/// "1234567:a,1234568": function a to d (0 to 3) of 1234567 as named after
/// its colon, every function of 1234568.
class AddressList {
public:
    /// The list, or nothing where it is malformed: an address is 1 to 7
    /// digits up to 2097151, its letters come from abcd.
    static std::optional<AddressList> parse(std::string_view list);

    /// Takes the other list's addresses and functions too.
    void add(const AddressList& other);

    bool takes(const Page& page) const;

private:
    std::map<std::string, unsigned, std::less<>> functions_; // address without leading zeros: a bit per function
};

} // namespace kulverant
