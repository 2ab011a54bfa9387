// local: the local WWN that names this host's pools, and where it comes from.
#include "commands.hpp"

namespace wwnpool {

int cmd_local(Context &ctx) {
    const Args &args = ctx.args;
    Output &out = ctx.out;
    const LocalIdentity &local = ctx.local();
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
