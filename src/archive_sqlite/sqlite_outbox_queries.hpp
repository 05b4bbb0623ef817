// The outbox's queries whose speed rests on an index, named so that a test can check the plan
// SQLite makes of them on a real file.
#pragma once

namespace quorbel::sqlite {

// The next waiting frames, read in order from the partial index that holds the waiting frames
// alone. Named, because without statistics SQLite would take the index by state and put time and
// sort every waiting frame at each call: with a million waiting, a second per call instead of
// microseconds.
inline constexpr const char* kOutboxWaitingSql =
    "SELECT id, bytes, rx_ms, attempts FROM shared_frame INDEXED BY shared_frame_waiting "
    "WHERE state = 0 ORDER BY rx_ms, id LIMIT ?1";

// The frames of the same digest received near a time.
inline constexpr const char* kOutboxSameFramesSql =
    "SELECT bytes FROM shared_frame WHERE digest = ?1 AND rx_ms BETWEEN ?2 AND ?3";

// The receive times of the waiting frames put before a time, found by put time: only those are
// sorted.
inline constexpr const char* kOutboxExpiredSql =
    "SELECT rx_ms FROM shared_frame WHERE state = 0 AND put_ms < ?1 ORDER BY rx_ms";

// The frames of a state put before a time.
inline constexpr const char* kOutboxForgetSql =
    "DELETE FROM shared_frame WHERE state = ?1 AND put_ms < ?2";

}  // namespace quorbel::sqlite
