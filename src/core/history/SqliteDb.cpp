#include "history/SqliteDb.h"

#include <QFile>

#include <sqlite3.h>

int SqliteDb::open(const QString& path, int flags, std::unique_ptr<SqliteDb>& out) {
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_close_v2(db);
        return rc;
    }
    sqlite3_extended_result_codes(db, 0);
    out.reset(new SqliteDb(db));
    return rc;
}

SqliteDb::~SqliteDb() {
    m_statements.clear();
    sqlite3_close_v2(m_db);
}

int SqliteDb::exec(const char* sql) {
    return sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr);
}

SqliteStatement& SqliteDb::statement(const char* sql) {
    std::unique_ptr<SqliteStatement>& slot = m_statements[sql];
    if (!slot)
        slot = std::make_unique<SqliteStatement>(m_db, sql);
    return slot->reset();
}

int SqliteDb::queryInteger(const char* sql, std::int64_t& out) {
    SqliteStatement& st = statement(sql);
    const int rc = st.step();
    if (rc == SQLITE_ROW)
        out = st.integer(0);
    st.reset();
    return rc == SQLITE_ROW || rc == SQLITE_DONE ? SQLITE_OK : rc;
}

int SqliteDb::queryText(const char* sql, QString& out) {
    SqliteStatement& st = statement(sql);
    const int rc = st.step();
    if (rc == SQLITE_ROW)
        out = st.text(0);
    st.reset();
    return rc == SQLITE_ROW || rc == SQLITE_DONE ? SQLITE_OK : rc;
}

QString SqliteDb::error() const {
    return QString::fromUtf8(sqlite3_errmsg(m_db));
}

bool SqliteDb::inTransaction() const {
    return !sqlite3_get_autocommit(m_db);
}

void SqliteDb::rollback() {
    if (inTransaction())
        exec("ROLLBACK");
}
