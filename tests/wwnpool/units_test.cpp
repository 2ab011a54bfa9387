// The tool's pure functions, as tables: what the end-to-end tests need a
// process for stays there.
#include "address_format.hpp"
#include "address_record.hpp"
#include "failure.hpp"
#include "fleet_ledger.hpp"
#include "local_wwn.hpp"
#include "pool_address.hpp"
#include "rest_period.hpp"
#include "text.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <tuple>

namespace wwnpool {
namespace {

using revevidozi::Wwn;

TEST(WwnpoolText, OwnersAreRefusedAndShownAlike) {
    const std::string kFormat = "holds an invisible format or separator character";
    const std::string kDash = "may not start with '-', which reads as an option or as no owner";
    const struct {
        std::string owner;
        std::string problem; // empty: accepted
        std::string shown;
    } cases[] = {
        {"vm42", "", "vm42"},
        {"vm é", "", "vm é"},
        {"\xdf\x90", "", "\xdf\x90"},                 // two bytes, highest lead
        {"\xf4\x8f\xbf\xbf", "", "\xf4\x8f\xbf\xbf"}, // U+10FFFF
        {std::string(128, 'x'), "", std::string(128, 'x')},
        {std::string(129, 'x'), "must be 1 to 128 characters", std::string(129, 'x')},
        {"", "must be 1 to 128 characters", ""},
        {"vm\x01", "holds a control character", "vm\\x01"},
        {"vm\x1f", "holds a control character", "vm\\x1f"}, // the last C0
        {"vm\x7f", "holds a control character", "vm\\x7f"},
        {"vm\xc2\x85", "holds a control character", "vm\\xc2\\x85"}, // C1 (NEL)
        {"vm\xc2\xa0", "", "vm\xc2\xa0"},                            // the first printable after C1
        {"vm\x80", "is not UTF-8", "vm\\x80"},
        {"\xc0\xaf", "is not UTF-8", "\\xc0\\xaf"},          // overlong
        {"\xed\xa0\x80", "is not UTF-8", R"(\xed\xa0\x80)"}, // surrogate
        {"\xf4\x90\x80\x80", "is not UTF-8", R"(\xf4\x90\x80\x80)"},
        {"\xe2\x82", "is not UTF-8", "\\xe2\\x82"},           // cut
        {"vm\xe2\x80\xae", kFormat, R"(vm\xe2\x80\xae)"},     // U+202E, right-to-left override
        {"a\xe2\x80\xa8", kFormat, R"(a\xe2\x80\xa8)"},       // U+2028, line separator
        {"\xef\xbb\xbfvm", kFormat, R"(\xef\xbb\xbfvm)"},     // U+FEFF
        {"\xf3\xa0\x80\x81", kFormat, R"(\xf3\xa0\x80\x81)"}, // U+E0001, the last range
        {"\xf3\xa0\x80\xa0", kFormat, R"(\xf3\xa0\x80\xa0)"}, // U+E0020, its first
        {"\xd8\x85", kFormat, R"(\xd8\x85)"},                 // U+0605, the last of the first range
        {"\xe2\x80\xafvm", "", "\xe2\x80\xafvm"},             // U+202F, the first printable after them
        {"-", kDash, "-"},
        {"--force", kDash, "--force"},
        {"vm-1", "", "vm-1"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(owner_problem(c.owner), c.problem) << shown(c.owner);
        EXPECT_EQ(shown(c.owner), c.shown);
        // What is shown is printable UTF-8, and showing it again changes nothing.
        EXPECT_TRUE(owner_problem(shown(c.owner)).empty() || c.owner.empty() || c.owner.size() > 128 ||
                    c.problem == kDash);
        EXPECT_EQ(shown(shown(c.owner)), shown(c.owner));
        // Recorded before the last two rules, an owner still reads.
        EXPECT_EQ(owner_problem(c.owner, OwnerRules::kRecorded).empty(),
                  c.problem.empty() || c.problem == kFormat || c.problem == kDash);
    }
    // Whatever an FC entry is called, the owner made of it is one: shown, then cut.
    for (const std::string &entry : {std::string("host5"), std::string("x\x01\xff\xe2\x80\xae"), std::string(200, 'h'),
                                     std::string(100, '\x01')}) {
        EXPECT_EQ(owner_problem(sysfs_owner(entry)), "");
        EXPECT_EQ(sysfs_owner(entry), ("sysfs:" + shown(entry)).substr(0, 128));
    }
}

TEST(WwnpoolText, ShellQuotingAndTimes) {
    EXPECT_EQ(shell_quoted("vm42"), "'vm42'");
    EXPECT_EQ(shell_quoted("vm\"$(id)\"'s"), "'vm\"$(id)\"'\\''s'");
    EXPECT_EQ(shell_quoted(""), "''");
    EXPECT_EQ(utc_time(0), "1970-01-01T00:00:00Z");
    EXPECT_EQ(utc_time(1796522400), "2026-12-06T02:00:00Z");
}

TEST(WwnpoolText, AddressForms) {
    const Wwn wwn(0x2005123456789abcULL);
    const struct {
        const char *format;
        bool upper;
        const char *single;
        const char *pair;
    } cases[] = {{"colon", false, "20:05:12:34:56:78:9a:bc", "20:05:12:34:56:78:9a:bc 24:05:12:34:56:78:9a:bc"},
                 {"colon", true, "20:05:12:34:56:78:9A:BC", "20:05:12:34:56:78:9A:BC 24:05:12:34:56:78:9A:BC"},
                 {"bare", false, "2005123456789abc", "2005123456789abc 2405123456789abc"},
                 {"sysfs", true, "0x2005123456789ABC", "0x2005123456789ABC 0x2405123456789ABC"},
                 {"vport", false, "2005123456789abc", "2005123456789abc:2405123456789abc"}};
    for (const auto &c : cases) {
        const Style style{parse_format(c.format), c.upper};
        EXPECT_EQ(formatted(wwn, style), c.single);
        EXPECT_EQ(formatted_pair(wwn, partner_of(wwn), style), c.pair);
    }
    EXPECT_THROW(parse_format("hex"), Failure);
    EXPECT_EQ(parse_wwn("0x2005123456789ABC"), wwn);
    EXPECT_THROW(parse_wwn("zz:05"), Failure);
}

TEST(WwnpoolPools, PartnersAreOneIndexOfPagesPAndPXor1) {
    const struct {
        std::uint64_t address, partner;
    } cases[] = {{0x2000123456789abcULL, 0x2400123456789abcULL},
                 {0x27ff123456789abcULL, 0x23ff123456789abcULL},
                 {0x2805123456789abcULL, 0x2c05123456789abcULL},
                 {0x5123456789abc3ffULL, 0x5123456789abc7ffULL},
                 {0x5123456789abc805ULL, 0x5123456789abcc05ULL}};
    for (const auto &c : cases) {
        EXPECT_EQ(partner_of(Wwn(c.address)), Wwn(c.partner));
        EXPECT_EQ(partner_of(Wwn(c.partner)), Wwn(c.address));
        EXPECT_TRUE(are_partners(Wwn(c.address), Wwn(c.partner)));
        EXPECT_FALSE(are_partners(Wwn(c.address), Wwn(c.partner + 1)));
    }
    EXPECT_FALSE(are_partners(Wwn(0x1000123456789abcULL), Wwn(0x2000123456789abcULL)));
    EXPECT_EQ(pool_base_of(Wwn(0x2c05123456789abcULL)), Wwn(0x2c00123456789abcULL));
    EXPECT_EQ(pool_base_of(Wwn(0x1000123456789abcULL)), std::nullopt);
}

TEST(WwnpoolRecords, TextRoundTripsAndDamageIsNamed) {
    const AddressRecord record{Wwn(0x2003123456789abcULL), Wwn(0x2403123456789abcULL), "vm é"};
    const std::string text = record_text(record);
    EXPECT_EQ(text, "A 2003123456789abc 2403123456789abc 766d20c3a9 3323511a");
    std::string why;
    const auto back = parse_record(text, &why);
    ASSERT_TRUE(back);
    EXPECT_EQ(std::tie(back->address, back->partner, back->owner),
              std::tie(record.address, record.partner, record.owner));
    const std::string rest = rest_text({Wwn(0x2003123456789abcULL), 1796522400});
    EXPECT_EQ(parse_rest(rest, &why)->since, 1796522400);
    EXPECT_FALSE(parse_record(text.substr(0, text.size() - 1) + (text.back() == '0' ? "1" : "0"), &why));
    EXPECT_EQ(why, "address record damaged (CRC mismatch)");
    EXPECT_FALSE(parse_rest(rest.substr(0, 3) + "1" + rest.substr(4), &why));
    EXPECT_EQ(why, "rest record damaged (CRC mismatch)");
    // Owners that are no lowercase hex of bytes, sealed: one and a half bytes, uppercase.
    for (const std::string body : {"A 2003123456789abc - 766", "A 2003123456789abc - 4A41"}) {
        char crc[9];
        std::snprintf(
            crc, sizeof crc, "%08x",
            crc32ForBuf(reinterpret_cast<const std::uint8_t *>(body.data()), static_cast<std::uint32_t>(body.size())));
        EXPECT_FALSE(parse_record(body + " " + crc, &why)) << body;
        EXPECT_EQ(why, "address record with a bad owner");
    }
    // A pair's node name has a record of its own kind, and always its port.
    const std::string node = record_text({Wwn(0x2403123456789abcULL), Wwn(0x2003123456789abcULL), "", true});
    EXPECT_TRUE(node.starts_with("N 2403123456789abc 2003123456789abc - ")) << node;
    EXPECT_TRUE(parse_record(node, &why)->node);
    EXPECT_FALSE(parse_record(record_text({Wwn(0x2403123456789abcULL), std::nullopt, "x", true}), &why));
    EXPECT_EQ(why, "node record without its port");
    EXPECT_EQ(record_address("A 2003123456789abc ??"), Wwn(0x2003123456789abcULL));
    EXPECT_FALSE(is_record_line("Apool"));
}

TEST(WwnpoolValues, RestPeriods) {
    const struct {
        const char *text;
        std::int64_t seconds; // -1: refused
    } cases[] = {
        {"0", 0},      {"90", 90}, {"90s", 90}, {"30m", 1800}, {"2h", 7200}, {"1d", 86400}, {"3650d", 315360000},
        {"3651d", -1}, {"-1", -1}, {"1w", -1},  {"", -1},      {"h", -1},    {"1h ", -1},
    };
    for (const auto &c : cases) {
        if (c.seconds < 0) {
            EXPECT_THROW(parse_rest_period(c.text), Failure) << c.text;
        } else {
            EXPECT_EQ(parse_rest_period(c.text), c.seconds) << c.text;
        }
    }
}

TEST(WwnpoolValues, GivenLocalWwns) {
    using Source = LocalIdentity::Source;
    const struct {
        const char *text;
        std::uint64_t wwn; // 0: refused
        bool universal;
    } cases[] = {{"10:00:00:1b:21:aa:bb:cc", 0x1000001b21aabbccULL, true},
                 {"00:1b:21:aa:bb:cc", 0x1000001b21aabbccULL, true},
                 {"02:fc:00:00:00:01", 0x100002fc00000001ULL, false},
                 {"20:00:12:34:56:78:9a:bc", 0, false},
                 {"10:00:00:00:00:00:00:00", 0, false},
                 {"10:00:ff:ff:ff:ff:ff:ff", 0, false},
                 {"01:00:5e:00:00:01", 0, false},
                 {"10:01:00:1b:21:aa:bb:cc", 0, false}};
    for (const auto &c : cases) {
        if (c.wwn == 0) {
            EXPECT_THROW(given_local(c.text, Source::kOption, "--local"), Failure) << c.text;
            continue;
        }
        const LocalIdentity local = given_local(c.text, Source::kEnvironment, "WWNPOOL_LOCAL");
        EXPECT_EQ(local.wwn, Wwn(c.wwn));
        EXPECT_EQ(local.universal, c.universal);
        EXPECT_EQ(source_text(local), "environment variable WWNPOOL_LOCAL");
    }
}

// The state beside the registry: each kind of disagreement, and the cases
// that are none (a moved name, another pool's name held here).
TEST(WwnpoolFleet, StateAndClaimsAreCompared) {
    const Wwn me(0x1000001b210a0b0cULL), other(0x100000000000000bULL);
    const auto name = [](unsigned index) { return Wwn(0x2000001b210a0b0cULL | (std::uint64_t{index} << 48)); };
    const auto claim = [&](unsigned index, const std::string &owner, const Wwn &host, const char *state = "allocated") {
        Claim c = own_claim(name(index), owner, std::nullopt, me);
        c.host = host;
        c.state = state;
        return c;
    };
    const Holdings here{{name(1).value(), {"db1", std::nullopt}},
                        {name(2).value(), {"db2", std::nullopt}},
                        {name(3).value(), {"db3", std::nullopt}},
                        {name(4).value(), {"db4", std::nullopt}},
                        {name(5).value(), {"registry:hostb:x", std::nullopt}},
                        {name(6).value(), {"registry:hostb:y", std::nullopt}}};
    std::vector<Claim> claims{
        claim(2, "db2", me),  claim(3, "old", me),   claim(4, "db4", other, "moved"),    claim(6, "y", other),
        claim(7, "lost", me), claim(8, "vm", other), claim(9, "db9", other, "allocated")};
    // A VM that moved here from host b: its names are held here, by b's state.
    claims.push_back(own_claim(Wwn(0x200a00000000000bULL), "moved in", std::nullopt, other));
    claims.back().host = me;
    std::vector<Claim> with_conflict = claims;
    with_conflict[2].state = "allocated"; // held here and there, not moved
    const struct {
        const std::vector<Claim> &claims;
        std::vector<std::pair<unsigned, Disagreement::Kind>> found;
    } cases[] = {
        {claims,
         {{1, Disagreement::kUnclaimed},
          {3, Disagreement::kOutdated},
          {5, Disagreement::kStaleMark},
          {7, Disagreement::kLeaked},
          {8, Disagreement::kUnmarked},
          {9, Disagreement::kUnmarked}}},
        {with_conflict,
         {{1, Disagreement::kUnclaimed},
          {3, Disagreement::kOutdated},
          {4, Disagreement::kConflict},
          {5, Disagreement::kStaleMark},
          {7, Disagreement::kLeaked},
          {8, Disagreement::kUnmarked},
          {9, Disagreement::kUnmarked}}},
    };
    for (const auto &c : cases) {
        std::vector<std::pair<unsigned, Disagreement::Kind>> got;
        for (const Disagreement &d : compare(here, c.claims, me)) {
            got.emplace_back(static_cast<unsigned>((d.name.value() >> 48) & 0x3ffU), d.kind);
            EXPECT_TRUE(describe(d).starts_with(std::string(kind_name(d.kind)) + ": " + d.name.str())) << describe(d);
        }
        EXPECT_EQ(got, c.found);
    }
}

} // namespace
} // namespace wwnpool
