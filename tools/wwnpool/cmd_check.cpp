// check FILE...: the fleet's state files, collected from several hosts,
// checked for names two hosts could hand out alike. Pools of different hosts
// are disjoint only while their local WWNs differ, and cloned virtual
// machines often share a MAC. Only reads.
#include "commands.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <list>
#include <map>
#include <set>

#include <sys/stat.h>

namespace wwnpool {
namespace {

struct Place {
    std::string file;
    int line = 0;
};

struct Finding {
    const char *kind; // "local", "pool", "name", "damaged", "unreadable"
    std::string subject;
    std::vector<Place> places;
    std::string message;
};

std::string places_text(const std::vector<Place> &places) {
    std::string text;
    for (std::size_t i = 0; i < places.size(); ++i) {
        text += (i == 0                   ? ""
                 : i + 1 == places.size() ? " and "
                                          : ", ") +
                shown(places[i].file) + " line " + std::to_string(places[i].line);
    }
    return text;
}

std::size_t distinct_files(const std::vector<Place> &places) {
    std::vector<std::string> files;
    for (const auto &p : places) {
        if (std::find(files.begin(), files.end(), p.file) == files.end()) {
            files.push_back(p.file);
        }
    }
    return files.size();
}

} // namespace

int cmd_check(Context &ctx) {
    const Args &args = ctx.args;
    Output &out = ctx.out;
    if (args.operands.empty()) {
        throw Failure(kBadUsage, "check needs the state files to compare; see 'wwnpool check --help'");
    }
    std::vector<Finding> findings;
    std::map<std::uint64_t, std::vector<Place>> locals;
    std::map<std::uint64_t, std::vector<Place>> pools;
    std::list<StateFile> states;            // read, one per file
    std::set<std::pair<dev_t, ino_t>> seen; // a file named twice (a link) counts once
    int exit = kDone;
    for (const auto &file : args.operands) {
        struct stat st {};
        if (::stat(file.c_str(), &st) != 0) {
            findings.push_back({"unreadable", file, {{file, 0}}, std::strerror(errno)});
            exit = kBadState;
            continue;
        }
        if (!seen.insert({st.st_dev, st.st_ino}).second) {
            continue;
        }
        try {
            states.emplace_back(StateLocation{file, false}, Access::kRead);
        } catch (const Failure &failure) {
            findings.push_back({"unreadable", file, {{file, 0}}, failure.what()});
            exit = kBadState;
            continue;
        }
        StateFile &state = states.back();
        for (const auto &line : state.pools()) {
            if (line.base) {
                locals[revevidozi::origin_of(*line.base).local.value()].push_back({file, line.line});
                pools[line.base->value()].push_back({file, line.line});
            }
        }
        for (const auto &line : state.untrusted()) {
            findings.push_back({"damaged", file, {{file, line.line}}, line.problem});
            exit = kBadState; // as status says of it
        }
    }
    for (const auto &[local, places] : locals) {
        if (distinct_files(places) > 1) {
            findings.push_back({"local", revevidozi::Wwn(local).str(), places,
                                "hosts share the local WWN " + revevidozi::Wwn(local).str() +
                                    " and hand out the same names; give all but one another with --local"});
        }
    }
    // The names two files hold allocated alike, with each file's owner.
    for (const auto &[base, places] : pools) {
        if (distinct_files(places) < 2) {
            continue;
        }
        std::map<std::uint64_t, std::vector<std::pair<const StateFile *, const PoolLine *>>> holders;
        for (StateFile &state : states) {
            if (const PoolLine *line = state.find(revevidozi::Wwn(base)); line != nullptr && line->pool) {
                for (const auto &address : line->pool->allocated()) {
                    holders[address.value()].emplace_back(&state, line);
                }
            }
        }
        for (const auto &[address, held] : holders) {
            if (held.size() < 2) {
                continue;
            }
            std::vector<Place> where;
            std::string whose;
            for (const auto &[state, line] : held) {
                where.push_back({state->path().string(), line->line});
                const AddressRecord *record = state->record(revevidozi::Wwn(address));
                whose += std::string(whose.empty() ? "" : ", ") +
                         (record && !record->owner.empty() ? "owner '" + record->owner + "'" : "no owner") + " in " +
                         state->path().string();
            }
            findings.push_back({"name", revevidozi::Wwn(address).str(), where,
                                revevidozi::Wwn(address).str() + " is allocated in " + std::to_string(held.size()) +
                                    " files: " + whose});
        }
    }
    for (const auto &[base, places] : pools) {
        if (places.size() > 1) {
            findings.push_back(
                {"pool", revevidozi::Wwn(base).str(), places,
                 "the pool " + revevidozi::Wwn(base).str() + " is kept " + std::to_string(places.size()) + " times"});
        }
    }
    if (exit == kDone && !findings.empty()) {
        exit = kRefused;
    }
    if (args.json) {
        Json json{
            {"command", "check"}, {"files", args.operands}, {"clean", findings.empty()}, {"findings", Json::array()}};
        for (const auto &f : findings) {
            Json places = Json::array();
            for (const auto &p : f.places) {
                places.push_back({{"file", p.file}, {"line", p.line}});
            }
            json["findings"].push_back(
                {{"kind", f.kind}, {"subject", f.subject}, {"places", places}, {"message", f.message}});
        }
        emit(out, json);
        return exit;
    }
    for (const auto &f : findings) {
        out.text() << f.kind << ": " << (f.places.front().line == 0 ? shown(f.subject) : places_text(f.places)) << ": "
                   << shown(f.message) << '\n';
    }
    if (findings.empty()) {
        out.text() << "clean: " << states.size() << " files, " << locals.size() << " local WWNs, " << pools.size()
                   << " pools, no name two of them share\n";
    }
    return exit;
}

} // namespace wwnpool
