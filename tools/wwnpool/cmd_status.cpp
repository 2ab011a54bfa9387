// status: one row per pool of the state file, damaged ones included.
// status WWN...: whether each address is in use.
#include "commands.hpp"

#include "pool_address.hpp"
#include "rest_period.hpp"

#include <ctime>
#include <iomanip>
#include <iostream>

namespace wwnpool {
namespace {

int pools_status(Context &ctx) {
    const Args &args = ctx.args;
    Output &out = ctx.out;
    StateFile &state = ctx.state();
    Json json{{"command", "status"}, {"state", state.path().string()}, {"pools", Json::array()}};
    if (!args.json) {
        out.text() << "state file " << shown(state.path().string()) << '\n';
        out.text() << std::left << std::setw(25) << "LOCAL" << std::setw(6) << "PAGE" << std::setw(25) << "BASE"
                   << std::setw(6) << "USED"
                   << "FREE\n";
    }
    for (auto &line : state.pools()) {
        std::optional<revevidozi::PoolOrigin> origin;
        if (line.base) {
            std::error_code ec;
            origin = revevidozi::origin_of(*line.base, ec);
        }
        const std::string local = origin ? origin->local.str() : "?";
        const std::string page = origin ? std::to_string(origin->page) : "?";
        const std::string base = line.base ? line.base->str() : "?";
        Json row{{"line", line.line}};
        if (line.base) {
            describe_pool(row, *line.base);
        }
        if (line.pool) {
            const revevidozi::Usage usage = line.pool->usage();
            row["used"] = usage.used;
            row["free"] = usage.free;
            row["ok"] = true;
            if (!args.json) {
                out.text() << std::setw(25) << local << std::setw(6) << page << std::setw(25) << base << std::setw(6)
                           << usage.used << usage.free << '\n';
            }
        } else {
            row["ok"] = false;
            row["problem"] = line.problem;
            if (!args.json) {
                out.text() << std::setw(25) << local << std::setw(6) << page << std::setw(25) << base << "line "
                           << line.line << ": " << line.problem << '\n';
            }
        }
        json["pools"].push_back(row);
    }
    // Records and the closing line that cannot be trusted: pools' rows show theirs.
    const std::vector<StateFile::Untrusted> untrusted = state.untrusted();
    json["untrusted"] = Json::array();
    for (const auto &line : untrusted) {
        json["untrusted"].push_back({{"line", line.line}, {"problem", line.problem}});
        if (!args.json && line.kind != StateFile::Untrusted::kPoolLine) {
            out.text() << (line.line == 0 ? "" : "line " + std::to_string(line.line) + ": ") << line.problem << '\n';
        }
    }
    if (args.json) {
        emit(out, json);
    }
    if (!untrusted.empty()) {
        std::cerr << "wwnpool: " << untrusted.size() << " line(s) of " << shown(state.path().string())
                  << " cannot be trusted; changes are refused until 'wwnpool repair' mends the records and the "
                     "closing line and 'wwnpool init --page P --force' resets a pool whose line is damaged\n";
        return kBadState;
    }
    return kDone;
}

int addresses_status(Context &ctx) {
    const Args &args = ctx.args;
    Output &out = ctx.out;
    const std::vector<revevidozi::Wwn> addresses = wwn_operands(args);
    const std::int64_t period = ctx.rest_period();
    StateFile &state = ctx.state();
    // Without a local WWN, status still answers, only without naming
    // another host's addresses as such.
    const std::optional<LocalIdentity> local = ctx.local_if_known();
    if (libvirt_form(args.style) && !args.json) { // one WWN: the command line makes sure
        const AddressRecord *record = state.record(addresses.front());
        if (record == nullptr || !record->partner) {
            throw Failure(kRefused,
                          addresses.front().str() + " is no member of a pair; the libvirt forms describe one");
        }
        const bool port = std::string_view(state.role(record->address)) == "port";
        print_libvirt(args, out, *args.parent, record->owner, port ? record->address : *record->partner,
                      port ? *record->partner : record->address);
        return kDone;
    }
    const std::int64_t now = std::time(nullptr);
    Json json{{"command", "status"}, {"state", state.path().string()}, {"addresses", Json::array()}};
    for (const auto &address : addresses) {
        const revevidozi::PoolOrigin origin = pool_origin(address);
        PoolLine *line = state.trusted(revevidozi::pool_base(origin.local, origin.page));
        const bool used = line != nullptr && pool_of(*line).in_use(address);
        const auto since = state.resting_since(address);
        const bool resting = !used && since && still_resting(*since, now, period);
        const bool foreign = local && origin.local != local->wwn;
        std::string answer = used ? "in use" : foreign ? "another host's" : "free";
        Json entry = address_json(state, address);
        entry["state"] = answer;
        entry["resting_since"] = resting ? Json(utc_time(*since)) : Json();
        json["addresses"].push_back(entry);
        if (!args.json) {
            out.text() << formatted(address, args.style) << ' '
                       << (foreign && !used ? "belongs to another host, " + origin.local.str() : answer);
            if (resting) {
                out.text() << " (resting since " << utc_time(*since) << ")";
            }
            if (const AddressRecord *record = state.record(address)) {
                out.text() << (record->owner.empty() ? "" : "  owner " + shown(record->owner))
                           << (!record->partner ? ""
                               : args.style.format == Format::kVport
                                   ? "  pair " + pair_text(state, address, args.style)
                                   : "  partner " + formatted(*record->partner, args.style));
            }
            out.text() << '\n';
        }
    }
    if (args.json) {
        emit(out, json);
    }
    return kDone;
}

} // namespace

int cmd_status(Context &ctx) {
    return ctx.args.operands.empty() ? pools_status(ctx) : addresses_status(ctx);
}

} // namespace wwnpool
