#include "holdings.hpp"

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
    std::string mark = "registry:" + hostname + ":" + owner;
    std::size_t size = std::min<std::size_t>(mark.size(), 128);
    while (size < mark.size() && (static_cast<unsigned char>(mark[size]) & 0xc0U) == 0x80U) {
        --size; // not inside a character
    }
    return mark.substr(0, size);
}

bool is_registry_mark(const std::string &owner) {
    return owner.starts_with("registry:");
}

} // namespace wwnpool
