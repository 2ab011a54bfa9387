#include "output.hpp"

#include "fd_io.hpp"
#include "text.hpp"

#include <cerrno>
#include <cstring>

#include <unistd.h>

namespace wwnpool {

void Output::repeat_state(const std::string &path) {
    tool_ += " --state " + shell_quoted(shown(path));
}

void Output::changed(const std::string &done, const std::vector<revevidozi::Wwn> &addresses, const std::string &undo,
                     const std::string &options) {
    std::string list;
    for (const auto &a : addresses) {
        list += (list.empty() ? "" : " ") + a.str();
    }
    done_ = done + " " + list;
    undo_ = undo + " them with '" + tool_ + " " + undo + (options.empty() ? "" : " " + options) + " " + list +
            "' if that was not wanted";
}

void Output::changed(const std::string &done, const std::vector<revevidozi::Wwn> &addresses,
                     const std::vector<std::string> &undo_commands) {
    changed(done, addresses, "");
    std::string commands;
    for (const auto &command : undo_commands) {
        commands += (commands.empty() ? "" : " && ") + tool_ + " " + command;
    }
    const std::string verb =
        undo_commands.empty() ? "" : undo_commands.front().substr(0, undo_commands.front().find(' '));
    undo_ = verb + " them with '" + commands + "' if that was not wanted";
}

void Output::changed(const std::string &done) {
    done_ = done;
    undo_.clear();
}

std::string Output::changes() const {
    return undo_.empty() ? done_ : done_ + "; " + undo_;
}

void Output::flush() {
    const std::string data = buffer_.str();
    if (write_fully(STDOUT_FILENO, data)) {
        discard();
        return;
    }
    const std::string why = std::strerror(errno);
    discard();
    if (done_.empty()) {
        throw Failure(kOutput, "cannot write to standard output: " + why);
    }
    throw Failure(kOutput, done_ + " but could not print the result: " + why + (undo_.empty() ? "" : "; " + undo_));
}

} // namespace wwnpool
