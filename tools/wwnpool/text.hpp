// Text that reaches a terminal or a JSON document: user input may hold any
// bytes, and what the tool prints must stay one line of valid UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace wwnpool {

// The length of the well-formed UTF-8 sequence that starts s[at], or 0 when
// the bytes there are not one (stray continuation, overlong, surrogate, cut).
std::size_t utf8_length(std::string_view s, std::size_t at);

// The first `bytes` bytes of `s` at most, cut between characters.
std::string_view cut_at_character(std::string_view s, std::size_t bytes);

enum class CharacterKind { kPrintable, kControl, kFormat, kNotUtf8 };

// What the character at s[at] is; *length is its length in bytes (1 for a
// byte that starts no UTF-8 sequence).
CharacterKind character_kind(std::string_view s, std::size_t at, std::size_t *length);

// `s` fit to quote in a one-line message: printable UTF-8 kept; control and
// format characters and bytes that are not UTF-8 written as \xNN, byte by byte. Applying it
// twice changes nothing more.
std::string shown(std::string_view s);

// `s` as one word of the POSIX shell, in single quotes, so that a command
// printed for a person to paste runs nothing it holds.
std::string shell_quoted(std::string_view s);

// A time (seconds since 1970) as ISO 8601 in UTC: "2026-12-06T01:50:00Z".
std::string utc_time(std::int64_t seconds);

} // namespace wwnpool
