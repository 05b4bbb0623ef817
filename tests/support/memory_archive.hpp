// An archive held in memory for the core's tests: every reception kept as it came, frames joined
// by their bytes within kSameFrameWindowMs, and writes that fail on demand. The test keeps a
// handle on its contents while the writer owns the archive.
#pragma once

#include <algorithm>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "archive/archive.hpp"
#include "intake/dispatch.hpp"

namespace quorbel::testing {

struct MemoryArchiveContents {
    std::mutex mutex;
    std::vector<Reception> receptions;  // every reception written, in order
    std::vector<StoredFrame> frames;    // in order of storing
    bool failWrites = false;            // every write throws ArchiveError("disk full")
    int writes = 0;
};

// An archive that only takes writes, for tests of what sends it batches: it reads back nothing.
class WriteOnlyArchive : public Archive {
  public:
    void ReadFrames(const TimeRange&, const std::function<bool(const StoredFrame&)>&) override {}
    FieldSeries QueryField(int, const TimeRange&, int) override { return {}; }
    std::vector<StationCount> Stations(const TimeRange&) override { return {}; }
    std::optional<TimeRange> Extent() override { return std::nullopt; }
    ArchiveStats Stats() override { return {}; }
    void Rebuild(const std::function<void(std::int64_t, std::int64_t)>&) override {}
};

class MemoryArchive : public Archive {
  public:
    explicit MemoryArchive(std::shared_ptr<MemoryArchiveContents> contents)
        : m_contents(std::move(contents)) {}

    std::string Describe() const override { return "memory"; }

    WriteCount Write(std::span<const Reception> batch) override {
        std::lock_guard lock(m_contents->mutex);
        ++m_contents->writes;
        if (m_contents->failWrites)
            throw ArchiveError("memory archive: disk full");
        WriteCount count;
        for (const Reception& reception : batch) {
            m_contents->receptions.push_back(reception);
            ++count.newReceptions;
            auto& frames = m_contents->frames;
            const auto same = std::find_if(frames.begin(), frames.end(), [&](const StoredFrame& f) {
                return f.bytes == reception.bytes &&
                       std::abs(reception.rxTimeMs - f.firstRxTimeMs) < kSameFrameWindowMs;
            });
            if (same != frames.end()) {
                ++same->receptions;
                continue;
            }
            FrameState state;
            const FrameKind kind = DispatchFrame(state, reception.bytes).kind;
            frames.push_back({static_cast<std::int64_t>(frames.size() + 1), kind, reception.bytes,
                              reception.rxTimeMs, reception.rxTimeText, reception.station, 1});
            ++count.newFrames;
        }
        return count;
    }

    void ReadFrames(const TimeRange& range,
                    const std::function<bool(const StoredFrame&)>& visit) override {
        std::vector<StoredFrame> frames = m_contents->frames;
        std::stable_sort(frames.begin(), frames.end(), [](const auto& a, const auto& b) {
            return a.firstRxTimeMs < b.firstRxTimeMs;
        });
        for (const StoredFrame& frame : frames) {
            if (frame.firstRxTimeMs >= range.fromMs && frame.firstRxTimeMs < range.toMs &&
                !visit(frame))
                return;
        }
    }

    FieldSeries QueryField(int, const TimeRange&, int) override {
        throw ArchiveError("memory archive: no field queries");
    }
    std::vector<StationCount> Stations(const TimeRange&) override { return {}; }

    std::optional<TimeRange> Extent() override {
        if (m_contents->frames.empty())
            return std::nullopt;
        const auto [first, last] = std::minmax_element(
            m_contents->frames.begin(), m_contents->frames.end(),
            [](const auto& a, const auto& b) { return a.firstRxTimeMs < b.firstRxTimeMs; });
        return TimeRange{first->firstRxTimeMs, last->firstRxTimeMs + 1};
    }

    ArchiveStats Stats() override {
        ArchiveStats stats;
        stats.location = Describe();
        for (const StoredFrame& frame : m_contents->frames) {
            auto kind = std::find_if(stats.kinds.begin(), stats.kinds.end(),
                                     [&](const KindCount& k) { return k.kind == frame.kind; });
            if (kind == stats.kinds.end())
                kind = stats.kinds.insert(stats.kinds.end(), KindCount{frame.kind, 0, 0});
            ++kind->frames;
            kind->receptions += frame.receptions;
        }
        return stats;
    }

    void Rebuild(const std::function<void(std::int64_t, std::int64_t)>&) override {}

  private:
    std::shared_ptr<MemoryArchiveContents> m_contents;
};

}  // namespace quorbel::testing
