#pragma once

#include <cstdint>

class SqliteDb;

// The tables of History.db and the constants their contents depend on.
namespace historyschema {

// PRAGMA application_id: "LVHS".
inline constexpr std::int64_t ApplicationId = 0x4C564853;
// PRAGMA user_version.
inline constexpr std::int64_t Version = 1;

// A block holds one series' echoes of one slot: five minutes, from a
// multiple of five minutes since the epoch (UTC).
inline constexpr std::int64_t SlotMs = 5 * 60 * 1000;
inline constexpr std::int64_t MinuteMs = 60 * 1000;
inline constexpr std::int64_t TenMinutesMs = 10 * MinuteMs;
inline constexpr std::int64_t HourMs = 60 * MinuteMs;
inline constexpr std::int64_t DayMs = 24 * HourMs;

inline std::int64_t floorTo(std::int64_t ms, std::int64_t unit) {
    const std::int64_t q = ms / unit;
    return (q * unit > ms ? q - 1 : q) * unit;
}

// Makes the tables, views and indexes that are missing, and stamps the
// file as ours; in a transaction of the caller's.
int create(SqliteDb& db);
// Whether every table is there. The route changes came later: a file
// without their table is complete, and gains it when next written.
bool complete(SqliteDb& db);
bool hasRouteChanges(SqliteDb& db);

} // namespace historyschema
