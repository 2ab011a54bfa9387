#include "vport_view.hpp"

#include "report.hpp"
#include "text.hpp"

#include <chrono>
#include <thread>

namespace wwnpool {
namespace {

using revevidozi::Wwn;

constexpr std::chrono::seconds kDefaultWait(30);

} // namespace

bool wait_for(const Args &args, const std::function<bool()> &done) {
    const auto until = std::chrono::steady_clock::now() + (args.wait ? std::chrono::seconds(*args.wait) : kDefaultWait);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= until) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

std::optional<Vport> live_vport(const WwnPair &pair) {
    for (Vport &v : vports()) {
        if (v.entry.port == pair.first && v.entry.node == pair.second) {
            return std::move(v);
        }
    }
    return std::nullopt;
}

std::optional<std::string> pair_owner(const StateFile &state, const FcEntry &entry) {
    const AddressRecord *record = entry.port ? state.record(*entry.port) : nullptr;
    if (record == nullptr || record->partner != entry.node) {
        return std::nullopt;
    }
    return record->owner;
}

Json vport_json(const Args &args, const StateFile &state, const Vport &v) {
    const auto owner = pair_owner(state, v.entry);
    const auto name = [](const std::optional<Wwn> &wwn) { return wwn ? Json(wwn->str()) : Json(); };
    return {{"command", args.command},
            {"vport", v.entry.name},
            {"parent", v.parent},
            {"port", name(v.entry.port)},
            {"node", name(v.entry.node)},
            {"state", v.state},
            {"owner", owner ? Json(*owner) : Json()}};
}

void print_vport(const Args &args, Output &out, const StateFile &state, const Vport &v) {
    if (args.json) {
        emit(out, vport_json(args, state, v));
        return;
    }
    const auto owner = pair_owner(state, v.entry);
    if (libvirt_form(args.style) && v.entry.port && v.entry.node) {
        print_libvirt(args, out, "scsi_" + v.parent, owner.value_or(""), *v.entry.port, *v.entry.node);
        return;
    }
    const auto name = [&](const std::optional<Wwn> &wwn) { return wwn ? formatted(*wwn, args.style) : "-"; };
    out.text() << shown(v.entry.name) << "  " << v.parent << "  "
               << (args.style.format == Format::kVport && v.entry.port && v.entry.node
                       ? formatted_pair(*v.entry.port, *v.entry.node, args.style)
                       : name(v.entry.port) + "  " + name(v.entry.node))
               << "  " << (v.state.empty() ? "-" : v.state) << "  " << (owner && !owner->empty() ? shown(*owner) : "-")
               << '\n';
}

} // namespace wwnpool
