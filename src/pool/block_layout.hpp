// The pool configuration block's byte image, in the offsets the public header
// names.
#pragma once

#include "byte_order.hpp"
#include "crc/crc32_table.hpp"
#include "revevidozi.h"
#include "wwn_layout.hpp"

#include <cstddef>
#include <cstdint>

namespace revevidozi::pool {

inline constexpr std::size_t kVersionOffset = WWN_POOL_CFG_VERSION_OFFSET;
inline constexpr std::size_t kMbzOffset = 1;
inline constexpr std::size_t kMbzSize = 3;
inline constexpr std::size_t kBaseOffset = WWN_POOL_CFG_BASE_OFFSET; // pool_info starts here
inline constexpr std::size_t kBitmapOffset = WWN_POOL_CFG_BITMAP_OFFSET;
inline constexpr std::size_t kBitmapSize = kAddressesPerPool / 8;
inline constexpr std::size_t kCrcOffset = WWN_POOL_CFG_CRC_OFFSET;
inline constexpr std::size_t kPoolInfoOffset = kBaseOffset;
inline constexpr std::size_t kPoolInfoSize = kCrcOffset - kPoolInfoOffset;

inline constexpr std::uint8_t kBlockVersion = 1;

static_assert(kBitmapOffset == kBaseOffset + 8);
static_assert(kCrcOffset == kBitmapOffset + kBitmapSize && kBitmapSize == WWN_POOL_CFG_BITMAP_SIZE);
static_assert(kPoolInfoSize == 136);
static_assert(sizeof(wwn_pool_cfg) == WWN_POOL_CFG_SIZE && WWN_POOL_CFG_SIZE == 152);
static_assert(kCrcOffset + 4 == WWN_POOL_CFG_RESERVED_OFFSET && WWN_POOL_CFG_RESERVED_OFFSET + 4 == WWN_POOL_CFG_SIZE);

// CRC over the pool_info region, as stored at kCrcOffset.
inline std::uint32_t compute_block_crc(const wwn_pool_cfg &cfg) noexcept {
    return crc::crc32_for_buf(cfg.bytes + kPoolInfoOffset, kPoolInfoSize);
}

inline std::uint32_t stored_block_crc(const wwn_pool_cfg &cfg) noexcept {
    return load_be32(cfg.bytes + kCrcOffset);
}

inline void renew_block_crc(wwn_pool_cfg &cfg) noexcept {
    store_be32(cfg.bytes + kCrcOffset, compute_block_crc(cfg));
}

// WWN_POOL_OK, WWN_POOL_ERR_CRC or WWN_POOL_ERR_CFG_VERSION, checked in that order.
inline std::uint32_t check_block(const wwn_pool_cfg &cfg) noexcept {
    if (compute_block_crc(cfg) != stored_block_crc(cfg)) {
        return WWN_POOL_ERR_CRC;
    }
    if (cfg.bytes[kVersionOffset] != kBlockVersion) {
        return WWN_POOL_ERR_CFG_VERSION;
    }
    return WWN_POOL_OK;
}

inline std::uint8_t *base_of(wwn_pool_cfg &cfg) noexcept {
    return cfg.bytes + kBaseOffset;
}
inline std::uint8_t *bitmap_of(wwn_pool_cfg &cfg) noexcept {
    return cfg.bytes + kBitmapOffset;
}
inline const std::uint8_t *bitmap_of(const wwn_pool_cfg &cfg) noexcept {
    return cfg.bytes + kBitmapOffset;
}

} // namespace revevidozi::pool
