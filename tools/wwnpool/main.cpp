// wwnpool: hands out Fibre Channel WWNs from this host's pools, keeping the
// pools in a state file.
#include "commands.hpp"

#include "text.hpp"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace wwnpool {
namespace {

enum Option : unsigned { kPage = 1, kForce = 2, kAll = 4 };

struct Command {
    const char *name;
    int (*run)(const Args &, Output &);
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
     "Prints the block of the pool of page P as the library dumps it; a damaged one too, with exit code 3.\n"},
    {"local", cmd_local, 0, "local", "show the local WWN that names this host's pools",
     "Prints the local WWN and where it comes from: --local, WWNPOOL_LOCAL, the pools already in the state\n"
     "file, or a network interface (and whether its MAC is universally or locally administered).\n"},
};

constexpr const char *kGlobalHelp =
    "Options for every command:\n"
    "  --state PATH   the state file (default $WWNPOOL_STATE, else the host's /var/lib/wwnpool/pools)\n"
    "  --local WWN    the local WWN, 10:00 + the host's IEEE address (default $WWNPOOL_LOCAL, else the one\n"
    "                 the state file's pools share, else 10:00 + the MAC of the first hardware interface,\n"
    "                 universally administered MACs first; 'wwnpool local' shows it)\n"
    "  --json         one JSON document on standard output\n"
    "  --help         this help\n"
    "  --             ends the options\n"
    "WWNPOOL_SYSFS names the root of the sysfs tree that is read (default /sys).\n"
    "WWNs may be written 20:00:12:34:56:78:9a:bc, with dashes, as 16 hex digits, or 0x + hex digits.\n"
    "Exit codes: 0 done, 1 refused by the pool, 2 bad usage or input, 3 state file unusable,\n"
    "4 the answer could not be written (standard error then names what was changed).\n";

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
        throw Failure(kBadUsage, "'" + shown(text) + "' is not a page; pages are 0 to 7");
    }
    return page;
}

// Whether --json is on the command line, so that even a failure to parse it
// answers with a JSON document.
bool wants_json(int argc, char **argv) {
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        if (std::strcmp(argv[i], "--json") == 0) {
            return true;
        }
    }
    return false;
}

Args parse_args(int argc, char **argv, bool &version) {
    Args args;
    unsigned seen = 0;
    bool options_done = false;
    std::vector<std::string> given;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (!options_done && arg == "--") {
            options_done = true;
            continue;
        }
        const bool option = !options_done && arg.size() > 1 && arg[0] == '-' && !(arg[1] >= '0' && arg[1] <= '9');
        if (!option) {
            if (args.command.empty()) {
                args.command = arg;
            } else {
                args.operands.push_back(arg);
            }
            continue;
        }
        const std::size_t eq = arg.starts_with("--") ? arg.find('=') : std::string::npos;
        const std::string name = arg == "-h" ? "--help" : arg.substr(0, eq);
        if (std::find(given.begin(), given.end(), name) != given.end()) {
            throw Failure(kBadUsage, name + " is given twice; give it once");
        }
        given.push_back(name);
        const auto value = [&]() {
            if (eq != std::string::npos) {
                return arg.substr(eq + 1);
            }
            if (i + 1 >= argc) {
                throw Failure(kBadUsage, name + " needs a value; see 'wwnpool --help'");
            }
            return std::string(argv[++i]);
        };
        const auto flag = [&]() {
            if (eq != std::string::npos) {
                throw Failure(kBadUsage, name + " takes no value; see 'wwnpool --help'");
            }
            return true;
        };
        if (name == "--help") {
            args.help = flag();
        } else if (name == "--version") {
            version = flag();
        } else if (name == "--json") {
            args.json = flag();
        } else if (name == "--state") {
            args.state_path = value();
            if (args.state_path->empty()) {
                throw Failure(kBadUsage, "--state needs a path; leave it out to use the host's state");
            }
        } else if (name == "--local") {
            args.local = value();
        } else if (name == "--page") {
            args.page = parse_page(value());
            seen |= kPage;
        } else if (name == "--force") {
            args.force = flag();
            seen |= kForce;
        } else if (name == "--all") {
            args.all = flag();
            seen |= kAll;
        } else {
            throw Failure(kBadUsage, "unknown option '" + shown(arg) + "'; see 'wwnpool --help'");
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

// What the command had changed, for a message about a failure after it.
std::string changes_so_far(const Output &out) {
    const std::string changes = out.changes();
    return changes.empty() ? "" : "; this command " + changes;
}

// Reports a failure: one line on standard error and, with --json, the error
// document on standard output in place of anything the command printed.
int fail(Output &out, bool json, Exit exit, const std::string &text) {
    const std::string message = shown(text);
    out.discard();
    if (json) {
        Json doc;
        doc.begin_object()
            .begin_object("error")
            .field("exit", std::uint64_t(exit))
            .field("message", message)
            .end_object()
            .end_object();
        write_fully(STDOUT_FILENO, doc.str() + "\n");
    }
    write_fully(STDERR_FILENO, "wwnpool: " + message + "\n");
    return exit;
}

} // namespace

revevidozi::Wwn parse_wwn(const std::string &text) {
    std::string why;
    if (auto wwn = revevidozi::Wwn::parse(text, &why)) {
        return *wwn;
    }
    throw Failure(kBadUsage, "'" + shown(text) + "' is not a WWN (" + why + "); write it like 20:00:12:34:56:78:9a:bc");
}

int run(int argc, char **argv, bool stdout_closed) {
    const bool json = wants_json(argc, argv);
    Output out;
    try {
        if (stdout_closed) {
            throw Failure(kOutput, "standard output is closed, so no answer could be given; nothing was done");
        }
        bool version = false;
        const Args args = parse_args(argc, argv, version);
        out.repeat_options(args);
        if (version) {
            out.text() << "wwnpool " << REVEVIDOZI_VERSION_STRING << " (revevidozi " << REVEVIDOZI_VERSION_STRING
                       << ")\n";
        } else if (args.command.empty() && !args.help) {
            throw Failure(kBadUsage, "no command given; see 'wwnpool --help'");
        } else if (args.command.empty() || args.command == "help") {
            usage(out.text());
        } else {
            const Command *command = find_command(args.command);
            if (command == nullptr) {
                throw Failure(kBadUsage, "unknown command '" + shown(args.command) + "'; see 'wwnpool --help'");
            }
            if (args.help) {
                out.text() << "usage: wwnpool [options] " << command->usage << "\n\n"
                           << command->details << "\n"
                           << kGlobalHelp;
            } else {
                const int exit = command->run(args, out);
                out.flush();
                return exit;
            }
        }
        out.flush();
        return kDone;
    } catch (const Failure &failure) {
        return fail(out, json, failure.exit, failure.what() + (failure.after_change ? changes_so_far(out) : ""));
    } catch (const std::exception &e) {
        return fail(out, json, kBadState, std::string("unexpected error: ") + e.what() + changes_so_far(out));
    } catch (...) {
        return fail(out, json, kBadState, "unexpected error" + changes_so_far(out));
    }
}

} // namespace wwnpool

int main(int argc, char **argv) {
    // A reader that went away is an error to report, not a signal to die of.
    std::signal(SIGPIPE, SIG_IGN);
    // With descriptors 0 to 2 closed at start, the state or lock file would
    // be opened on one of them and receive what is meant for the terminal.
    bool stdout_closed = false;
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
            if (::open("/dev/null", O_RDWR) != fd) {
                return wwnpool::kOutput;
            }
            stdout_closed = stdout_closed || fd == STDOUT_FILENO;
        }
    }
    return wwnpool::run(argc, argv, stdout_closed);
}
