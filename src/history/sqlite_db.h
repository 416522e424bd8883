#pragma once
// A thin owner of one SQLite connection and its prepared statements. Text crosses as UTF-8;
// every failure raises ESqlite with SQLite's primary result code, so callers can tell a damaged
// or locked database from other errors.
#include <cstdint>
#include <string>
#include <vector>

#include "base/errors.h"

struct sqlite3;
struct sqlite3_stmt;

namespace tovasen {

class ESqlite : public Exception {
public:
    ESqlite(int code, const std::wstring& message) : Exception(message), FCode(code) {}
    int Code() const noexcept { return FCode; }  // the primary result code (SQLITE_BUSY, ...)
    // The file itself is beyond use: damaged, or no database at all. Only such a file is set
    // aside; a lock, a read or write failure or a refused open may pass and is retried.
    bool Damaged() const noexcept;

private:
    int FCode;
};

class TSqliteDb {
public:
    TSqliteDb() = default;
    // Opens (creating, unless read only) the database file; path is UTF-8.
    TSqliteDb(const std::string& path, int busyTimeoutMs, bool readOnly = false);
    TSqliteDb(TSqliteDb&& other) noexcept;
    TSqliteDb& operator=(TSqliteDb&& other) noexcept;
    TSqliteDb(const TSqliteDb&) = delete;
    TSqliteDb& operator=(const TSqliteDb&) = delete;
    ~TSqliteDb();

    explicit operator bool() const noexcept { return FDb != nullptr; }
    sqlite3* Handle() const noexcept { return FDb; }
    void Close() noexcept;

    // Runs statements that return nothing the caller needs.
    void Exec(const char* sql);
    std::int64_t LastInsertId() const;
    [[noreturn]] void Raise(int code) const;

private:
    sqlite3* FDb = nullptr;
};

// One prepared statement; parameters are numbered from 1, columns from 0.
class TStatement {
public:
    TStatement(const TSqliteDb& db, const char* sql);
    TStatement(const TStatement&) = delete;
    TStatement& operator=(const TStatement&) = delete;
    ~TStatement();

    TStatement& Bind(int index, std::int64_t value);
    TStatement& Bind(int index, const std::wstring& value);
    TStatement& Bind(int index, const std::vector<std::uint8_t>& blob);
    // True while a row is ready; false once the statement is done.
    bool Step();
    // Runs a statement that returns no rows.
    void Run();
    void Reset();

    std::int64_t Int(int column) const;
    std::wstring Text(int column) const;
    std::vector<std::uint8_t> Blob(int column) const;

private:
    const TSqliteDb& FDb;
    sqlite3_stmt* FStatement = nullptr;
};

// All statements between construction and Commit take effect together or not at all.
class TTransaction {
public:
    explicit TTransaction(TSqliteDb& db);
    TTransaction(const TTransaction&) = delete;
    TTransaction& operator=(const TTransaction&) = delete;
    ~TTransaction();
    void Commit();

private:
    TSqliteDb& FDb;
    bool FDone = false;
};

}  // namespace tovasen
