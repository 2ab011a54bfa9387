// Small helpers shared by the tests.
#pragma once

#include "revevidozi.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace testsupport {

inline wwn_t wwn(std::uint64_t v) {
    wwn_t w{};
    for (int i = 7; i >= 0; --i, v >>= 8) {
        w.bytes[i] = static_cast<std::uint8_t>(v);
    }
    return w;
}

inline std::uint64_t value(const wwn_t &w) {
    std::uint64_t v = 0;
    for (std::uint8_t b : w.bytes) {
        v = (v << 8) | b;
    }
    return v;
}

inline const wwn_t kLocal = wwn(0x1000'1234'5678'9abcULL);

// A control object in memory of the size the library asks for.
struct Ctrl {
    std::unique_ptr<std::max_align_t[]> mem{
        new std::max_align_t[wwn_pool_sizeof_pool_ctrl() / sizeof(std::max_align_t) + 1]};
    wwn_pool_ctrl *get() { return reinterpret_cast<wwn_pool_ctrl *>(mem.get()); }
};

// A fresh page pool of kLocal, or of another local WWN.
struct Pool {
    Ctrl ctrl;
    wwn_pool_cfg cfg{};
    explicit Pool(std::uint32_t page = 0, const wwn_t &local = kLocal) {
        wwn_pool_init(ctrl.get(), &cfg, &local, page);
    }
};

// What a caller of the unlocked operations does before using the locked ones again.
inline void renew_crc(wwn_pool_cfg &cfg) {
    const std::uint32_t crc =
        crc32ForBuf(cfg.bytes + WWN_POOL_CFG_BASE_OFFSET, WWN_POOL_CFG_CRC_OFFSET - WWN_POOL_CFG_BASE_OFFSET);
    for (int k = 0; k < 4; ++k) {
        cfg.bytes[WWN_POOL_CFG_CRC_OFFSET + k] = static_cast<std::uint8_t>(crc >> (24 - 8 * k));
    }
}

inline std::string hex(const std::uint8_t *p, std::size_t n) {
    static const char digits[] = "0123456789abcdef";
    std::string s;
    for (std::size_t i = 0; i < n; ++i) {
        s += digits[p[i] >> 4];
        s += digits[p[i] & 15];
    }
    return s;
}

} // namespace testsupport
