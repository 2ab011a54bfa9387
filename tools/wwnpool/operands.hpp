// The operands and per-command options that several commands read alike.
#pragma once

#include "args.hpp"

#include <revevidozi.hpp>

#include <cstdint>
#include <vector>

namespace wwnpool {

// The page asked for with --page, 0 by default.
inline std::uint32_t page_of(const Args &args) {
    return args.page.value_or(0);
}

// The WWN operands: pool addresses, at least one and none twice; fails with
// kBadUsage.
std::vector<revevidozi::Wwn> wwn_operands(const Args &args);

} // namespace wwnpool
