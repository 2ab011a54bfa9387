// Creating a pool block, and adopting one that was stored or copied.
#include "block_layout.hpp"
#include "pool_ctrl.hpp"

#include <cstring>

namespace revevidozi::pool {

namespace {

std::uint32_t init(wwn_pool_ctrl &ctrl, wwn_pool_cfg &cfg, const wwn_t &local, std::uint32_t page) noexcept {
    pthread_mutex_init(&ctrl.mutex, nullptr);
    cfg.bytes[kVersionOffset] = kBlockVersion;
    std::memset(cfg.bytes + kMbzOffset, 0, kMbzSize);
    // A bad page still leaves the version and must-be-zero bytes written:
    // callers see it so, and it stays.
    if (page >= kPagesPerHost) {
        return WWN_POOL_ERR_BAD_PAGE;
    }
    store_be64(base_of(cfg), pool_base(load_be64(local.bytes), page));
    std::memset(bitmap_of(cfg), 0, kBitmapSize);
    renew_block_crc(cfg);
    return WWN_POOL_OK;
}

std::uint32_t import(wwn_pool_ctrl &ctrl, const wwn_pool_cfg &cfg) noexcept {
    const std::uint32_t status = check_block(cfg);
    if (status == WWN_POOL_OK) {
        pthread_mutex_init(&ctrl.mutex, nullptr);
    }
    return status;
}

} // namespace
} // namespace revevidozi::pool

extern "C" {

REVEVIDOZI_API uint32_t wwn_pool_sizeof_pool_cfg(void) {
    return WWN_POOL_CFG_SIZE;
}

REVEVIDOZI_API uint32_t wwn_pool_sizeof_pool_ctrl(void) {
    return sizeof(wwn_pool_ctrl);
}

REVEVIDOZI_API uint32_t wwn_pool_init(wwn_pool_ctrl *ctrl, wwn_pool_cfg *cfg, const wwn_t *local_wwn, uint32_t page) {
    if (ctrl == nullptr || cfg == nullptr || local_wwn == nullptr) {
        return WWN_POOL_ERR_INVALID_ARG;
    }
    return revevidozi::pool::init(*ctrl, *cfg, *local_wwn, page);
}

REVEVIDOZI_API uint32_t wwn_pool_cfg_import(wwn_pool_ctrl *ctrl, const wwn_pool_cfg *cfg) {
    if (ctrl == nullptr || cfg == nullptr) {
        return WWN_POOL_ERR_INVALID_ARG;
    }
    return revevidozi::pool::import(*ctrl, *cfg);
}

} // extern "C"
