// --json documents: nlohmann's ordered_json keeps fields in the order they
// are set, and the dump replaces bytes that are not UTF-8 with U+FFFD, so a
// document stays valid whatever the user typed.
#pragma once

#include <nlohmann/json.hpp>

#include <string>

namespace wwnpool {

using Json = nlohmann::ordered_json;

inline std::string json_text(const Json &json) {
    return json.dump(-1, ' ', false, Json::error_handler_t::replace) + '\n';
}

} // namespace wwnpool
