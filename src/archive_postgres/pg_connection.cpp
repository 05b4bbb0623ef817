#include "pg_connection.hpp"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstring>
#include <limits>

#include "archive/archive_location.hpp"
#include "archive/queueing_archive.hpp"
#include "common/text.hpp"

namespace quorbel::postgres {
namespace {

// libpq's messages end in a line break and may run over several lines: one line for the user.
std::string OneLine(const char* message) {
    std::string text;
    for (const char* c = message != nullptr ? message : ""; *c != '\0'; ++c) {
        const bool space = *c == ' ' || *c == '\n' || *c == '\t' || *c == '\r';
        if (space && (text.empty() || text.back() == ' '))
            continue;
        text += space ? ' ' : *c;
    }
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

// Connects with the URL's own settings; a server that does not answer is given up after 10 s
// unless the URL says otherwise (libpq alone would wait as long as the system does).
PGconn* ConnectTo(const std::string& url) {
    const char* keywords[] = {"connect_timeout", "application_name", "dbname", nullptr};
    const char* values[] = {"10", "quorbel", url.c_str(), nullptr};
    return PQconnectdbParams(keywords, values, 1);
}

}  // namespace

std::int64_t Result::Int64(int row, int column) const {
    const std::string_view text = Text(row, column);
    std::int64_t value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

namespace {

// Reads a binary value's big-endian numbers, checking every read against its length.
class BinaryValue {
  public:
    BinaryValue(const char* data, int length)
        : m_data(reinterpret_cast<const std::uint8_t*>(data)),
          m_size(static_cast<std::size_t>(std::max(length, 0))) {}
    std::uint64_t Read(std::size_t bytes) {
        if (m_at + bytes > m_size)
            throw ArchiveError("the server sent a value shorter than its type");
        std::uint64_t value = 0;
        for (std::size_t i = 0; i < bytes; ++i)
            value = value << 8 | m_data[m_at++];
        return value;
    }
    std::int32_t Read32() { return static_cast<std::int32_t>(static_cast<std::uint32_t>(Read(4))); }
    // The element count of a one-dimensional array, after its header.
    std::size_t ArrayCount() {
        const std::int32_t dimensions = Read32();
        Read(8);  // NULL flag, element type
        if (dimensions == 0)
            return 0;
        if (dimensions != 1)
            throw ArchiveError("the server sent an array of " + std::to_string(dimensions) +
                               " dimensions where one was expected");
        const std::int32_t count = Read32();
        Read(4);  // the first index
        return static_cast<std::size_t>(std::max(count, 0));
    }

  private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_at = 0;
};

}  // namespace

std::int64_t Result::BinaryInt64(int row, int column) const {
    BinaryValue value(PQgetvalue(m_result.get(), row, column),
                      PQgetlength(m_result.get(), row, column));
    return static_cast<std::int64_t>(value.Read(8));
}

std::vector<std::int64_t> Result::BinaryInt64Array(int row, int column) const {
    BinaryValue value(PQgetvalue(m_result.get(), row, column),
                      PQgetlength(m_result.get(), row, column));
    std::vector<std::int64_t> values(value.ArrayCount());
    for (std::int64_t& element : values)
        element = value.Read32() < 0 ? 0 : static_cast<std::int64_t>(value.Read(8));
    return values;
}

void Result::BinaryDoubleArray(int row, int column, std::vector<double>& values,
                               std::vector<bool>& present) const {
    BinaryValue value(PQgetvalue(m_result.get(), row, column),
                      PQgetlength(m_result.get(), row, column));
    const std::size_t count = value.ArrayCount();
    values.assign(count, std::numeric_limits<double>::quiet_NaN());
    present.assign(count, false);
    for (std::size_t i = 0; i < count; ++i) {
        if (value.Read32() < 0)
            continue;
        values[i] = std::bit_cast<double>(value.Read(8));
        present[i] = true;
    }
}

double Result::Double(int row, int column) const {
    const std::string_view text = Text(row, column);
    double value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

std::vector<std::uint8_t> Result::Bytes(int row, int column) const {
    const std::string_view text = Text(row, column);
    std::vector<std::uint8_t> bytes;
    if (text.size() < 2 || text[0] != '\\' || text[1] != 'x')
        return bytes;
    bytes.reserve((text.size() - 2) / 2);
    for (std::size_t i = 2; i + 1 < text.size(); i += 2)
        bytes.push_back(
            static_cast<std::uint8_t>(HexDigitValue(text[i]) * 16 + HexDigitValue(text[i + 1])));
    return bytes;
}

std::int64_t Result::Affected() const {
    const char* text = PQcmdTuples(m_result.get());
    std::int64_t count = 0;
    if (text != nullptr)
        std::from_chars(text, text + std::char_traits<char>::length(text), count);
    return count;
}

Connection::Connection(const std::string& url)
    : m_location(LocationWithoutPassword(url)), m_connection(ConnectTo(url), &PQfinish) {
    if (!m_connection)
        throw ArchiveUnreachable("the archive server " + m_location + " cannot be reached");
    if (PQstatus(m_connection.get()) != CONNECTION_OK)
        throw ArchiveUnreachable("the archive server " + m_location + " cannot be reached: " +
                                 OneLine(PQerrorMessage(m_connection.get())));
    // Notices (a table that exists already) are not the user's business.
    PQsetNoticeProcessor(
        m_connection.get(), [](void*, const char*) {}, nullptr);
}

void Connection::Fail(const std::string& what, const char* message) const {
    if (Lost())
        throw ArchiveUnreachable("the archive server " + m_location +
                                 " cannot be reached: " + OneLine(message));
    throw ArchiveError("the archive server " + m_location + " refused " + what + ": " +
                       OneLine(message));
}

Result Connection::Execute(const std::string& sql, const Parameters& parameters) {
    return Run(sql, parameters, 0);
}

Result Connection::ExecuteBinary(const std::string& sql, const Parameters& parameters) {
    return Run(sql, parameters, 1);
}

Result Connection::Run(const std::string& sql, const Parameters& parameters, int resultFormat) {
    PGresult* raw = nullptr;
    if (parameters.empty() && resultFormat == 0) {
        raw = PQexec(m_connection.get(), sql.c_str());
    } else {
        std::vector<const char*> values;
        values.reserve(parameters.size());
        for (const auto& parameter : parameters)
            values.push_back(parameter ? parameter->c_str() : nullptr);
        raw = PQexecParams(m_connection.get(), sql.c_str(), static_cast<int>(values.size()),
                           nullptr, values.data(), nullptr, nullptr, resultFormat);
    }
    Result result(raw);
    const ExecStatusType status = PQresultStatus(raw);
    if (raw == nullptr || (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK))
        Fail("a statement",
             raw != nullptr ? PQresultErrorMessage(raw) : PQerrorMessage(m_connection.get()));
    return result;
}

void Connection::Copy(const std::string& target, const std::string& rows) {
    BeginCopy("COPY " + target + " FROM STDIN");
    constexpr std::size_t kPiece = 1 << 20;
    for (std::size_t at = 0; at < rows.size(); at += kPiece)
        PutCopyData(std::string_view(rows).substr(at, kPiece));
    EndCopy();
}

void Connection::BeginBinaryCopy(const std::string& target) {
    BeginCopy("COPY " + target + " FROM STDIN (FORMAT binary)");
}

void Connection::BeginCopy(const std::string& statement) {
    const Result start(PQexec(m_connection.get(), statement.c_str()));
    if (PQresultStatus(start.Raw()) != PGRES_COPY_IN)
        Fail("bulk rows", start.Raw() != nullptr ? PQresultErrorMessage(start.Raw())
                                                 : PQerrorMessage(m_connection.get()));
}

void Connection::PutCopyData(std::string_view data) {
    if (!data.empty() &&
        PQputCopyData(m_connection.get(), data.data(), static_cast<int>(data.size())) != 1)
        Fail("bulk rows", PQerrorMessage(m_connection.get()));
}

void Connection::EndCopy() {
    if (PQputCopyEnd(m_connection.get(), nullptr) != 1)
        Fail("bulk rows", PQerrorMessage(m_connection.get()));
    const Result end(PQgetResult(m_connection.get()));
    for (PGresult* more; (more = PQgetResult(m_connection.get())) != nullptr;)
        PQclear(more);
    if (PQresultStatus(end.Raw()) != PGRES_COMMAND_OK)
        Fail("bulk rows", end.Raw() != nullptr ? PQresultErrorMessage(end.Raw())
                                               : PQerrorMessage(m_connection.get()));
}

void Connection::AbandonCopy() {
    if (PQputCopyEnd(m_connection.get(), "the rows could not be made") != 1)
        return;
    for (PGresult* result; (result = PQgetResult(m_connection.get())) != nullptr;)
        PQclear(result);
}

void Connection::PutCopyRows(BinaryRows& rows, bool last) {
    PutCopyData(rows.Data(last));
    rows.Clear();
}

void Connection::CopyBinary(const std::string& target, BinaryRows& rows) {
    BeginBinaryCopy(target);
    PutCopyRows(rows, true);
    EndCopy();
}

BinaryRows::BinaryRows() {
    Restart();
}

void BinaryRows::Restart() {
    // The signature, no flags, no header extension.
    m_data.assign("PGCOPY\n\xFF\r\n\0", 11);
    Raw(0, 4);
    Raw(0, 4);
    m_rows = 0;
}

namespace {

// Writes the low `bytes` bytes of the value at `at`, most significant first, as the server reads
// them; gives the place after them.
char* PutBig(char* at, std::uint64_t value, int bytes) {
    std::uint64_t big = value << (8 * (8 - bytes));  // the wanted bytes at the top
    if constexpr (std::endian::native == std::endian::little)
        big = __builtin_bswap64(big);
    std::memcpy(at, &big, static_cast<std::size_t>(bytes));
    return at + bytes;
}

// True when every byte of the text is ASCII other than NUL; eight bytes at a time.
bool IsPlainAscii(std::string_view text) {
    constexpr std::uint64_t kOnes = 0x0101010101010101;
    constexpr std::uint64_t kHighs = 0x8080808080808080;
    std::size_t i = 0;
    for (; i + 8 <= text.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, text.data() + i, sizeof word);
        // A byte of 0x80 or more, or a zero byte (the borrow of subtracting 1 reaches its top).
        if ((word & kHighs) != 0 || ((word - kOnes) & ~word & kHighs) != 0)
            return false;
    }
    for (; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == 0 || c >= 0x80)
            return false;
    }
    return true;
}

}  // namespace

void BinaryRows::Raw(std::uint64_t value, int bytes) {
    char out[8];
    PutBig(out, value, bytes);
    m_data.append(out, static_cast<std::size_t>(bytes));
}

char* BinaryRows::Room(std::size_t bytes) {
    const std::size_t at = m_data.size();
    m_data.resize(at + bytes);
    return m_data.data() + at;
}

void BinaryRows::Row(int values) {
    Raw(static_cast<std::uint64_t>(values), 2);
    ++m_rows;
}

void BinaryRows::Int16(int value) {
    Raw(2, 4);
    Raw(static_cast<std::uint16_t>(value), 2);
}

void BinaryRows::Int32(std::int32_t value) {
    Raw(4, 4);
    Raw(static_cast<std::uint32_t>(value), 4);
}

void BinaryRows::Int64(std::int64_t value) {
    Raw(8, 4);
    Raw(static_cast<std::uint64_t>(value), 8);
}

void BinaryRows::Double(double value) {
    Raw(8, 4);
    Raw(std::bit_cast<std::uint64_t>(value), 8);
}

void BinaryRows::Null() {
    Raw(0xFFFFFFFF, 4);
}

void BinaryRows::Text(std::string_view text) {
    // Most texts (station names, paths, times) are plain ASCII, which the server takes as it is.
    if (IsPlainAscii(text)) {
        Raw(text.size(), 4);
        m_data += text;
        return;
    }
    const std::string server = ServerText(text);
    Raw(server.size(), 4);
    m_data += server;
}

void BinaryRows::Bytes(std::span<const std::uint8_t> bytes) {
    Raw(bytes.size(), 4);
    m_data.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

// Element types of the server's arrays (pg_type's oids of smallint, integer, bigint and
// double precision).
constexpr std::uint32_t kInt16Oid = 21;
constexpr std::uint32_t kInt32Oid = 23;
constexpr std::uint32_t kInt64Oid = 20;
constexpr std::uint32_t kDoubleOid = 701;

void BinaryRows::Int64Array(std::span<const std::int64_t> values) {
    const std::size_t elements = values.size() * 12;
    Raw(20 + elements, 4);
    Raw(1, 4);  // dimensions
    Raw(0, 4);  // no NULL
    Raw(kInt64Oid, 4);
    Raw(values.size(), 4);
    Raw(1, 4);  // the first index
    char* out = Room(elements);
    for (std::int64_t value : values) {
        out = PutBig(out, 8, 4);
        out = PutBig(out, static_cast<std::uint64_t>(value), 8);
    }
}

std::size_t BinaryRows::ArrayHeader(std::size_t count, const std::vector<bool>& present,
                                    std::uint32_t elementType, int elementBytes) {
    std::size_t nulls = 0;
    for (std::size_t i = 0; i < count; ++i)
        nulls += i < present.size() && present[i] ? 0 : 1;
    const std::size_t elements =
        count * 4 + (count - nulls) * static_cast<std::size_t>(elementBytes);
    Raw(20 + elements, 4);
    Raw(1, 4);  // dimensions
    Raw(nulls > 0 ? 1 : 0, 4);
    Raw(elementType, 4);
    Raw(count, 4);
    Raw(1, 4);  // the first index
    return elements;
}

void BinaryRows::DoubleArray(std::span<const double> values, const std::vector<bool>& present) {
    char* out = Room(ArrayHeader(values.size(), present, kDoubleOid, 8));
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i < present.size() && present[i]) {
            out = PutBig(out, 8, 4);
            out = PutBig(out, std::bit_cast<std::uint64_t>(values[i]), 8);
        } else {
            out = PutBig(out, 0xFFFFFFFF, 4);  // NULL
        }
    }
}

void BinaryRows::WholeArray(std::span<const double> values, const std::vector<bool>& present,
                            int bytes) {
    char* out =
        Room(ArrayHeader(values.size(), present, bytes == 2 ? kInt16Oid : kInt32Oid, bytes));
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i < present.size() && present[i]) {
            out = PutBig(out, static_cast<std::uint64_t>(bytes), 4);
            out = PutBig(out, static_cast<std::uint64_t>(static_cast<std::int64_t>(values[i])),
                         bytes);
        } else {
            out = PutBig(out, 0xFFFFFFFF, 4);  // NULL
        }
    }
}

std::string_view BinaryRows::Data(bool last) {
    if (last)
        Raw(0xFFFF, 2);
    return m_data;
}

// True when the text is well-formed UTF-8.
bool IsUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80           ? 1
                                   : (lead >> 5) == 0x6  ? 2
                                   : (lead >> 4) == 0xE  ? 3
                                   : (lead >> 3) == 0x1E ? 4
                                                         : 0;
        if (length == 0 || i + length > text.size())
            return false;
        for (std::size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) >> 6) != 0x2)
                return false;
        }
        i += length;
    }
    return true;
}

std::string BigintArrayText(std::span<const std::int64_t> values) {
    std::string text = "{";
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i > 0)
            text += ',';
        text += std::to_string(values[i]);
    }
    text += '}';
    return text;
}

std::string ServerText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    const bool utf8 = IsUtf8(text);
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == 0)
            continue;  // the server's texts cannot hold a NUL
        if (utf8 || byte < 0x80) {
            out += c;
        } else {
            out += static_cast<char>(0xC0 | (byte >> 6));
            out += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return out;
}

void AppendCopyText(std::string& rows, std::string_view raw) {
    const std::string text = ServerText(raw);
    for (char c : text) {
        switch (c) {
            case '\\':
                rows += "\\\\";
                break;
            case '\t':
                rows += "\\t";
                break;
            case '\n':
                rows += "\\n";
                break;
            case '\r':
                rows += "\\r";
                break;
            default:
                rows += c;
        }
    }
}

}  // namespace quorbel::postgres
