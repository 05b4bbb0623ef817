// Benchmark of the SQLite archive on a SatNOGS export (satnogs-gen OUT.csv 1000000 --full-length):
//   bench_archive import EXPORT.csv ARCHIVE.sqlite   Write in batches of 5,000 receptions, the
//                                                   time of the writes alone, and the file's size
//                                                   against the frames' raw bytes
//   bench_archive beacons COUNT ARCHIVE.sqlite        COUNT beacons of changing values, one a
//                                                   second, for a query over that many records
//   bench_archive query ARCHIVE.sqlite [FIELD [BUCKETS]]   QueryField over the whole extent, from
//                                                   opening the file on (run it in a fresh process
//                                                   with the file in the page cache)
// The export is read and its lines parsed before the clock starts: reading is not the archive's.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "archive/archive_writer.hpp"
#include "common/text.hpp"
#include "sample_frames.hpp"
#include "shell/commands/archive_commands.hpp"
#include "sqlite_archive.hpp"

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Processor time of this process, user and system: on a machine shared with other work, the wall
// time also holds the time others had the processor.
double ProcessorSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Lines "time|frame hex|observation|station".
std::vector<quorbel::Reception> ReadExport(const std::string& path, std::int64_t& rawBytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    std::vector<quorbel::Reception> receptions;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const std::size_t hexEnd = line.find('|', 20);
        if (line.size() <= 20 || hexEnd == std::string::npos)
            continue;
        quorbel::Reception reception;
        reception.rxTimeText = line.substr(0, 19);
        reception.rxTimeMs = quorbel::ReceiveTimeMs(reception.rxTimeText).value_or(0);
        for (std::size_t i = 20; i + 1 < hexEnd; i += 2)
            reception.bytes.push_back(static_cast<std::uint8_t>(
                quorbel::HexDigitValue(line[i]) * 16 + quorbel::HexDigitValue(line[i + 1])));
        const std::size_t stationStart = line.find('|', hexEnd + 1);
        if (stationStart != std::string::npos)
            reception.station = line.substr(stationStart + 1);
        reception.source = quorbel::ReceptionSource::Export;
        reception.sourceFile = path;
        rawBytes += static_cast<std::int64_t>(reception.bytes.size());
        receptions.push_back(std::move(reception));
    }
    return receptions;
}

std::int64_t FileBytes(const std::string& path) {
    std::int64_t total = 0;
    for (const char* suffix : {"", "-wal"}) {
        std::error_code error;
        const auto size = std::filesystem::file_size(path + suffix, error);
        if (!error)
            total += static_cast<std::int64_t>(size);
    }
    return total;
}

int Import(const std::string& exportPath, const std::string& archivePath) {
    std::int64_t rawBytes = 0;
    const auto receptions = ReadExport(exportPath, rawBytes);
    auto archive = quorbel::OpenSqliteArchive(archivePath);
    const std::size_t batchSize = quorbel::ArchiveWriter::kBatchSize;
    quorbel::WriteCount total;
    const auto start = Clock::now();
    const double processorStart = ProcessorSeconds();
    for (std::size_t at = 0; at < receptions.size(); at += batchSize) {
        const std::size_t size = std::min(batchSize, receptions.size() - at);
        const quorbel::WriteCount count = archive->Write(std::span(receptions).subspan(at, size));
        total.newFrames += count.newFrames;
        total.newReceptions += count.newReceptions;
    }
    const double seconds = SecondsSince(start);
    const double processor = ProcessorSeconds() - processorStart;
    archive.reset();  // closing checkpoints the WAL into the file
    const std::int64_t fileBytes = FileBytes(archivePath);
    std::printf("receptions: %zu (%lld new frames, %lld new receptions), raw frame bytes %.1f MB\n",
                receptions.size(), static_cast<long long>(total.newFrames),
                static_cast<long long>(total.newReceptions), static_cast<double>(rawBytes) / 1e6);
    std::printf("write: %.3f s in batches of %zu (%.0f receptions/s), processor time %.3f s\n",
                seconds, batchSize, static_cast<double>(receptions.size()) / seconds, processor);
    std::printf("archive: %.1f MB, %.2f x the raw frame bytes\n",
                static_cast<double>(fileBytes) / 1e6,
                static_cast<double>(fileBytes) / static_cast<double>(rawBytes));
    return 0;
}

int WriteBeacons(long count, const std::string& archivePath) {
    auto archive = quorbel::OpenSqliteArchive(archivePath);
    std::vector<quorbel::Reception> batch;
    const auto start = Clock::now();
    for (long i = 0; i < count; ++i) {
        quorbel::samples::FieldValues values{};
        for (std::size_t f = 0; f < 67; ++f)
            values[f] = static_cast<double>((i * 7 + static_cast<long>(f) * 13) % 200);
        quorbel::Reception reception;
        reception.bytes =
            quorbel::samples::MakeBeacon(22, values, static_cast<std::uint16_t>(i & 0xFFFF));
        reception.rxTimeMs = 1'700'000'000'000 + i * 1000;
        reception.rxTimeText = quorbel::samples::UtcStampText(reception.rxTimeMs).substr(0, 19);
        batch.push_back(std::move(reception));
        if (batch.size() == quorbel::ArchiveWriter::kBatchSize || i + 1 == count) {
            archive->Write(batch);
            batch.clear();
        }
    }
    std::printf("%ld beacons written (and made) in %.3f s\n", count, SecondsSince(start));
    return 0;
}

int Query(const std::string& archivePath, int field, int buckets) {
    const auto start = Clock::now();
    const double processorStart = ProcessorSeconds();
    auto archive = quorbel::OpenSqliteArchive(archivePath);
    const auto extent = archive->Extent();
    if (!extent)
        throw std::runtime_error(archivePath + " holds no frames");
    const quorbel::FieldSeries series = archive->QueryField(field, *extent, buckets);
    const double first = SecondsSince(start);
    const double processor = ProcessorSeconds() - processorStart;
    std::int64_t records = static_cast<std::int64_t>(series.points.size());
    for (const quorbel::FieldBucket& bucket : series.buckets)
        records += bucket.count;
    const auto again = Clock::now();
    archive->QueryField(field, *extent, buckets);
    std::printf("query field %d into %d buckets: %lld records in %zu buckets\n", field, buckets,
                static_cast<long long>(records), series.buckets.size());
    std::printf("open and query: %.4f s (processor time %.4f s); the same query again: %.4f s\n",
                first, processor, SecondsSince(again));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        const std::string command = argc > 1 ? argv[1] : "";
        if (command == "import" && argc == 4)
            return Import(argv[2], argv[3]);
        if (command == "beacons" && argc == 4)
            return WriteBeacons(std::atol(argv[2]), argv[3]);
        if (command == "query" && argc >= 3)
            return Query(argv[2], argc > 3 ? std::atoi(argv[3]) : 5,
                         argc > 4 ? std::atoi(argv[4]) : 2000);
        std::fprintf(stderr,
                     "usage: bench_archive import EXPORT.csv ARCHIVE.sqlite\n"
                     "       bench_archive beacons COUNT ARCHIVE.sqlite\n"
                     "       bench_archive query ARCHIVE.sqlite [FIELD [BUCKETS]]\n");
        return 2;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "bench_archive: %s\n", error.what());
        return 1;
    }
}
