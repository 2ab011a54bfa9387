// dump [--page P]: the library's dump of a pool's block. Its job is
// diagnosis, so a damaged block is shown as it is, with exit code 3.
#include "commands.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

namespace wwnpool {
namespace {

// The library prints the dump on C's standard output: first what is
// buffered here, then the dump, and every write checked.
void print_dump(Output &out, const wwn_pool_cfg &block) {
    out.flush();
    print_pool_info(&block);
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        throw Failure(kOutput, std::string("cannot write to standard output: ") + std::strerror(errno));
    }
}

} // namespace

int cmd_dump(Context &ctx) {
    const Args &args = ctx.args;
    Output &out = ctx.out;
    StateFile &state = ctx.state();
    const LocalIdentity &local = ctx.local();
    const revevidozi::Wwn base = revevidozi::pool_base(local.wwn, page_of(args));
    PoolLine *line = state.find(base);
    std::string problem;
    try {
        state.trusted(base);
    } catch (const Failure &failure) {
        if (line == nullptr) {
            throw;
        }
        problem = failure.what();
    }
    if (line == nullptr) {
        throw Failure(kRefused, "there is no pool " + base.str() + " in " + shown(state.path().string()) +
                                    "; create it with 'wwnpool init --page " + std::to_string(page_of(args)) + "'");
    }
    const bool block_shaped = line->pool || line->text.size() == std::size_t{2} * WWN_POOL_CFG_SIZE;
    wwn_pool_cfg block{};
    if (line->pool) {
        const auto bytes = line->pool->block();
        std::copy(bytes.begin(), bytes.end(), block.bytes);
    } else if (block_shaped) {
        string_to_hbytes(line->text.data(), block.bytes, WWN_POOL_CFG_SIZE);
    }
    if (args.json) {
        Json json{{"command", "dump"}, {"line", line->line}};
        describe_pool(json, base);
        json["ok"] = problem.empty();
        json["block"] = line->pool ? block_text(*line->pool) : line->text;
        emit(out, json);
    } else if (block_shaped) {
        print_dump(out, block);
    }
    if (!problem.empty()) {
        if (!args.json && !block_shaped) {
            throw Failure(kBadState, problem);
        }
        out.flush();
        std::cerr << "wwnpool: " << problem << '\n';
        return kBadState;
    }
    return kDone;
}

} // namespace wwnpool
