// The C++ layer: Wwn parsing and formatting, error codes, and Pool's
// lifecycle (create, allocate, store, adopt, continue).
#include <revevidozi.hpp>

#include <gtest/gtest.h>

#include <set>

namespace {

using revevidozi::Pool;
using revevidozi::Wwn;

// What administrators paste: accepted forms give the value, rejected ones
// say why.
TEST(CppWwn, ParsingAndFormatting) {
    const struct {
        const char *text;
        std::uint64_t value;
        const char *reason;
    } cases[] = {
        {"20:00:12:34:56:78:9a:bc", 0x2000123456789abcULL, nullptr},
        {"20-00-12-34-56-78-9A-BC", 0x2000123456789abcULL, nullptr},
        {"0X2000123456789aBc", 0x2000123456789abcULL, nullptr},
        {"0x123456789abc", 0x0000123456789abcULL, nullptr}, // sysfs prints port_name unpadded
        {"  \t51:23:45:67:89:ab:c0:05\n", 0x5123456789abc005ULL, nullptr},
        {"ff:ff:ff:ff:ff:ff:ff:ff", ~0ULL, nullptr},
        {"   ", 0, "empty"},
        {"20:00:12:34:56:78:9a", 0, "8 groups"},
        {"20:0:12:34:56:78:9a:bc", 0, "two hex digits"},
        {"20:00-12:34:56:78:9a:bc", 0, "mixed"},
        {"2000123456789ab", 0, "16 hex digits, found 15"},
        {"2000123456789abcd", 0, "more than 16"},
        {"20:00:12:34:56:78:9a:bg", 0, "'g' is not a hex digit"},
        {"0x", 0, "16 hex digits, found 0"},
        {"0x20:00:12:34:56:78:9a:bc", 0, "'0x' with separators"},
        {"0x12345678901234567", 0, "more than 16"},
    };
    for (const auto &c : cases) {
        std::string why;
        const auto wwn = Wwn::parse(c.text, &why);
        EXPECT_EQ(c.reason == nullptr, wwn.has_value()) << c.text;
        if (c.reason == nullptr) {
            EXPECT_EQ(c.value, wwn->value()) << c.text;
        } else {
            EXPECT_NE(std::string::npos, why.find(c.reason)) << c.text << ": " << why;
            EXPECT_THROW(Wwn::from_string(c.text), std::invalid_argument) << c.text;
        }
    }
    EXPECT_EQ("00:00:00:00:00:00:00:01", Wwn(1).str());
    EXPECT_EQ(5U, Wwn(0x5123456789abc005ULL).naa());
}

// Every status has its own words, the same for C and C++ callers.
TEST(CppErrors, StatusesAreErrorCodes) {
    const std::error_code ec = revevidozi::errc::address_in_use;
    EXPECT_EQ(&revevidozi::pool_category(), &ec.category());
    EXPECT_EQ(WWN_POOL_ADDR_IN_USE, static_cast<std::uint32_t>(ec.value()));
    EXPECT_EQ("address already allocated", ec.message());
    std::set<std::string> words;
    for (std::uint32_t status = 0; status < 30; ++status) {
        const std::string text = revevidozi::make_error_code(static_cast<revevidozi::errc>(status)).message();
        EXPECT_EQ(wwn_pool_status_text(status), text);
        words.insert(text);
    }
    EXPECT_EQ(12U, words.size()); // eleven statuses and "unknown pool status"
}

TEST(CppPool, CreateAllocateStoreAdoptContinue) {
    const Wwn local = Wwn::from_string("10:00:12:34:56:78:9a:bc");
    Pool pool = Pool::create(local, 0);
    EXPECT_EQ((std::vector<Wwn>{Wwn(0x2000123456789abcULL), Wwn(0x2001123456789abcULL)}), pool.allocate(2));
    pool.take(Wwn(0x23ff123456789abcULL));

    Pool adopted = Pool::adopt(pool.block());
    EXPECT_EQ(local, adopted.origin().local);
    EXPECT_EQ(3U, adopted.usage().used);
    EXPECT_EQ((std::vector<Wwn>{Wwn(0x2002123456789abcULL)}), adopted.allocate(1));
    EXPECT_TRUE(adopted.in_use(Wwn(0x23ff123456789abcULL)));
    EXPECT_FALSE(adopted.in_use(Wwn(0x2003123456789abcULL)));
    adopted.release(Wwn(0x2000123456789abcULL));
    EXPECT_EQ((std::vector<Wwn>{Wwn(0x2001123456789abcULL), Wwn(0x2002123456789abcULL), Wwn(0x23ff123456789abcULL)}),
              adopted.allocated());
    for (const std::uint64_t address : {0x2000123456789abcULL, 0x2c05123456789abcULL, 0x5123456789abcfffULL}) {
        const auto all = Pool::create(local, revevidozi::origin_of(Wwn(address)).page).all_addresses();
        EXPECT_EQ(Wwn(address), all.at(revevidozi::index_of(Wwn(address)))) << std::hex << address;
    }
    adopted.release_all();
    EXPECT_EQ(0U, adopted.usage().used);
}

TEST(CppPool, FailuresInBothForms) {
    Pool pool = Pool::create(Wwn(0x1000123456789abcULL), 5);
    std::error_code ec;
    pool.take(Wwn(0x2000123456789abcULL), ec);
    EXPECT_EQ(revevidozi::errc::not_in_pool, ec);
    EXPECT_TRUE(pool.allocate(1025, ec).empty());
    EXPECT_EQ(revevidozi::errc::address_in_use, ec);
    EXPECT_TRUE(pool.allocate(0, ec).empty());
    EXPECT_FALSE(ec);
    EXPECT_TRUE(pool.allocate(INT32_MAX, ec).empty()); // refused before any room is made for it
    EXPECT_EQ(revevidozi::errc::address_in_use, ec);
    EXPECT_FALSE(revevidozi::index_of(Wwn(0x1000123456789abcULL), ec).has_value());
    EXPECT_EQ(revevidozi::errc::bad_naa, ec);
    EXPECT_THROW(pool.release(Wwn(0x5123456789abc405ULL)), std::system_error);
    EXPECT_FALSE(Pool::create(Wwn(0x1000123456789abcULL), 8, ec).has_value());
    EXPECT_EQ(revevidozi::errc::bad_page, ec);

    Pool::Block damaged = pool.block();
    damaged[20] ^= 1;
    EXPECT_FALSE(Pool::adopt(damaged, ec).has_value());
    EXPECT_EQ(revevidozi::errc::crc_mismatch, ec);
    damaged[20] ^= 1;
    damaged[0] = 2;
    EXPECT_THROW(Pool::adopt(damaged), std::system_error);
}

} // namespace
