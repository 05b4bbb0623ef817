// The outbox as an SQLite file: one row per shared frame with its state, a small table of how
// many frames are in each state, kept in the same transactions that change them (the status
// strip reads three numbers, however many frames wait), and the last failure of a request.
//
// Durability: WAL with synchronous=NORMAL. A Put or a mark is in the WAL file when it returns, so
// a process killed at any moment (kill -9) loses none of them and leaves a consistent file. A
// power loss or an operating-system crash may take back the last commits: a frame whose mark
// was lost is then sent once more, which the server takes as the same frame again.
#include "sqlite_outbox.hpp"

#include <sqlite3.h>

#include <algorithm>
#include <utility>

#include "archive/archive.hpp"
#include "archive/frame_digest.hpp"
#include "sqlite_database.hpp"
#include "sqlite_outbox_queries.hpp"

namespace quorbel {
namespace sqlite {
namespace {

// A frame's state in column shared_frame.state and table share_count.
enum class ShareState : std::int64_t { Waiting = 0, Sent = 1, Rejected = 2 };

// The frames that wait are read in receive-time order from a partial index that holds them alone,
// however many sent ones are kept; the same bytes are found by digest near a receive time; expiry
// reads each state by put time.
constexpr const char* kOutboxSchema = R"(
CREATE TABLE shared_frame(
    id INTEGER PRIMARY KEY,
    digest INTEGER NOT NULL,
    rx_ms INTEGER NOT NULL,
    put_ms INTEGER NOT NULL,
    state INTEGER NOT NULL,
    attempts INTEGER NOT NULL,
    last_error TEXT NOT NULL,
    bytes BLOB NOT NULL);
CREATE INDEX shared_frame_waiting ON shared_frame(rx_ms, id) WHERE state = 0;
CREATE INDEX shared_frame_same ON shared_frame(digest, rx_ms);
CREATE INDEX shared_frame_age ON shared_frame(state, put_ms);
CREATE TABLE share_count(state INTEGER PRIMARY KEY, frames INTEGER NOT NULL);
INSERT INTO share_count(state, frames) VALUES (0, 0), (1, 0), (2, 0);
CREATE TABLE share_error(one INTEGER PRIMARY KEY CHECK (one = 1), text TEXT NOT NULL);
PRAGMA user_version = 1;
)";

// The outbox's transactions last milliseconds: a lock held longer than this is another program's,
// and the frames to share must not wait on it for long.
constexpr int kBusyTimeoutMs = 5'000;

std::int64_t QueryNumber(Database& db, const char* sql) {
    Statement statement(db, sql);
    return statement.Step() ? statement.Int64(0) : 0;
}

// Runs `work`, giving the connection's failures as OutboxErrors of the same message.
template <typename Work>
auto AsOutboxError(Work&& work) -> decltype(work()) {
    try {
        return work();
    } catch (const ArchiveError& error) {
        throw OutboxError(error.what());
    }
}

void RefuseNewer(const Database& db, std::int64_t version) {
    throw OutboxError(db.Named() + " was written by a newer version of this program (schema " +
                      std::to_string(version) + "); this program knows up to " +
                      std::to_string(kSqliteOutboxSchema));
}

// Checks the file's schema version (reading it changes nothing) and makes the tables of a new
// file; a newer or foreign file is refused before anything of it is changed.
void PrepareOutboxFile(Database& db) {
    sqlite3_busy_timeout(db.Handle(), kBusyTimeoutMs);
    if (sqlite3_db_readonly(db.Handle(), "main") == 1)
        throw OutboxError(db.Named() + " is read-only; frames to share cannot be kept");
    std::int64_t version = QueryNumber(db, "PRAGMA user_version");
    if (version > kSqliteOutboxSchema)
        RefuseNewer(db, version);
    if (version == 0 && QueryNumber(db, "SELECT count(*) FROM sqlite_master") != 0)
        throw OutboxError(db.Named() + " is an SQLite file of another program, not an outbox");
    db.Execute("PRAGMA journal_mode = WAL");
    db.Execute("PRAGMA synchronous = NORMAL");
    // The write-ahead log is copied into the file, with its flushes to the disk, when the writer
    // rests between passes (Rest), and during one only once the log has grown to 64 MB: a flush
    // in the middle of a pass makes the capture file's own flushes wait.
    db.Execute("PRAGMA wal_autocheckpoint = 16384");
    db.Execute("PRAGMA journal_size_limit = 8388608");
    if (version == 0) {
        // Another process may be making the same new file: the write lock decides who does.
        Transaction transaction(db, Transaction::Kind::Write);
        version = QueryNumber(db, "PRAGMA user_version");
        if (version == 0)
            db.Execute(kOutboxSchema);
        else if (version > kSqliteOutboxSchema)
            RefuseNewer(db, version);
        transaction.Commit();
    }
}

int OutboxOpenFlags() {
    return SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
}

class SqliteOutbox final : public Outbox {
  public:
    explicit SqliteOutbox(const std::string& path);

    std::string Describe() const override { return m_db.Path(); }
    int Put(std::span<const OutboxPut> frames, std::int64_t nowMs) override;
    std::vector<OutboxFrame> Waiting(int limit, std::span<const std::int64_t> skip) override;
    void MarkSent(std::int64_t id) override;
    void MarkFailed(std::int64_t id, const std::string& error) override;
    void MarkRejected(std::int64_t id, const std::string& reply) override;
    std::vector<std::int64_t> DropExpired(std::int64_t nowMs, std::int64_t maxAgeMs,
                                          std::int64_t keepMs) override;
    OutboxCounts Counts() override;
    void Rest() override;

  private:
    bool HoldsSameFrame(const OutboxPut& frame, std::int64_t digest);
    void AddToCount(ShareState state, std::int64_t frames);
    void KeepLastError(const std::string& text);
    std::int64_t Forget(ShareState state, std::int64_t putBeforeMs);

    Database m_db;
    bool m_prepared;  // the file is checked and made before the statements below are prepared
    Statement m_sameFrames;
    Statement m_insert;
    Statement m_waiting;
    Statement m_markSent;
    Statement m_markFailed;
    Statement m_markRejected;
    Statement m_keepError;
    Statement m_addToCount;
    Statement m_expiredTimes;
    Statement m_forget;
    Statement m_counts;
    Statement m_lastError;
};

SqliteOutbox::SqliteOutbox(const std::string& path)
    : m_db(path, OutboxOpenFlags(), "outbox"),
      m_prepared((PrepareOutboxFile(m_db), true)),
      m_sameFrames(m_db, kOutboxSameFramesSql),
      m_insert(m_db,
               "INSERT INTO shared_frame(digest, rx_ms, put_ms, state, attempts, last_error, "
               "bytes) VALUES (?1, ?2, ?3, 0, 0, '', ?4)"),
      m_waiting(m_db, kOutboxWaitingSql),
      m_markSent(m_db, "UPDATE shared_frame SET state = 1 WHERE id = ?1 AND state = 0"),
      m_markFailed(m_db,
                   "UPDATE shared_frame SET attempts = attempts + 1, last_error = ?2 "
                   "WHERE id = ?1 AND state = 0"),
      m_markRejected(m_db,
                     "UPDATE shared_frame SET state = 2, last_error = ?2 "
                     "WHERE id = ?1 AND state = 0"),
      m_keepError(m_db, "INSERT OR REPLACE INTO share_error(one, text) VALUES (1, ?1)"),
      m_addToCount(m_db, "UPDATE share_count SET frames = frames + ?2 WHERE state = ?1"),
      m_expiredTimes(m_db, kOutboxExpiredSql),
      m_forget(m_db, kOutboxForgetSql),
      m_counts(m_db, "SELECT state, frames FROM share_count"),
      m_lastError(m_db, "SELECT text FROM share_error") {}

int SqliteOutbox::Put(std::span<const OutboxPut> frames, std::int64_t nowMs) {
    if (frames.empty())
        return 0;
    return AsOutboxError([&] {
        Transaction transaction(m_db, Transaction::Kind::Write);
        int added = 0;
        for (const OutboxPut& frame : frames) {
            const std::int64_t digest = FrameDigest(frame.bytes);
            // Frames put earlier in this call are in the table already and found as well.
            if (HoldsSameFrame(frame, digest))
                continue;
            ResetOnExit reset(m_insert);
            m_insert.Bind(1, digest).Bind(2, frame.rxTimeMs).Bind(3, nowMs).Bind(4, frame.bytes);
            m_insert.Step();
            ++added;
        }
        AddToCount(ShareState::Waiting, added);
        transaction.Commit();
        return added;
    });
}

// True when a frame of the same bytes, in any state, was received within the window of it.
bool SqliteOutbox::HoldsSameFrame(const OutboxPut& frame, std::int64_t digest) {
    ResetOnExit reset(m_sameFrames);
    m_sameFrames.Bind(1, digest)
        .Bind(2, frame.rxTimeMs - kSameFrameWindowMs)
        .Bind(3, frame.rxTimeMs + kSameFrameWindowMs);
    while (m_sameFrames.Step()) {
        const auto bytes = m_sameFrames.Blob(0);
        if (std::equal(bytes.begin(), bytes.end(), frame.bytes.begin(), frame.bytes.end()))
            return true;  // not merely another frame of the same digest
    }
    return false;
}

std::vector<OutboxFrame> SqliteOutbox::Waiting(int limit, std::span<const std::int64_t> skip) {
    std::vector<OutboxFrame> frames;
    if (limit <= 0)
        return frames;
    return AsOutboxError([&] {
        ResetOnExit reset(m_waiting);
        // The skipped frames are among the first: reading as many more is enough.
        m_waiting.Bind(1, static_cast<std::int64_t>(limit) + std::ssize(skip));
        while (std::ssize(frames) < limit && m_waiting.Step()) {
            const std::int64_t id = m_waiting.Int64(0);
            if (std::find(skip.begin(), skip.end(), id) != skip.end())
                continue;
            const auto bytes = m_waiting.Blob(1);
            frames.push_back(OutboxFrame{id,
                                         {bytes.begin(), bytes.end()},
                                         m_waiting.Int64(2),
                                         static_cast<int>(m_waiting.Int64(3))});
        }
        return frames;
    });
}

void SqliteOutbox::MarkSent(std::int64_t id) {
    AsOutboxError([&] {
        Transaction transaction(m_db, Transaction::Kind::Write);
        {
            ResetOnExit reset(m_markSent);
            m_markSent.Bind(1, id).Step();
        }
        if (m_db.Changes() == 1) {
            AddToCount(ShareState::Waiting, -1);
            AddToCount(ShareState::Sent, 1);
        }
        transaction.Commit();
    });
}

void SqliteOutbox::MarkFailed(std::int64_t id, const std::string& error) {
    AsOutboxError([&] {
        Transaction transaction(m_db, Transaction::Kind::Write);
        {
            ResetOnExit reset(m_markFailed);
            m_markFailed.Bind(1, id).Bind(2, error).Step();
        }
        KeepLastError(error);
        transaction.Commit();
    });
}

void SqliteOutbox::MarkRejected(std::int64_t id, const std::string& reply) {
    AsOutboxError([&] {
        Transaction transaction(m_db, Transaction::Kind::Write);
        {
            ResetOnExit reset(m_markRejected);
            m_markRejected.Bind(1, id).Bind(2, reply).Step();
        }
        if (m_db.Changes() == 1) {
            AddToCount(ShareState::Waiting, -1);
            AddToCount(ShareState::Rejected, 1);
        }
        KeepLastError(reply);
        transaction.Commit();
    });
}

std::vector<std::int64_t> SqliteOutbox::DropExpired(std::int64_t nowMs, std::int64_t maxAgeMs,
                                                    std::int64_t keepMs) {
    return AsOutboxError([&] {
        Transaction transaction(m_db, Transaction::Kind::Write);
        std::vector<std::int64_t> dropped;
        {
            ResetOnExit reset(m_expiredTimes);
            m_expiredTimes.Bind(1, nowMs - maxAgeMs);
            while (m_expiredTimes.Step())
                dropped.push_back(m_expiredTimes.Int64(0));
        }
        Forget(ShareState::Waiting, nowMs - maxAgeMs);
        Forget(ShareState::Sent, nowMs - keepMs);
        Forget(ShareState::Rejected, nowMs - keepMs);
        transaction.Commit();
        return dropped;
    });
}

// Deletes the frames of a state put before a time; returns how many.
std::int64_t SqliteOutbox::Forget(ShareState state, std::int64_t putBeforeMs) {
    {
        ResetOnExit reset(m_forget);
        m_forget.Bind(1, static_cast<std::int64_t>(state)).Bind(2, putBeforeMs).Step();
    }
    const std::int64_t forgotten = m_db.Changes();
    AddToCount(state, -forgotten);
    return forgotten;
}

void SqliteOutbox::Rest() {
    AsOutboxError([&] { m_db.Execute("PRAGMA wal_checkpoint(PASSIVE)"); });
}

OutboxCounts SqliteOutbox::Counts() {
    return AsOutboxError([&] {
        Transaction transaction(m_db, Transaction::Kind::Read);
        OutboxCounts counts;
        {
            ResetOnExit reset(m_counts);
            while (m_counts.Step()) {
                const std::int64_t frames = m_counts.Int64(1);
                switch (static_cast<ShareState>(m_counts.Int64(0))) {
                    case ShareState::Waiting:
                        counts.waiting = frames;
                        break;
                    case ShareState::Sent:
                        counts.sent = frames;
                        break;
                    case ShareState::Rejected:
                        counts.rejected = frames;
                        break;
                }
            }
        }
        {
            ResetOnExit reset(m_lastError);
            if (m_lastError.Step())
                counts.lastError = m_lastError.Text(0);
        }
        transaction.Commit();
        return counts;
    });
}

void SqliteOutbox::AddToCount(ShareState state, std::int64_t frames) {
    if (frames == 0)
        return;
    ResetOnExit reset(m_addToCount);
    m_addToCount.Bind(1, static_cast<std::int64_t>(state)).Bind(2, frames).Step();
}

// The last failure stays in the file, so that share-status shows it after a restart.
void SqliteOutbox::KeepLastError(const std::string& text) {
    ResetOnExit reset(m_keepError);
    m_keepError.Bind(1, text).Step();
}

}  // namespace
}  // namespace sqlite

std::unique_ptr<Outbox> OpenSqliteOutbox(const std::string& path) {
    return sqlite::AsOutboxError(
        [&]() -> std::unique_ptr<Outbox> { return std::make_unique<sqlite::SqliteOutbox>(path); });
}

}  // namespace quorbel
