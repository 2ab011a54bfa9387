// revevidozi.hpp - a small header-only C++20 layer over revevidozi.h.
//
// Wwn is an 8-byte value type that parses what administrators paste; Pool owns
// one pool's block and control object (allocated here, on the caller's side);
// library statuses become std::error_code values of revevidozi::pool_category().
// Every operation comes in a throwing form (std::system_error) and a form that
// reports through a std::error_code&, as std::filesystem does.
#ifndef REVEVIDOZI_HPP
#define REVEVIDOZI_HPP

#include "revevidozi.h"

#include <algorithm>
#include <array>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace revevidozi {

// ---------------------------------------------------------------------------
// Errors
// ---------------------------------------------------------------------------

// The library's status codes, with their numbers.
enum class errc : std::uint32_t {
    invalid_argument = WWN_POOL_ERR_INVALID_ARG,
    crc_mismatch = WWN_POOL_ERR_CRC,
    wrong_block_version = WWN_POOL_ERR_CFG_VERSION,
    bad_base = WWN_POOL_ERR_BAD_BASE,
    bad_page = WWN_POOL_ERR_BAD_PAGE,
    not_in_pool = WWN_POOL_ERR_NOT_IN_POOL,
    bad_naa = WWN_POOL_ERR_BAD_NAA,
    address_free = WWN_POOL_ADDR_FREE,
    unsupported_version = WWN_POOL_ERR_UNSUPPORTED_VERSION,
    address_in_use = WWN_POOL_ADDR_IN_USE,
};

class pool_error_category final : public std::error_category {
  public:
    const char *name() const noexcept override { return "revevidozi"; }
    // The C header's words, so that C and C++ callers print the same.
    std::string message(int code) const override { return wwn_pool_status_text(static_cast<wwn_pool_status>(code)); }
};

inline const std::error_category &pool_category() noexcept {
    static const pool_error_category category;
    return category;
}

inline std::error_code make_error_code(errc e) noexcept {
    return {static_cast<int>(e), pool_category()};
}

namespace detail {
// A library status as an error code: empty for WWN_POOL_OK.
inline std::error_code to_error(wwn_pool_status status) noexcept {
    return status == WWN_POOL_OK ? std::error_code{} : std::error_code{static_cast<int>(status), pool_category()};
}
// Whether the bitmap of a block marks `index` allocated: 32-bit words stored
// most significant byte first, index i is bit i % 32 of word i / 32.
inline bool bit_is_set(std::span<const std::uint8_t, WWN_POOL_CFG_SIZE> block, std::uint32_t index) {
    const std::size_t byte = WWN_POOL_CFG_BITMAP_OFFSET + 4 * (index / 32) + 3 - (index % 32) / 8;
    return ((block[byte] >> (index % 8)) & 1U) != 0;
}
inline void throw_if(const std::error_code &ec, const char *what) {
    if (ec) {
        throw std::system_error(ec, what);
    }
}
} // namespace detail

// ---------------------------------------------------------------------------
// Wwn
// ---------------------------------------------------------------------------

// A World Wide Name: 8 bytes, most significant first.
class Wwn {
  public:
    constexpr Wwn() = default;
    constexpr explicit Wwn(std::uint64_t value) : value_(value) {}
    explicit Wwn(const wwn_t &raw) {
        for (std::uint8_t b : raw.bytes) {
            value_ = (value_ << 8) | b;
        }
    }

    // Parses "20:00:12:34:56:78:9a:bc", the same with dashes, 16 bare hex
    // digits, "0x" and 16 digits, or "0x" and fewer digits (zero-extended, as
    // Linux sysfs prints port_name); any case; blanks around are ignored.
    // On failure, returns nothing and says why in *why.
    static std::optional<Wwn> parse(std::string_view text, std::string *why = nullptr) {
        const auto fail = [&](std::string reason) -> std::optional<Wwn> {
            if (why != nullptr) {
                *why = std::move(reason);
            }
            return std::nullopt;
        };
        const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
        while (!text.empty() && blank(text.front())) {
            text.remove_prefix(1);
        }
        while (!text.empty() && blank(text.back())) {
            text.remove_suffix(1);
        }
        if (text.empty()) {
            return fail("empty WWN");
        }
        bool prefixed = text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
        if (prefixed) {
            text.remove_prefix(2);
        }
        const bool colons = text.find(':') != std::string_view::npos;
        const bool dashes = text.find('-') != std::string_view::npos;
        if (colons && dashes) {
            return fail("mixed ':' and '-' separators");
        }
        if ((colons || dashes) && prefixed) {
            return fail("'0x' with separators");
        }
        std::uint64_t value = 0;
        int digits = 0;
        int in_group = 0;
        int groups = 1;
        for (char c : text) {
            if (c == ':' || c == '-') {
                if (in_group != 2) {
                    return fail("each group must have two hex digits");
                }
                in_group = 0;
                ++groups;
                continue;
            }
            int v = -1;
            if (c >= '0' && c <= '9') {
                v = c - '0';
            } else if (c >= 'a' && c <= 'f') {
                v = c - 'a' + 10;
            } else if (c >= 'A' && c <= 'F') {
                v = c - 'A' + 10;
            }
            if (v < 0) {
                return fail(std::string("'") + c + "' is not a hex digit");
            }
            if (++digits > 16) {
                return fail("more than 16 hex digits");
            }
            ++in_group;
            value = (value << 4) | static_cast<std::uint64_t>(v);
        }
        if (colons || dashes) {
            if (groups != 8 || in_group != 2) {
                return fail("expected 8 groups of two hex digits");
            }
        } else if (digits == 0 || (!prefixed && digits != 16)) {
            return fail("expected 16 hex digits, found " + std::to_string(digits));
        }
        return Wwn(value);
    }

    // As parse(), throwing std::invalid_argument with the reason.
    static Wwn from_string(std::string_view text) {
        std::string why;
        if (auto wwn = parse(text, &why)) {
            return *wwn;
        }
        throw std::invalid_argument("'" + std::string(text) + "': " + why);
    }

    constexpr std::uint64_t value() const { return value_; }
    constexpr unsigned naa() const { return static_cast<unsigned>(value_ >> 60); }

    wwn_t raw() const {
        wwn_t w{};
        std::uint64_t v = value_;
        for (int i = 7; i >= 0; --i, v >>= 8) {
            w.bytes[i] = static_cast<std::uint8_t>(v);
        }
        return w;
    }

    // Lowercase colon form: "20:00:12:34:56:78:9a:bc".
    std::string str() const {
        static constexpr char kDigits[] = "0123456789abcdef";
        std::string s;
        for (int shift = 56; shift >= 0; shift -= 8) {
            s += kDigits[(value_ >> (shift + 4)) & 15];
            s += kDigits[(value_ >> shift) & 15];
            if (shift != 0) {
                s += ':';
            }
        }
        return s;
    }

    friend constexpr auto operator<=>(const Wwn &, const Wwn &) = default;

  private:
    std::uint64_t value_ = 0;
};

// What an address says about itself: the local WWN and page of its pool.
struct PoolOrigin {
    Wwn local;
    std::uint32_t page = 0;
};

inline std::optional<PoolOrigin> origin_of(const Wwn &address, std::error_code &ec) {
    const wwn_t raw = address.raw();
    wwn_t local{};
    std::uint32_t page = 0;
    ec = detail::to_error(wwn_pool_addr_get_base_and_page(1, &raw, &local, &page));
    if (ec) {
        return std::nullopt;
    }
    return PoolOrigin{Wwn(local), page};
}

inline PoolOrigin origin_of(const Wwn &address) {
    std::error_code ec;
    auto origin = origin_of(address, ec);
    detail::throw_if(ec, "origin_of");
    return *origin;
}

inline std::optional<Wwn> pool_base(const Wwn &local, std::uint32_t page, std::error_code &ec) {
    const wwn_t raw = local.raw();
    wwn_t base{};
    ec = detail::to_error(wwn_pool_get_local_base_wwn(&raw, page, &base));
    return ec ? std::nullopt : std::optional<Wwn>(Wwn(base));
}

inline Wwn pool_base(const Wwn &local, std::uint32_t page) {
    std::error_code ec;
    auto base = pool_base(local, page, ec);
    detail::throw_if(ec, "pool_base");
    return *base;
}

// ---------------------------------------------------------------------------
// Pool
// ---------------------------------------------------------------------------

struct Usage {
    std::uint32_t free = 0;
    std::uint32_t used = 0;
};

// One pool: its 152-byte block and its control object. Movable, not
// copyable; the object's operations may be called from any number of threads
// (the library's lock), but moving or destroying it may not race with them.
class Pool {
  public:
    using Block = std::array<std::uint8_t, WWN_POOL_CFG_SIZE>;
    static constexpr std::int32_t kAddresses = 1024;

    // A fresh pool of `page` (0..7) of a local WWN, every address free.
    static std::optional<Pool> create(const Wwn &local, std::uint32_t page, std::error_code &ec) {
        Pool pool;
        const wwn_t raw = local.raw();
        ec = detail::to_error(wwn_pool_init(pool.ctrl(), pool.cfg_.get(), &raw, page));
        return ec ? std::nullopt : std::optional<Pool>(std::move(pool));
    }
    static Pool create(const Wwn &local, std::uint32_t page) {
        std::error_code ec;
        auto pool = create(local, page, ec);
        detail::throw_if(ec, "Pool::create");
        return std::move(*pool);
    }

    // A pool adopted from a stored block, after the library verified it.
    static std::optional<Pool> adopt(std::span<const std::uint8_t, WWN_POOL_CFG_SIZE> block, std::error_code &ec) {
        Pool pool;
        std::copy(block.begin(), block.end(), pool.cfg_->bytes);
        ec = detail::to_error(wwn_pool_cfg_import(pool.ctrl(), pool.cfg_.get()));
        return ec ? std::nullopt : std::optional<Pool>(std::move(pool));
    }
    static Pool adopt(std::span<const std::uint8_t, WWN_POOL_CFG_SIZE> block) {
        std::error_code ec;
        auto pool = adopt(block, ec);
        detail::throw_if(ec, "Pool::adopt");
        return std::move(*pool);
    }

    // The `count` lowest free addresses, now allocated; nothing on failure.
    std::vector<Wwn> allocate(std::int32_t count, std::error_code &ec) {
        // No pool has more than kAddresses, so a larger batch is refused by
        // the library before it writes anything: room for it would only be
        // memory thrown away (or std::bad_alloc from a non-throwing call).
        const bool fits = count > 0 && count <= kAddresses;
        std::vector<wwn_t> raw(fits ? static_cast<std::size_t>(count) : 0);
        ec = detail::to_error(wwn_pool_addr_alloc(ctrl(), cfg_.get(), count, raw.empty() ? &scratch_ : raw.data()));
        std::vector<Wwn> out;
        if (!ec) {
            out.reserve(raw.size());
            for (const auto &w : raw) {
                out.emplace_back(w);
            }
        }
        return out;
    }
    std::vector<Wwn> allocate(std::int32_t count) {
        std::error_code ec;
        auto out = allocate(count, ec);
        detail::throw_if(ec, "Pool::allocate");
        return out;
    }

    // Allocates the address the caller chooses.
    void take(const Wwn &address, std::error_code &ec) {
        const wwn_t raw = address.raw();
        ec = detail::to_error(wwn_pool_usr_addr_alloc(ctrl(), cfg_.get(), &raw));
    }
    void take(const Wwn &address) {
        std::error_code ec;
        take(address, ec);
        detail::throw_if(ec, "Pool::take");
    }

    void release(const Wwn &address, std::error_code &ec) {
        const wwn_t raw = address.raw();
        ec = detail::to_error(wwn_pool_addr_release(ctrl(), cfg_.get(), &raw));
    }
    void release(const Wwn &address) {
        std::error_code ec;
        release(address, ec);
        detail::throw_if(ec, "Pool::release");
    }

    void release_all(std::error_code &ec) { ec = detail::to_error(wwn_pool_addr_release_all(ctrl(), cfg_.get())); }
    void release_all() {
        std::error_code ec;
        release_all(ec);
        detail::throw_if(ec, "Pool::release_all");
    }

    // Whether an address of this pool is allocated.
    bool in_use(const Wwn &address, std::error_code &ec) {
        const wwn_t raw = address.raw();
        const wwn_pool_status status = wwn_pool_addr_status(ctrl(), cfg_.get(), &raw);
        ec = status == WWN_POOL_ADDR_IN_USE || status == WWN_POOL_ADDR_FREE ? std::error_code{}
                                                                            : detail::to_error(status);
        return status == WWN_POOL_ADDR_IN_USE;
    }
    bool in_use(const Wwn &address) {
        std::error_code ec;
        const bool used = in_use(address, ec);
        detail::throw_if(ec, "Pool::in_use");
        return used;
    }

    Usage usage(std::error_code &ec) const {
        wwn_pool_usage u{};
        ec = detail::to_error(wwn_pool_pool_status(ctrl(), cfg_.get(), &u));
        return {u.free_count, u.used_count};
    }
    Usage usage() const {
        std::error_code ec;
        const Usage u = usage(ec);
        detail::throw_if(ec, "Pool::usage");
        return u;
    }

    // Every address of the pool in index order, as the library forms them:
    // a verified copy of the block, all free, allocates all of them.
    std::vector<Wwn> all_addresses(std::error_code &ec) const {
        auto copy = adopt(block(), ec);
        if (!copy) {
            return {};
        }
        copy->release_all(ec);
        return ec ? std::vector<Wwn>{} : copy->allocate(kAddresses, ec);
    }
    std::vector<Wwn> all_addresses() const {
        std::error_code ec;
        auto out = all_addresses(ec);
        detail::throw_if(ec, "Pool::all_addresses");
        return out;
    }

    // The allocated addresses, in index order, read from one verified copy
    // of the block.
    std::vector<Wwn> allocated(std::error_code &ec) const {
        const Block snapshot = block();
        const auto copy = adopt(snapshot, ec);
        if (!copy) {
            return {};
        }
        const std::vector<Wwn> all = copy->all_addresses(ec);
        std::vector<Wwn> out;
        for (std::uint32_t index = 0; index < all.size(); ++index) {
            if (detail::bit_is_set(snapshot, index)) {
                out.push_back(all[index]);
            }
        }
        return out;
    }
    std::vector<Wwn> allocated() const {
        std::error_code ec;
        auto out = allocated(ec);
        detail::throw_if(ec, "Pool::allocated");
        return out;
    }

    // The block's bytes, for storing; adopt() takes them back.
    Block block() const {
        Block b{};
        std::copy(std::begin(cfg_->bytes), std::end(cfg_->bytes), b.begin());
        return b;
    }
    Wwn base() const {
        std::uint64_t v = 0;
        for (int i = WWN_POOL_CFG_BASE_OFFSET; i < WWN_POOL_CFG_BASE_OFFSET + 8; ++i) {
            v = (v << 8) | cfg_->bytes[i];
        }
        return Wwn(v);
    }
    PoolOrigin origin() const { return origin_of(base()); }

    // Prints the block on standard output (the library's dump).
    void dump() const { print_pool_info(cfg_.get()); }

  private:
    Pool()
        : cfg_(std::make_unique<wwn_pool_cfg>()),
          ctrl_(std::make_unique<std::max_align_t[]>(wwn_pool_sizeof_pool_ctrl() / sizeof(std::max_align_t) + 1)) {}

    wwn_pool_ctrl *ctrl() const { return reinterpret_cast<wwn_pool_ctrl *>(ctrl_.get()); }

    std::unique_ptr<wwn_pool_cfg> cfg_;
    std::unique_ptr<std::max_align_t[]> ctrl_;
    wwn_t scratch_{}; // where a batch of no address "writes"
};

// The index of a pool address within its pool (0..1023), found by letting the
// library take it in a fresh pool of its origin and reading which bit it set.
inline std::optional<std::uint32_t> index_of(const Wwn &address, std::error_code &ec) {
    const auto origin = origin_of(address, ec);
    auto pool = origin ? Pool::create(origin->local, origin->page, ec) : std::nullopt;
    if (!pool) {
        return std::nullopt;
    }
    pool->take(address, ec);
    const Pool::Block block = pool->block();
    for (std::uint32_t index = 0; !ec && index < Pool::kAddresses; ++index) {
        if (detail::bit_is_set(block, index)) {
            return index;
        }
    }
    return std::nullopt;
}
inline std::uint32_t index_of(const Wwn &address) {
    std::error_code ec;
    const auto index = index_of(address, ec);
    detail::throw_if(ec, "index_of");
    return *index;
}

} // namespace revevidozi

template <> struct std::is_error_code_enum<revevidozi::errc> : std::true_type {};

#endif // REVEVIDOZI_HPP
