#include "operands.hpp"

#include "setup.hpp"
#include "text.hpp"

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

std::vector<revevidozi::Wwn> operands_or_owned(Context &ctx) {
    const Args &args = ctx.args;
    std::vector<revevidozi::Wwn> addresses;
    if (!args.owner || !args.operands.empty()) {
        return wwn_operands(args);
    }
    for (const auto &record : ctx.state().records()) {
        if (record.owner == *args.owner) {
            addresses.push_back(record.address);
        }
    }
    if (addresses.empty()) {
        throw Failure(kRefused,
                      "no address is held by '" + shown(*args.owner) + "'; 'wwnpool owners' lists the owners");
    }
    return addresses;
}

} // namespace wwnpool
