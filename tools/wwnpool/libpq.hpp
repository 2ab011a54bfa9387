// libpq, loaded the first time a registry is used: a command run without one
// does not pay for loading it and the two dozen libraries it needs (TLS,
// Kerberos, LDAP), which took 15 ms of every start.
#pragma once

#include <libpq-fe.h>

namespace wwnpool {

struct Libpq {
    decltype(&::PQconnectdbParams) PQconnectdbParams;
    decltype(&::PQstatus) PQstatus;
    decltype(&::PQerrorMessage) PQerrorMessage;
    decltype(&::PQfinish) PQfinish;
    decltype(&::PQsetClientEncoding) PQsetClientEncoding;
    decltype(&::PQsetNoticeProcessor) PQsetNoticeProcessor;
    decltype(&::PQexec) PQexec;
    decltype(&::PQexecParams) PQexecParams;
    decltype(&::PQresultStatus) PQresultStatus;
    decltype(&::PQresultErrorField) PQresultErrorField;
    decltype(&::PQclear) PQclear;
    decltype(&::PQntuples) PQntuples;
    decltype(&::PQgetvalue) PQgetvalue;
    decltype(&::PQgetisnull) PQgetisnull;
    decltype(&::PQconninfoParse) PQconninfoParse;
    decltype(&::PQconninfoFree) PQconninfoFree;
    decltype(&::PQfreemem) PQfreemem;
};

// Loads libpq.so.5 on first use; fails with kBadState, saying which
// package brings it, when it cannot.
const Libpq &libpq();

} // namespace wwnpool
