#include "registry.hpp"

#include "failure.hpp"
#include "libpq.hpp"
#include "text.hpp"

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace wwnpool {
namespace {

using revevidozi::Wwn;

// Each version's step from the one before. The WWNs are text in the colon
// form, as an administrator reads them in psql.
const char *const kMigrations[kSchemaVersion] = {
    R"sql(
CREATE DOMAIN wwn AS text CHECK (VALUE ~ '^([0-9a-f]{2}:){7}[0-9a-f]{2}$');
CREATE TABLE hosts (
    local_wwn wwn PRIMARY KEY,
    machine_id text NOT NULL,
    hostname text NOT NULL,
    first_seen timestamptz NOT NULL DEFAULT now(),
    last_seen timestamptz NOT NULL DEFAULT now()
);
CREATE TABLE names (
    wwn wwn PRIMARY KEY,
    -- The local WWN of the pool a name comes from, whoever claims it:
    -- 2p:ii:MM:MM:MM:MM:MM:MM and 5M:MM:MM:MM:MM:MM:Mp:ii for MAC MM:..:MM.
    pool_host wwn GENERATED ALWAYS AS (CASE left(wwn, 1)
        WHEN '2' THEN '10:00:' || substr(wwn, 7)
        WHEN '5' THEN '10:00:' || regexp_replace(substr(replace(wwn, ':', ''), 2, 12), '(..)(?!$)', '\1:', 'g')
        END) STORED,
    owner text NOT NULL DEFAULT '',
    partner wwn,
    state text NOT NULL DEFAULT 'allocated' CHECK (state IN ('allocated', 'moved')),
    since timestamptz NOT NULL DEFAULT now(),
    host wwn NOT NULL REFERENCES hosts (local_wwn)
);
CREATE INDEX names_pool_host ON names (pool_host);
-- The claims a host must not hand out: its pools' names held elsewhere.
CREATE INDEX names_elsewhere ON names (pool_host) WHERE host <> pool_host;
CREATE INDEX names_host ON names (host);
CREATE INDEX names_owner ON names (owner);
CREATE TABLE identity_conflicts (
    local_wwn wwn NOT NULL,
    machine_id text NOT NULL,
    hostname text NOT NULL,
    seen timestamptz NOT NULL DEFAULT now(),
    PRIMARY KEY (local_wwn, machine_id)
);
)sql",
};

constexpr const char *kUtc = R"(to_char(%s AT TIME ZONE 'UTC', 'YYYY-MM-DD"T"HH24:MI:SS"Z"'))";

std::string utc(const char *column) {
    std::string text = kUtc;
    text.replace(text.find("%s"), 2, column);
    return text;
}

// libpq's messages span lines ("...failed: ...\n\tIs the server running...").
std::string one_line(const char *message) {
    std::string text;
    for (const char *c = message; *c != '\0'; ++c) {
        if (*c == '\n' || *c == '\t') {
            if (!text.empty() && text.back() != ' ' && c[1] != '\0') {
                text += text.back() == ':' || text.back() == '.' ? " " : "; ";
            }
        } else {
            text += *c;
        }
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == ';')) {
        text.pop_back();
    }
    return shown(text);
}

// A PostgreSQL array of text, NULL where an element is missing.
std::string text_array(const std::vector<std::optional<std::string>> &items) {
    std::string out = "{";
    for (std::size_t i = 0; i < items.size(); ++i) {
        out += i == 0 ? "" : ",";
        if (!items[i]) {
            out += "NULL";
            continue;
        }
        out += '"';
        for (const char c : *items[i]) {
            if (c == '"' || c == '\\') {
                out += '\\';
            }
            out += c;
        }
        out += '"';
    }
    return out + "}";
}

std::string wwn_array(const std::vector<Wwn> &names) {
    std::vector<std::optional<std::string>> items;
    items.reserve(names.size());
    for (const Wwn &name : names) {
        items.emplace_back(name.str());
    }
    return text_array(items);
}

std::optional<std::string> text_of(const std::optional<Wwn> &name) {
    return name ? std::optional(name->str()) : std::nullopt;
}

Wwn wwn_of(const char *text) {
    const auto name = Wwn::parse(text);
    if (!name) {
        throw Failure(kBadState, std::string("the registry holds '") + shown(text) + "', which is no WWN");
    }
    return *name;
}

struct ResultDeleter {
    void operator()(PGresult *result) const { libpq().PQclear(result); }
};
using Result = std::unique_ptr<PGresult, ResultDeleter>;

std::string sqlstate(const Result &result) {
    const char *state = libpq().PQresultErrorField(result.get(), PG_DIAG_SQLSTATE);
    return state != nullptr ? state : "";
}

// Runs one statement (or, without parameters, several); fails with
// kBadState, the server's answer in one line.
Result run(PGconn *conn, const std::string &sql, const std::vector<std::string> &params = {}) {
    std::vector<const char *> values;
    values.reserve(params.size());
    for (const std::string &p : params) {
        values.push_back(p.c_str());
    }
    Result result(params.empty() ? libpq().PQexec(conn, sql.c_str())
                                 : libpq().PQexecParams(conn, sql.c_str(), static_cast<int>(params.size()), nullptr,
                                                        values.data(), nullptr, nullptr, 0));
    const ExecStatusType status = libpq().PQresultStatus(result.get());
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) {
        return result;
    }
    if (sqlstate(result) == "42P01" || sqlstate(result) == "42704") { // undefined table or type
        throw Failure(kBadState, "the registry has no wwnpool tables; 'wwnpool registry init' creates them");
    }
    throw RegistryDown(kBadState, "the registry: " + one_line(libpq().PQerrorMessage(conn)));
}

int count(const Result &result) {
    return libpq().PQntuples(result.get());
}

std::string field(const Result &result, int row, int column) {
    return libpq().PQgetvalue(result.get(), row, column);
}

Wwn wwn_field(const Result &result, int row, int column) {
    return wwn_of(libpq().PQgetvalue(result.get(), row, column));
}

std::optional<Wwn> optional_wwn(const Result &result, int row, int column) {
    if (libpq().PQgetisnull(result.get(), row, column) != 0) {
        return std::nullopt;
    }
    return wwn_field(result, row, column);
}

} // namespace

Registry::Registry(const std::string &conninfo) {
    // A registry that does not answer is an error in seconds, not a hang,
    // unless the connection string says otherwise.
    setenv("PGCONNECT_TIMEOUT", "10", 0);
    const char *const keywords[] = {"dbname", "fallback_application_name", nullptr};
    const char *const values[] = {conninfo.c_str(), "wwnpool", nullptr};
    conn_ = libpq().PQconnectdbParams(keywords, values, 1);
    if (libpq().PQstatus(conn_) != CONNECTION_OK) {
        const std::string why = one_line(libpq().PQerrorMessage(conn_));
        libpq().PQfinish(conn_);
        throw RegistryDown(kBadState, "the registry cannot be reached: " + why);
    }
    libpq().PQsetClientEncoding(conn_, "UTF8");
    libpq().PQsetNoticeProcessor(
        conn_, [](void *, const char *) {}, nullptr);
}

Registry::~Registry() {
    libpq().PQfinish(conn_);
}

int Registry::init() {
    run(conn_, "BEGIN; SELECT pg_advisory_xact_lock(8726531);"
               "CREATE TABLE IF NOT EXISTS wwnpool_schema (version integer NOT NULL)");
    const Result found = run(conn_, "SELECT coalesce(max(version), 0) FROM wwnpool_schema");
    const int version = std::atoi(field(found, 0, 0).c_str());
    if (version > kSchemaVersion) {
        run(conn_, "ROLLBACK");
        throw Failure(kBadState, "the registry's schema is version " + std::to_string(version) +
                                     ", newer than this wwnpool knows (" + std::to_string(kSchemaVersion) +
                                     "); upgrade wwnpool");
    }
    for (int step = version; step < kSchemaVersion; ++step) {
        run(conn_, kMigrations[step]);
    }
    run(conn_, "DELETE FROM wwnpool_schema; INSERT INTO wwnpool_schema VALUES (" + std::to_string(kSchemaVersion) +
                   "); COMMIT");
    return version;
}

void Registry::require_schema() {
    if (schema_checked_) {
        return;
    }
    const Result found = run(conn_, "SELECT coalesce(max(version), 0) FROM wwnpool_schema");
    const int version = std::atoi(field(found, 0, 0).c_str());
    if (version != kSchemaVersion) {
        throw Failure(kBadState,
                      "the registry's schema is version " + std::to_string(version) + ", this wwnpool's " +
                          std::to_string(kSchemaVersion) + "; " +
                          (version < kSchemaVersion ? "'wwnpool registry init' upgrades it" : "upgrade wwnpool"));
    }
    schema_checked_ = true;
}

void Registry::claim_identity(const Host &me) {
    const Result claimed =
        run(conn_,
            // A machine that was refused and has its own identity now is a clone no more.
            "WITH mended AS (DELETE FROM identity_conflicts WHERE machine_id = $2 AND local_wwn "
            "<> $1::text) INSERT INTO hosts AS h (local_wwn, machine_id, hostname) VALUES ($1, $2, $3) "
            "ON CONFLICT (local_wwn) DO UPDATE SET hostname = EXCLUDED.hostname, last_seen = now() "
            "WHERE h.machine_id = EXCLUDED.machine_id RETURNING 1",
            {me.local.str(), me.machine_id, me.hostname});
    if (count(claimed) == 1) {
        return;
    }
    const Result holder = run(conn_, "SELECT machine_id, hostname FROM hosts WHERE local_wwn = $1", {me.local.str()});
    run(conn_, "ROLLBACK");
    // Kept for the fleet's check, outside the transaction that failed.
    run(conn_,
        "INSERT INTO identity_conflicts (local_wwn, machine_id, hostname) VALUES ($1, $2, $3) "
        "ON CONFLICT (local_wwn, machine_id) DO UPDATE SET hostname = EXCLUDED.hostname, seen = now()",
        {me.local.str(), me.machine_id, me.hostname});
    throw Failure(kBadState, "the local WWN " + me.local.str() + " belongs to host '" + shown(field(holder, 0, 1)) +
                                 "' (machine id " + shown(field(holder, 0, 0)) +
                                 ") in the registry, not to this one ('" + shown(me.hostname) + "', machine id " +
                                 shown(me.machine_id) +
                                 "): a clone or a copied MAC would hand out that host's names; nothing was changed; "
                                 "give this host a local WWN of its own with --local");
}

std::vector<Claim> Registry::claim(const Host &me, const std::vector<Claim> &claims, const std::vector<Wwn> &moved,
                                   const std::optional<Wwn> &to) {
    require_schema();
    run(conn_, "BEGIN");
    claim_identity(me);
    if (!claims.empty()) {
        std::vector<std::optional<std::string>> names, owners, partners;
        for (const Claim &c : claims) {
            names.emplace_back(c.name.str());
            owners.emplace_back(c.owner);
            partners.push_back(text_of(c.partner));
        }
        // A name this host claims already (after a crash, say) is its own to
        // hand out again; one claimed by another host is not.
        const Result done = run(
            conn_,
            "INSERT INTO names AS n (wwn, owner, partner, host) SELECT c.wwn, c.owner, c.partner, $1 "
            "FROM unnest($2::text[], $3::text[], $4::text[]) AS c (wwn, owner, partner) "
            "ON CONFLICT (wwn) DO UPDATE SET owner = EXCLUDED.owner, partner = EXCLUDED.partner, state = 'allocated', "
            "since = CASE WHEN n.owner = EXCLUDED.owner THEN n.since ELSE now() END "
            "WHERE n.host = EXCLUDED.host RETURNING n.wwn",
            {me.local.str(), text_array(names), text_array(owners), text_array(partners)});
        if (count(done) != static_cast<int>(claims.size())) {
            std::vector<Claim> others =
                select_claims("n.wwn = ANY($1::text[]) AND n.host <> $2", {text_array(names), me.local.str()});
            run(conn_, "ROLLBACK");
            return others;
        }
    }
    if (to && !moved.empty()) {
        run(conn_,
            "UPDATE names SET host = $1::text, state = CASE WHEN pool_host = $1::text THEN 'allocated' ELSE 'moved' "
            "END, since = now() WHERE wwn = ANY($2::text[]) AND (host = $3::text OR pool_host = $3::text)",
            {to->str(), wwn_array(moved), me.local.str()});
    }
    run(conn_, "COMMIT");
    return {};
}

std::vector<Wwn> Registry::drop(const Wwn &me, const std::vector<Wwn> &names) {
    require_schema();
    const Result gone = run(conn_, "DELETE FROM names WHERE wwn = ANY($1::text[]) AND host = $2 RETURNING wwn",
                            {wwn_array(names), me.str()});
    std::vector<Wwn> dropped;
    dropped.reserve(static_cast<std::size_t>(count(gone)));
    for (int row = 0; row < count(gone); ++row) {
        dropped.push_back(wwn_field(gone, row, 0));
    }
    return dropped;
}

std::vector<Claim> Registry::select_claims(const char *where, const std::vector<std::string> &params) {
    const Result rows =
        run(conn_,
            "SELECT n.wwn, n.owner, n.partner, n.pool_host, n.host, h.hostname, n.state, " + utc("n.since") +
                " FROM names n JOIN hosts h ON h.local_wwn = n.host WHERE " + where + " ORDER BY n.wwn",
            params);
    std::vector<Claim> claims;
    claims.reserve(static_cast<std::size_t>(count(rows)));
    for (int row = 0; row < count(rows); ++row) {
        claims.push_back({wwn_field(rows, row, 0), field(rows, row, 1), optional_wwn(rows, row, 2),
                          optional_wwn(rows, row, 3), wwn_field(rows, row, 4), field(rows, row, 5), field(rows, row, 6),
                          field(rows, row, 7)});
    }
    return claims;
}

std::vector<Claim> Registry::claims_on(const std::vector<Wwn> &names) {
    require_schema();
    return select_claims("n.wwn = ANY($1::text[])", {wwn_array(names)});
}

std::vector<Claim> Registry::claims_of(const std::string &owner) {
    require_schema();
    return select_claims("n.owner = $1", {owner});
}

std::vector<Claim> Registry::claims_about(const Wwn &local) {
    require_schema();
    return select_claims("(n.pool_host = $1 OR n.host = $1)", {local.str()});
}

std::vector<Claim> Registry::held_elsewhere(const Wwn &local) {
    require_schema();
    return select_claims("n.pool_host = $1 AND n.host <> n.pool_host", {local.str()});
}

Host Registry::host_named(const std::string &name) {
    require_schema();
    const Result rows =
        run(conn_, "SELECT local_wwn, machine_id, hostname FROM hosts WHERE hostname = $1 OR local_wwn = $1", {name});
    if (count(rows) != 1) {
        throw Failure(kBadUsage, count(rows) == 0
                                     ? "the registry knows no host '" + shown(name) +
                                           "'; a host joins at its first change; name it by host name or local WWN"
                                     : "several hosts are named '" + shown(name) + "'; name it by its local WWN");
    }
    return {wwn_field(rows, 0, 0), field(rows, 0, 1), field(rows, 0, 2)};
}

std::vector<IdentityConflict> Registry::identity_conflicts() {
    require_schema();
    const Result rows =
        run(conn_, "SELECT c.local_wwn, h.machine_id, h.hostname, c.machine_id, c.hostname, " + utc("c.seen") +
                       " FROM identity_conflicts c JOIN hosts h ON h.local_wwn = c.local_wwn "
                       "WHERE h.machine_id <> c.machine_id ORDER BY c.local_wwn, c.seen");
    std::vector<IdentityConflict> found;
    found.reserve(static_cast<std::size_t>(count(rows)));
    for (int row = 0; row < count(rows); ++row) {
        const Wwn local = wwn_field(rows, row, 0);
        found.push_back({{local, field(rows, row, 1), field(rows, row, 2)},
                         {local, field(rows, row, 3), field(rows, row, 4)},
                         field(rows, row, 5)});
    }
    return found;
}

} // namespace wwnpool
