// A minimal JSON writer for --json: objects, arrays, strings and numbers,
// written in order, with commas placed as values are added. Strings come out
// as valid UTF-8 whatever bytes they held: a byte that is not part of a
// well-formed sequence becomes U+FFFD.
#pragma once

#include "text.hpp"

#include <cstdint>
#include <string>
#include <string_view>

namespace wwnpool {

class Json {
  public:
    Json &begin_object(std::string_view key = {}) { return open(key, '{'); }
    Json &end_object() { return close('}'); }
    Json &begin_array(std::string_view key = {}) { return open(key, '['); }
    Json &end_array() { return close(']'); }

    Json &field(std::string_view key, std::string_view value) {
        prefix(key);
        quote(value);
        return *this;
    }
    Json &field(std::string_view key, const char *value) { return field(key, std::string_view(value)); }
    Json &field(std::string_view key, std::uint64_t value) {
        prefix(key);
        out_ += std::to_string(value);
        return *this;
    }
    Json &field(std::string_view key, bool value) {
        prefix(key);
        out_ += value ? "true" : "false";
        return *this;
    }
    Json &null_field(std::string_view key) {
        prefix(key);
        out_ += "null";
        return *this;
    }
    Json &value(std::string_view v) { return field({}, v); }

    const std::string &str() const { return out_; }

  private:
    Json &open(std::string_view key, char bracket) {
        prefix(key);
        out_ += bracket;
        first_ = true;
        return *this;
    }
    Json &close(char bracket) {
        out_ += bracket;
        first_ = false;
        return *this;
    }
    void prefix(std::string_view key) {
        if (!first_) {
            out_ += ',';
        }
        first_ = false;
        if (!key.empty()) {
            quote(key);
            out_ += ':';
        }
    }
    void quote(std::string_view s) {
        static constexpr char kHex[] = "0123456789abcdef";
        out_ += '"';
        for (std::size_t i = 0; i < s.size();) {
            const char c = s[i];
            const auto u = static_cast<unsigned char>(c);
            const std::size_t n = utf8_length(s, i);
            if (n == 0) {
                out_ += "\\ufffd";
                ++i;
                continue;
            }
            if (c == '"' || c == '\\') {
                out_ += '\\';
                out_ += c;
            } else if (u < 0x20) {
                out_ += "\\u00";
                out_ += kHex[u >> 4];
                out_ += kHex[u & 15];
            } else {
                out_.append(s.substr(i, n));
            }
            i += n;
        }
        out_ += '"';
    }

    std::string out_;
    bool first_ = true;
};

} // namespace wwnpool
