// local: the local WWN that names this host's pools, and where it comes from.
#include "commands.hpp"

namespace wwnpool {

int cmd_local(const Args &args, Output &out) {
    if (!args.operands.empty()) {
        throw Failure(kBadUsage, "local takes no operands; see 'wwnpool local --help'");
    }
    std::optional<revevidozi::Wwn> recorded;
    if (!explicit_local(args)) {
        recorded = StateFile(state_location(args), Access::kRead).recorded_local();
    }
    const LocalIdentity local = resolve_local(args, recorded);
    if (!args.json) {
        out.text() << local.wwn.str() << "  " << source_text(local) << '\n';
        return kDone;
    }
    static constexpr const char *kSources[] = {"option", "environment", "state", "interface"};
    const bool from_interface = local.source == LocalIdentity::Source::kInterface;
    emit(out, Json{{"command", "local"},
                   {"local", local.wwn.str()},
                   {"source", kSources[static_cast<int>(local.source)]},
                   {"interface", from_interface ? Json(local.interface) : Json()},
                   {"universal", from_interface ? Json(local.universal) : Json()}});
    return kDone;
}

} // namespace wwnpool
