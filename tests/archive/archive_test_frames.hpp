// Receptions for the archive tests: frames of every kind from the sample builders, beacons and
// sensor frames with random contents, and a direct look into the file with SQLite itself.
#pragma once

#include <sqlite3.h>

#include <random>
#include <string>
#include <vector>

#include "archive/archive.hpp"
#include "sample_frames.hpp"

namespace quorbel::testing {

inline constexpr std::int64_t kStartMs = 1'700'000'000'000;

inline Reception MakeReception(std::vector<std::uint8_t> bytes, std::int64_t rxTimeMs,
                               std::string station = "DL0ABC",
                               ReceptionSource source = ReceptionSource::Export,
                               std::string sourceFile = "export.csv") {
    Reception reception;
    reception.bytes = std::move(bytes);
    reception.rxTimeMs = rxTimeMs;
    reception.rxTimeText = samples::UtcStampText(rxTimeMs).substr(0, 19);
    reception.station = std::move(station);
    reception.source = source;
    reception.sourceFile = std::move(sourceFile);
    return reception;
}

// A beacon (even seeds) or sensor frame (odd seeds) of random packet data: whatever its fields
// read, the archive must give back what DecodeForArchive makes of it.
inline std::vector<std::uint8_t> RandomValueFrame(std::uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<std::uint8_t> data(211);
    for (auto& byte : data)
        byte = static_cast<std::uint8_t>(random());
    return samples::MakeFrame(22, seed % 2 == 0 ? kApidBeacon : kApidSensor, data,
                              static_cast<std::uint16_t>(seed));
}

// The one text a query gives, or "" (e.g. PRAGMA integrity_check).
inline std::string QueryText(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    std::string text;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) ==
        SQLITE_OK) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK &&
            sqlite3_step(statement) == SQLITE_ROW && sqlite3_column_text(statement, 0))
            text = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
        sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    return text;
}

}  // namespace quorbel::testing
