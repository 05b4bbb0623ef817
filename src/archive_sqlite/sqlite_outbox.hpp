// The outbox of shared frames in an SQLite file of its own (outbox.sqlite in the application
// folder), apart from the archive: a live frame never waits behind an import's transaction, and
// the archive may be off or on a server while frames are shared.
#pragma once

#include <memory>
#include <string>

#include "share/outbox.hpp"

namespace quorbel {

// The schema this program writes and reads; files of a higher one are refused untouched.
inline constexpr int kSqliteOutboxSchema = 1;

// Opens the outbox at `path`, making the file and its tables when absent. Throws OutboxError
// naming the path when the file cannot be opened or made, cannot be written, is no outbox, or was
// written by a newer version of this program.
std::unique_ptr<Outbox> OpenSqliteOutbox(const std::string& path);

}  // namespace quorbel
