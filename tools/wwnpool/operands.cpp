#include "operands.hpp"

#include "failure.hpp"
#include "pool_address.hpp"

#include <unordered_set>

namespace wwnpool {

std::vector<revevidozi::Wwn> wwn_operands(const Args &args) {
    if (args.operands.empty()) {
        throw Failure(kBadUsage, args.command + " needs at least one WWN; see 'wwnpool " + args.command + " --help'");
    }
    std::vector<revevidozi::Wwn> addresses;
    std::unordered_set<std::uint64_t> seen;
    for (const auto &text : args.operands) {
        const revevidozi::Wwn address = parse_wwn(text);
        if (!seen.insert(address.value()).second) {
            throw Failure(kBadUsage, address.str() + " is given twice; name each address once");
        }
        addresses.push_back(address);
    }
    return addresses;
}

} // namespace wwnpool
