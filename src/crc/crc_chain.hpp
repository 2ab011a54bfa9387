// Walking a caller's chain of crc_buf_desc records, shared by the table-driven
// and the bit-serial CRC-32.
#pragma once

#include "revevidozi.h"

#include <cstdint>

namespace revevidozi::crc {

// Calls feed(data, len) for every record with data, in chain order.
template <typename Feed> void for_each_record(const crc_buf_desc *record, Feed &&feed) noexcept {
    for (; record != nullptr; record = record->next) {
        if (record->len != 0) {
            feed(static_cast<const std::uint8_t *>(record->buf) + record->offset, record->len);
        }
    }
}

} // namespace revevidozi::crc
