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

class Context;

// The WWN operands or, with --owner and none, every address the owner holds
// (fails with kRefused when it holds none). Operands are checked before the
// state is opened.
std::vector<revevidozi::Wwn> operands_or_owned(Context &ctx);

} // namespace wwnpool
