// The one exception type of the database layer. Its message reads "<code name>[<code>]: <text>",
// for example "SQLITE_ERROR[1]: no such table: config" or "CPPSQLITE_ERROR[1000]: Invalid scalar query".
// Threading: a value type; any thread may make, copy and read one.
#pragma once

#include <exception>
#include <string>
#include <string_view>

// The layer's own error code, for misuse of a connection or a cursor.
constexpr int CPPSQLITE_ERROR = 1000;

class CppSQLite3Exception : public std::exception {
public:
    // `message` is SQLite's (or the layer's) text, UTF-8; empty when there is none.
    CppSQLite3Exception(int error_code, std::string_view message);

    int ErrorCode() const { return code_; }
    // The full text, "%s[%d]: %s".
    const std::string& ErrorMessage() const { return message_; }
    const char* what() const noexcept override { return message_.c_str(); }

    // "SQLITE_OK" ... "SQLITE_DONE", "CPPSQLITE_ERROR" for 1000, "UNKNOWN_ERROR" for anything else.
    static const char* ErrorCodeAsString(int error_code);

private:
    int code_;
    std::string message_;
};
