#include "libpq.hpp"

#include "failure.hpp"

#include <string>

#include <dlfcn.h>

namespace wwnpool {
namespace {

template <typename Function> void resolve(void *library, Function &function, const char *name) {
    void *symbol = ::dlsym(library, name);
    if (symbol == nullptr) {
        throw Failure(kBadState, std::string("the installed libpq lacks ") + name + "; install Debian's libpq5");
    }
    function = reinterpret_cast<Function>(symbol);
}

Libpq load() {
    void *library = ::dlopen("libpq.so.5", RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        const char *why = ::dlerror();
        throw Failure(kBadState, std::string("the registry needs libpq, which cannot be loaded (") +
                                     (why != nullptr ? why : "libpq.so.5") + "); install Debian's libpq5");
    }
    Libpq pq{};
#define WWNPOOL_RESOLVE(name) resolve(library, pq.name, #name)
    WWNPOOL_RESOLVE(PQconnectdbParams);
    WWNPOOL_RESOLVE(PQstatus);
    WWNPOOL_RESOLVE(PQerrorMessage);
    WWNPOOL_RESOLVE(PQfinish);
    WWNPOOL_RESOLVE(PQsetClientEncoding);
    WWNPOOL_RESOLVE(PQsetNoticeProcessor);
    WWNPOOL_RESOLVE(PQexec);
    WWNPOOL_RESOLVE(PQexecParams);
    WWNPOOL_RESOLVE(PQresultStatus);
    WWNPOOL_RESOLVE(PQresultErrorField);
    WWNPOOL_RESOLVE(PQclear);
    WWNPOOL_RESOLVE(PQntuples);
    WWNPOOL_RESOLVE(PQgetvalue);
    WWNPOOL_RESOLVE(PQgetisnull);
    WWNPOOL_RESOLVE(PQconninfoParse);
    WWNPOOL_RESOLVE(PQconninfoFree);
    WWNPOOL_RESOLVE(PQfreemem);
#undef WWNPOOL_RESOLVE
    return pq;
}

} // namespace

const Libpq &libpq() {
    static const Libpq pq = load(); // the library stays loaded for the process's life
    return pq;
}

} // namespace wwnpool
