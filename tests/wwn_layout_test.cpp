// Address arithmetic: the base of every page of a host, which WWNs are pool
// bases, and the way back from an address to its host and page.
#include "test_support.hpp"

#include <gtest/gtest.h>

using testsupport::kLocal;
using testsupport::value;
using testsupport::wwn;

namespace {

// Pages of 10:00:12:34:56:78:9a:bc: base, index 5, index 1023.
const struct {
    std::uint32_t page;
    std::uint64_t addresses[3];
} kPages[] = {
    {0, {0x2000'1234'5678'9abcULL, 0x2005'1234'5678'9abcULL, 0x23ff'1234'5678'9abcULL}},
    {1, {0x2400'1234'5678'9abcULL, 0x2405'1234'5678'9abcULL, 0x27ff'1234'5678'9abcULL}},
    {3, {0x2c00'1234'5678'9abcULL, 0x2c05'1234'5678'9abcULL, 0x2fff'1234'5678'9abcULL}},
    {4, {0x5123'4567'89ab'c000ULL, 0x5123'4567'89ab'c005ULL, 0x5123'4567'89ab'c3ffULL}},
    {6, {0x5123'4567'89ab'c800ULL, 0x5123'4567'89ab'c805ULL, 0x5123'4567'89ab'cbffULL}},
    {7, {0x5123'4567'89ab'cc00ULL, 0x5123'4567'89ab'cc05ULL, 0x5123'4567'89ab'cfffULL}},
};

// Only the IEEE address counts: the local WWN's first two bytes are ignored.
TEST(WwnLayout, BaseOfEveryPage) {
    for (const auto &row : kPages) {
        for (std::uint64_t local : {0x1000'1234'5678'9abcULL, 0xffff'1234'5678'9abcULL, 0x0000'1234'5678'9abcULL}) {
            wwn_t base = wwn(0);
            const wwn_t l = wwn(local);
            ASSERT_EQ(WWN_POOL_OK, wwn_pool_get_local_base_wwn(&l, row.page, &base)) << row.page;
            EXPECT_EQ(row.addresses[0], value(base)) << "page " << row.page << " local " << std::hex << local;
        }
    }
    for (std::uint32_t page : {8U, 0x8000'0000U, 0xffff'ffffU}) {
        wwn_t base = wwn(0xdead'beef'dead'beefULL);
        EXPECT_EQ(WWN_POOL_ERR_BAD_PAGE, wwn_pool_get_local_base_wwn(&kLocal, page, &base));
        EXPECT_EQ(0xdead'beef'dead'beefULL, value(base));
    }
}

TEST(WwnLayout, BaseValidation) {
    const struct {
        std::uint64_t wwn;
        std::uint32_t status;
    } cases[] = {
        {0x2c00'1234'5678'9abcULL, WWN_POOL_OK},           {0x2000'0000'0000'0000ULL, WWN_POOL_OK},
        {0x5123'4567'89ab'cc00ULL, WWN_POOL_OK},           {0x5fff'ffff'ffff'fc00ULL, WWN_POOL_OK},
        {0x2005'1234'5678'9abcULL, WWN_POOL_ERR_BAD_BASE}, {0x2100'1234'5678'9abcULL, WWN_POOL_ERR_BAD_BASE},
        {0x5123'4567'89ab'c001ULL, WWN_POOL_ERR_BAD_BASE}, {0x5123'4567'89ab'c200ULL, WWN_POOL_ERR_BAD_BASE},
        {0x1000'1234'5678'9abcULL, WWN_POOL_ERR_BAD_BASE}, {0x3000'0000'0000'0000ULL, WWN_POOL_ERR_BAD_BASE},
        {0x4000'0000'0000'0000ULL, WWN_POOL_ERR_BAD_BASE}, {0x6000'0000'0000'0000ULL, WWN_POOL_ERR_BAD_BASE},
        {0x0000'0000'0000'0000ULL, WWN_POOL_ERR_BAD_BASE}, {0xf000'0000'0000'0000ULL, WWN_POOL_ERR_BAD_BASE},
    };
    for (const auto &c : cases) {
        const wwn_t w = wwn(c.wwn);
        EXPECT_EQ(c.status, wwn_pool_validate_base_addr(&w)) << std::hex << c.wwn;
    }
}

TEST(WwnLayout, ReverseDecode) {
    for (const auto &row : kPages) {
        for (std::uint64_t addr : row.addresses) {
            const wwn_t a = wwn(addr);
            for (int form = 0; form < 2; ++form) {
                wwn_t local = wwn(0);
                std::uint32_t page = 99;
                ASSERT_EQ(WWN_POOL_OK, form == 0 ? wwn_pool_addr_get_base_and_page(1, &a, &local, &page)
                                                 : wwn_pool_proc_vers1_addr_get_base_and_page(&a, &local, &page));
                EXPECT_EQ(value(kLocal), value(local)) << std::hex << addr;
                EXPECT_EQ(row.page, page);
            }
        }
    }
    // Kept as callers have always seen it: another NAA writes 10 00 over the
    // first two bytes of the local WWN and nothing else.
    for (std::uint64_t addr : {0x1000'1234'5678'9abcULL, 0x3000'0000'0000'0001ULL, 0xe123'0000'0000'0000ULL}) {
        const wwn_t a = wwn(addr);
        wwn_t local = wwn(0xaabb'ccdd'eeff'0011ULL);
        std::uint32_t page = 77;
        EXPECT_EQ(WWN_POOL_ERR_BAD_NAA, wwn_pool_addr_get_base_and_page(1, &a, &local, &page));
        EXPECT_EQ(0x1000'ccdd'eeff'0011ULL, value(local));
        EXPECT_EQ(77U, page);
    }
}

TEST(WwnLayout, VersionAndNullPointersAreCheckedFirst) {
    const wwn_t a = wwn(0x2005'1234'5678'9abcULL);
    wwn_t local = wwn(0x1111);
    std::uint32_t page = 77;
    for (std::int32_t version : {0, 2, -1, INT32_MAX}) {
        EXPECT_EQ(WWN_POOL_ERR_UNSUPPORTED_VERSION, wwn_pool_addr_get_base_and_page(version, &a, &local, &page));
    }
    EXPECT_EQ(0x1111U, value(local));
    EXPECT_EQ(77U, page);
    for (std::int32_t version : {1, 2}) {
        EXPECT_EQ(WWN_POOL_ERR_INVALID_ARG, wwn_pool_addr_get_base_and_page(version, nullptr, &local, &page));
        EXPECT_EQ(WWN_POOL_ERR_INVALID_ARG, wwn_pool_addr_get_base_and_page(version, &a, nullptr, &page));
        EXPECT_EQ(WWN_POOL_ERR_INVALID_ARG, wwn_pool_addr_get_base_and_page(version, &a, &local, nullptr));
    }
}

} // namespace
