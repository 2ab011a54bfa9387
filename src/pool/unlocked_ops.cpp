#include "unlocked_ops.hpp"

#include "bitmap.hpp"
#include "byte_order.hpp"
#include "wwn_layout.hpp"

#include <bit>

namespace revevidozi::pool {

std::uint32_t alloc_batch(const std::uint8_t *base, std::uint8_t *bm, std::int32_t count, wwn_t *out) noexcept {
    const auto free_count = static_cast<std::int32_t>(kAddressesPerPool - bitmap::used_count(bm));
    if (free_count < count) {
        return WWN_POOL_ADDR_IN_USE;
    }
    if (count <= 0) {
        return WWN_POOL_OK;
    }
    // The index field sits at bit 48 of an NAA 2 address and at bit 0 of an
    // NAA 5 one. A base of neither layout fails at the first free index, which
    // exists because the count test passed.
    const std::uint64_t base_wwn = load_be64(base);
    int index_shift = 0;
    switch (naa_of(base_wwn)) {
    case 2:
        index_shift = kNaa2IndexShift;
        break;
    case 5:
        index_shift = 0;
        break;
    default:
        return WWN_POOL_ERR_BAD_BASE;
    }
    std::int32_t delivered = 0;
    const auto deliver = [&](std::uint32_t index) {
        store_be64(out[delivered++].bytes, base_wwn + (std::uint64_t{index} << index_shift));
    };
    for (std::uint32_t j = bitmap::first_open_word(bm, 0); j < bitmap::kWords; j = bitmap::first_open_word(bm, j + 1)) {
        std::uint32_t word = bitmap::word(bm, j);
        if (word == 0 && count - delivered >= 32) {
            // A whole free word, as in a fresh pool: no bit search needed.
            for (std::uint32_t bit = 0; bit < 32; ++bit) {
                deliver(32 * j + bit);
            }
            word = 0xFFFFFFFFU;
        } else {
            for (std::uint32_t free_bits = ~word; free_bits != 0 && delivered < count; free_bits &= free_bits - 1) {
                const auto bit = static_cast<std::uint32_t>(std::countr_zero(free_bits));
                word |= std::uint32_t{1} << bit;
                deliver(32 * j + bit);
            }
        }
        bitmap::store_word(bm, j, word);
        if (delivered == count) {
            break;
        }
    }
    return WWN_POOL_OK;
}

namespace {

// Decodes the address against the pool, then applies `op` to its index.
template <typename Op> std::uint32_t with_index(const std::uint8_t *base, const wwn_t &addr, Op &&op) noexcept {
    std::uint32_t index = 0;
    const std::uint32_t status = addr_to_index(load_be64(base), index, load_be64(addr.bytes));
    return status != WWN_POOL_OK ? status : op(index);
}

} // namespace

std::uint32_t alloc_chosen(const std::uint8_t *base, std::uint8_t *bm, const wwn_t &addr) noexcept {
    return with_index(base, addr, [&](std::uint32_t index) {
        if (bitmap::is_set(bm, index)) {
            return WWN_POOL_ADDR_IN_USE;
        }
        bitmap::set(bm, index);
        return WWN_POOL_OK;
    });
}

std::uint32_t release(const std::uint8_t *base, std::uint8_t *bm, const wwn_t &addr) noexcept {
    return with_index(base, addr, [&](std::uint32_t index) {
        if (!bitmap::is_set(bm, index)) {
            return WWN_POOL_ADDR_FREE;
        }
        bitmap::clear(bm, index);
        return WWN_POOL_OK;
    });
}

std::uint32_t release_all(std::uint8_t *bm) noexcept {
    bitmap::clear_all(bm);
    return WWN_POOL_OK;
}

std::uint32_t status_of(const std::uint8_t *base, const std::uint8_t *bm, const wwn_t &addr) noexcept {
    return with_index(base, addr, [&](std::uint32_t index) {
        return bitmap::is_set(bm, index) ? WWN_POOL_ADDR_IN_USE : WWN_POOL_ADDR_FREE;
    });
}

} // namespace revevidozi::pool

using namespace revevidozi::pool;

extern "C" {

REVEVIDOZI_API uint32_t wwn_pool_proc_addr_alloc(const wwn_t *base, uint8_t *bitmap, int32_t count, wwn_t *out) {
    return alloc_batch(base->bytes, bitmap, count, out);
}

REVEVIDOZI_API uint32_t wwn_pool_proc_usr_addr_alloc(const wwn_t *base, uint8_t *bitmap, const wwn_t *addr) {
    return alloc_chosen(base->bytes, bitmap, *addr);
}

REVEVIDOZI_API uint32_t wwn_pool_proc_addr_release(const wwn_t *base, uint8_t *bitmap, const wwn_t *addr) {
    return release(base->bytes, bitmap, *addr);
}

REVEVIDOZI_API uint32_t wwn_pool_proc_addr_release_all(uint8_t *bitmap) {
    return release_all(bitmap);
}

REVEVIDOZI_API uint32_t wwn_pool_proc_addr_status(const wwn_t *base, const uint8_t *bitmap, const wwn_t *addr) {
    return status_of(base->bytes, bitmap, *addr);
}

} // extern "C"
