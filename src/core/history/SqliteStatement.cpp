#include "history/SqliteStatement.h"

#include <sqlite3.h>

SqliteStatement::SqliteStatement(sqlite3* db, const char* sql) {
    m_prepared = sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &m_stmt, nullptr);
}

SqliteStatement::~SqliteStatement() {
    sqlite3_finalize(m_stmt);
}

SqliteStatement& SqliteStatement::reset() {
    if (m_stmt) {
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
    }
    return *this;
}

SqliteStatement& SqliteStatement::bind(int index, std::int64_t value) {
    sqlite3_bind_int64(m_stmt, index, value);
    return *this;
}

SqliteStatement& SqliteStatement::bind(int index, const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    sqlite3_bind_text(m_stmt, index, utf8.constData(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT);
    return *this;
}

SqliteStatement& SqliteStatement::bindBlob(int index, std::string_view bytes) {
    // An empty blob is still a blob, not NULL.
    sqlite3_bind_blob(m_stmt, index, bytes.empty() ? "" : bytes.data(), static_cast<int>(bytes.size()), SQLITE_STATIC);
    return *this;
}

SqliteStatement& SqliteStatement::bindNull(int index) {
    sqlite3_bind_null(m_stmt, index);
    return *this;
}

int SqliteStatement::step() {
    if (!m_stmt)
        return m_prepared != SQLITE_OK ? m_prepared : SQLITE_MISUSE;
    return sqlite3_step(m_stmt);
}

int SqliteStatement::run() {
    int rc = step();
    while (rc == SQLITE_ROW)
        rc = step();
    return rc;
}

std::int64_t SqliteStatement::integer(int column) const {
    return sqlite3_column_int64(m_stmt, column);
}

bool SqliteStatement::isNull(int column) const {
    return sqlite3_column_type(m_stmt, column) == SQLITE_NULL;
}

QString SqliteStatement::text(int column) const {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
    return QString::fromUtf8(text, sqlite3_column_bytes(m_stmt, column));
}

std::string_view SqliteStatement::blob(int column) const {
    const auto* bytes = static_cast<const char*>(sqlite3_column_blob(m_stmt, column));
    const int size = sqlite3_column_bytes(m_stmt, column);
    return bytes ? std::string_view(bytes, static_cast<std::size_t>(size)) : std::string_view();
}
