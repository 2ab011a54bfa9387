#include "fleet_host.hpp"

#include "failure.hpp"
#include "libpq.hpp"
#include "text.hpp"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>

#include <limits.h>
#include <unistd.h>

namespace wwnpool {
namespace {

const char *environment(const char *name) {
    const char *value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : nullptr;
}

std::string trimmed(const std::string &text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// Fails with kBadUsage unless libpq reads `conninfo`; `where` says where it came from.
void check_conninfo(const std::string &conninfo, const std::string &where, bool on_command_line) {
    char *error = nullptr;
    PQconninfoOption *options = libpq().PQconninfoParse(conninfo.c_str(), &error);
    if (options == nullptr) {
        const std::string why = error != nullptr ? error : "out of memory";
        libpq().PQfreemem(error);
        throw Failure(kBadUsage, where + " is no connection string libpq reads: " + shown(trimmed(why)));
    }
    bool password = false;
    for (const PQconninfoOption *o = options; o->keyword != nullptr; ++o) {
        password = password || (std::strcmp(o->keyword, "password") == 0 && o->val != nullptr && *o->val != '\0');
    }
    libpq().PQconninfoFree(options);
    if (password && on_command_line) {
        throw Failure(kBadUsage, where + " holds a password, which every user sees in ps; nothing was done; put it "
                                         "in ~/.pgpass or the file $PGPASSFILE names");
    }
}

std::optional<std::string> configured(const char *path) {
    std::ifstream file(path);
    if (!file) {
        if (errno == ENOENT) {
            return std::nullopt;
        }
        throw Failure(kBadState, std::string("cannot read ") + shown(path) + ": " + std::strerror(errno) +
                                     "; it may name the fleet's registry, so no change is made without it");
    }
    std::optional<std::string> registry;
    std::string line;
    for (int number = 1; std::getline(file, line); ++number) {
        line = trimmed(line);
        if (line.empty() || line.front() == '#') {
            continue;
        }
        const auto equals = line.find('=');
        const std::string key = trimmed(line.substr(0, equals));
        if (equals == std::string::npos || key != "registry") {
            // A word is named; anything else stays unsaid: the file may not be the one meant.
            const bool word = !key.empty() && key.size() <= 32 &&
                              key.find_first_not_of("abcdefghijklmnopqrstuvwxyz_-") == std::string::npos;
            throw Failure(kBadUsage, shown(path) + " line " + std::to_string(number) + ": " +
                                         (word ? "'" + key + "' is no setting" : "not a setting") +
                                         "; the one setting is 'registry = CONNINFO'");
        }
        registry = trimmed(line.substr(equals + 1));
    }
    if (file.bad()) {
        throw Failure(kBadState, std::string("cannot read ") + shown(path) + ": " + std::strerror(errno));
    }
    return registry;
}

} // namespace

std::optional<std::string> registry_conninfo(const std::optional<std::string> &option) {
    if (option) {
        check_conninfo(*option, "--registry", true);
        return option;
    }
    if (const char *env = environment("WWNPOOL_REGISTRY")) {
        check_conninfo(env, "WWNPOOL_REGISTRY", false);
        return env;
    }
    const char *path = environment("WWNPOOL_CONFIG");
    std::optional<std::string> registry = configured(path != nullptr ? path : kConfigFile);
    if (registry) {
        check_conninfo(*registry, "the registry line of " + shown(path != nullptr ? path : kConfigFile), false);
    }
    return registry;
}

std::string machine_id() {
    if (const char *env = environment("WWNPOOL_MACHINE_ID")) {
        return shown(env);
    }
    std::ifstream file("/etc/machine-id");
    std::string id;
    std::getline(file, id);
    id = trimmed(id);
    if (id.empty()) {
        throw Failure(kBadState, "this machine has no machine id in /etc/machine-id, which tells hosts that share a "
                                 "MAC apart in the registry; 'systemd-machine-id-setup' writes one");
    }
    return shown(id);
}

std::string host_name() {
    char name[HOST_NAME_MAX + 1] = {};
    if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') {
        return "unnamed";
    }
    return shown(name);
}

} // namespace wwnpool
