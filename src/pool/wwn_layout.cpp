#include "wwn_layout.hpp"

#include "byte_order.hpp"
#include "revevidozi.h"

namespace revevidozi::pool {

std::uint64_t pool_base(std::uint64_t local_wwn, std::uint32_t page) noexcept {
    const std::uint64_t m = local_wwn & kIeeeAddressMask;
    if (page < 4) {
        return (2ULL << 60) | (std::uint64_t{page} << kNaa2PageShift) | m;
    }
    return (5ULL << 60) | (std::uint64_t{page - 4} << kNaa5PageShift) | (m << kNaa5MShift);
}

std::uint32_t validate_base(std::uint64_t wwn) noexcept {
    switch (naa_of(wwn)) {
    case 2:
        return (wwn & kNaa2IndexMask) != 0 ? WWN_POOL_ERR_BAD_BASE : WWN_POOL_OK;
    case 5:
        return (wwn & kNaa5IndexMask) != 0 ? WWN_POOL_ERR_BAD_BASE : WWN_POOL_OK;
    default:
        return WWN_POOL_ERR_BAD_BASE;
    }
}

std::uint32_t addr_to_index(std::uint64_t base, std::uint32_t &index, std::uint64_t addr) noexcept {
    std::uint64_t candidate = 0;
    switch (naa_of(addr)) {
    case 2:
        index = static_cast<std::uint32_t>((addr & kNaa2IndexMask) >> kNaa2IndexShift);
        candidate = addr & ~kNaa2IndexMask;
        break;
    case 5:
        index = static_cast<std::uint32_t>(addr & kNaa5IndexMask);
        candidate = addr & ~kNaa5IndexMask;
        break;
    default:
        return WWN_POOL_ERR_BAD_NAA;
    }
    return candidate == base ? WWN_POOL_OK : WWN_POOL_ERR_NOT_IN_POOL;
}

namespace {

std::uint32_t reverse_decode(const wwn_t &addr, wwn_t &local, std::uint32_t &page) noexcept {
    const std::uint64_t a = load_be64(addr.bytes);
    std::uint32_t status = WWN_POOL_OK;
    switch (naa_of(a)) {
    case 2:
        page = static_cast<std::uint32_t>((a >> kNaa2PageShift) & 3U);
        store_be64(local.bytes, a & ~kNaa2IndexMask);
        break;
    case 5:
        page = static_cast<std::uint32_t>((a >> kNaa5PageShift) & 3U) + 4;
        store_be64(local.bytes, a >> kNaa5MShift);
        break;
    default:
        status = WWN_POOL_ERR_BAD_NAA;
        break;
    }
    // Whatever the layout, the top two bytes become the NAA 1 prefix; for an
    // address that decodes to no pool the rest of the caller's value stays.
    // Kept on purpose: callers see exactly this, partial write included.
    local.bytes[0] = static_cast<std::uint8_t>(kLocalWwnPrefix >> 56);
    local.bytes[1] = 0x00;
    return status;
}

} // namespace
} // namespace revevidozi::pool

using namespace revevidozi::pool;

extern "C" {

REVEVIDOZI_API uint32_t wwn_pool_get_local_base_wwn(const wwn_t *local_wwn, uint32_t page, wwn_t *base) {
    if (page >= kPagesPerHost) {
        return WWN_POOL_ERR_BAD_PAGE;
    }
    store_be64(base->bytes, pool_base(load_be64(local_wwn->bytes), page));
    return WWN_POOL_OK;
}

REVEVIDOZI_API uint32_t wwn_pool_validate_base_addr(const wwn_t *base) {
    return validate_base(load_be64(base->bytes));
}

REVEVIDOZI_API uint32_t wwn_pool_proc_vers1_addr_get_base_and_page(const wwn_t *addr, wwn_t *local_wwn,
                                                                   uint32_t *page) {
    return reverse_decode(*addr, *local_wwn, *page);
}

REVEVIDOZI_API uint32_t wwn_pool_addr_get_base_and_page(int32_t version, const wwn_t *addr, wwn_t *local_wwn,
                                                        uint32_t *page) {
    if (addr == nullptr || local_wwn == nullptr || page == nullptr) {
        return WWN_POOL_ERR_INVALID_ARG;
    }
    if (version != 1) {
        return WWN_POOL_ERR_UNSUPPORTED_VERSION;
    }
    return reverse_decode(*addr, *local_wwn, *page);
}

} // extern "C"
