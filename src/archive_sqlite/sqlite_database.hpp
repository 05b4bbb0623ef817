// A thin hold on SQLite's C API: a database connection, prepared statements with bind, step and
// column, and a transaction that rolls back unless committed. Every failure becomes an
// ArchiveError whose message names the file, what it holds ("the archive", "the outbox") and
// says what went wrong in plain words.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "archive/archive.hpp"

struct sqlite3;
struct sqlite3_stmt;

namespace quorbel::sqlite {

class Database {
  public:
    // Opens (flags of sqlite3_open_v2) the file at `path`; `holds` names it in messages.
    Database(const std::string& path, int flags, std::string holds = "archive");
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    sqlite3* Handle() const { return m_db; }
    const std::string& Path() const { return m_path; }
    // "the archive /path/archive.sqlite": how messages name the file.
    std::string Named() const { return "the " + m_holds + " " + m_path; }

    // Runs statements that return no rows.
    void Execute(const char* sql);
    std::int64_t LastInsertId() const;
    int Changes() const;

    // Throws the ArchiveError for a result code of this connection; `doing` says what was being
    // done ("writing", "reading"...).
    [[noreturn]] void Fail(int code, const std::string& doing) const;

  private:
    std::string m_path;
    std::string m_holds;
    sqlite3* m_db = nullptr;
};

class Statement {
  public:
    Statement(Database& db, const char* sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // Parameters count from 1, as in SQL. Text and blobs are not copied: they must stay until
    // the statement is reset.
    Statement& Bind(int index, std::int64_t value);
    Statement& Bind(int index, double value);
    Statement& Bind(int index, std::string_view text);
    Statement& Bind(int index, std::span<const std::uint8_t> blob);
    Statement& BindNull(int index);

    // True while a row is there to read; false when the statement is done.
    bool Step();
    // Ready to run again, with no values bound.
    void Reset();

    std::int64_t Int64(int column) const;
    double Double(int column) const;
    bool IsNull(int column) const;
    std::string Text(int column) const;
    // Valid until the next Step or Reset.
    std::span<const std::uint8_t> Blob(int column) const;

  private:
    Database& m_db;
    sqlite3_stmt* m_statement = nullptr;
};

// Resets a statement when the scope that ran it ends, even by an exception, so that no statement
// is left holding a read of the database.
class ResetOnExit {
  public:
    explicit ResetOnExit(Statement& statement) : m_statement(statement) {}
    ~ResetOnExit() { m_statement.Reset(); }
    ResetOnExit(const ResetOnExit&) = delete;
    ResetOnExit& operator=(const ResetOnExit&) = delete;

  private:
    Statement& m_statement;
};

// BEGIN IMMEDIATE (a write: takes the write lock at once, waiting up to the busy timeout) or
// BEGIN (a read: one snapshot for every statement inside). Rolled back unless committed.
class Transaction {
  public:
    enum class Kind { Read, Write };
    Transaction(Database& db, Kind kind);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    void Commit();

  private:
    Database& m_db;
    bool m_open = false;  // begun here and not yet ended
};

}  // namespace quorbel::sqlite
