// Writing to a file descriptor without losing a byte to a short write or a
// signal.
#pragma once

#include <string_view>

namespace wwnpool {

// Writes all of `data`; false with errno set if it cannot.
bool write_fully(int fd, std::string_view data);

} // namespace wwnpool
