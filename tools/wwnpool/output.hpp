// Standard output, written once the command is done and checked: a full
// disk, a closed stream or a pipe without a reader is an error. When the
// command had already changed the state, the error names every address it
// changed, so that none is ever allocated or freed without anyone being told.
#pragma once

#include "failure.hpp"

#include <revevidozi.hpp>

#include <sstream>
#include <string>
#include <vector>

namespace wwnpool {

class Output {
  public:
    // The state file an undo command must name, when it is not the default.
    void repeat_state(const std::string &path);

    std::ostream &text() { return buffer_; }
    void discard() { buffer_.str({}); }

    // Records a change now in the state: what was done ("allocated"), to
    // which addresses, and the command that undoes it ("release").
    // `options` are those the undo command needs (an owner to name).
    void changed(const std::string &done, const std::vector<revevidozi::Wwn> &addresses, const std::string &undo,
                 const std::string &options = {});
    // The same with several undo commands (each what follows "wwnpool"),
    // run one after the other.
    void changed(const std::string &done, const std::vector<revevidozi::Wwn> &addresses,
                 const std::vector<std::string> &undo_commands);
    // Records a change that no command undoes (a pool created or reset).
    void changed(const std::string &done);

    // "allocated A B; release them with 'wwnpool release A B' if they are not
    // wanted", or empty when the state was not changed.
    std::string changes() const;

    // Writes the text to standard output; fails with kOutput, naming the
    // changes, if it cannot.
    void flush();

  private:
    std::ostringstream buffer_;
    std::string tool_ = "wwnpool"; // with the options an undo needs
    std::string done_;
    std::string undo_;
};

} // namespace wwnpool
