// wwnpool: hands out Fibre Channel WWNs from this host's pools, keeping the
// pools in a state file.
#include "commands.hpp"

#include <charconv>
#include <cstring>

namespace wwnpool {
namespace {

enum Option : unsigned { kPage = 1, kForce = 2, kAll = 4 };

struct Command {
    const char *name;
    int (*run)(const Args &);
    unsigned options; // which of --page, --force, --all it takes
    const char *usage;
    const char *summary;
    const char *details;
};

const Command kCommands[] = {
    {"init", cmd_init, kPage | kForce, "init [--page P] [--force]", "create a pool",
     "Creates the pool of page P (0 to 7, default 0) of the local WWN. With --force, resets it\n"
     "instead, damaged or not: every one of its addresses becomes free.\n"},
    {"alloc", cmd_alloc, kPage, "alloc [--page P] [COUNT]", "allocate the lowest free addresses",
     "Allocates COUNT (1 to 1024, default 1) addresses of the pool of page P, lowest first, and\n"
     "prints them. The pool is created on first use.\n"},
    {"take", cmd_take, 0, "take WWN...", "allocate chosen addresses",
     "Allocates the addresses given. Each one's pool is the one its bits name (created on first\n"
     "use). If any address is refused, none is taken.\n"},
    {"release", cmd_release, kPage | kAll, "release WWN... | release --all [--page P]", "free addresses",
     "Frees the addresses given (all or none), or with --all every address of the pool of page P.\n"},
    {"status", cmd_status, 0, "status [WWN...]", "show the pools, or whether addresses are in use",
     "Without operands, one row per pool of the state file: local WWN, page, base, used, free;\n"
     "a damaged pool is shown with its problem. With WWNs, whether each is in use or free.\n"},
    {"list", cmd_list, kPage, "list [--page P]", "list the allocated addresses of a pool",
     "Prints the allocated addresses of the pool of page P, in index order.\n"},
    {"decode", cmd_decode, 0, "decode WWN...", "show what pool an address belongs to",
     "Prints the NAA type, local WWN, page and index of each pool address. Needs no state.\n"},
    {"dump", cmd_dump, kPage, "dump [--page P]", "print a pool's block in hex",
     "Prints the block of the pool of page P as the library dumps it, damaged or not.\n"},
};

constexpr const char *kGlobalHelp =
    "Options for every command:\n"
    "  --state PATH   the state file (default $WWNPOOL_STATE, else $XDG_STATE_HOME/wwnpool/pools,\n"
    "                 else ~/.local/state/wwnpool/pools)\n"
    "  --local WWN    the local WWN, 10:00 + the host's IEEE address (default $WWNPOOL_LOCAL, else\n"
    "                 10:00 + the MAC address of the first interface with a universal one)\n"
    "  --json         one JSON document on standard output\n"
    "  --help         this help\n"
    "WWNs may be written 20:00:12:34:56:78:9a:bc, with dashes, as 16 hex digits, or 0x + hex digits.\n"
    "Exit codes: 0 done, 1 refused by the pool, 2 bad usage or input, 3 state file unusable.\n";

void usage(std::ostream &out) {
    out << "usage: wwnpool [options] COMMAND [ARGS]\n\nCommands:\n";
    for (const auto &c : kCommands) {
        out << "  " << c.name << std::string(10 - std::strlen(c.name), ' ') << c.summary << '\n';
    }
    out << "\n" << kGlobalHelp << "\n'wwnpool COMMAND --help' tells more about each command.\n";
}

const Command *find_command(const std::string &name) {
    for (const auto &c : kCommands) {
        if (name == c.name) {
            return &c;
        }
    }
    return nullptr;
}

std::uint32_t parse_page(const std::string &text) {
    std::uint32_t page = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), page);
    if (error != std::errc() || end != text.data() + text.size() || page > 7) {
        throw Failure(kBadUsage, "'" + text + "' is not a page; pages are 0 to 7");
    }
    return page;
}

Args parse_args(int argc, char **argv, bool &version) {
    Args args;
    unsigned seen = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto value = [&](const char *option) {
            if (i + 1 >= argc) {
                throw Failure(kBadUsage, std::string(option) + " needs a value; see 'wwnpool --help'");
            }
            return std::string(argv[++i]);
        };
        if (arg == "--help" || arg == "-h") {
            args.help = true;
        } else if (arg == "--version") {
            version = true;
        } else if (arg == "--json") {
            args.json = true;
        } else if (arg == "--state") {
            args.state_path = value("--state");
        } else if (arg == "--local") {
            args.local = value("--local");
        } else if (arg == "--page") {
            args.page = parse_page(value("--page"));
            seen |= kPage;
        } else if (arg == "--force") {
            args.force = true;
            seen |= kForce;
        } else if (arg == "--all") {
            args.all = true;
            seen |= kAll;
        } else if (arg.size() > 1 && arg[0] == '-' && !(arg[1] >= '0' && arg[1] <= '9')) {
            throw Failure(kBadUsage, "unknown option '" + arg + "'; see 'wwnpool --help'");
        } else if (args.command.empty()) {
            args.command = arg;
        } else {
            args.operands.push_back(arg);
        }
    }
    if (const Command *c = find_command(args.command); c != nullptr && (seen & ~c->options) != 0) {
        const char *option = (seen & ~c->options & kPage)    ? "--page"
                             : (seen & ~c->options & kForce) ? "--force"
                                                             : "--all";
        throw Failure(kBadUsage, std::string(option) + " is not an option of '" + c->name + "'; see 'wwnpool " +
                                     c->name + " --help'");
    }
    return args;
}

} // namespace

revevidozi::Wwn parse_wwn(const std::string &text) {
    std::string why;
    if (auto wwn = revevidozi::Wwn::parse(text, &why)) {
        return *wwn;
    }
    throw Failure(kBadUsage, "'" + text + "' is not a WWN (" + why + "); write it like 20:00:12:34:56:78:9a:bc");
}

int run(int argc, char **argv) {
    bool json = false;
    try {
        bool version = false;
        const Args args = parse_args(argc, argv, version);
        json = args.json;
        if (version) {
            std::cout << "wwnpool " << REVEVIDOZI_VERSION_STRING << " (revevidozi " << REVEVIDOZI_VERSION_STRING
                      << ")\n";
            return kDone;
        }
        if (args.command.empty() || args.command == "help") {
            if (args.help || args.command == "help") {
                usage(std::cout);
                return kDone;
            }
            usage(std::cerr);
            return kBadUsage;
        }
        const Command *command = find_command(args.command);
        if (command == nullptr) {
            throw Failure(kBadUsage, "unknown command '" + args.command + "'; see 'wwnpool --help'");
        }
        if (args.help) {
            std::cout << "usage: wwnpool [options] " << command->usage << "\n\n"
                      << command->details << "\n"
                      << kGlobalHelp;
            return kDone;
        }
        return command->run(args);
    } catch (const Failure &failure) {
        if (json) {
            Json doc;
            emit(doc.begin_object()
                     .begin_object("error")
                     .field("exit", std::uint64_t(failure.exit))
                     .field("message", failure.what())
                     .end_object()
                     .end_object());
        }
        std::cerr << "wwnpool: " << failure.what() << '\n';
        return failure.exit;
    } catch (const std::exception &e) {
        std::cerr << "wwnpool: " << e.what() << '\n';
        return kBadState;
    }
}

} // namespace wwnpool

int main(int argc, char **argv) {
    return wwnpool::run(argc, argv);
}
