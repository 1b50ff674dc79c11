#pragma once

#include "history/SqliteStatement.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <unordered_map>

struct sqlite3;

// One SQLite connection, for one thread at a time, with its statements
// prepared once and kept.
class SqliteDb {
public:
    // Opens the file with sqlite3_open_v2's `flags`; the result code, and
    // the connection in `out` when it is SQLITE_OK.
    static int open(const QString& path, int flags, std::unique_ptr<SqliteDb>& out);
    SqliteDb(const SqliteDb&) = delete;
    SqliteDb& operator=(const SqliteDb&) = delete;
    ~SqliteDb();

    sqlite3* handle() const { return m_db; }
    int exec(const char* sql);
    // The statement for this SQL text (a string literal: kept by its
    // address), reset and ready for values.
    SqliteStatement& statement(const char* sql);
    // The first column of the first row as a number or as text.
    int queryInteger(const char* sql, std::int64_t& out);
    int queryText(const char* sql, QString& out);
    // The latest error's text.
    QString error() const;
    bool inTransaction() const;
    // Ends a transaction that is still open.
    void rollback();

private:
    explicit SqliteDb(sqlite3* db) : m_db(db) {}

    sqlite3* m_db;
    std::unordered_map<const char*, std::unique_ptr<SqliteStatement>> m_statements;
};
