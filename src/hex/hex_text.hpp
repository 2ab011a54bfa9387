// Bytes to two-digit lowercase hex text and back.
#pragma once

#include <cstdint>

namespace revevidozi::hex {

// Writes 2n digits and, for n >= 1, a NUL; returns 2n.
std::uint32_t bytes_to_text(const std::uint8_t *bytes, char *text, std::uint32_t n) noexcept;

// Reads n pairs of characters into n bytes.
void text_to_bytes(const char *text, std::uint8_t *bytes, std::uint32_t n) noexcept;

} // namespace revevidozi::hex
