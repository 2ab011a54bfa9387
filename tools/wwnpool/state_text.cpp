#include "state_text.hpp"

#include "pool_address.hpp"

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace wwnpool {
namespace {

constexpr std::size_t kBlockDigits = std::size_t{2} * WWN_POOL_CFG_SIZE;
constexpr std::size_t kBaseDigitsFrom = std::size_t{2} * WWN_POOL_CFG_BASE_OFFSET;
constexpr std::size_t kBaseDigitsEnd = kBaseDigitsFrom + 16; // all up to and including the base

// Format 1 had only pool lines; format 2 adds address records, which format 1
// tools refuse as damaged lines rather than drop; format 3 adds the closing
// line, which earlier tools read as part of the header; format 4 the "N"
// record of a pair's node name and the vport's FC host on a pair's "A" line,
// which earlier tools refuse as unreadable or damaged lines. Every line of the
// header starts with kOwnPrefix, so that it is told from people's comments.
constexpr std::string_view kOwnPrefix = "# wwnpool state";
constexpr std::string_view kClosingPrefix = "# wwnpool state end: ";
constexpr int kClosingFormat = 3; // the first with a closing line
constexpr const char *kHeader =
    "# wwnpool state, format 4: a pool per line, its 152-byte block as 304 hex digits; then\n"
    "# wwnpool state: A <address> <partner or -> <owner as hex or -> [<vport's FC host as hex>] <CRC-32>:\n"
    "# wwnpool state:   an owner, a pair's port and the FC host its vport was made on;\n"
    "# wwnpool state: N <address> <partner> <owner as hex or -> <CRC-32>: a pair's node name;\n"
    "# wwnpool state: R <address> <released at, seconds since 1970> <CRC-32>: an address that rests;\n"
    "# wwnpool state: last, the count of pool and record lines and the CRC-32 of them all.\n";

std::string closing_line(std::size_t lines, std::string_view content) {
    char crc[9];
    std::snprintf(crc, sizeof crc, "%08x",
                  crc32ForBuf(reinterpret_cast<const std::uint8_t *>(content.data()),
                              static_cast<std::uint32_t>(content.size())));
    return std::string(kClosingPrefix) + std::to_string(lines) + " lines, CRC-32 " + crc;
}

// The format a header line names ("format N"); 1 for the first, which names none.
int header_format(std::string_view text) {
    const std::size_t at = text.find("format ");
    int format = 1;
    if (at != std::string_view::npos) {
        std::from_chars(text.data() + at + 7, text.data() + text.size(), format);
    }
    return format;
}

bool all_hex(std::string_view s) {
    return s.find_first_not_of("0123456789abcdefABCDEF") == std::string_view::npos;
}

// The base a line names in its base digits, if they are there and are a
// pool base: a cut line still tells which pool it was.
std::optional<revevidozi::Wwn> claimed_base(std::string_view text) {
    if (text.size() < kBaseDigitsEnd || !all_hex(text.substr(0, kBaseDigitsEnd))) {
        return std::nullopt;
    }
    const auto base = revevidozi::Wwn::parse(text.substr(kBaseDigitsFrom, 16));
    const wwn_t raw = base->raw();
    return wwn_pool_validate_base_addr(&raw) == WWN_POOL_OK ? base : std::nullopt;
}

// Only zeros where this tool never writes anything else: a block the library
// verifies but that has other bytes there was not written by this tool.
bool unused_bytes_zero(const revevidozi::Pool::Block &block) {
    const auto zero = [&](std::size_t from, std::size_t to) {
        return std::all_of(block.begin() + static_cast<std::ptrdiff_t>(from),
                           block.begin() + static_cast<std::ptrdiff_t>(to), [](std::uint8_t b) { return b == 0; });
    };
    return zero(WWN_POOL_CFG_VERSION_OFFSET + 1, WWN_POOL_CFG_BASE_OFFSET) &&
           zero(WWN_POOL_CFG_RESERVED_OFFSET, WWN_POOL_CFG_SIZE);
}

RecordLine read_record_line(int number, std::string_view text) {
    RecordLine line{number, std::string(text), std::nullopt, std::nullopt, std::nullopt, {}};
    if (const auto address = record_address(text)) {
        line.base = pool_base_of(*address);
    }
    if (text.starts_with("R ")) {
        line.rest = parse_rest(text, &line.problem);
    } else {
        line.record = parse_record(text, &line.problem);
    }
    if (line.problem.empty() && !line.base) {
        line.problem = line.rest ? "rest record of an address that is in no pool"
                                 : "address record of an address that is in no pool";
        line.rest.reset();
        line.record.reset();
    }
    return line;
}

} // namespace

PoolLine read_pool_line(int number, std::string_view text) {
    PoolLine line{number, std::string(text), claimed_base(text), std::nullopt, {}};
    if (text.size() != kBlockDigits || !all_hex(text)) {
        line.problem = "not a pool block (expected " + std::to_string(kBlockDigits) + " hex digits, found " +
                       std::to_string(text.size()) + " characters)";
        return line;
    }
    revevidozi::Pool::Block block{};
    string_to_hbytes(text.data(), block.data(), WWN_POOL_CFG_SIZE);
    std::error_code ec;
    auto pool = revevidozi::Pool::adopt(block, ec);
    if (ec) {
        line.problem = ec.message();
    } else if (!line.base) {
        line.problem = "its base " + pool->base().str() + " is not the base of a pool";
    } else if (!unused_bytes_zero(block)) {
        line.problem = "bytes that must be zero are not";
    } else {
        line.pool = std::move(pool);
    }
    return line;
}

StateText parse_state_text(std::string_view data, int max_unreadable) {
    StateText state;
    std::string content;        // the pool and record lines, as the closing line seals them
    std::size_t lines = 0;      // how many
    std::string closing;        // what a closing line there says, if any
    bool after_closing = false; // a pool or record line follows it
    for (int number = 1; !data.empty() && state.unreadable <= max_unreadable; ++number) {
        const std::size_t end = data.find('\n');
        std::string_view text = data.substr(0, end);
        data.remove_prefix(end == std::string_view::npos ? data.size() : end + 1);
        while (!text.empty() && (text.back() == '\r' || text.back() == ' ' || text.back() == '\t')) {
            text.remove_suffix(1);
        }
        if (text.empty()) {
            continue;
        }
        if (number == 1 && text.starts_with(kOwnPrefix)) {
            state.format = header_format(text);
        }
        if (text.starts_with(kClosingPrefix)) {
            closing = text;
            state.closing_line = number;
            after_closing = false;
            continue;
        }
        if (text.front() == '#') {
            if (!text.starts_with(kOwnPrefix)) {
                state.comments.emplace_back(text);
            }
            continue;
        }
        if (is_record_line(text)) {
            state.records.push_back(read_record_line(number, text));
            state.unreadable += state.records.back().base ? 0 : 1;
        } else {
            state.pools.push_back(read_pool_line(number, text));
            state.unreadable += state.pools.back().base ? 0 : 1;
        }
        content.append(text).push_back('\n');
        ++lines;
        after_closing = !closing.empty();
    }
    if (state.format >= kClosingFormat) {
        if (closing.empty()) {
            state.closing_problem = "the file ends without its closing line, so lines at its end may be lost";
        } else if (after_closing) {
            state.closing_problem = "pool or record lines follow the closing line";
        } else if (closing != closing_line(lines, content)) {
            state.only_changed = closing.starts_with(std::string(kClosingPrefix) + std::to_string(lines) + " lines,");
            state.closing_problem = "the closing line does not match the lines before it (" + std::to_string(lines) +
                                    " pool and record lines), so lines may be lost or changed";
        }
    }
    return state;
}

std::string block_text(const revevidozi::Pool &pool) {
    const auto block = pool.block();
    std::string text(kBlockDigits + 1, '\0');
    hbytes_to_string(block.data(), text.data(), WWN_POOL_CFG_SIZE);
    text.pop_back();
    return text;
}

std::string state_text(const std::vector<std::string> &comments, const std::list<PoolLine> &pools,
                       const std::map<std::uint64_t, AddressRecord> &records,
                       const std::map<std::uint64_t, std::int64_t> &rests, const std::vector<RecordLine> &untrusted) {
    std::string content;
    std::size_t lines = pools.size() + records.size() + rests.size();
    for (const auto &line : pools) {
        content += (line.pool ? block_text(*line.pool) : line.text) + '\n';
    }
    for (const auto &entry : records) {
        content += record_text(entry.second) + '\n';
    }
    for (const auto &[address, since] : rests) {
        content += rest_text({revevidozi::Wwn(address), since}) + '\n';
    }
    for (const auto &line : untrusted) {
        if (!line.problem.empty()) {
            content += line.text + '\n';
            ++lines;
        }
    }
    std::string data = kHeader;
    for (const auto &comment : comments) {
        data += comment + '\n';
    }
    return data + content + closing_line(lines, content) + '\n';
}

} // namespace wwnpool
