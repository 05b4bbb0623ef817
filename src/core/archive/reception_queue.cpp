#include "archive/reception_queue.hpp"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <utility>

namespace quorbel {
namespace {

// A record: its length (4 bytes, little end first), then the receive time (8 bytes), the source
// (1 byte) and four texts, each its length (4 bytes) and its bytes: the frame, the receive time
// as written, the station and the source file.
constexpr std::size_t kLengthBytes = 4;
// No record comes near this: a longer length is a damaged file, not a record.
constexpr std::uint32_t kLongestRecord = 16u << 20;

void PutU32(std::string& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}
void PutText(std::string& out, std::string_view text) {
    PutU32(out, static_cast<std::uint32_t>(text.size()));
    out.append(text);
}

class RecordReader {
  public:
    explicit RecordReader(std::string_view bytes) : m_bytes(bytes) {}
    bool U32(std::uint32_t& value) {
        if (m_bytes.size() < 4)
            return false;
        value = 0;
        for (int i = 0; i < 4; ++i)
            value |= std::uint32_t{static_cast<unsigned char>(m_bytes[static_cast<std::size_t>(i)])}
                     << (8 * i);
        m_bytes.remove_prefix(4);
        return true;
    }
    bool Text(std::string& text) {
        std::uint32_t length = 0;
        if (!U32(length) || m_bytes.size() < length)
            return false;
        text.assign(m_bytes.substr(0, length));
        m_bytes.remove_prefix(length);
        return true;
    }
    std::string_view Rest() const { return m_bytes; }

  private:
    std::string_view m_bytes;
};

std::uint32_t LengthAt(const std::string& file, std::uint64_t offset) {
    std::uint32_t length = 0;
    for (std::size_t i = 0; i < kLengthBytes; ++i)
        length |= std::uint32_t{static_cast<unsigned char>(file[offset + i])} << (8 * i);
    return length;
}

}  // namespace

std::string EncodeQueuedReception(const Reception& reception) {
    std::string payload;
    const auto time = static_cast<std::uint64_t>(reception.rxTimeMs);
    PutU32(payload, static_cast<std::uint32_t>(time & 0xFFFFFFFFu));
    PutU32(payload, static_cast<std::uint32_t>(time >> 32));
    payload.push_back(static_cast<char>(reception.source));
    PutText(payload, std::string_view(reinterpret_cast<const char*>(reception.bytes.data()),
                                      reception.bytes.size()));
    PutText(payload, reception.rxTimeText);
    PutText(payload, reception.station);
    PutText(payload, reception.sourceFile);
    std::string record;
    PutU32(record, static_cast<std::uint32_t>(payload.size()));
    return record + payload;
}

std::optional<Reception> DecodeQueuedReception(std::string_view record) {
    RecordReader reader(record);
    std::uint32_t length = 0;
    if (!reader.U32(length) || length != reader.Rest().size())
        return std::nullopt;
    std::uint32_t low = 0;
    std::uint32_t high = 0;
    if (!reader.U32(low) || !reader.U32(high) || reader.Rest().empty())
        return std::nullopt;
    Reception reception;
    reception.rxTimeMs = static_cast<std::int64_t>((std::uint64_t{high} << 32) | low);
    const auto source = static_cast<unsigned char>(reader.Rest()[0]);
    if (source > static_cast<unsigned char>(ReceptionSource::Export))
        return std::nullopt;
    reception.source = static_cast<ReceptionSource>(source);
    reader = RecordReader(reader.Rest().substr(1));
    std::string bytes;
    if (!reader.Text(bytes) || !reader.Text(reception.rxTimeText) ||
        !reader.Text(reception.station) || !reader.Text(reception.sourceFile) ||
        !reader.Rest().empty())
        return std::nullopt;
    reception.bytes.assign(bytes.begin(), bytes.end());
    return reception;
}

ReceptionQueue::ReceptionQueue(std::string path, std::int64_t maxReceptions)
    : m_path(std::move(path)), m_max(maxReceptions) {
    // Receptions left waiting by an earlier run count from the start.
    std::uint64_t offset = 0;
    for (;;) {
        Slice slice = Read(offset, 10'000);
        if (slice.receptions.empty())
            break;
        m_waiting += static_cast<std::int64_t>(slice.receptions.size());
        offset = slice.nextOffset;
    }
    // A record cut short by a kill in the middle of an append is taken off, so that the records
    // appended after it can be read.
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(m_path, error);
    if (!error && size > offset) {
        std::filesystem::resize_file(m_path, offset, error);
        if (error)
            throw ArchiveError("the archive's queue " + m_path +
                               " could not be repaired: " + error.message());
    }
}

std::size_t ReceptionQueue::Append(std::span<const Reception> receptions) {
    std::size_t taken = 0;
    bool whole = true;
    for (const Reception& reception : receptions) {
        if (m_waiting + static_cast<std::int64_t>(taken) >= m_max) {
            ++m_refused;
            continue;
        }
        if (!m_file.Append(m_path, EncodeQueuedReception(reception))) {
            whole = false;
            break;
        }
        ++taken;
    }
    const int appendError = m_file.Error();
    if (!m_file.FlushToDisk()) {
        taken = 0;  // the records of this call were taken back from the file
        whole = false;
    }
    m_waiting += static_cast<std::int64_t>(taken);
    if (!whole) {
        const int error = m_file.Error() != 0 ? m_file.Error() : appendError;
        throw ArchiveError("the archive's queue " + m_path + " could not be written" +
                           (error != 0 ? std::string(": ") + std::strerror(error) : std::string()));
    }
    return taken;
}

ReceptionQueue::Slice ReceptionQueue::Read(std::uint64_t offset, std::size_t count) const {
    Slice slice;
    slice.nextOffset = offset;
    std::error_code missing;
    if (!std::filesystem::exists(m_path, missing))
        return slice;
    std::ifstream file(m_path, std::ios::binary);
    if (!file || !file.seekg(static_cast<std::streamoff>(offset)))
        throw ArchiveError("the archive's queue " + m_path + " cannot be read");
    std::string record;
    while (slice.receptions.size() < count) {
        record.resize(kLengthBytes);
        if (!file.read(record.data(), kLengthBytes))
            break;
        const std::uint32_t length = LengthAt(record, 0);
        if (length > kLongestRecord)
            break;
        record.resize(kLengthBytes + length);
        if (!file.read(record.data() + kLengthBytes, length))
            break;
        std::optional<Reception> reception = DecodeQueuedReception(record);
        if (!reception)
            break;
        slice.receptions.push_back(std::move(*reception));
        slice.nextOffset += kLengthBytes + length;
    }
    return slice;
}

void ReceptionQueue::Clear() {
    m_file.Close();
    std::error_code error;
    std::filesystem::remove(m_path, error);
    if (error && std::filesystem::exists(m_path))
        throw ArchiveError("the archive's queue " + m_path +
                           " could not be emptied: " + error.message());
    m_waiting = 0;
}

}  // namespace quorbel
