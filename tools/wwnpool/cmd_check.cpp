// check FILE...: the fleet's state files, collected from several hosts,
// checked for names two hosts could hand out alike. Pools of different hosts
// are disjoint only while their local WWNs differ, and cloned virtual
// machines often share a MAC. Only reads.
#include "commands.hpp"

#include <algorithm>
#include <map>

namespace wwnpool {
namespace {

struct Place {
    std::string file;
    int line = 0;
};

struct Finding {
    const char *kind; // "local", "pool", "damaged", "unreadable"
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
    int exit = kDone;
    for (const auto &file : args.operands) {
        std::optional<StateFile> state;
        std::error_code ec;
        if (!std::filesystem::exists(file, ec)) {
            findings.push_back({"unreadable", file, {{file, 0}}, "no such file"});
            exit = kBadState;
            continue;
        }
        try {
            state.emplace(StateLocation{file, false}, Access::kRead);
        } catch (const Failure &failure) {
            findings.push_back({"unreadable", file, {{file, 0}}, failure.what()});
            exit = kBadState;
            continue;
        }
        for (const auto &line : state->pools()) {
            if (line.base) {
                locals[revevidozi::origin_of(*line.base).local.value()].push_back({file, line.line});
                pools[line.base->value()].push_back({file, line.line});
            }
        }
        for (const auto &line : state->untrusted()) {
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
        out.text() << "clean: " << args.operands.size() << " files, " << locals.size() << " local WWNs, "
                   << pools.size() << " pools, no name two of them share\n";
    }
    return exit;
}

} // namespace wwnpool
