// The mission archive: every frame ever received, from every source, with each of its receptions.
// The raw frame bytes are the truth; what their decoders give is kept beside them for fast
// queries and can be built again from the bytes. The core defines what an archive does; the
// storage behind it (an SQLite file, a database server) is an adapter outside the core.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "intake/dispatch.hpp"

namespace quorbel {

// The same bytes received again within this time of the frame's first reception (several
// stations, a capture also read from an export) are the same frame; later, a new transmission.
inline constexpr std::int64_t kSameFrameWindowMs = 10 * 60 * 1000;

// True when a reception at rxMs may join the stored frame of its bytes first received at firstMs,
// and that frame lies nearer than the nearest found before (first received at nearestMs; none:
// no other found yet). Every storage picks a reception's frame by this one rule.
constexpr bool JoinsNearer(std::int64_t firstMs, std::int64_t rxMs,
                           std::optional<std::int64_t> nearestMs) {
    const std::int64_t apart = firstMs > rxMs ? firstMs - rxMs : rxMs - firstMs;
    if (apart > kSameFrameWindowMs)
        return false;
    return !nearestMs || apart < (*nearestMs > rxMs ? *nearestMs - rxMs : rxMs - *nearestMs);
}

// What the decoders make of a frame's bytes alone: its kind, satellite and contents.
struct ArchiveDecode {
    FrameKind kind = FrameKind::None;
    int spacecraftId = 0;
    std::string satellite;       // the satellite's name as the record view shows it
    int firstField = 0;          // beacon, sensor: the values of fields firstField, firstField+1...
    std::vector<double> values;  // only the fields decoded
    std::string text;            // text and digipeated messages: the message log's line
    int imageId = -1;            // SSDV packets
    int packetId = -1;
};
// Decodes one frame on its own (a fresh frame buffer, the hexadecimal text made from the bytes):
// a pure function of the bytes and the receive time text.
ArchiveDecode DecodeForArchive(std::span<const std::uint8_t> bytes, const std::string& rxTimeText);
// The same into `result`, whose room is used again.
void DecodeForArchive(std::span<const std::uint8_t> bytes, const std::string& rxTimeText,
                      ArchiveDecode& result);

// Where a reception came from.
enum class ReceptionSource { Live = 0, CaptureFile = 1, Export = 2 };
// "live", "capture", "export".
const char* ReceptionSourceName(ReceptionSource source);

// One reception of a frame, as a reader or the live client hands it to the archive. The archive
// decodes the bytes itself (DecodeForArchive), so handing a frame on costs the caller no decoding.
struct Reception {
    std::vector<std::uint8_t> bytes;  // the frame as dispatched: unescaped, no KISS command byte
    std::int64_t rxTimeMs = 0;        // UTC milliseconds since 1970
    std::string rxTimeText;           // the receive time as the source wrote it
    std::string station;              // SatNOGS station, or STATION of conf.ini; may be empty
    ReceptionSource source = ReceptionSource::Live;
    std::string sourceFile;  // the capture file or export; empty for the live client
    // FrameDigest and DecodeForArchive of the bytes, when the caller has made them already
    // (PrepareForArchive): an import makes them on its reading thread, which has time to spare,
    // so that the writer's thread only stores. Empty, the archive makes them itself.
    std::optional<std::int64_t> digest;
    std::optional<ArchiveDecode> decode;
};

// Fills the reception's digest and decode from its bytes, for a caller that hands the archive
// many frames at once and has a thread of its own to spare.
void PrepareForArchive(Reception& reception);
// The reception's digest and decode: those prepared, else made now (into `made`).
std::int64_t DigestOf(const Reception& reception);
const ArchiveDecode& DecodeOf(const Reception& reception, ArchiveDecode& made);

// A half-open range of UTC milliseconds: from <= t < to.
struct TimeRange {
    std::int64_t fromMs = 0;
    std::int64_t toMs = 0;
};

// One stored frame as it is read back: its bytes and its first reception.
struct StoredFrame {
    std::int64_t id = 0;
    FrameKind kind = FrameKind::None;
    std::vector<std::uint8_t> bytes;
    std::int64_t firstRxTimeMs = 0;
    std::string firstRxTimeText;
    std::string station;  // of the first reception
    int receptions = 0;
};

// A field's values over a range: one point per record when there are no more than the buckets
// asked for, else the minimum, maximum and mean of every bucket of equal time width.
struct FieldPoint {
    std::int64_t timeMs = 0;
    double value = 0;
};
struct FieldBucket {
    std::int64_t startMs = 0;  // the bucket covers [startMs, startMs + width)
    double min = 0;
    double max = 0;
    double mean = 0;
    std::int64_t count = 0;
};
struct FieldSeries {
    int field = 0;
    TimeRange range;
    std::int64_t bucketWidthMs = 0;    // 0 when `points` holds every record
    std::vector<FieldPoint> points;    // in time order
    std::vector<FieldBucket> buckets;  // in time order; buckets without records are left out
};

struct StationCount {
    std::string station;  // empty: receptions without a station
    std::int64_t frames = 0;
};

struct KindCount {
    FrameKind kind = FrameKind::None;
    std::int64_t frames = 0;
    std::int64_t receptions = 0;
};

struct ArchiveStats {
    std::string location;  // what Describe() says
    std::vector<KindCount> kinds;
    std::optional<std::int64_t> firstRxTimeMs;
    std::optional<std::int64_t> lastRxTimeMs;
    std::vector<StationCount> stations;  // most frames first
    std::int64_t fileBytes = 0;          // 0 when the storage has no file
    int schemaVersion = 0;
    std::int64_t waiting = 0;  // receptions waiting on the disk for a server that is away
    std::string unreachable;   // why the server could not be asked: only `waiting` is known
};

// What one written batch added.
struct WriteCount {
    std::int64_t newFrames = 0;
    std::int64_t newReceptions = 0;  // receptions of frames already stored included
    // Receptions that wait on the disk for a server that is away, and why it is away: written
    // later, neither stored nor lost now.
    std::int64_t queued = 0;
    std::string notice;
};

// A failure of the storage: opening, writing or reading. The message names the archive and says
// what went wrong ("archive.sqlite is read-only", "disk full", "was written by a newer version").
class ArchiveError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// An archive. Writes come from one writer thread at a time per object; several processes may
// write the same archive at once. Every call may throw ArchiveError.
class Archive {
  public:
    virtual ~Archive() = default;

    // Where the archive lies, as the Info page and --help name it.
    virtual std::string Describe() const = 0;

    // Stores a batch of receptions in one transaction: a reception of bytes stored within
    // kSameFrameWindowMs of that frame's first reception joins it (a reception of the same
    // station, time and source file already stored adds nothing, so a file imported twice adds
    // nothing); other bytes become a new frame.
    virtual WriteCount Write(std::span<const Reception> batch) = 0;

    // Every frame whose first reception lies in the range, in order of that time (then of
    // storing); `visit` returns false to stop.
    virtual void ReadFrames(const TimeRange& range,
                            const std::function<bool(const StoredFrame&)>& visit) = 0;

    // The frames of each kind whose first reception lies in the range. This reading counts
    // them one by one; a storage that can count without reading the bytes does so.
    virtual std::map<FrameKind, std::int64_t> CountFrames(const TimeRange& range) {
        std::map<FrameKind, std::int64_t> counts;
        ReadFrames(range, [&counts](const StoredFrame& frame) {
            ++counts[frame.kind];
            return true;
        });
        return counts;
    }

    // Field 0..66 (beacons) or 70..106 (sensor frames) over the range: points when there are
    // at most `buckets` records, else `buckets` buckets of equal width.
    virtual FieldSeries QueryField(int field, const TimeRange& range, int buckets) = 0;

    // The stations that received frames in the range, most frames first.
    virtual std::vector<StationCount> Stations(const TimeRange& range) = 0;

    // The first and the last receive time held, as the range that holds them all: fromMs the
    // first, toMs one past the last; none when the archive is empty.
    virtual std::optional<TimeRange> Extent() = 0;

    virtual ArchiveStats Stats() = 0;

    // Receptions waiting on the disk to be written (a server's archive while it is away).
    virtual std::int64_t Waiting() const { return 0; }

    // Many batches follow one another (true: an import) or that has ended (false). Meanwhile the
    // storage may put off upkeep that makes a batch wait (an SQLite file copies its log into the
    // database less often); at the end it does that upkeep once. Committed batches stay as safe
    // as ever.
    virtual void WriteInBulk(bool bulk) { static_cast<void>(bulk); }

    // Decodes every stored frame again from its bytes (DecodeForArchive) and replaces what was
    // kept beside them; `progress` gets frames done and frames in all.
    virtual void Rebuild(const std::function<void(std::int64_t, std::int64_t)>& progress) = 0;
};

}  // namespace quorbel
