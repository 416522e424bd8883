#pragma once
// The machine's own sqlite3 (a Linux program, which Wine starts when asked): a reader of the
// history's database that shares no code with the program.
#include <string>

namespace tovasen::test {

// The Linux path of a file in the prefix; empty when not under Wine.
std::string UnixPathOf(const std::wstring& file);
// What /usr/bin/sqlite3 prints for sql run on database; ok false when it could not be started
// or did not finish within 20 s. An error of the SQL ends the run early (ok false as well).
struct SqliteOutput {
    bool ok = false;
    std::string text;
};
SqliteOutput LinuxSqlite(const std::wstring& database, const std::string& sql);

}  // namespace tovasen::test
