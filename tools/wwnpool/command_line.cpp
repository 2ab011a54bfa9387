#include "command_line.hpp"

#include "address_record.hpp"
#include "commands.hpp"
#include "failure.hpp"
#include "json.hpp"
#include "libvirt_xml.hpp"
#include "report.hpp"
#include "text.hpp"

#include <CLI/CLI.hpp>

#include <charconv>
#include <cstring>

namespace wwnpool {
namespace {

enum Option : unsigned {
    kPage = 1,
    kForce = 2,
    kAll = 4,
    kPair = 8,
    kOwner = 16,
    kLong = 32,
    kFormat = 64,
    kRest = 128,
    kMore = 256,
    kTo = 512,
    kParent = 1024,
    kHost = 2048,
};

// What a change needs: the state locked, every line trusted, the host's name.
constexpr unsigned kChange = kChangeState | kTrusted | kLocalWwn;

struct Command {
    const char *name; // "vport create": a subcommand of a group
    Runner run;
    unsigned needs; // the setup done before it runs (setup.hpp)
    unsigned options;
    const char *operands; // name of the operands, or nullptr for none
    const char *summary;
    const char *details;
};

const Command kCommands[] = {
    {"init", cmd_init, kChangeState | kLocalWwn, kPage | kForce, nullptr, "create a pool, or reset one",
     "Creates the pool of page P (0 to 7, default 0) of the local WWN. With --force, resets it instead, damaged or "
     "duplicated or not: every one of its addresses becomes free."},
    {"alloc", cmd_alloc, kChange | kRestPeriod, kPage | kPair | kOwner | kMore | kFormat | kParent | kRest, "COUNT",
     "allocate the lowest free addresses",
     "Allocates COUNT (1 to 1024, default 1) addresses of the pool of page P, lowest first, and prints them. The "
     "pool is created on first use. With --owner, what the owner already holds on the page counts: the same "
     "command run again prints it and changes nothing; --more allocates COUNT more all the same."},
    {"take", cmd_take, kChange, kPair | kOwner | kFormat, "WWN", "allocate chosen addresses",
     "Allocates the addresses given. Each one's pool is the one its bits name (created on first use). With "
     "--pair, each address and its partner (same index, partner page) are taken as a pair. If any address is "
     "refused, none is taken."},
    {"release", cmd_release, kChange, kPage | kAll | kForce | kOwner | kFormat, "WWN", "free addresses",
     "Frees the addresses given (all or none), or with --all every address of the pool of page P."},
    {"status", cmd_status, kReadState | kLocalWwn | kRestPeriod, kFormat | kParent | kRest, "WWN",
     "show the pools, or whether addresses are in use",
     "Without operands, one row per pool of the state file: local WWN, page, base, used, free; a damaged pool is "
     "shown with its problem. With WWNs, whether each is in use or free."},
    {"list", cmd_list, kReadState | kLocalWwn | kRestPeriod, kPage | kOwner | kLong | kFormat | kParent | kRest,
     nullptr, "list the allocated addresses of a pool",
     "Prints the allocated addresses of the pool of page P, in index order."},
    {"decode", cmd_decode, kReadState, kFormat, "WWN", "show what pool an address belongs to",
     "Prints the NAA type, local WWN, page and index of each pool address. Needs no state."},
    {"dump", cmd_dump, kReadState | kLocalWwn, kPage, nullptr, "print a pool's block in hex",
     "Prints the block of the pool of page P as the library dumps it; a damaged one too, with exit code 3."},
    {"scan", cmd_scan, kChange, kFormat, nullptr, "mark the names of this host's FC hosts and vports as taken",
     "Reads port_name and node_name of every FC host and vport in sysfs. Names in this host's pools are marked "
     "taken, with owner sysfs:<entry> (an entry's port and node as a pair when they are one index of partner "
     "pools); names already taken are left as they are and reported, and names outside the pools are listed."},
    {"check", cmd_check, kNoSetup, 0, "FILE", "check several hosts' state files for names they share",
     "Reads the state files of several hosts (collected by whatever means) and reports, one finding a line, "
     "every local WWN in more than one file (cloned hosts that share a MAC hand out the same names), each name "
     "two files hold allocated (with each file's owner), every pool present twice, and every damaged line. A file "
     "named twice (or through a link) counts once. Exit code 0 when clean, 1 when it found a conflict, 3 when a file "
     "cannot be read or has a line that cannot be trusted. It only reads."},
    {"repair", cmd_repair, kChangeState, 0, nullptr, "drop the records that fail their checks, keep every pool",
     "Mends what can be mended without freeing a name: drops owner, pair and rest records that fail their checks "
     "(a record whose only fault is its partner keeps its owner; a free address whose rest record is damaged rests "
     "from now on), merges copies of a pool into one that holds every name either holds, and writes the closing "
     "line again. The lines dropped or changed are kept in a file beside the state, named in the message. A pool "
     "line that cannot be read is left as it is: only 'init --force' resets that pool."},
    {"owners", cmd_owners, kReadState, kFormat, nullptr, "list every owner and the names it holds",
     "One line per pair (port, then node) or single address an owner holds, owners in order, across every pool. "
     "In --json, each name with its page and, for a pair's member, its role and partner."},
    {"relabel", cmd_relabel, kChange, kOwner | kTo | kForce | kFormat | kHost, "WWN",
     "hand an owner's names to another owner",
     "Gives the names given (each pair whole), or with --owner alone every name of that owner, the owner --to "
     "(a VM that moved: db2 becomes db2@hostB). Owned names need --owner naming their owner, or --force. The names "
     "stay allocated here, where their pool is, until they are released here. With a registry, --host HOST moves "
     "their claims to the host the VM moved to: no host hands them out while that claim stands."},
    {"vport create", cmd_vport_create, kChange | kRestPeriod, kPage | kOwner | kMore | kFormat | kRest, "HOST",
     "give an FC host a virtual HBA with a pair of names",
     "Allocates a port/node pair (port from page P, node from its partner) for --owner, writes it to the FC host's "
     "vport_create, waits (--wait, default 30 s) for the vport and prints it: name, parent, names, state. The "
     "owner becomes its symbolic name. If the kernel refuses, nothing is changed. A vport the fabric rejects is "
     "deleted and its names kept out of use. Run again, it prints the owner's vport on HOST and changes nothing."},
    {"vport delete", cmd_vport_delete, kChange, kOwner | kForce | kFormat, "WWN|VPORT",
     "delete virtual HBAs and release their names",
     "Deletes the vport named, the one carrying WWN, or every vport of --owner, waits for it to go and releases "
     "its names (they rest). Owned names need --owner naming the owner, or --force."},
    {"vport list", cmd_vport_list, kReadState, kFormat, nullptr, "list the virtual HBAs and their owners",
     "One line per vport: name, parent, port and node name, state, owner. Where the state disagrees (a name free "
     "there, names not held as one pair, a name of another host's pools), a 'drift:' line follows. A pair whose "
     "vport is gone shows on a 'gone:' line."},
    {"registry init", cmd_registry_init, kRegistry, 0, nullptr, "create or upgrade the registry's tables",
     "Creates the fleet registry's tables in the database --registry names, or upgrades them to this wwnpool's "
     "schema version. Run again, it changes nothing."},
    {"registry sync", cmd_registry_sync, kChange | kRegistry, 0, nullptr,
     "repair this host's claims in the registry after a crash or an outage",
     "Claims the names held here that have no claim, drops this host's claims on names free here, marks taken "
     "here the names of this host's pools that other hosts hold, and frees those kept for a claim that is gone. "
     "A name held here and by another host is reported (exit code 1): release it on one of them."},
    {"registry check", cmd_registry_check, kReadState | kLocalWwn | kRegistry, 0, nullptr,
     "compare this host's state with the registry, and find cloned hosts",
     "Reports, one finding a line, what 'registry sync' would repair, names held here and by another host, and "
     "every machine that claimed a local WWN another machine holds (a clone). Exit code 0 when clean, 1 when it "
     "found something. It only reads."},
    {"who", cmd_who, kRegistry, kOwner | kFormat, "WWN", "show which host and owner hold names, across the fleet",
     "Asks the registry which host holds each WWN given, or with --owner every name of that owner on every host: "
     "host, owner, partner, since when."},
    {"local", cmd_local, kReadState | kLocalWwn, 0, nullptr, "show the local WWN that names this host's pools",
     "Prints the local WWN that names this host's pools and where it comes from: --local, WWNPOOL_LOCAL, the "
     "pools already in the state file, or a network interface (and whether its MAC is universally or locally "
     "administered)."},
};

constexpr const char *kFooter =
    "The local WWN is --local, else $WWNPOOL_LOCAL, else the one the state file's pools share, else 10:00 + the\n"
    "MAC of the first hardware network interface, universally administered MACs first. The state file is\n"
    "--state, else $WWNPOOL_STATE, else the host's /var/lib/wwnpool/pools. The fleet's registry is --registry,\n"
    "else $WWNPOOL_REGISTRY, else the line 'registry = CONNINFO' of /etc/wwnpool.conf; without one, each host\n"
    "keeps its state alone. WWNPOOL_SYSFS names the root of the sysfs tree (default /sys). WWNs may be\n"
    "written 20:00:12:34:56:78:9a:bc, with dashes, as 16 hex digits, or 0x + hex digits.\n"
    "Exit codes: 0 done, 1 refused by the pool, 2 bad usage or input, 3 state file or registry unusable, 4 the\n"
    "answer could not be written (standard error then names what was changed).";

std::uint32_t parse_page(const std::string &text) {
    std::uint32_t page = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), page);
    if (error != std::errc() || end != text.data() + text.size() || page > 7) {
        throw Failure(kBadUsage, "'" + shown(text) + "' is not a page; pages are 0 to 7");
    }
    return page;
}

// CLI11's messages may span lines; a refusal is one.
std::string one_line(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
        text.pop_back();
    }
    for (std::size_t at = 0; (at = text.find('\n', at)) != std::string::npos;) {
        text.replace(at, 1, "; ");
    }
    return text;
}

// libvirt's forms describe one pair on one FC host, a pool named after its owner.
void check_libvirt_form(Args &args, const std::string &command) {
    const bool one_pair = (command == "alloc" && args.pair && (args.operands.empty() || args.operands[0] == "1")) ||
                          (command == "list" && args.owner && !args.long_list) || command == "vport create" ||
                          (command == "status" && args.operands.size() == 1);
    if (!one_pair) {
        throw Failure(kBadUsage, "the libvirt forms describe one pair: use them with 'alloc --pair' (one), "
                                 "'list --owner', 'status WWN' or 'vport create'");
    }
    if (command != "vport create") {
        if (!args.parent) {
            throw Failure(kBadUsage, "libvirt's forms need the FC host the vHBA is made on: add --parent host5");
        }
        args.parent = libvirt_parent(*args.parent);
    }
    if (args.style.format == Format::kLibvirtPool && command == "alloc" && !args.owner) {
        throw Failure(kBadUsage, "a libvirt pool is named after its owner: add --owner");
    }
}

} // namespace

bool wants_json(int argc, char **argv) {
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        if (std::strcmp(argv[i], "--json") == 0) {
            return true;
        }
    }
    return false;
}

CommandLine parse_command_line(int argc, char **argv) {
    CommandLine line;
    Args &args = line.args;
    CLI::App app("Hands out Fibre Channel WWNs from this host's pools, kept in a state file.", "wwnpool");
    app.footer(kFooter);
    app.set_version_flag("--version", std::string("wwnpool ") + REVEVIDOZI_VERSION_STRING + " (revevidozi " +
                                          REVEVIDOZI_VERSION_STRING + ")");
    app.require_subcommand(1, 1);
    app.add_option("--state", args.state_path, "the state file")->type_name("PATH");
    app.add_option("--local", args.local, "the local WWN, 10:00 + the host's IEEE address")->type_name("WWN");
    app.add_flag("--json", args.json, "one JSON document on standard output");
    app.add_option("--registry", args.registry, "the fleet's registry: a libpq connection string or URI")
        ->type_name("CONNINFO");
    std::optional<std::string> page;
    std::optional<std::string> format;
    CLI::App *vport = app.add_subcommand("vport", "virtual HBAs: create, delete, list");
    CLI::App *registry = app.add_subcommand("registry", "the fleet's registry: init, sync, check");
    for (CLI::App *group : {vport, registry}) {
        group->require_subcommand(1, 1);
        group->fallthrough();
    }
    for (const Command &command : kCommands) {
        const std::string name = command.name;
        const auto space = name.find(' ');
        CLI::App *sub =
            space == std::string::npos
                ? app.add_subcommand(name, command.summary)
                : app.get_subcommand(name.substr(0, space))->add_subcommand(name.substr(space + 1), command.summary);
        sub->fallthrough();
        sub->footer(std::string(command.details) + "\n\n" + kFooter);
        if ((command.options & kPage) != 0) {
            sub->add_option("--page", page, "the pool's page, 0 to 7 (default 0)")->type_name("P");
        }
        if ((command.options & kForce) != 0) {
            sub->add_flag("--force", args.force,
                          std::string(command.name) == "init" ? "reset the pool if it exists"
                                                              : "even addresses with an owner");
        }
        if ((command.options & kAll) != 0) {
            sub->add_flag("--all", args.all, "every address of the pool");
        }
        if ((command.options & kPair) != 0) {
            sub->add_flag("--pair", args.pair,
                          std::string(command.name) == "take"
                              ? "each WWN with its partner, as a pair"
                              : "port/node name pairs: the port from page P, the node from its partner");
        }
        if ((command.options & kOwner) != 0) {
            sub->add_option("--owner", args.owner, "who holds the addresses (a VM, a profile, a ticket)")
                ->type_name("TEXT");
        }
        if ((command.options & kParent) != 0) {
            sub->add_option("--parent", args.parent, "the FC host of libvirt's forms (host5 or scsi_host5)")
                ->type_name("HOST");
        }
        if ((command.options & kHost) != 0) {
            sub->add_option("--host", args.host, "the host, by name or local WWN, the names are held on now")
                ->type_name("HOST");
        }
        if ((command.options & kTo) != 0) {
            sub->add_option("--to", args.to, "the new owner")->type_name("TEXT");
        }
        if ((command.options & kMore) != 0) {
            sub->add_flag("--more", args.more, "more for an owner who already holds some");
        }
        if ((command.options & kLong) != 0) {
            sub->add_flag("--long", args.long_list, "ADDRESS OWNER PARTNER columns");
        }
        if ((command.options & kRest) != 0) {
            sub->add_option("--rest", args.rest, "how long a released address rests (default 24h; 30m, 2h, 0)")
                ->type_name("DURATION");
        }
        if ((command.options & kFormat) != 0) {
            sub->add_option("--format", format,
                            "colon (default), bare, sysfs; for pairs vport, libvirt or libvirt-pool")
                ->type_name("FORM");
            sub->add_flag("--upper", args.style.upper, "uppercase hex digits");
        }
        if ((command.needs & kChangeState) != 0) {
            sub->add_option("--wait", args.wait, "give up after waiting this long for another change (default: wait)")
                ->type_name("SECONDS")
                ->check(CLI::Range(0U, 86400U));
        }
        if (command.operands != nullptr) {
            sub->add_option(command.operands, args.operands)->type_name("");
        }
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp &) {
        line.text = app.help();
        return line;
    } catch (const CLI::CallForVersion &e) {
        line.text = wants_json(argc, argv) ? json_text(Json{{"command", "version"},
                                                            {"wwnpool", REVEVIDOZI_VERSION_STRING},
                                                            {"revevidozi", REVEVIDOZI_VERSION_STRING}})
                                           : std::string(e.what()) + "\n";
        return line;
    } catch (const CLI::ParseError &e) {
        throw Failure(kBadUsage, one_line(e.what()) + "; see 'wwnpool --help'");
    }
    CLI::App *chosen = app.get_subcommands().front();
    std::string name = chosen->get_name();
    if (chosen == vport || chosen == registry) {
        chosen = chosen->get_subcommands().front();
        name += " " + chosen->get_name();
    }
    for (const CLI::App *scope : {static_cast<const CLI::App *>(&app), static_cast<const CLI::App *>(chosen)}) {
        for (const CLI::Option *option : scope->get_options()) {
            if (option->get_name() != args.command && !option->get_positional() && option->count() > 1) {
                throw Failure(kBadUsage, option->get_name() + " is given twice; give it once");
            }
        }
    }
    args.command = name;
    for (const Command &command : kCommands) {
        if (args.command == command.name) {
            line.run = command.run;
            line.needs = command.needs;
        }
    }
    if (page) {
        args.page = parse_page(*page);
    }
    if (format) {
        args.style.format = parse_format(*format);
    }
    if (libvirt_form(args.style)) {
        check_libvirt_form(args, name);
    } else if (args.parent) {
        throw Failure(kBadUsage, "--parent names the FC host of libvirt's forms; add --format libvirt or libvirt-pool");
    }
    // The commands that print pairs: alloc --pair, vport, owners, list --owner and status.
    if (args.style.format == Format::kVport && !args.pair && !name.starts_with("vport") && name != "owners" &&
        name != "status" && !(name == "list" && args.owner)) {
        throw Failure(kBadUsage, "--format vport writes port/node pairs; use it with 'alloc --pair', 'vport', "
                                 "'owners', 'list --owner' or 'status'");
    }
    const auto check_owner = [](const std::string &owner, OwnerRules rules) {
        if (const std::string problem = owner_problem(owner, rules); !problem.empty()) {
            throw Failure(kBadUsage, "the owner " + shell_quoted(shown(owner)) + " " + problem +
                                         "; give 1 to 128 printable characters");
        }
    };
    if (args.to) {
        check_owner(*args.to, OwnerRules::kNew);
    }
    if (args.owner) {
        // Only a name being handed out gets a new owner; the others select by owners already recorded.
        const bool new_owner = line.run == cmd_alloc || line.run == cmd_take || line.run == cmd_vport_create;
        check_owner(*args.owner, new_owner ? OwnerRules::kNew : OwnerRules::kRecorded);
    }
    if (args.state_path && args.state_path->empty()) {
        throw Failure(kBadUsage, "--state needs a path; leave it out to use the host's state");
    }
    return line;
}

} // namespace wwnpool
