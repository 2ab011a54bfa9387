// dump [--page P]: the library's dump of a pool's block, damaged or not.
#include "commands.hpp"
#include "local_wwn.hpp"

namespace wwnpool {

int cmd_dump(const Args &args) {
    if (!args.operands.empty()) {
        throw Failure(kBadUsage, "dump takes no operands; name the pool with --page");
    }
    const revevidozi::Wwn local = resolve_local_wwn(args);
    const revevidozi::Wwn base = revevidozi::pool_base(local, page_of(args));
    StateFile state(state_path(args), Access::kRead);
    PoolLine *line = state.find(base);
    if (line == nullptr) {
        throw Failure(kRefused, "there is no pool " + base.str() + " in " + state.path().string() +
                                    "; create it with 'wwnpool init --page " + std::to_string(page_of(args)) + "'");
    }
    if (args.json) {
        Json json;
        json.begin_object().field("command", "dump").field("line", std::uint64_t(line->line));
        describe_pool(json, base);
        emit(json.field("ok", line->pool.has_value())
                 .field("block", line->pool ? block_text(*line->pool) : line->text)
                 .end_object());
        return line->pool ? kDone : kBadState;
    }
    std::cout.flush();
    if (line->pool) {
        line->pool->dump();
        return kDone;
    }
    // A block the library refused is still shown as it is, if it is one.
    if (!line->base) {
        throw Failure(kBadState, "line " + std::to_string(line->line) + ": " + line->problem);
    }
    wwn_pool_cfg block{};
    string_to_hbytes(line->text.data(), block.bytes, WWN_POOL_CFG_SIZE);
    print_pool_info(&block);
    std::fflush(stdout);
    std::cerr << "wwnpool: line " << line->line << ": " << line->problem << '\n';
    return kBadState;
}

} // namespace wwnpool
