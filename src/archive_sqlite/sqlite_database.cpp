// SQLite connection, statements and transactions, with failures put in plain words.
#include "sqlite_database.hpp"

#include <sqlite3.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <utility>

namespace quorbel::sqlite {
namespace {

// What a result code means for the user of the file (an archive, the outbox).
std::string Reason(int code, int systemError, const char* detail, const std::string& holds) {
    const int primary = code & 0xFF;
    if (primary == SQLITE_FULL || systemError == ENOSPC || systemError == EFBIG)
        return "no room left to write (the disk is full or the file has reached its size limit)";
    if (primary == SQLITE_READONLY || systemError == EROFS)
        return "is read-only";
    if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED)
        return "is locked by another program and stayed locked beyond the wait";
    if (primary == SQLITE_NOTADB)
        return "is not an " + holds + " (not an SQLite database)";
    if (primary == SQLITE_CORRUPT)
        return "is damaged (" + std::string(detail) + ")";
    if (primary == SQLITE_CANTOPEN || primary == SQLITE_PERM || primary == SQLITE_AUTH) {
        std::string reason = "cannot be opened";
        if (systemError != 0)
            reason += std::string(" (") + std::strerror(systemError) + ")";
        return reason;
    }
    std::string reason = detail;
    if (systemError != 0)
        reason += std::string(" (") + std::strerror(systemError) + ")";
    return reason;
}

// Why a file cannot be opened for writing, found by asking the system directly: SQLite's own
// error is that of its last attempt (opening read-only), which hides the first reason.
std::string WhyNotOpened(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code error;
    if (fs::exists(path, error)) {
        if (::access(path.c_str(), R_OK | W_OK) != 0)
            return errno == EROFS ? "is read-only (its file system is mounted read-only)"
                                  : std::string("cannot be opened (") + std::strerror(errno) + ")";
        return {};
    }
    const fs::path folder = fs::absolute(fs::path(path), error).parent_path();
    if (!fs::is_directory(folder, error))
        return "cannot be made: its folder " + folder.string() + " does not exist";
    if (::access(folder.c_str(), W_OK) != 0) {
        if (errno == EROFS)
            return "cannot be made: its folder is read-only (a file system mounted read-only)";
        return std::string("cannot be made in its folder (") + std::strerror(errno) + ")";
    }
    return {};
}

}  // namespace

Database::Database(const std::string& path, int flags, std::string holds)
    : m_path(path), m_holds(std::move(holds)) {
    const int code = sqlite3_open_v2(path.c_str(), &m_db, flags, nullptr);
    if (code != SQLITE_OK) {
        const int systemError = m_db ? sqlite3_system_errno(m_db) : 0;
        std::string reason = WhyNotOpened(path);
        if (reason.empty())
            reason = Reason(code, systemError, sqlite3_errstr(code), m_holds);
        sqlite3_close_v2(m_db);
        m_db = nullptr;
        throw ArchiveError(Named() + " " + reason);
    }
    sqlite3_extended_result_codes(m_db, 1);
}

Database::~Database() {
    sqlite3_close_v2(m_db);
}

void Database::Fail(int code, const std::string& doing) const {
    const std::string reason =
        Reason(code, sqlite3_system_errno(m_db), sqlite3_errmsg(m_db), m_holds);
    const int primary = code & 0xFF;
    // Reasons that describe the file read after its name; the others after what was being done.
    const bool aboutFile = primary == SQLITE_READONLY || primary == SQLITE_BUSY ||
                           primary == SQLITE_LOCKED || primary == SQLITE_NOTADB ||
                           primary == SQLITE_CORRUPT || primary == SQLITE_CANTOPEN ||
                           reason == "is read-only";
    if (aboutFile)
        throw ArchiveError(Named() + " " + reason + " (while " + doing + ")");
    throw ArchiveError(doing + " " + Named() + " failed: " + reason);
}

void Database::Execute(const char* sql) {
    char* message = nullptr;
    const int code = sqlite3_exec(m_db, sql, nullptr, nullptr, &message);
    sqlite3_free(message);
    if (code != SQLITE_OK)
        Fail(code, "writing");
}

std::int64_t Database::LastInsertId() const {
    return sqlite3_last_insert_rowid(m_db);
}

int Database::Changes() const {
    return sqlite3_changes(m_db);
}

Statement::Statement(Database& db, const char* sql) : m_db(db) {
    const int code =
        sqlite3_prepare_v3(db.Handle(), sql, -1, SQLITE_PREPARE_PERSISTENT, &m_statement, nullptr);
    if (code != SQLITE_OK)
        db.Fail(code, "reading");
}

Statement::~Statement() {
    sqlite3_finalize(m_statement);
}

Statement& Statement::Bind(int index, std::int64_t value) {
    sqlite3_bind_int64(m_statement, index, value);
    return *this;
}

Statement& Statement::Bind(int index, double value) {
    sqlite3_bind_double(m_statement, index, value);
    return *this;
}

Statement& Statement::Bind(int index, std::string_view text) {
    sqlite3_bind_text64(m_statement, index, text.data(), text.size(), SQLITE_STATIC, SQLITE_UTF8);
    return *this;
}

Statement& Statement::Bind(int index, std::span<const std::uint8_t> blob) {
    // An empty blob is bound as one (not as NULL): a frame of no bytes is still a frame.
    static const std::uint8_t kNone = 0;
    sqlite3_bind_blob64(m_statement, index, blob.empty() ? &kNone : blob.data(), blob.size(),
                        SQLITE_STATIC);
    return *this;
}

Statement& Statement::BindNull(int index) {
    sqlite3_bind_null(m_statement, index);
    return *this;
}

bool Statement::Step() {
    const int code = sqlite3_step(m_statement);
    if (code == SQLITE_ROW)
        return true;
    if (code == SQLITE_DONE)
        return false;
    const bool reads = sqlite3_stmt_readonly(m_statement) != 0;
    sqlite3_reset(m_statement);
    m_db.Fail(code, reads ? "reading" : "writing");
}

void Statement::Reset() {
    sqlite3_reset(m_statement);
    sqlite3_clear_bindings(m_statement);
}

std::int64_t Statement::Int64(int column) const {
    return sqlite3_column_int64(m_statement, column);
}

double Statement::Double(int column) const {
    return sqlite3_column_double(m_statement, column);
}

bool Statement::IsNull(int column) const {
    return sqlite3_column_type(m_statement, column) == SQLITE_NULL;
}

std::string Statement::Text(int column) const {
    const auto* text = sqlite3_column_text(m_statement, column);
    const int size = sqlite3_column_bytes(m_statement, column);
    return text ? std::string(reinterpret_cast<const char*>(text), static_cast<std::size_t>(size))
                : std::string();
}

std::span<const std::uint8_t> Statement::Blob(int column) const {
    const auto* data = static_cast<const std::uint8_t*>(sqlite3_column_blob(m_statement, column));
    const int size = sqlite3_column_bytes(m_statement, column);
    if (data == nullptr)
        return {};
    return {data, static_cast<std::size_t>(size)};
}

Transaction::Transaction(Database& db, Kind kind) : m_db(db) {
    // Inside another transaction (a read made from a visit of ReadFrames), the outer one holds.
    m_open = sqlite3_get_autocommit(db.Handle()) != 0;
    if (m_open)
        db.Execute(kind == Kind::Write ? "BEGIN IMMEDIATE" : "BEGIN");
}

Transaction::~Transaction() {
    // After some failures (a full disk, an I/O error) SQLite has rolled back already; a second
    // rollback then only reports that no transaction is open.
    if (m_open && sqlite3_get_autocommit(m_db.Handle()) == 0)
        sqlite3_exec(m_db.Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void Transaction::Commit() {
    if (!m_open)
        return;
    m_db.Execute("COMMIT");
    m_open = false;
}

}  // namespace quorbel::sqlite
