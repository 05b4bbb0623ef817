#include "archive_open.hpp"

#include "archive/archive_location.hpp"
#include "archive/queueing_archive.hpp"
#include "postgres_archive.hpp"
#include "sqlite_archive.hpp"

namespace quorbel {

std::unique_ptr<Archive> OpenArchiveAt(const std::string& location, const std::string& appDir) {
    if (!IsServerArchiveUrl(location))
        return OpenSqliteArchive(location);
    // The server is connected at the first write or read: one that is away now must not keep
    // the program from starting.
    return std::make_unique<QueueingArchive>(
        LocationWithoutPassword(location), [location] { return OpenPostgresArchive(location); },
        appDir + "/" + kArchiveQueueName);
}

}  // namespace quorbel
