#include "history/sqlite_db.h"

#include <sqlite3.h>

#include <utility>

#include "base/utf_convert.h"

namespace tovasen {

bool ESqlite::Damaged() const noexcept { return FCode == SQLITE_CORRUPT || FCode == SQLITE_NOTADB; }

TSqliteDb::TSqliteDb(const std::string& path, int busyTimeoutMs, bool readOnly) {
    const int flags = readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
    const int code = sqlite3_open_v2(path.c_str(), &FDb, flags, nullptr);
    if (code != SQLITE_OK) {
        const std::wstring message = Utf8ToWide(FDb ? sqlite3_errmsg(FDb) : sqlite3_errstr(code));
        Close();
        throw ESqlite(code & 0xFF, L"SQLite: " + message);
    }
    sqlite3_extended_result_codes(FDb, 0);
    sqlite3_busy_timeout(FDb, busyTimeoutMs);
}

TSqliteDb::TSqliteDb(TSqliteDb&& other) noexcept : FDb(std::exchange(other.FDb, nullptr)) {}

TSqliteDb& TSqliteDb::operator=(TSqliteDb&& other) noexcept {
    if (this != &other) {
        Close();
        FDb = std::exchange(other.FDb, nullptr);
    }
    return *this;
}

TSqliteDb::~TSqliteDb() { Close(); }

void TSqliteDb::Close() noexcept {
    // v2 closes even with statements left open, so the file is released for a rename.
    if (FDb) sqlite3_close_v2(std::exchange(FDb, nullptr));
}

void TSqliteDb::Exec(const char* sql) {
    const int code = sqlite3_exec(FDb, sql, nullptr, nullptr, nullptr);
    if (code != SQLITE_OK) Raise(code);
}

std::int64_t TSqliteDb::LastInsertId() const { return sqlite3_last_insert_rowid(FDb); }

void TSqliteDb::Raise(int code) const {
    const char* text = FDb ? sqlite3_errmsg(FDb) : sqlite3_errstr(code);
    throw ESqlite(code & 0xFF, L"SQLite: " + Utf8ToWide(text ? text : "unknown error"));
}

TStatement::TStatement(const TSqliteDb& db, const char* sql) : FDb(db) {
    const int code = sqlite3_prepare_v2(db.Handle(), sql, -1, &FStatement, nullptr);
    if (code != SQLITE_OK) db.Raise(code);
}

TStatement::~TStatement() { sqlite3_finalize(FStatement); }

TStatement& TStatement::Bind(int index, std::int64_t value) {
    const int code = sqlite3_bind_int64(FStatement, index, value);
    if (code != SQLITE_OK) FDb.Raise(code);
    return *this;
}

TStatement& TStatement::Bind(int index, const std::wstring& value) {
    const std::string text = WideToUtf8(value);
    const int code = sqlite3_bind_text(FStatement, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    if (code != SQLITE_OK) FDb.Raise(code);
    return *this;
}

TStatement& TStatement::Bind(int index, const std::vector<std::uint8_t>& blob) {
    const int code = blob.empty() ? sqlite3_bind_null(FStatement, index)
                                  : sqlite3_bind_blob(FStatement, index, blob.data(), static_cast<int>(blob.size()),
                                                      SQLITE_TRANSIENT);
    if (code != SQLITE_OK) FDb.Raise(code);
    return *this;
}

bool TStatement::Step() {
    const int code = sqlite3_step(FStatement);
    if (code == SQLITE_ROW) return true;
    if (code == SQLITE_DONE) return false;
    FDb.Raise(code);
}

void TStatement::Run() {
    while (Step()) {
    }
}

void TStatement::Reset() {
    sqlite3_reset(FStatement);
    sqlite3_clear_bindings(FStatement);
}

std::int64_t TStatement::Int(int column) const { return sqlite3_column_int64(FStatement, column); }

std::wstring TStatement::Text(int column) const {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(FStatement, column));
    return text ? Utf8ToWide(std::string_view(text, static_cast<std::size_t>(sqlite3_column_bytes(FStatement, column))))
                : std::wstring();
}

std::vector<std::uint8_t> TStatement::Blob(int column) const {
    const auto* data = static_cast<const std::uint8_t*>(sqlite3_column_blob(FStatement, column));
    const int size = sqlite3_column_bytes(FStatement, column);
    return data && size > 0 ? std::vector<std::uint8_t>(data, data + size) : std::vector<std::uint8_t>();
}

TTransaction::TTransaction(TSqliteDb& db) : FDb(db) { FDb.Exec("BEGIN IMMEDIATE"); }

TTransaction::~TTransaction() {
    if (!FDone && FDb) sqlite3_exec(FDb.Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void TTransaction::Commit() {
    FDb.Exec("COMMIT");
    FDone = true;
}

}  // namespace tovasen
