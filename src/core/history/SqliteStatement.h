#pragma once

#include <QString>

#include <cstdint>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

// A prepared SQLite statement, kept for reuse. Steps of a statement that
// could not be prepared fail with the error the preparing met.
class SqliteStatement {
public:
    SqliteStatement(sqlite3* db, const char* sql);
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;
    ~SqliteStatement();

    // Ready for new values: reset, its parameters cleared.
    SqliteStatement& reset();
    SqliteStatement& bind(int index, std::int64_t value);
    SqliteStatement& bind(int index, const QString& text);
    // The bytes must stay until the statement is reset.
    SqliteStatement& bindBlob(int index, std::string_view bytes);
    SqliteStatement& bindNull(int index);

    // SQLITE_ROW, SQLITE_DONE or the error.
    int step();
    // Steps to the end; SQLITE_DONE or the error.
    int run();

    std::int64_t integer(int column) const;
    bool isNull(int column) const;
    QString text(int column) const;
    // Valid until the next step or reset.
    std::string_view blob(int column) const;

private:
    sqlite3_stmt* m_stmt = nullptr;
    int m_prepared = 0;
};
