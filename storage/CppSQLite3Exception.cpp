// Error texts of the database layer.
#include "storage/CppSQLite3Exception.h"

#include <cstdio>

CppSQLite3Exception::CppSQLite3Exception(int error_code, std::string_view message) : code_(error_code) {
    const char* name = ErrorCodeAsString(error_code);
    char head[64];
    std::snprintf(head, sizeof head, "%s[%d]: ", name, error_code);
    message_ = head;
    message_.append(message);
}

const char* CppSQLite3Exception::ErrorCodeAsString(int error_code) {
    static const char* const kNames[] = {
        "SQLITE_OK",       "SQLITE_ERROR",   "SQLITE_INTERNAL", "SQLITE_PERM",     "SQLITE_ABORT",
        "SQLITE_BUSY",     "SQLITE_LOCKED",  "SQLITE_NOMEM",    "SQLITE_READONLY", "SQLITE_INTERRUPT",
        "SQLITE_IOERR",    "SQLITE_CORRUPT", "SQLITE_NOTFOUND", "SQLITE_FULL",     "SQLITE_CANTOPEN",
        "SQLITE_PROTOCOL", "SQLITE_EMPTY",   "SQLITE_SCHEMA",   "SQLITE_TOOBIG",   "SQLITE_CONSTRAINT",
        "SQLITE_MISMATCH", "SQLITE_MISUSE",  "SQLITE_NOLFS",    "SQLITE_AUTH",     "SQLITE_FORMAT",
        "SQLITE_RANGE",
    };
    if (error_code >= 0 && error_code < static_cast<int>(sizeof kNames / sizeof kNames[0]))
        return kNames[error_code];
    switch (error_code) {
        case 100:
            return "SQLITE_ROW";
        case 101:
            return "SQLITE_DONE";
        case CPPSQLITE_ERROR:
            return "CPPSQLITE_ERROR";
        default:
            return "UNKNOWN_ERROR";
    }
}
