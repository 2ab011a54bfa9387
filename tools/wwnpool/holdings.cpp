#include "holdings.hpp"

#include "text.hpp"

namespace wwnpool {

Holdings holdings(StateFile &state) {
    Holdings held;
    for (const PoolLine &line : state.pools()) {
        if (!line.pool || line.copy) {
            continue;
        }
        for (const revevidozi::Wwn &name : line.pool->allocated()) {
            const AddressRecord *record = state.record(name);
            held[name.value()] = record != nullptr ? Held{record->owner, record->partner} : Held{};
        }
    }
    return held;
}

std::string registry_mark(const std::string &hostname, const std::string &owner) {
    const std::string mark = "registry:" + hostname + ":" + owner;
    return std::string(cut_at_character(mark, 128));
}

bool is_registry_mark(const std::string &owner) {
    return owner.starts_with("registry:");
}

} // namespace wwnpool
