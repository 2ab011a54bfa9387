// wwnpool: hands out Fibre Channel WWNs from this host's pools, keeping the
// pools in a state file.
#include "command_line.hpp"
#include "failure.hpp"
#include "fd_io.hpp"
#include "json.hpp"
#include "output.hpp"
#include "setup.hpp"
#include "text.hpp"

#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <unistd.h>

namespace wwnpool {
namespace {

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
        write_fully(STDOUT_FILENO, json_text({{"error", {{"exit", exit}, {"message", message}}}}));
    }
    write_fully(STDERR_FILENO, "wwnpool: " + message + "\n");
    return exit;
}

} // namespace

int run(int argc, char **argv, bool stdout_closed) {
    const bool json = wants_json(argc, argv);
    Output out;
    try {
        if (stdout_closed) {
            throw Failure(kOutput, "standard output is closed, so no answer could be given; nothing was done");
        }
        const CommandLine line = parse_command_line(argc, argv);
        if (line.run == nullptr) {
            out.text() << line.text;
            out.flush();
            return kDone;
        }
        const int exit = run_command(line.run, line.needs, line.args, out);
        out.flush();
        return exit;
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
