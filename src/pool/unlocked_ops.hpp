// The pool's working operations on a base WWN and a bitmap, without lock or
// integrity checks: the locked operations wrap each of them.
#pragma once

#include "revevidozi.h"

#include <cstdint>

namespace revevidozi::pool {

std::uint32_t alloc_batch(const std::uint8_t *base, std::uint8_t *bitmap, std::int32_t count, wwn_t *out) noexcept;
std::uint32_t alloc_chosen(const std::uint8_t *base, std::uint8_t *bitmap, const wwn_t &addr) noexcept;
std::uint32_t release(const std::uint8_t *base, std::uint8_t *bitmap, const wwn_t &addr) noexcept;
std::uint32_t release_all(std::uint8_t *bitmap) noexcept;
std::uint32_t status_of(const std::uint8_t *base, const std::uint8_t *bitmap, const wwn_t &addr) noexcept;

} // namespace revevidozi::pool
