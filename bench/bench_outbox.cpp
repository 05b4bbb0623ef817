// Benchmark of the SQLite outbox of shared frames with many frames waiting:
//   bench_outbox FRAMES OUTBOX.sqlite   fills a new outbox with FRAMES waiting frames of 250 bytes
//                                       (Puts of 100), then times what the sender and the status
//                                       strip call while they wait: Counts, Waiting of the next
//                                       three, a live Put of one frame, a mark, and DropExpired
//                                       with nothing to drop. The same counts taken by counting
//                                       the rows are timed beside, for the ratio.
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "sqlite_outbox.hpp"

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::int64_t kStartMs = 1'700'000'000'000;

std::vector<std::uint8_t> NumberedFrame(std::int64_t n) {
    std::vector<std::uint8_t> bytes(250, 0x5A);
    for (int k = 0; k < 8; ++k)
        bytes[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(n >> (8 * k));
    return bytes;
}

// The median time of one call, in microseconds, of `repeats` calls.
double MedianMicroseconds(int repeats, const std::function<void(int)>& call) {
    std::vector<double> times;
    for (int i = 0; i < repeats; ++i) {
        const auto start = Clock::now();
        call(i);
        times.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    std::nth_element(times.begin(), times.begin() + repeats / 2, times.end());
    return times[static_cast<std::size_t>(repeats / 2)];
}

void Fill(quorbel::Outbox& outbox, std::int64_t frames) {
    std::vector<std::vector<std::uint8_t>> bytes;
    std::vector<quorbel::OutboxPut> batch;
    for (std::int64_t first = 0; first < frames; first += 100) {
        bytes.clear();
        batch.clear();
        for (std::int64_t n = first; n < std::min(first + 100, frames); ++n)
            bytes.push_back(NumberedFrame(n));
        for (std::size_t k = 0; k < bytes.size(); ++k)
            batch.push_back({bytes[k], kStartMs + (first + static_cast<std::int64_t>(k)) * 100});
        outbox.Put(batch, kStartMs);
    }
}

// The counts by counting the rows of each state, as a status strip without kept counts would.
double CountingRows(const std::string& path, int repeats) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, "SELECT state, count(*) FROM shared_frame GROUP BY state", -1,
                       &statement, nullptr);
    const double micros = MedianMicroseconds(repeats, [&](int) {
        while (sqlite3_step(statement) == SQLITE_ROW) {
        }
        sqlite3_reset(statement);
    });
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return micros;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench_outbox FRAMES OUTBOX.sqlite\n");
        return 2;
    }
    try {
        const std::int64_t frames = std::atoll(argv[1]);
        const std::string path = argv[2];
        std::filesystem::remove(path);
        auto outbox = quorbel::OpenSqliteOutbox(path);
        const auto start = Clock::now();
        Fill(*outbox, frames);
        std::printf("put %lld frames: %.2f s\n", static_cast<long long>(frames),
                    std::chrono::duration<double>(Clock::now() - start).count());

        const double counts = MedianMicroseconds(1000, [&](int) { outbox->Counts(); });
        const double counted = CountingRows(path, 5);
        std::printf("Counts: %.1f us; counting the rows: %.0f us (%.0f times as long)\n", counts,
                    counted, counted / counts);
        const std::int64_t first = outbox->Waiting(1, {}).at(0).id;
        const std::int64_t inFlight[] = {first, first + 1, first + 2};
        std::printf("Waiting(3) past 3 in flight: %.1f us\n",
                    MedianMicroseconds(1000, [&](int) { outbox->Waiting(3, inFlight); }));
        std::printf("Put of one live frame: %.1f us\n", MedianMicroseconds(1000, [&](int i) {
                        const auto bytes = NumberedFrame(frames + i);
                        const quorbel::OutboxPut put{bytes, kStartMs + (frames + i) * 100};
                        outbox->Put({&put, 1}, kStartMs);
                    }));
        std::printf("MarkSent: %.1f us\n",
                    MedianMicroseconds(1000, [&](int i) { outbox->MarkSent(first + i); }));
        std::printf("DropExpired, nothing to drop: %.1f us\n", MedianMicroseconds(100, [&](int) {
                        outbox->DropExpired(kStartMs + 1000, 7 * 86'400'000LL, 30 * 86'400'000LL);
                    }));
        std::printf("file: %.1f MB\n", static_cast<double>(std::filesystem::file_size(path)) / 1e6);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "bench_outbox: %s\n", error.what());
        return 1;
    }
    return 0;
}
