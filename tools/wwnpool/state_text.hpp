// The state file's text. Each pool is one line: its 152-byte block as 304
// hex digits. Then the address records (address_record.hpp) and the comments
// people add, which are kept. Every line is read on its own here; what the
// lines must agree on (one line a pool, records that match the bitmaps) is
// the state file's to check.
#pragma once

#include "address_record.hpp"

#include <revevidozi.hpp>

#include <list>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wwnpool {

// One pool line.
struct PoolLine {
    int line = 0;                         // 1-based line number in the file; 0 for a pool added since
    std::string text;                     // as read
    std::optional<revevidozi::Wwn> base;  // the pool the line claims, when its base can be read
    std::optional<revevidozi::Pool> pool; // the pool, when the line can be trusted
    std::string problem;                  // why not
    bool copy = false;                    // trusted on its own, but its pool has another line
};

// One address record line.
struct RecordLine {
    int line = 0;
    std::string text;                    // as read
    std::optional<revevidozi::Wwn> base; // the pool of its address, when that can be read
    std::optional<AddressRecord> record; // an "A" line that reads
    std::optional<RestRecord> rest;      // an "R" line that reads
    std::string problem;                 // empty when the line reads
};

struct StateText {
    std::vector<std::string> comments; // people's, in their order
    std::list<PoolLine> pools;         // a list: adding a pool never moves another
    std::vector<RecordLine> records;
    int unreadable = 0; // lines that name no pool, pool or record
    int format = 0;     // the header's; 0 when the file has no header
    int closing_line = 0;
    std::string closing_problem; // a file of format 3 or later whose closing line is missing or wrong
    bool only_changed = false;   // wrong, though the count of lines holds: a damaged line may explain it
};

// Reads the lines of a file's text; stops adding lines once more than
// `max_unreadable` name no pool.
StateText parse_state_text(std::string_view data, int max_unreadable);

// One pool line as read: trusted only with the right length, a CRC that
// matches, a real pool base and zeros where this tool writes nothing else.
PoolLine read_pool_line(int number, std::string_view text);

// A pool's block as the line of hex text the file holds.
std::string block_text(const revevidozi::Pool &pool);

// The whole file: header, comments, pool lines (a damaged one as it was
// read), records and rest records in address order, the record lines that
// cannot be trusted (those with a problem) as they were read, and the closing line:
// the count of pool and record lines and the CRC-32 of them, so that a file
// cut at a line's end is told from a whole one.
std::string state_text(const std::vector<std::string> &comments, const std::list<PoolLine> &pools,
                       const std::map<std::uint64_t, AddressRecord> &records,
                       const std::map<std::uint64_t, std::int64_t> &rests, const std::vector<RecordLine> &untrusted);

} // namespace wwnpool
